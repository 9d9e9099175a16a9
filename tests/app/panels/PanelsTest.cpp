// The three panels as widgets: boxes and colours after a record, and the command buttons with
// their questions and the bytes that reach a real UDP socket on 127.0.0.1.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <array>
#include <cstring>
#include <vector>

#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "link/MyUDP.h"
#include "panels/FlightControlPanel.h"
#include "panels/FlightDataPage.h"
#include "panels/InstrumentCtrl.h"
#include "panels/OtherDataPage.h"
#include "panels/ValueBox.h"
#include "protocol/Uplink.h"

using namespace orvex;

namespace {

using Record = std::array<std::uint8_t, 99>;
using Bytes = std::vector<std::uint8_t>;

Record baseRecord()
{
    Record r{'$', 'S', 'T', 'P'};
    return r;
}

class PanelButtons : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        const std::string dir = m_home.path().toStdString() + "/";
        m_station = std::make_unique<CGroundStation>(CAppPaths(dir, dir));
        ASSERT_TRUE(m_receiver.bind(QHostAddress::LocalHost, 0));
        // The WiFi transport of the program, sending to our receiver as if it were the module.
        m_output = std::make_unique<CMyUDP>();
        ASSERT_TRUE(m_output->start(0, QHostAddress::LocalHost, m_receiver.localPort()));
        m_station->attachLink(*m_output);
        m_station->setWifiActive(true);
        m_panel = std::make_unique<CFlightControlPanel>(*m_station);
    }
    void TearDown() override
    {
        setMessageBoxInterceptor({});
        m_station->detachLink(*m_output);
        m_output->stop();
    }

    // Answers every box with `yes` and records what was asked.
    void answer(bool yes)
    {
        setMessageBoxInterceptor([this, yes](const SMessageBoxCall& call) {
            m_boxes.push_back(call);
            return yes;
        });
    }

    // The next datagram that arrives (empty after two seconds without one).
    Bytes nextDatagram()
    {
        if (!m_receiver.hasPendingDatagrams())
            (void)QTest::qWaitFor([this] { return m_receiver.hasPendingDatagrams(); }, 2000);
        if (!m_receiver.hasPendingDatagrams()) return {};
        const QByteArray data = m_receiver.receiveDatagram().data();
        return Bytes(data.begin(), data.end());
    }

    static Bytes codeFrame(std::uint8_t code)
    {
        Bytes f(30, 0);
        std::memcpy(f.data(), "$WIFI", 5);
        f[5] = f[6] = f[7] = code;
        return f;
    }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    QUdpSocket m_receiver;
    std::unique_ptr<CMyUDP> m_output;
    std::unique_ptr<CFlightControlPanel> m_panel;
    std::vector<SMessageBoxCall> m_boxes;
};

} // namespace

TEST(FlightDataPageWidget, BoxesShowTheRecordWithTheirColours)
{
    CFlightDataPage page;
    Record r = baseRecord();
    r[56] = 215; // vibration
    r[80] = 100;
    r[32] = 101;                // manual rudder in the dead band
    r[36] = 101;                // actual rudder right 1
    r[35] = 192;                // throttle 8 shown as 7
    r[51] = 0x80, r[50] = 0x00; // gps x -32768
    r[46] = 0x01, r[52] = 0x2C; // 300 m
    r[24] = 9;
    r[53] = 0;
    page.refresh(r);

    EXPECT_EQ(page.box(1020)->text(), QStringLiteral("上下15"));
    EXPECT_EQ(page.box(1020)->colour(), EPanelColour::Red);
    EXPECT_EQ(page.box(1020)->fillColour(), QColor(255, 0, 0));
    EXPECT_EQ(page.box(1033)->text(), QStringLiteral("中位"));
    EXPECT_EQ(page.box(1046)->text(), QStringLiteral("右1"));
    EXPECT_EQ(page.box(1046)->fillColour(), QColor(0, 255, 0));
    EXPECT_EQ(page.box(1036)->text(), QStringLiteral("7"));
    EXPECT_EQ(page.box(1036)->colour(), EPanelColour::Red);
    EXPECT_EQ(page.box(1057)->text(), QStringLiteral("-32768 "));
    EXPECT_EQ(page.box(1023)->text(), QStringLiteral("300 米"));
    EXPECT_EQ(page.box(1042)->colour(), EPanelColour::Green);
    EXPECT_EQ(page.box(1038)->text(), QStringLiteral("关"));
    EXPECT_EQ(page.box(1038)->colour(), EPanelColour::Red);
    // Boxes without a colour rule keep the panel look.
    EXPECT_EQ(page.box(1040)->fillColour(), QColor(227, 228, 230));
    EXPECT_EQ(page.palette().color(QPalette::Window), QColor(227, 228, 230));

    // A record of the wrong length changes nothing.
    const std::array<std::uint8_t, 10> shortRecord{};
    page.refresh(shortRecord);
    EXPECT_EQ(page.refreshCount(), 1);
}

TEST(FlightDataPageWidget, ValueTextIsInsetAndBlackOnTheAlarmColour)
{
    CFlightDataPage page;
    Record r = baseRecord();
    r[24] = 3; // satellites red
    page.refresh(r);
    CValueBox* box = page.box(1042);
    box->resize(80, 24);
    const QImage img = box->grab().toImage();
    // Find the leftmost and topmost dark (text) pixel.
    int left = img.width(), top = img.height();
    for (int y = 2; y < img.height() - 2; ++y)
        for (int x = 2; x < img.width() - 2; ++x)
            if (qGray(img.pixel(x, y)) < 60) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
    ASSERT_LT(left, img.width()) << "no text drawn";
    EXPECT_GE(left, box->frameWidth() + kValueTextInsetPx);
    EXPECT_EQ(img.pixelColor(box->width() - 4, box->height() - 4), QColor(255, 0, 0));
}

TEST(OtherDataPageWidget, SerialBoxKeepsItsTextAtOrBelowTenThousand)
{
    COtherDataPage page;
    Record r = baseRecord();
    r[43] = 12345 >> 8, r[42] = 12345 & 0xFF;
    page.refresh(r);
    EXPECT_EQ(page.box(1024)->text(), QStringLiteral("12345"));
    r[43] = 9000 >> 8, r[42] = 9000 & 0xFF;
    r[92] = 12;
    page.refresh(r);
    EXPECT_EQ(page.box(1024)->text(), QStringLiteral("12345"));
    EXPECT_EQ(page.box(1056)->text(), QStringLiteral("12 A"));
    EXPECT_EQ(page.box(1025)->text(), QStringLiteral("100000"));
    EXPECT_EQ(page.box(1054)->text(), QStringLiteral("左 0,仰 0"));
}

TEST_F(PanelButtons, RefreshFillsLabelsComboAndInstruments)
{
    Record r = baseRecord();
    r[48] = 0xD2, r[49] = 0x04;                 // 1234 -> 123 m
    r[84] = 0xE8, r[85] = 0x03;                 // reference 1000 -> 100
    r[62] = 5;                                  // pitch 5
    r[66] = 0xF6, r[67] = r[68] = r[69] = 0xFF; // roll -10
    r[75] = 11;
    r[74] = 2, r[31] = 6;
    r[47] = 50;
    m_panel->refresh(r);
    EXPECT_EQ(m_panel->altitudeLabel()->text(), QStringLiteral("高度 123 米"));
    EXPECT_EQ(m_panel->attitudeLabel()->text(), QStringLiteral("姿态 右 10,仰 5"));
    EXPECT_EQ(m_panel->flightModeCombo()->currentText(), QStringLiteral("返航降落"));
    EXPECT_FALSE(m_panel->flightModeCombo()->isEnabled());
    EXPECT_EQ(m_panel->flightModeCombo()->count(), 12);
    EXPECT_EQ(m_panel->targetWaypointBox()->text(), QStringLiteral("3/6"));
    EXPECT_EQ(m_panel->altitudeBox()->text(), QStringLiteral("123"));
    EXPECT_EQ(m_panel->statusLine()->text(), QStringLiteral("云台锁定半径：50 米"));
    EXPECT_DOUBLE_EQ(m_panel->altimeter()->angles().value, 123);
    EXPECT_NEAR(m_panel->altimeter()->angles().angle2, 100 * 0.0125663704, 1e-9);
    EXPECT_DOUBLE_EQ(m_panel->attitudeInstrument()->angles().angle1, -5);
    // -roll = 10 goes in as the second value; angle 2 = -10 degrees in radians.
    EXPECT_NEAR(m_panel->attitudeInstrument()->angles().angle2, -10 * 0.017453292222222222, 1e-9);

    r[75] = 200; // unknown mode: nothing selected
    m_panel->refresh(r);
    EXPECT_EQ(m_panel->flightModeCombo()->currentIndex(), -1);
}

TEST_F(PanelButtons, RealQuestionBoxHasNoAsDefaultAndNoSendsNothing)
{
    bool sawBox = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        sawBox = box->text() == QStringLiteral("关闭引擎?") && box->defaultButton() == box->button(QMessageBox::No);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(m_panel->press(1049), EFlightCommandResult::Declined);
    EXPECT_TRUE(sawBox) << "Enter alone must not stop the engine";
    answer(true);
    m_panel->press(1039); // "进入设置", no question
    EXPECT_EQ(nextDatagram(), codeFrame(120)) << "the first datagram: nothing came from the No";
}

TEST_F(PanelButtons, EveryCodeButtonSendsItsFrameOnce)
{
    answer(true);
    const std::pair<int, std::uint8_t> buttons[] = {{1128, 87}, {1129, 88},  {1130, 122}, {1131, 123},
                                                    {1035, 86}, {1049, 124}, {1134, 137}, {1033, 89},
                                                    {1038, 90}, {1039, 120}, {1037, 121}, {1031, 85}};
    for (const auto& [id, code] : buttons) {
        ASSERT_NE(m_panel->button(id), nullptr) << id;
        m_panel->button(id)->click();
        EXPECT_EQ(nextDatagram(), codeFrame(code)) << id;
    }
    EXPECT_EQ(m_panel->button(1031)->text(), QStringLiteral("退出所点所到/锁定"));
    // Questions only where the panel asks them: 9 of the 12.
    EXPECT_EQ(m_boxes.size(), 9u);
}

TEST_F(PanelButtons, ChangeAltitudeAndTargetSendTheTypedNumbers)
{
    answer(true);
    m_panel->altitudeInput()->setText(QStringLiteral("120"));
    m_panel->button(kButtonChangeAltitude)->click();
    const Bytes alt = nextDatagram();
    ASSERT_EQ(alt.size(), 30u);
    EXPECT_EQ(Bytes(alt.begin(), alt.begin() + 9), (Bytes{'$', 'W', 'I', 'F', 'I', 'j', 'j', 0xB0, 0x04}));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("改变高度为 120 米?"));

    // The flight controller holds 6 waypoints: 7 is refused, 4 goes out.
    Record r = baseRecord();
    r[31] = 6;
    ASSERT_TRUE(m_station->recordUpdate(*CTelemetryRecord::fromBytes(r)));
    m_panel->targetInput()->setText(QStringLiteral("7"));
    m_panel->button(kButtonChangeTarget)->click();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("目标航点 7 超出飞控中的航点数 6"));
    m_panel->targetInput()->setText(QStringLiteral("4"));
    m_panel->button(kButtonChangeTarget)->click();
    Bytes target(30, 0);
    std::memcpy(target.data(), "$WIFIgg", 7);
    target[7] = target[8] = 4;
    EXPECT_EQ(nextDatagram(), target) << "the first datagram: nothing came from the refusal";
    EXPECT_EQ(m_boxes.size(), 2u) << "no question for the target";
}

TEST_F(PanelButtons, ClickToFlySendsThePickedPointAndMarksTheMap)
{
    answer(true);
    std::vector<SFlyToPoint> marked;
    m_panel->setClickPointMarker([&](const SFlyToPoint& p) { marked.push_back(p); });

    // No point picked yet: a message, nothing sent.
    m_panel->button(kButtonClickToFly)->click();
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(marked.empty());

    m_panel->setClickPointSource([] { return std::optional<SFlyToPoint>(SFlyToPoint{31.25f, 121.5f, 40}); });
    m_panel->button(kButtonClickToFly)->click();
    m_panel->button(kButtonGimbalLockPoint)->click();
    Bytes q(30, 0);
    std::memcpy(q.data(), "$WIFIQ", 6);
    const float lat = 31.25f, lon = 121.5f;
    for (std::size_t at : {6u, 14u})
        std::memcpy(&q[at], &lat, 4); // little-endian on this machine, as on the wire
    for (std::size_t at : {10u, 18u})
        std::memcpy(&q[at], &lon, 4);
    q[22] = 'Q';
    EXPECT_EQ(nextDatagram(), q);
    q[5] = q[22] = '\\';
    EXPECT_EQ(nextDatagram(), q);
    ASSERT_EQ(marked.size(), 2u);
    EXPECT_EQ(marked[1].altitude, 40.0f);
}

TEST_F(PanelButtons, DefaultMarkerCallsSetclickpttomapThroughTheWindowInterface)
{
    struct CFakeUi : IGroundStationUi {
        void showMessage(const std::string&) override {}
        bool askYesNo(const std::string&, const std::string&, bool) override { return true; }
        void telemetryNotify(std::span<const std::uint8_t>, const SAircraftMarker&) override {}
        void callMapScript(const std::string& fn, const std::vector<std::string>& args) override
        {
            calls.emplace_back(fn, args);
        }
        std::vector<std::pair<std::string, std::vector<std::string>>> calls;
    } ui;
    m_station->setUi(&ui);
    m_panel->setClickPointSource([] { return std::optional<SFlyToPoint>(SFlyToPoint{1.5f, 2.25f, 3}); });
    m_panel->button(kButtonClickToFly)->click();
    m_station->setUi(nullptr);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].first, "setclickpttomap");
    EXPECT_EQ(ui.calls[0].second, (std::vector<std::string>{"1.500000", "2.250000", "3.000000"}));
    EXPECT_EQ(nextDatagram().size(), 30u);
}
