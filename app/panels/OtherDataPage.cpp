#include "app/panels/OtherDataPage.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "panels/PanelTexts.h"
#include "app/panels/ValueBox.h"

namespace orvex {

namespace {

struct SBoxPlace {
    int id;
    const char* label;
    int row;
    int col;
    const char* sample; // the widest text the box shows
};

constexpr SBoxPlace kBoxes[] = {
    {1025, "固件版本", 0, 0, "165535"},         {1024, "飞控序号", 1, 0, "65535"},
    {1041, "航向角(度)", 0, 1, "-179.9"},       {1056, "当前电流", 1, 1, "255 A"},
    {1042, "姿态角(度)", 0, 2, "右 179,俯 90"}, {1054, "静态角(度)", 1, 2, "右 179,俯 90"},
    {1022, "电量消耗", 0, 3, "65535 mAH"},      {1057, "飞控电压", 1, 3, "319.99 V"},
};

} // namespace

COtherDataPage::COtherDataPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("otherDataPage"));
    applyPanelLook(this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 4, 6, 4);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    for (const SBoxPlace& b : kBoxes)
        m_boxes[b.id] =
            addLabelledBox(grid, b.row, b.col, QString::fromUtf8(b.label), b.id, QString::fromUtf8(b.sample));
    // The rows sit in the middle of the bar, level with the rows of the flight data page.
    column->addStretch(1);
    column->addLayout(grid);
    column->addStretch(1);
}

CValueBox* COtherDataPage::box(int controlId) const
{
    const auto it = m_boxes.find(controlId);
    return it == m_boxes.end() ? nullptr : it->second;
}

void COtherDataPage::refresh(std::span<const std::uint8_t> record)
{
    if (record.size() != kPanelRecordSize) return;
    const COtherDataTexts t = otherDataTexts(PanelRecordBytes(record.data(), kPanelRecordSize));
    const auto put = [&](int id, const std::string& text) {
        m_boxes.at(id)->setText(QString::fromStdString(text));
    };
    put(1025, t.firmwareVersion);
    if (t.serialNumber) put(1024, *t.serialNumber);
    put(1041, t.heading);
    put(1042, t.attitude);
    put(1054, t.staticAngle);
    put(1056, t.current);
    put(1022, t.consumedCapacity);
    put(1057, t.supplyVoltage);
    ++m_refreshCount;
}

void COtherDataPage::setStale(bool stale)
{
    for (const auto& [id, box] : m_boxes)
        box->setStale(stale);
}

} // namespace orvex
