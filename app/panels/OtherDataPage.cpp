#include "app/panels/OtherDataPage.h"

namespace orvex {

namespace {

using SBox = CDataPage::SBox;

constexpr SBox kBoxes[] = {
    {1025, "固件版本", 0, 0, 0, "165535"},         {1024, "飞控序号", 0, 1, 0, "65535"},
    {1041, "航向角(度)", 0, 0, 1, "-179.9"},       {1056, "当前电流", 0, 1, 1, "255 A"},
    {1042, "姿态角(度)", 0, 0, 2, "右 179,俯 90"}, {1054, "静态角(度)", 0, 1, 2, "右 179,俯 90"},
    {1022, "电量消耗", 0, 0, 3, "65535 mAH"},      {1057, "飞控电压", 0, 1, 3, "319.99 V"},
};

} // namespace

COtherDataPage::COtherDataPage(QWidget* parent) : CDataPage("otherDataPage", kBoxes, {}, parent) {}

std::vector<std::pair<int, CPanelBox>> COtherDataPage::values(PanelRecordBytes record) const
{
    const COtherDataTexts t = otherDataTexts(record);
    std::vector<std::pair<int, CPanelBox>> v{{1025, {t.firmwareVersion}}, {1041, {t.heading}},
                                             {1042, {t.attitude}},        {1054, {t.staticAngle}},
                                             {1056, {t.current}},         {1022, {t.consumedCapacity}},
                                             {1057, {t.supplyVoltage}}};
    if (t.serialNumber) v.push_back({1024, {*t.serialNumber}});
    return v;
}

} // namespace orvex
