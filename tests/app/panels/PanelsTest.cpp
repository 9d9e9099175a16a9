// The three panels as widgets wired to the core's rules: a box and its colour after a record, the
// control panel's labels and instruments, and the command buttons with their questions and the
// bytes that reach the link.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/panels/FlightControlPanel.h"
#include "app/panels/FlightDataPage.h"
#include "app/panels/InstrumentCtrl.h"
#include "app/panels/OtherDataPage.h"
#include "app/panels/ValueBox.h"
#include "protocol/Uplink.h"
#include "support/FakeUi.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A record with only its head: every value zero.
StpBytes baseRecord() { return StpBytes{'$', 'S', 'T', 'P'}; }

class PanelButtons : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_station.attachSerialOutput(&m_serial);
        m_station.openSerialLink([] { return true; });
    }
    void TearDown() override { setMessageBoxInterceptor({}); }
    // Answers every box with `yes` and records what was asked.
    void answer(bool yes)
    {
        setMessageBoxInterceptor([this, yes](const SMessageBoxCall& call) {
            m_boxes.push_back(call);
            return yes;
        });
    }
    const std::vector<Bytes>& sent() const { return m_serial.sent; }

    CTempDir m_home{"orvex-panels"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    SSentBytes m_serial;
    CFlightControlPanel m_panel{m_station};
    std::vector<SMessageBoxCall> m_boxes;
};

} // namespace

TEST(DataPageWidgets, BoxesShowTheRecordInTheirColoursAndTheSerialStays)
{
    CFlightDataPage page;
    StpBytes r = baseRecord();
    r[56] = 215; // vibration
    r[24] = 3;   // satellites: red
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

TEST_F(PanelButtons, RefreshFillsLabelsComboAndInstruments)
{
    StpBytes r = baseRecord();
    putLeU16(&r[48], 1234); // 123 m
    r[75] = 11;
    m_panel.refresh(r);
    EXPECT_EQ(m_panel.altitudeLabel()->text(), QStringLiteral("高度 123 米"));
    EXPECT_EQ(m_panel.flightModeCombo()->currentText(), QStringLiteral("返航降落"));
    EXPECT_DOUBLE_EQ(m_panel.altimeter()->angles().value, 123);
}

TEST_F(PanelButtons, RealQuestionBoxHasNoAsDefaultAndNoSendsNothing)
{
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

TEST_F(PanelButtons, EveryButtonReachesItsCommand)
{
    answer(true);
    const std::pair<int, std::uint8_t> buttons[] = {{1128, 87}, {1129, 88},  {1130, 122}, {1131, 123},
                                                    {1035, 86}, {1049, 124}, {1134, 137}, {1033, 89},
                                                    {1038, 90}, {1039, 120}, {1037, 121}, {1031, 85}};
    for (const auto& [id, code] : buttons) {
        ASSERT_NE(m_panel.button(id), nullptr) << id;
        m_panel.button(id)->click();
        EXPECT_EQ(sent().back(), uplink::commandCode(code)) << id;
    }
    EXPECT_EQ(sent().size(), 12u);
}

TEST_F(PanelButtons, TypedAltitudeAndTargetGoOutAndTheTargetIsBoundByTheRecord)
{
    answer(true);
    m_panel.altitudeInput()->setText(QStringLiteral("120"));
    m_panel.button(kButtonChangeAltitude)->click();
    // The record says the flight controller holds 6 waypoints: 7 is refused, 6 goes out.
    StpBytes r = baseRecord();
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
    answer(true);
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
