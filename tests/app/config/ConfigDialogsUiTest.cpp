// The configuration dialogs wired to the core's rules: the frames their buttons send, the send
// guard, the range refusal and the No-default question, the readbacks that fill them, the menu's
// calibration commands and open flags, the compass dialog's status, counts and plot.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "config/CompassCalibDlg.h"
#include "config/ConfigAttach.h"
#include "config/CustomParamDlg.h"
#include "config/ParamSetDlg.h"
#include "core/config/ConfigFrames.h"
#include "mainframe/MainFrame.h"
#include "panels/InstrumentCtrl.h"
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
        m_station.attachSerialOutput(&m_serial);
        m_station.setSerialOpen(true);
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            m_boxes.push_back(call);
            return m_answer;
        });
    }
    void TearDown() override { setMessageBoxInterceptor({}); }
    void receive(const Bytes& b) { m_station.receiveBytes(EFraming::ByteStream, b); }
    const std::vector<Bytes>& sent() const { return m_serial.sent; }

    CTempDir m_home{"orvex-config-ui"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    SSentBytes m_serial;
    std::vector<SMessageBoxCall> m_boxes;
    bool m_answer = false;
};

} // namespace

TEST_F(ConfigUi, ParameterSendNeedsAFullFormInRangeAndAYes)
{
    CParamSetDlg dlg(m_station);
    dlg.show();
    dlg.fetchButton()->click();
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], frameOf("$WIFIhhh"));
    dlg.combo(EParamCombo::MaxSpeed)->setCurrentIndex(kMaxSpeedCustomItem);
    EXPECT_TRUE(dlg.customSpeedEdit()->isVisible());

    EXPECT_FALSE(dlg.sendButton()->isEnabled()) << "nothing read back, nothing typed";
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        dlg.edit(static_cast<EParamEdit>(i))->setText(QStringLiteral("1"));
    dlg.customSpeedEdit()->setText(QStringLiteral("7.0"));
    EXPECT_TRUE(dlg.sendButton()->isEnabled());
    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("300"));
    dlg.sendButton()->click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("“旋转 P”须为 0 到 255 之间的整数"));

    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("77"));
    dlg.sendButton()->click(); // answered No
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("确定将参数写入飞控？"));
    EXPECT_FALSE(m_boxes[1].defaultYes);
    EXPECT_EQ(sent().size(), 1u);
    m_answer = true;
    dlg.sendButton()->click();
    ASSERT_EQ(sent().size(), 2u);
    EXPECT_EQ(sent()[1][7 + 4], 77);
    EXPECT_EQ(sent()[1][7 + 15], 175) << "the custom speed edit";
}

TEST_F(ConfigUi, ParameterReadbackFillsTheDialogAndAllowsTheSend)
{
    CParamSetDlg dlg(m_station);
    m_station.parameterDialogOpen = true;
    dlg.show();
    receive(parFrame({{4, 21}, {27, 141}, {32, 175}}));
    EXPECT_TRUE(dlg.sendButton()->isEnabled()) << "a set read from the aircraft";
    EXPECT_EQ(dlg.edit(EParamEdit::YawP)->text(), QStringLiteral("21"));
    EXPECT_EQ(dlg.edit(EParamEdit::Declination)->text(), QStringLiteral("-15.0"));
    EXPECT_EQ(dlg.combo(EParamCombo::MaxSpeed)->currentIndex(), kMaxSpeedCustomItem);
    EXPECT_TRUE(dlg.customSpeedEdit()->isVisible());
    EXPECT_EQ(dlg.customSpeedEdit()->text(), QStringLiteral("7.0"));
}

TEST_F(ConfigUi, RestoreDefaultsAsksThenSendsTheResetAndLaterTheRequest)
{
    CParamSetDlg dlg(m_station);
    dlg.restoreButton()->click(); // answered No
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("恢复默认参数?"));
    EXPECT_TRUE(sent().empty());
    m_answer = true;
    dlg.restoreButton()->click();
    ASSERT_EQ(sent().size(), 1u) << "the click returns at once; the request waits for the timer";
    EXPECT_EQ(sent()[0], frameOf("$HFMR"));
    ASSERT_TRUE(waitFor([&] { return sent().size() == 2; }));
    EXPECT_EQ(sent()[1], frameOf("$WIFIhhh"));
}

TEST_F(ConfigUi, CustomMixingDialog)
{
    CCustomParamDlg dlg(m_station);
    dlg.fetchButton()->click();
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_EQ(sent()[0], commandFrame(142));

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

    Bytes pur = frameOf("$PUR", 37);
    pur[4 + 9] = 128;
    m_station.customParameterDialogOpen = true;
    receive(pur);
    EXPECT_EQ(dlg.cell(1, 1)->text(), QStringLiteral("128"));
}

// ------------------------------------------------------------------ the menu

class ConfigMenu : public ConfigUi {
protected:
    void SetUp() override
    {
        ConfigUi::SetUp();
        attachConfiguration(m_frame, m_station, m_commands);
    }
    CCommandTable m_commands;
    CMainFrame m_frame{m_station, m_commands};
};

TEST_F(ConfigMenu, CalibrationCommandsSendAndAskFirstWhileAirborne)
{
    m_answer = true;
    const std::pair<int, uint8_t> items[] = {{cmd::kGyroZero, 100},         {cmd::kCaptureNeutral, 102},
                                             {cmd::kCalibrateChannels, 117}, {cmd::kSmallCalibration, 144},
                                             {cmd::kCaptureRoll, 145},       {cmd::kCapturePitch, 146}};
    for (auto [id, code] : items) {
        m_serial.sent.clear();
        ASSERT_TRUE(m_commands.execute(id));
        ASSERT_EQ(sent().size(), 1u) << id;
        EXPECT_EQ(sent()[0][5], code) << id;
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

TEST_F(ConfigMenu, DialogsRunModallyWithTheirOpenFlags)
{
    const struct {
        int id;
        bool CGroundStation::*flag;
        QString title;
    } cases[] = {
        {cmd::kParameters, &CGroundStation::parameterDialogOpen, QStringLiteral("参数设置")},
        {cmd::kCustomParameters, &CGroundStation::customParameterDialogOpen, QStringLiteral("自定义参数")},
        {cmd::kCompass, &CGroundStation::compassDialogOpen, QStringLiteral("校准磁罗盘")},
    };
    for (const auto& c : cases) {
        bool flagWhileOpen = false;
        QString title;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            flagWhileOpen = m_station.*(c.flag);
            if (modal) {
                title = modal->windowTitle();
                modal->close();
            }
        });
        ASSERT_TRUE(m_commands.execute(c.id));
        EXPECT_TRUE(flagWhileOpen) << c.title.toStdString();
        EXPECT_EQ(title, c.title);
        EXPECT_FALSE(m_station.*(c.flag)) << "cleared when the modal loop returns";
    }
}

// ------------------------------------------------------------------ "校准磁罗盘"

TEST_F(ConfigUi, CompassStatusCountsAndPlotFollowTheDownlink)
{
    m_station.compassDialogOpen = true;
    CCompassCalibDlg dlg(m_station);
    receive(parFrame({{13, 'X'}}));
    EXPECT_EQ(dlg.statusEdit()->text(), QStringLiteral("垂直校准模式"));
    receive(mgFrame("$MG2", {1, 2}));
    receive(mgFrame("$MG3", {7, 8}));
    EXPECT_EQ(dlg.statusEdit()->text(), QStringLiteral("XY=1  ZY=1"));
    ASSERT_EQ(dlg.plot()->zyPoints().size(), 1u);
    EXPECT_FLOAT_EQ(dlg.plot()->zyPoints()[0].first, 8.0f);
    m_station.setWifiActive(true);
    m_station.receiveBytes(EFraming::Datagrams, mgFrame("$MG1", {0, 0, 0, 1, 2}));
    EXPECT_FLOAT_EQ(dlg.plot()->calibrationValues()[4], 2.0f);

    CCompassCalibDlg again(m_station);
    EXPECT_EQ(again.plot()->xyPoints().size(), 1u) << "the points stay for the whole run";
}

TEST_F(ConfigUi, CompassButtonsSendTheStepThenTheRequest)
{
    CCompassCalibDlg dlg(m_station);
    const std::pair<QPushButton*, uint8_t> steps[] = {
        {dlg.horizontalButton(), 87}, {dlg.verticalButton(), 88}, {dlg.saveButton(), 89}};
    for (auto [button, code] : steps) {
        m_serial.sent.clear();
        button->click();
        ASSERT_EQ(sent().size(), 1u);
        Bytes step = frameOf("$WIFIii");
        step[7] = step[9] = step[11] = 9;
        step[8] = step[10] = step[12] = code;
        EXPECT_EQ(sent()[0], step);
        ASSERT_TRUE(waitFor([&] { return sent().size() == 2; }));
        EXPECT_EQ(sent()[1], frameOf("$WIFIhhh"));
    }
}
