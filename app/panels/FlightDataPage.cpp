#include "app/panels/FlightDataPage.h"

namespace orvex {

namespace {

using SBox = CDataPage::SBox;

// Left: position and link state, velocities, coefficients; then the two servo groups.
constexpr SBox kBoxes[] = {
    {1023, "起飞距离", 0, 0, 0, "65535 米"},     {1042, "星数", 0, 1, 0, "255 "},
    {1038, "RC", 0, 2, 0, "关"},                 {1040, "纬度", 0, 0, 1, "-89.1234567"},
    {1039, "经度", 0, 1, 1, "-179.1234567"},     {1021, "晃动系数", 0, 2, 1, "255"},
    {1057, "GPS Velx(cm)", 0, 0, 2, "-32768 "},  {1030, "GPS Vely(cm)", 0, 1, 2, "-32768 "},
    {1020, "震动系数", 0, 2, 2, "上下55"},       {1050, "xekf Velx", 0, 0, 3, "-32768 "},
    {1037, "xekf Vely", 0, 1, 3, "-32768 "},     {1053, "xekf Veld", 0, 2, 3, "-32768 "},
    {1033, "方向舵", 1, 0, 0, "右255"},          {1034, "副翼舵", 1, 1, 0, "右255"},
    {1035, "升降舵", 1, 2, 0, "推255"},          {1036, "油门", 1, 3, 0, "-55"},
    {1046, "方向舵", 2, 0, 0, "右255"},          {1047, "副翼舵", 2, 1, 0, "右255"},
    {1048, "升降舵", 2, 2, 0, "推255"},          {1016, "油门", 2, 3, 0, "-55"},
};
constexpr const char* kGroups[] = {"手工舵位", "实际舵位"};

} // namespace

CFlightDataPage::CFlightDataPage(QWidget* parent) : CDataPage("flightDataPage", kBoxes, kGroups, parent) {}

std::vector<std::pair<int, CPanelBox>> CFlightDataPage::values(PanelRecordBytes record) const
{
    const CFlightDataTexts t = flightDataTexts(record);
    return {{1023, t.takeoffDistance}, {1042, t.satellites},     {1057, t.gpsVelocityX},   {1030, t.gpsVelocityY},
            {1050, t.ekfVelocityX},    {1037, t.ekfVelocityY},   {1053, t.ekfVelocityD},   {1040, t.latitude},
            {1039, t.longitude},       {1021, t.sway},           {1020, t.vibration},      {1033, t.manualRudder},
            {1034, t.manualAileron},   {1035, t.manualElevator}, {1036, t.manualThrottle}, {1046, t.actualRudder},
            {1047, t.actualAileron},   {1048, t.actualElevator}, {1016, t.actualThrottle}, {1038, t.receiver}};
}

} // namespace orvex
