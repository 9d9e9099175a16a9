// The three panels wired to the core's rules and placed in the main frame. The rules themselves
// are the core's tests; here one case each shows the wiring, plus what only the widgets decide.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/shell/Commands.h"
#include "app/shell/MessageBox.h"
#include "station/GroundStation.h"
#include "app/mainframe/MainFrame.h"
#include "app/panels/FlightControlPanel.h"
#include "app/panels/FlightDataPage.h"
#include "app/panels/InstrumentCtrl.h"
#include "app/panels/OtherDataPage.h"
#include "app/panels/PanelAttach.h"
#include "app/panels/ValueBox.h"
#include "protocol/ByteFields.h"
#include "protocol/TelemetryRecord.h"
#include "protocol/Uplink.h"
#include "support/FakeUi.h"
#include "support/QtWait.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

// The widest texts a record can put into each box.
CTelemetryRecord extremeRecord()
{
    CTelemetryRecord r;
    auto& b = r.bytes();
    for (const auto& [at, v] : std::initializer_list<std::pair<int, std::uint8_t>>{
             {24, 255},  {31, 0x80}, {32, 255},  {34, 255},  {35, 255},  {37, 255},  {40, 0x80}, {42, 0xFF},
             {43, 0xFF}, {46, 0xFF}, {47, 255},  {51, 0x80}, {52, 0xFF}, {54, 255},  {56, 255},  {70, 0xFF},
             {71, 0xFF}, {74, 255},  {75, 255},  {76, 0xFF}, {77, 0xFF}, {79, 0x80}, {83, 0x80}, {92, 255},
             {95, 0x80}, {96, 0xFF}, {97, 0xFF}})
        b[at] = v;
    r.setLatitude(-89.1234567f);
    r.setLongitude(-179.1234567f);
    bytes::writeF32(&b[20], -3.1f);
    bytes::writeU16(&b[48], 0x8000);
    bytes::writeI32(&b[62], -89); // widest attitude an aircraft reports
    bytes::writeI32(&b[66], -179);
    return r;
}

void expectTextsFit(const QWidget* page)
{
    for (const CValueBox* box : page->findChildren<CValueBox*>()) {
        const int needed = QFontMetrics(box->font()).horizontalAdvance(box->text()) + kValueTextInsetPx + 2;
        EXPECT_LE(needed, box->contentsRect().width())
            << "box " << box->controlId() << " \"" << box->text().toStdString() << "\" is cut off";
    }
}

class PanelAttach : public ::testing::Test {
  protected:
    static CTelemetryRecord record(std::uint8_t satellites, std::uint8_t current)
    {
        CTelemetryRecord r;
        r.setLatitude(30.0f);
        r.setLongitude(120.0f);
        r.bytes()[24] = satellites;
        r.bytes()[92] = current;
        r.bytes()[75] = 11; // the last flight mode
        bytes::writeU16(&r.bytes()[48], 1234); // 123 m
        return r;
    }

    CTempDir m_home{"orvex-panel-attach"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    CCommandTable m_commands;
    CMainFrame m_frame{m_station, m_commands};
    SPanelSet m_panels = attachPanels(m_frame, m_station);
};

using Bytes = std::vector<std::uint8_t>;

class PanelButtons : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_station.attachSerialOutput(&m_serial);
        m_station.openSerialLink([] { return true; });
        // Every box is answered Yes and recorded.
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            m_boxes.push_back(call);
            return true;
        });
    }
    void TearDown() override { setMessageBoxInterceptor({}); }
    const std::vector<Bytes>& sent() const { return m_serial.sent; }

    CTempDir m_home{"orvex-panels"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    SSentBytes m_serial;
    CFlightControlPanel m_panel{m_station};
    std::vector<SMessageBoxCall> m_boxes;
};

} // namespace

TEST_F(PanelAttach, EveryRecordRefreshesTheControlPanelAndTheSelectedPageOnly)
{
    EXPECT_EQ(m_frame.instrumentBar()->widget(), m_panels.control);
    EXPECT_EQ(m_frame.flightDataPage(1), m_panels.otherData);
    // Alt moves the focus to the frame's target box (the frame's test): the input, not the read-only box.
    EXPECT_EQ(m_frame.targetWaypointBox(), m_panels.control->targetInput());
    m_frame.flightDataTabs()->setCurrentIndex(1);
    EXPECT_EQ(m_panels.otherData->refreshCount(), 0) << "nothing to show before a record";
    m_frame.flightDataTabs()->setCurrentIndex(0);
    ASSERT_TRUE(m_station.recordUpdate(record(7, 3)));
    EXPECT_EQ(m_panels.control->refreshCount(), 1);
    EXPECT_EQ(m_panels.otherData->refreshCount(), 0);
    EXPECT_EQ(m_panels.control->altitudeLabel()->text(), QStringLiteral("高度 123 米"));
    EXPECT_EQ(m_panels.control->flightModeCombo()->currentText(), QStringLiteral("返航降落"));
    EXPECT_DOUBLE_EQ(m_panels.control->altimeter()->angles().value, 123);

    // Selecting the other page shows the current record at once, then follows the records.
    m_frame.flightDataTabs()->setCurrentIndex(1);
    EXPECT_EQ(m_panels.otherData->box(1056)->text(), QStringLiteral("3 A"));
    ASSERT_TRUE(m_station.recordUpdate(record(8, 4)));
    ASSERT_TRUE(waitFor([&] { return m_panels.control->refreshCount() == 2; })) << "drawn at the frame's pace";
    EXPECT_EQ(m_panels.flightData->refreshCount(), 1);
    EXPECT_EQ(m_panels.otherData->box(1056)->text(), QStringLiteral("4 A"));
}

TEST_F(PanelAttach, ClosingTheLinkGreysTheLastValuesUntilTheNextRecord)
{
    ASSERT_TRUE(m_station.recordUpdate(record(7, 3)));
    m_station.closeLink(); // what "关闭连接" does
    EXPECT_TRUE(m_panels.control->isStale());
    EXPECT_TRUE(m_panels.control->altimeter()->isStale());
    EXPECT_TRUE(m_panels.flightData->box(1042)->isStale());
    EXPECT_TRUE(m_panels.otherData->box(1056)->isStale());
    EXPECT_EQ(m_panels.flightData->box(1042)->text(), QStringLiteral("7 ")) << "the last value stays";
    ASSERT_TRUE(m_station.recordUpdate(record(8, 3)));
    EXPECT_TRUE(waitFor([&] { return !m_panels.control->isStale(); }));
    EXPECT_FALSE(m_panels.flightData->box(1042)->isStale());
}

TEST_F(PanelAttach, WidestValuesFitTheirBoxesAndButtonsAreNotCutOff)
{
    m_frame.resize(1280, 800);
    m_frame.show();
    m_frame.barLayout(CMainFrame::kShow, CMainFrame::kLeave, CMainFrame::kShow);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
    ASSERT_TRUE(m_station.recordUpdate(extremeRecord()));
    QApplication::processEvents();
    EXPECT_FALSE(m_panels.flightData->box(1040)->text().isEmpty());
    expectTextsFit(m_panels.flightData);
    m_frame.flightDataTabs()->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(m_panels.otherData->box(1024)->text(), QStringLiteral("65535"));
    expectTextsFit(m_panels.otherData);
    for (const QPushButton* b : m_panels.control->findChildren<QPushButton*>())
        EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width()) << b->text().toStdString();
    const QLineEdit* target = m_panels.control->targetWaypointBox();
    EXPECT_LE(QFontMetrics(target->font()).horizontalAdvance(target->text()), target->width());
    m_frame.closeWithoutQuestions();
}

TEST(DataPageWidgets, BoxesShowTheRecordInTheirColoursAndTheSerialStays)
{
    CFlightDataPage page;
    StpBytes r = stpRecord(0, 0);
    r[56] = 215; // vibration 15 up and down: red
    page.refresh(r);
    EXPECT_EQ(page.box(1020)->text(), QStringLiteral("上下15"));
    EXPECT_EQ(page.box(1020)->fillColour(), QColor(255, 0, 0));
    page.refresh(std::array<std::uint8_t, 10>{});
    EXPECT_EQ(page.refreshCount(), 1) << "a record of the wrong length changes nothing";

    COtherDataPage other;
    putLeU16(&r[42], 12345);
    other.refresh(r);
    putLeU16(&r[42], 9000);
    other.refresh(r);
    EXPECT_EQ(other.box(1024)->text(), QStringLiteral("12345")) << "kept at or below ten thousand";
}

TEST_F(PanelButtons, RealQuestionBoxHasNoAsDefaultAndNoSendsNothing)
{
    setMessageBoxInterceptor({});
    bool sawBox = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        sawBox = box->text() == QStringLiteral("关闭引擎?") && box->defaultButton() == box->button(QMessageBox::No);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(m_panel.press(1049), EFlightCommandResult::Declined);
    EXPECT_TRUE(sawBox) << "Enter alone must not stop the engine";
    EXPECT_TRUE(sent().empty());
}

// Which buttons the panel has is its own; the codes behind them are the core's table.
TEST_F(PanelButtons, EveryButtonIsThereAndReachesItsCommand)
{
    for (const int id : {1128, 1129, 1130, 1131, 1035, 1049, 1134, 1033, 1038, 1039, 1037, 1031})
        EXPECT_NE(m_panel.button(id), nullptr) << id;
    m_panel.button(1049)->click();
    EXPECT_EQ(sent(), std::vector<Bytes>{uplink::commandCode(124)});
}

TEST_F(PanelButtons, TypedAltitudeAndTargetGoOutAndTheTargetIsBoundByTheRecord)
{
    m_panel.altitudeInput()->setText(QStringLiteral("120"));
    m_panel.button(kButtonChangeAltitude)->click();
    // The record says the flight controller holds 6 waypoints: 7 is refused, 6 goes out.
    StpBytes r = stpRecord(0, 0);
    r[31] = 6;
    ASSERT_TRUE(m_station.recordUpdate(*CTelemetryRecord::fromBytes(r)));
    for (const char* target : {"7", "6"}) {
        m_panel.targetInput()->setText(QString::fromLatin1(target));
        m_panel.button(kButtonChangeTarget)->click();
    }
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("目标航点 7 超出飞控中的航点数 6"));
    EXPECT_EQ(sent(), (std::vector<Bytes>{uplink::altitude(120), uplink::targetWaypoint(6)}));
}

TEST_F(PanelButtons, ClickToFlyMarksThePickedPointOnTheMap)
{
    SFakeUi ui;
    m_station.setUi(&ui);
    m_panel.button(kButtonClickToFly)->click(); // no point picked yet: nothing goes out
    m_panel.setClickPointSource([] { return std::optional<SFlyToPoint>(SFlyToPoint{1.5f, 2.25f, 3}); });
    m_panel.button(kButtonClickToFly)->click();
    m_station.setUi(nullptr);
    ASSERT_EQ(ui.scripts.size(), 1u);
    EXPECT_EQ(ui.scripts[0].first, "setclickpttomap");
    EXPECT_EQ(ui.scripts[0].second, (std::vector<std::string>{"1.500000", "2.250000", "3.000000"}));
    EXPECT_EQ(sent(), std::vector<Bytes>{uplink::clickToFly(1.5f, 2.25f)});
}
