#include "app/panels/FlightControlPanel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "map/MapScript.h"
#include "app/panels/InstrumentCtrl.h"
#include "panels/PanelTexts.h"
#include "app/panels/ValueBox.h"
#include "protocol/Uplink.h"

#include <algorithm>
#include <iterator>

namespace orvex {

namespace {

// Buttons in the order of the grid below the edit boxes (two columns; the last one spans both).
// Pairs that belong together side by side; the last two span both columns, so that "关闭引擎"
// stands apart at the bottom.
constexpr int kGridButtons[] = {1129, 1128, 1130, 1131, 1035, 1134, 1033,
                                1038, 1039, 1037, 1052, 1032, 1031, 1049};
constexpr int kWideButtons[] = {1031, 1049};

QLineEdit* readOnlyBox()
{
    auto* box = new QLineEdit;
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

} // namespace

class CFlightControlPanel::CHost : public IFlightCommandHost {
  public:
    explicit CHost(CFlightControlPanel& panel) : m_panel(panel) {}

    bool askYesNo(const std::string& question, bool defaultYes) override
    {
        return orvex::askYesNo(&m_panel, QString::fromStdString(question), {}, defaultYes);
    }
    int storedWaypointCount() override { return m_panel.m_station.storedWaypointCount(); }
    void showMessage(const std::string& text) override { messageBox(&m_panel, QString::fromStdString(text)); }
    void sendOnBothLinks(std::span<const std::uint8_t> frame) override
    {
        m_panel.m_station.uplink().sendOnBothLinks(frame);
    }
    std::optional<SFlyToPoint> clickPoint() override
    {
        return m_panel.m_clickPointSource ? m_panel.m_clickPointSource() : std::nullopt;
    }
    void markClickPoint(const SFlyToPoint& point) override
    {
        if (m_panel.m_clickPointMarker) {
            m_panel.m_clickPointMarker(point);
            return;
        }
        m_panel.m_station.map().setclickpttomap(point.latitude, point.longitude, point.altitude);
    }

  private:
    CFlightControlPanel& m_panel;
};

CFlightControlPanel::CFlightControlPanel(CGroundStation& station, QWidget* parent)
    : QWidget(parent), m_station(station), m_host(std::make_unique<CHost>(*this)),
      m_commands(std::make_unique<CFlightCommands>(*m_host))
{
    setObjectName(QStringLiteral("flightControlPanel"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    auto* frame = new QGroupBox; // 1099: follows the panel's size
    outer->addWidget(frame);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);

    // Instruments with their labels below them.
    auto* instruments = new QHBoxLayout;
    const auto instrument = [&](CInstrumentCtrl*& ctrl, QLabel*& label, EInstrumentKind kind, int bitmap,
                                const char* caption) {
        auto* cell = new QVBoxLayout;
        ctrl = new CInstrumentCtrl(kind);
        ctrl->attach(bitmap);
        label = new QLabel(QString::fromUtf8(caption));
        label->setAlignment(Qt::AlignCenter);
        cell->addWidget(ctrl, 0, Qt::AlignHCenter);
        cell->addWidget(label);
        instruments->addLayout(cell);
    };
    instrument(m_attitude, m_attitudeLabel, EInstrumentKind::Attitude, CInstrumentCtrl::kAttitudeBitmap,
               "姿态");
    instrument(m_altimeter, m_altitudeLabel, EInstrumentKind::Altimeter, CInstrumentCtrl::kAltimeterBitmap,
               "高度");
    column->addLayout(instruments);

    // Flight mode, target waypoint and altitude.
    auto* form = new QGridLayout;
    form->setHorizontalSpacing(4);
    form->setVerticalSpacing(4);
    m_modeCombo = new QComboBox;
    for (const char* name : kFlightModeNames)
        m_modeCombo->addItem(QString::fromUtf8(name));
    m_modeCombo->setCurrentIndex(-1);
    m_modeCombo->setEnabled(false);
    // Disabled, but the mode must stay readable: black text instead of the greyed-out one.
    QPalette modePalette = m_modeCombo->palette();
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
        modePalette.setColor(QPalette::Disabled, role, Qt::black);
    m_modeCombo->setPalette(modePalette);
    form->addWidget(new QLabel(QStringLiteral("飞行模式")), 0, 0);
    form->addWidget(m_modeCombo, 0, 1, 1, 3);

    m_targetBox = readOnlyBox();
    m_targetInput = new QLineEdit;
    m_altitudeBox = readOnlyBox();
    m_altitudeInput = new QLineEdit;
    for (QLineEdit* input : {m_targetInput, m_altitudeInput})
        input->setMaxLength(12);
    m_targetBox->setObjectName(QStringLiteral("targetWaypointBox"));
    form->addWidget(new QLabel(QStringLiteral("目标航点")), 1, 0);
    form->addWidget(m_targetBox, 1, 1);
    form->addWidget(m_targetInput, 1, 2);
    form->addWidget(new QLabel(QStringLiteral("飞行高度")), 2, 0);
    form->addWidget(m_altitudeBox, 2, 1);
    form->addWidget(m_altitudeInput, 2, 2);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(2, 1);
    column->addLayout(form);

    const auto makeButton = [&](int id) {
        const SFlightCommandButton* def = flightCommandButton(id);
        auto* b = new QPushButton(QString::fromUtf8(def->label));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, id] { press(id); });
        m_buttons[id] = b;
        return b;
    };
    form->addWidget(makeButton(kButtonChangeTarget), 1, 3);
    form->addWidget(makeButton(kButtonChangeAltitude), 2, 3);

    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    int row = 0, col = 0;
    for (const int id : kGridButtons) {
        QPushButton* b = makeButton(id);
        if (std::find(std::begin(kWideButtons), std::end(kWideButtons), id) != std::end(kWideButtons)) {
            row += col;
            col = 0;
            grid->addWidget(b, row++, 0, 1, 2);
            continue;
        }
        grid->addWidget(b, row, col);
        row += col;
        col = 1 - col;
    }
    column->addLayout(grid);

    m_statusLine = new QLabel;
    m_statusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    column->addWidget(m_statusLine);
    column->addStretch(1);
}

CFlightControlPanel::~CFlightControlPanel() = default;

QPushButton* CFlightControlPanel::button(int controlId) const
{
    const auto it = m_buttons.find(controlId);
    return it == m_buttons.end() ? nullptr : it->second;
}

EFlightCommandResult CFlightControlPanel::press(int controlId)
{
    QString typed;
    if (controlId == kButtonChangeAltitude)
        typed = m_altitudeInput->text();
    else if (controlId == kButtonChangeTarget)
        typed = m_targetInput->text();
    return m_commands->press(controlId, typed.toStdString());
}

void CFlightControlPanel::setStale(bool stale)
{
    m_stale = stale;
    m_attitude->setStale(stale);
    m_altimeter->setStale(stale);
    const QColor text = stale ? staleTextColour() : QColor(Qt::black);
    for (QWidget* w : std::initializer_list<QWidget*>{m_attitudeLabel, m_altitudeLabel, m_modeCombo, m_targetBox,
                                                     m_altitudeBox, m_statusLine}) {
        QPalette pal = w->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            for (const QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
                pal.setColor(group, role, text);
        w->setPalette(pal);
    }
}

void CFlightControlPanel::refresh(std::span<const std::uint8_t> record)
{
    if (record.size() != kPanelRecordSize) return;
    const CFlightControlTexts t = flightControlTexts(PanelRecordBytes(record.data(), kPanelRecordSize));
    m_altimeter->setValues(static_cast<float>(t.altimeterFirst), static_cast<float>(t.altimeterSecond));
    m_altitudeLabel->setText(QString::fromStdString(t.altitudeLabel));
    m_attitude->setValues(static_cast<float>(t.attitudeFirst), static_cast<float>(t.attitudeSecond));
    m_attitudeLabel->setText(QString::fromStdString(t.attitudeLabel));
    m_modeCombo->setCurrentIndex(t.flightModeIndex);
    m_targetBox->setText(QString::fromStdString(t.targetWaypoint));
    m_altitudeBox->setText(QString::fromStdString(t.altitude));
    m_statusLine->setText(QString::fromStdString(t.statusLine));
    ++m_refreshCount;
}

} // namespace orvex
