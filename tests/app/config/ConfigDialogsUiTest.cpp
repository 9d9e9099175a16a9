// The configuration dialogs wired to the core's rules: the frames their buttons send, the send
// guard, the range refusal and the No-default question, the readbacks filling the open dialogs, the
// menu's calibration commands and open flags, the compass dialog's status, counts and plot.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/config/CompassCalibDlg.h"
#include "app/config/ConfigAttach.h"
#include "app/config/CustomParamDlg.h"
#include "app/config/ParamSetDlg.h"
#include "core/config/ConfigFrames.h"
#include "app/mainframe/MainFrame.h"
#include "app/panels/InstrumentCtrl.h"
#include "protocol/DownlinkBuilders.h"
#include "support/FakeUi.h"
#include "support/QtWait.h"
#include "support/TempDir.h"

using namespace orvex;
using namespace orvex::configtest;

namespace {

class ConfigUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        attachConfiguration(m_frame, m_station, m_commands);
        m_station.attachSerialOutput(&m_serial);
        m_station.openSerialLink([] { return true; });
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            m_boxes.push_back(call);
            return m_answer;
        });
    }
    void TearDown() override { setMessageBoxInterceptor({}); }
    void receive(const Bytes& b) { m_station.receiveBytes(EFraming::ByteStream, b); }
    const std::vector<Bytes>& sent() const { return m_serial.sent; }
    // Waits for `frame` to go out (a heartbeat may go out in between).
    bool sentLater(const Bytes& frame)
    {
        return waitFor([&] { return std::find(sent().begin() + 1, sent().end(), frame) != sent().end(); });
    }

    CTempDir m_home{"orvex-config-ui"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    CCommandTable m_commands;
    CMainFrame m_frame{m_station, m_commands};
    SSentBytes m_serial;
    std::vector<SMessageBoxCall> m_boxes;
    bool m_answer = false;
};

} // namespace

TEST_F(ConfigUi, ParameterDialogSendsAFullFormInRangeAfterAYesRestoresDefaultsAndShowsTheReadback)
{
    CParamSetDlg dlg(m_station);
    dlg.show();
    dlg.restoreButton()->click(); // answered No
    dlg.fetchButton()->click();
    EXPECT_EQ(sent(), std::vector<Bytes>{uplink::parameterRequest()});
    dlg.combo(EParamCombo::MaxSpeed)->setCurrentIndex(kMaxSpeedCustomItem);
    EXPECT_TRUE(dlg.customSpeedEdit()->isVisible());

    EXPECT_FALSE(dlg.sendButton()->isEnabled()) << "nothing read back, nothing typed";
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        dlg.edit(static_cast<EParamEdit>(i))->setText(QStringLiteral("1"));
    dlg.customSpeedEdit()->setText(QStringLiteral("7.0"));
    EXPECT_TRUE(dlg.sendButton()->isEnabled());
    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("300"));
    dlg.sendButton()->click();
    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("77"));
    dlg.sendButton()->click(); // answered No
    ASSERT_EQ(m_boxes.size(), 3u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("恢复默认参数?"));
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("“旋转 P”须为 0 到 255 之间的整数"));
    EXPECT_EQ(m_boxes[2].text, QStringLiteral("确定将参数写入飞控？"));
    EXPECT_FALSE(m_boxes[2].defaultYes);
    EXPECT_EQ(sent().size(), 1u);
    m_answer = true;
    dlg.sendButton()->click();
    ASSERT_EQ(sent().size(), 2u);
    EXPECT_EQ(sent()[1][7 + 4], 77);
    EXPECT_EQ(sent()[1][7 + 15], 175) << "the custom speed edit";

    m_serial.sent.clear();
    dlg.restoreButton()->click();
    ASSERT_EQ(sent(), std::vector<Bytes>{uplink::defaultParameterReset()}) << "the request waits for the timer";
    EXPECT_TRUE(sentLater(uplink::parameterRequest()));

    // A readback fills every control: the filled form writes the frame's bytes back.
    m_station.parameterDialogOpen = true;
    receive(parFrame({{4, 5}, {6, 6}, {7, 1}, {9, 20}, {12, 4}, {22, 15}, {24, 12}, {25, 17}, {26, 11}, {28, 18},
                      {33, 2}, {34, 10}, {38, 3}, {17, 243}, {23, 128}, {5, 0x36}, {42, 0x22}, {43, 0x97}, {32, 175},
                      {27, 141}}));
    EXPECT_EQ(parameterWriteBytes(dlg.form()),
              (std::array<uint8_t, 20>{1, 2, 3, 4, 5, 6, 0x36, 0x22, 141, 10, 11, 12, 243, 128, 15, 175, 17, 18, 0x97, 20}));
    EXPECT_EQ(dlg.edit(EParamEdit::Declination)->text(), QStringLiteral("-15.0"));
}

TEST_F(ConfigUi, CustomMixingDialogSendsAFullFormInRangeAfterAYesAndShowsTheReadback)
{
    CCustomParamDlg dlg(m_station);
    dlg.fetchButton()->click();
    EXPECT_EQ(sent(), std::vector<Bytes>{uplink::commandCode(142)});

    EXPECT_FALSE(dlg.sendButton()->isEnabled());
    MixingTexts t;
    t.fill("0");
    t[mixingIndex(0, 4)] = "150";
    dlg.setTexts(t);
    EXPECT_TRUE(dlg.sendButton()->isEnabled()) << "every box filled";
    m_answer = true;
    dlg.sendButton()->click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("“M5 油门(%)”须为 -127 到 128 之间的整数"));
    dlg.cell(0, 4)->setText(QStringLiteral("-20"));
    dlg.sendButton()->click();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("确定将参数写入飞控？"));
    EXPECT_FALSE(m_boxes[1].defaultYes);
    ASSERT_EQ(sent().size(), 5u);
    EXPECT_EQ(sent()[1][8 + 4], 236);

    m_station.customParameterDialogOpen = true;
    std::array<uint8_t, 32> pur{};
    pur[0] = 236;
    pur[31] = 100;
    receive(downlink::customParameters(pur));
    EXPECT_EQ(dlg.cell(0, 0)->text(), QStringLiteral("-20"));
    EXPECT_EQ(dlg.cell(3, 7)->text(), QStringLiteral("100"));
}

TEST_F(ConfigUi, CalibrationCommandsSendAndAskFirstWhileAirborne)
{
    m_answer = true;
    const std::pair<int, uint8_t> items[] = {{cmd::kGyroZero, 100},         {cmd::kCaptureNeutral, 102},
                                             {cmd::kCalibrateChannels, 117}, {cmd::kSmallCalibration, 144},
                                             {cmd::kCaptureRoll, 145},       {cmd::kCapturePitch, 146}};
    for (auto [id, code] : items) {
        m_serial.sent.clear();
        ASSERT_TRUE(m_commands.execute(id));
        EXPECT_EQ(sent(), std::vector<Bytes>{uplink::commandCode(code)}) << id;
    }

    // Motors turning at 40 m: the airborne question comes first, No by default.
    StpBytes flying = stpRecord(22.5f, 113.0f);
    flying[44] = 30;
    putLeU16(&flying[48], 400);
    sealStp(flying);
    ASSERT_TRUE(m_station.recordUpdate(*CTelemetryRecord::fromBytes(flying)));
    m_answer = false;
    m_boxes.clear();
    m_serial.sent.clear();
    ASSERT_TRUE(m_commands.execute(cmd::kCaptureRoll));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("飞机正在飞行，确定要执行吗？"));
    EXPECT_FALSE(m_boxes[0].defaultYes);
    CCompassCalibDlg dlg(m_station);
    dlg.horizontalButton()->click();
    EXPECT_EQ(m_boxes.size(), 2u) << "the compass steps ask too";
    EXPECT_TRUE(sent().empty());
}

TEST_F(ConfigUi, DialogsRunModallyWithTheirOpenFlags)
{
    const std::tuple<int, bool CGroundStation::*, QString> cases[] = {
        {cmd::kParameters, &CGroundStation::parameterDialogOpen, QStringLiteral("参数设置")},
        {cmd::kCustomParameters, &CGroundStation::customParameterDialogOpen, QStringLiteral("自定义参数")},
        {cmd::kCompass, &CGroundStation::compassDialogOpen, QStringLiteral("校准磁罗盘")}};
    for (const auto& [id, flag, title] : cases) {
        bool flagWhileOpen = false;
        QString shown;
        QTimer::singleShot(0, [&] {
            flagWhileOpen = m_station.*flag;
            if (QWidget* modal = QApplication::activeModalWidget()) {
                shown = modal->windowTitle();
                modal->close();
            }
        });
        ASSERT_TRUE(m_commands.execute(id));
        EXPECT_TRUE(flagWhileOpen) << title.toStdString();
        EXPECT_EQ(shown, title);
        EXPECT_FALSE(m_station.*flag) << "cleared when the modal loop returns";
    }
}

// ------------------------------------------------------------------ "校准磁罗盘"

TEST_F(ConfigUi, CompassStatusCountsAndPlotFollowTheDownlinkAndItsButtonsSendTheStepThenTheRequest)
{
    m_station.compassDialogOpen = true;
    CCompassCalibDlg dlg(m_station);
    const std::pair<QPushButton*, uint8_t> steps[] = {
        {dlg.horizontalButton(), 87}, {dlg.verticalButton(), 88}, {dlg.saveButton(), 89}};
    for (auto [button, code] : steps) {
        m_serial.sent.clear();
        button->click();
        ASSERT_EQ(sent(), std::vector<Bytes>{uplink::compassStep(code)}) << "the request waits for the timer";
        EXPECT_TRUE(sentLater(uplink::parameterRequest()));
    }
    receive(mgFrame("$MG2", {1, 2}));
    receive(mgFrame("$MG3", {7, 8}));
    EXPECT_EQ(dlg.statusEdit()->text(), QStringLiteral("XY=1  ZY=1"));
    ASSERT_EQ(dlg.plot()->zyPoints().size(), 1u);
    EXPECT_FLOAT_EQ(dlg.plot()->zyPoints()[0].first, 8.0f);
    m_station.activateWifiLink();
    m_station.receiveBytes(EFraming::Datagrams, mgFrame("$MG1", {0, 0, 0, 1, 2}));
    EXPECT_FLOAT_EQ(dlg.plot()->calibrationValues()[4], 2.0f);

    CCompassCalibDlg again(m_station);
    EXPECT_EQ(again.plot()->xyPoints().size(), 1u) << "the points stay for the whole run";
}
