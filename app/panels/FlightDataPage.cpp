#include "app/panels/FlightDataPage.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>

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

// Left block: position and link state, velocities, coefficients.
constexpr SBoxPlace kMainBoxes[] = {
    {1023, "起飞距离", 0, 0, "65535 米"},
    {1042, "星数", 1, 0, "255 "},
    {1038, "RC", 2, 0, "关"},
    {1040, "纬度", 0, 1, "-89.1234567"},
    {1039, "经度", 1, 1, "-179.1234567"},
    {1021, "晃动系数", 2, 1, "255"},
    {1057, "GPS Velx(cm)", 0, 2, "-32768 "},
    {1030, "GPS Vely(cm)", 1, 2, "-32768 "},
    {1020, "震动系数", 2, 2, "上下55"},
    {1050, "xekf Velx", 0, 3, "-32768 "},
    {1037, "xekf Vely", 1, 3, "-32768 "},
    {1053, "xekf Veld", 2, 3, "-32768 "},
};
constexpr SBoxPlace kManualBoxes[] = {{1033, "方向舵", 0, 0, "右255"},
                                      {1034, "副翼舵", 1, 0, "右255"},
                                      {1035, "升降舵", 2, 0, "推255"},
                                      {1036, "油门", 3, 0, "-55"}};
constexpr SBoxPlace kActualBoxes[] = {{1046, "方向舵", 0, 0, "右255"},
                                      {1047, "副翼舵", 1, 0, "右255"},
                                      {1048, "升降舵", 2, 0, "推255"},
                                      {1016, "油门", 3, 0, "-55"}};

} // namespace

CFlightDataPage::CFlightDataPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("flightDataPage"));
    applyPanelLook(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);

    auto* main = new QGridLayout;
    main->setHorizontalSpacing(6);
    main->setVerticalSpacing(3);
    for (const SBoxPlace& b : kMainBoxes)
        m_boxes[b.id] =
            addLabelledBox(main, b.row, b.col, QString::fromUtf8(b.label), b.id, QString::fromUtf8(b.sample));
    row->addLayout(main, 4);

    const auto group = [&](const char* title, std::span<const SBoxPlace> boxes) {
        auto* box = new QGroupBox(QString::fromUtf8(title));
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(3);
        grid->setContentsMargins(6, 4, 6, 4);
        for (const SBoxPlace& b : boxes)
            m_boxes[b.id] = addLabelledBox(grid, b.row, b.col, QString::fromUtf8(b.label), b.id,
                                           QString::fromUtf8(b.sample));
        row->addWidget(box, 1);
    };
    group("手工舵位", kManualBoxes);
    group("实际舵位", kActualBoxes);
}

CValueBox* CFlightDataPage::box(int controlId) const
{
    const auto it = m_boxes.find(controlId);
    return it == m_boxes.end() ? nullptr : it->second;
}

void CFlightDataPage::refresh(std::span<const std::uint8_t> record)
{
    if (record.size() != kPanelRecordSize) return;
    const CFlightDataTexts t = flightDataTexts(PanelRecordBytes(record.data(), kPanelRecordSize));
    const std::pair<int, const CPanelBox*> boxes[] = {
        {1023, &t.takeoffDistance}, {1042, &t.satellites},
        {1057, &t.gpsVelocityX},    {1030, &t.gpsVelocityY},
        {1050, &t.ekfVelocityX},    {1037, &t.ekfVelocityY},
        {1053, &t.ekfVelocityD},    {1040, &t.latitude},
        {1039, &t.longitude},       {1021, &t.sway},
        {1020, &t.vibration},       {1033, &t.manualRudder},
        {1034, &t.manualAileron},   {1035, &t.manualElevator},
        {1036, &t.manualThrottle},  {1046, &t.actualRudder},
        {1047, &t.actualAileron},   {1048, &t.actualElevator},
        {1016, &t.actualThrottle},  {1038, &t.receiver},
    };
    for (const auto& [id, value] : boxes)
        m_boxes.at(id)->setBox(*value);
    ++m_refreshCount;
}

void CFlightDataPage::setStale(bool stale)
{
    for (const auto& [id, box] : m_boxes)
        box->setStale(stale);
}

} // namespace orvex
