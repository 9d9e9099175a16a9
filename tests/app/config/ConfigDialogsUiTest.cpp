// The configuration dialogs as the operator meets them: controls and items, the frames their
// buttons send, the readbacks that fill them only while they are open, the menu's calibration
// commands with their questions, the compass dialog's status, counts and plot.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>
#include <vector>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "config/CompassCalibDlg.h"
#include "config/ConfigAttach.h"
#include "config/CustomParamDlg.h"
#include "config/ParamSetDlg.h"
#include "mainframe/MainFrame.h"
#include "panels/InstrumentCtrl.h"
#include "ConfigTestSupport.h"
#include "support/StpRecord.h"

using namespace orvex;
using namespace orvex::configtest;

namespace {

Bytes commandFrame(uint8_t code)
{
    Bytes f = frameOf("$WIFI");
    f[5] = f[6] = f[7] = code;
    return f;
}

struct SRecorder : IByteOutput {
    std::vector<Bytes> frames;
    void send(std::span<const uint8_t> bytes) override { frames.emplace_back(bytes.begin(), bytes.end()); }
};

class ConfigUi : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        const std::string dir = m_home.path().toStdString() + "/";
        m_station = std::make_unique<CGroundStation>(CAppPaths(dir, dir));
        m_station->attachSerialOutput(&m_serial);
        m_station->setSerialOpen(true);
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            m_boxes.push_back(call);
            return m_answer;
        });
    }
    void TearDown() override
    {
        setMessageBoxInterceptor({});
        m_station.reset();
    }
    void receive(const Bytes& b) { m_station->receiveBytes(EFraming::ByteStream, b); }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    SRecorder m_serial;
    std::vector<SMessageBoxCall> m_boxes;
    bool m_answer = false;
};

} // namespace

// ------------------------------------------------------------------ "参数设置"

TEST_F(ConfigUi, ParameterDialogControlsOnOpening)
{
    CParamSetDlg dlg(*m_station);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("参数设置"));
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        EXPECT_TRUE(dlg.edit(static_cast<EParamEdit>(i))->text().isEmpty()) << i;
    for (std::size_t i = 0; i < kParamComboCount; ++i) {
        const auto which = static_cast<EParamCombo>(i);
        QComboBox* c = dlg.combo(which);
        EXPECT_EQ(c->currentIndex(), 0) << i;
        ASSERT_EQ(static_cast<std::size_t>(c->count()), paramComboItems(which).size());
    }
    EXPECT_EQ(dlg.noticeLabel()->text(), QStringLiteral("注意：进入设置模式后，设置下面参数"));
    EXPECT_EQ(dlg.fetchButton()->text(), QStringLiteral("获取"));
    EXPECT_EQ(dlg.sendButton()->text(), QStringLiteral("发送"));
    EXPECT_EQ(dlg.restoreButton()->text(), QStringLiteral("恢复参数"));

    EXPECT_FALSE(dlg.customSpeedEdit()->isVisible());
    dlg.combo(EParamCombo::MaxSpeed)->setCurrentIndex(5);
    EXPECT_TRUE(dlg.customSpeedEdit()->isVisible());
    dlg.combo(EParamCombo::MaxSpeed)->setCurrentIndex(2);
    EXPECT_FALSE(dlg.customSpeedEdit()->isVisible());
}

TEST_F(ConfigUi, ParameterSendNeedsAFullFormInRangeAndAYes)
{
    CParamSetDlg dlg(*m_station);
    dlg.fetchButton()->click();
    ASSERT_EQ(m_serial.frames.size(), 1u);
    EXPECT_EQ(m_serial.frames[0], frameOf("$WIFIhhh"));

    EXPECT_FALSE(dlg.sendButton()->isEnabled()) << "nothing read back, nothing typed";
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        dlg.edit(static_cast<EParamEdit>(i))->setText(QStringLiteral("1"));
    EXPECT_TRUE(dlg.sendButton()->isEnabled());
    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("300"));
    dlg.sendButton()->click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("“旋转 P”须为 0 到 255 之间的整数"));
    EXPECT_FALSE(m_boxes[0].question);

    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("77"));
    dlg.sendButton()->click(); // answered No
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("确定将参数写入飞控？"));
    EXPECT_FALSE(m_boxes[1].defaultYes);
    EXPECT_EQ(m_serial.frames.size(), 1u);
    m_answer = true;
    dlg.sendButton()->click();
    ASSERT_EQ(m_serial.frames.size(), 2u);
    const uplink::Frame write = parameterWriteFrame(dlg.form());
    EXPECT_EQ(m_serial.frames[1], Bytes(write.begin(), write.end()));
    EXPECT_EQ(m_serial.frames[1][7 + 4], 77);
}

TEST_F(ConfigUi, ParameterReadbackFillsTheDialogOnlyWhileOpen)
{
    CParamSetDlg dlg(*m_station);
    const Bytes par = parFrame({{4, 21}, {7, 9}, {17, 200}, {23, 128}, {27, 141}, {32, 175}, {5, 0x13}, {42, 0x14},
                                {43, 0x1B}});
    receive(par);
    EXPECT_TRUE(dlg.edit(EParamEdit::YawP)->text().isEmpty()) << "closed: nothing changes";
    EXPECT_EQ(dlg.combo(EParamCombo::MaxSpeed)->currentIndex(), 0);
    EXPECT_FALSE(dlg.sendButton()->isEnabled());

    m_station->parameterDialogOpen = true;
    dlg.show();
    receive(par);
    EXPECT_TRUE(dlg.sendButton()->isEnabled()) << "a set read from the aircraft";
    EXPECT_EQ(dlg.edit(EParamEdit::YawP)->text(), QStringLiteral("21"));
    EXPECT_EQ(dlg.edit(EParamEdit::Declination)->text(), QStringLiteral("-15.0"));
    EXPECT_EQ(dlg.combo(EParamCombo::RemoteMode)->currentIndex(), 3);
    EXPECT_EQ(dlg.combo(EParamCombo::MaxSpeed)->currentIndex(), 5);
    EXPECT_TRUE(dlg.customSpeedEdit()->isVisible());
    EXPECT_EQ(dlg.customSpeedEdit()->text(), QStringLiteral("7.0"));

    // A later readback with a fixed speed hides the custom edit again.
    receive(parFrame({{32, 200}, {27, 55}}));
    EXPECT_EQ(dlg.combo(EParamCombo::MaxSpeed)->currentIndex(), 3);
    EXPECT_FALSE(dlg.customSpeedEdit()->isVisible());
    EXPECT_EQ(dlg.edit(EParamEdit::Declination)->text(), QStringLiteral("5.5"));
}

TEST_F(ConfigUi, RestoreDefaultsAskedNoSendsNothing)
{
    CParamSetDlg dlg(*m_station);
    m_answer = false;
    dlg.restoreButton()->click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("恢复默认参数?"));
    EXPECT_TRUE(m_boxes[0].question);
    EXPECT_TRUE(m_serial.frames.empty()) << "the reset would have gone with the click";
}

TEST_F(ConfigUi, RestoreDefaultsSendsTheResetThenTheRequestWithoutBlocking)
{
    CParamSetDlg dlg(*m_station);
    m_answer = true;
    QElapsedTimer clock;
    clock.start();
    dlg.restoreButton()->click();
    ASSERT_EQ(m_serial.frames.size(), 1u) << "the click returns at once; the request waits for the timer";
    EXPECT_EQ(m_serial.frames[0], frameOf("$HFMR"));
    ASSERT_TRUE(waitFor([&] { return m_serial.frames.size() == 2; }));
    EXPECT_GE(clock.elapsed(), 180);
    EXPECT_EQ(m_serial.frames[1], frameOf("$WIFIhhh"));
}

// ------------------------------------------------------------------ "自定义参数"

TEST_F(ConfigUi, CustomMixingDialog)
{
    CCustomParamDlg dlg(*m_station);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("自定义参数"));
    dlg.fetchButton()->click();
    ASSERT_EQ(m_serial.frames.size(), 1u);
    EXPECT_EQ(m_serial.frames[0], commandFrame(142));

    EXPECT_FALSE(dlg.sendButton()->isEnabled());
    MixingTexts t;
    t.fill("0");
    t[mixingIndex(0, 0)] = "-20";
    t[mixingIndex(0, 4)] = "150";
    dlg.setTexts(t);
    EXPECT_TRUE(dlg.sendButton()->isEnabled()) << "every box filled";
    m_answer = true;
    dlg.sendButton()->click();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("“M5 油门(%)”须为 -127 到 128 之间的整数"));
    dlg.cell(0, 4)->setText(QStringLiteral("100"));
    dlg.sendButton()->click();
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].text, QStringLiteral("确定将参数写入飞控？"));
    EXPECT_FALSE(m_boxes[1].defaultYes);
    ASSERT_EQ(m_serial.frames.size(), 5u);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(m_serial.frames[static_cast<std::size_t>(1 + c)][5], 138 + c);
    EXPECT_EQ(m_serial.frames[1][8], 236);
    EXPECT_EQ(m_serial.frames[1][8 + 4], 100);

    Bytes pur = frameOf("$PUR", 37);
    pur[4] = 236;
    pur[4 + 9] = 128;
    pur[4 + 31] = 100;
    dlg.cell(0, 0)->clear();
    receive(pur);
    EXPECT_TRUE(dlg.cell(0, 0)->text().isEmpty()) << "closed: nothing changes";
    m_station->customParameterDialogOpen = true;
    receive(pur);
    EXPECT_EQ(dlg.cell(0, 0)->text(), QStringLiteral("-20"));
    EXPECT_EQ(dlg.cell(1, 1)->text(), QStringLiteral("128"));
    EXPECT_EQ(dlg.cell(3, 7)->text(), QStringLiteral("100"));
    EXPECT_EQ(dlg.cell(2, 2)->text(), QStringLiteral("0"));
}

// ------------------------------------------------------------------ the menu

class ConfigMenu : public ConfigUi {
protected:
    void SetUp() override
    {
        ConfigUi::SetUp();
        m_commands = std::make_unique<CCommandTable>();
        m_frame = std::make_unique<CMainFrame>(*m_station, *m_commands);
        attachConfiguration(*m_frame, *m_station, *m_commands);
    }
    void TearDown() override
    {
        m_frame.reset();
        m_commands.reset();
        ConfigUi::TearDown();
    }
    std::unique_ptr<CCommandTable> m_commands;
    std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(ConfigMenu, CalibrationCommandsAskThenSendAndAskFirstWhileAirborne)
{
    m_answer = false;
    ASSERT_TRUE(m_commands->execute(cmd::kGyroZero));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("陀螺清零?"));
    EXPECT_TRUE(m_serial.frames.empty()) << "No sends nothing";

    m_answer = true;
    for (int id : {cmd::kGyroZero, cmd::kCaptureNeutral, cmd::kCalibrateChannels, cmd::kSmallCalibration,
                   cmd::kCaptureRoll, cmd::kCapturePitch})
        ASSERT_TRUE(m_commands->execute(id));
    ASSERT_EQ(m_serial.frames.size(), 6u) << "every menu item reaches its command";
    EXPECT_EQ(m_serial.frames[0], commandFrame(100));
    EXPECT_EQ(m_serial.frames[5], commandFrame(146));

    // Motors turning at 40 m on an open link: the airborne question comes first, No by default.
    StpBytes flying = stpRecord(22.5f, 113.0f);
    flying[44] = 30;
    putLeU16(&flying[48], 400);
    sealStp(flying);
    ASSERT_TRUE(m_station->recordUpdate(*CTelemetryRecord::fromBytes(flying)));
    m_answer = false;
    m_boxes.clear();
    m_serial.frames.clear();
    ASSERT_TRUE(m_commands->execute(cmd::kCaptureRoll));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, QStringLiteral("飞机正在飞行，确定要执行吗？"));
    EXPECT_FALSE(m_boxes[0].defaultYes);
    CCompassCalibDlg dlg(*m_station);
    dlg.horizontalButton()->click();
    EXPECT_EQ(m_boxes.size(), 2u) << "the compass steps ask too";
    EXPECT_TRUE(m_serial.frames.empty()) << "the step would have gone with the click";
}

TEST_F(ConfigMenu, DialogsRunModallyWithTheirOpenFlags)
{
    struct SCase {
        int id;
        bool CGroundStation::*flag;
        QString title;
    };
    const SCase cases[] = {
        {cmd::kParameters, &CGroundStation::parameterDialogOpen, QStringLiteral("参数设置")},
        {cmd::kCustomParameters, &CGroundStation::customParameterDialogOpen, QStringLiteral("自定义参数")},
        {cmd::kCompass, &CGroundStation::compassDialogOpen, QStringLiteral("校准磁罗盘")},
    };
    for (const SCase& c : cases) {
        bool flagWhileOpen = false;
        QString title;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            flagWhileOpen = (*m_station).*(c.flag);
            if (modal) {
                title = modal->windowTitle();
                modal->close();
            }
        });
        ASSERT_TRUE(m_commands->execute(c.id));
        EXPECT_TRUE(flagWhileOpen) << c.title.toStdString();
        EXPECT_EQ(title, c.title);
        EXPECT_FALSE((*m_station).*(c.flag)) << "cleared when the modal loop returns";
    }
}

// ------------------------------------------------------------------ "校准磁罗盘"

TEST_F(ConfigUi, CompassStatusFromTheCalibrationState)
{
    CCompassCalibDlg dlg(*m_station);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("校准磁罗盘"));
    receive(parFrame({{13, 'X'}}));
    EXPECT_TRUE(dlg.statusEdit()->text().isEmpty()) << "closed: nothing changes";
    m_station->compassDialogOpen = true;
    receive(parFrame({{13, 'X'}}));
    EXPECT_EQ(dlg.statusEdit()->text(), QStringLiteral("垂直校准模式"));
}

TEST_F(ConfigUi, CompassPointsCountAndGrowThePlot)
{
    m_station->compassDialogOpen = true;
    CCompassCalibDlg dlg(*m_station);
    receive(mgFrame("$MG2", 1, 2));
    EXPECT_EQ(dlg.plot()->xyPoints().size(), 1u) << "the plot follows each point";
    receive(mgFrame("$MG2", 3, 4));
    receive(mgFrame("$MG2", 5, 6));
    receive(mgFrame("$MG3", 7, 8));
    EXPECT_EQ(dlg.statusEdit()->text(), QStringLiteral("XY=3  ZY=1"));
    EXPECT_EQ(dlg.plot()->xyPoints().size(), 3u);
    ASSERT_EQ(dlg.plot()->zyPoints().size(), 1u);
    EXPECT_FLOAT_EQ(dlg.plot()->zyPoints()[0].first, 8.0f);

    // The points stay for the whole run: a new dialog shows them at once.
    CCompassCalibDlg again(*m_station);
    EXPECT_EQ(again.plot()->xyPoints().size(), 3u);
    EXPECT_EQ(again.plot()->zyPoints().size(), 1u);
}

TEST_F(ConfigUi, CompassButtonsSendTheStepThenTheRequest)
{
    CCompassCalibDlg dlg(*m_station);
    const struct {
        QPushButton* button;
        uint8_t code;
    } steps[] = {{dlg.horizontalButton(), 87}, {dlg.verticalButton(), 88}, {dlg.saveButton(), 89}};
    for (const auto& s : steps) {
        m_serial.frames.clear();
        QElapsedTimer clock;
        clock.start();
        s.button->click();
        ASSERT_EQ(m_serial.frames.size(), 1u);
        Bytes step = frameOf("$WIFIii");
        step[7] = step[9] = step[11] = 9;
        step[8] = step[10] = step[12] = s.code;
        EXPECT_EQ(m_serial.frames[0], step);
        ASSERT_TRUE(waitFor([&] { return m_serial.frames.size() == 2; }));
        EXPECT_GE(clock.elapsed(), 450);
        EXPECT_EQ(m_serial.frames[1], frameOf("$WIFIhhh"));
    }
}

TEST_F(ConfigUi, PlotPointLandsWhereTheFormulaSays)
{
    // c0 = c1 = c2 = 0, c3 = c4 = 1 (a "$MG1" on the WiFi link), one XY point (100, 50) on a
    // 200 x 100 plot: x = ((100 - 0) x 0.002 + 1) x 100 = 120, y = 50 x 1 x 100 x 0.002 + 50 = 60.
    m_station->setWifiActive(true);
    m_station->compassDialogOpen = true;
    CCompassCalibDlg dlg(*m_station);
    dlg.plot()->setFixedSize(200, 100);
    m_station->receiveBytes(EFraming::Datagrams, mg1Frame({0, 0, 0, 1, 1}));
    m_station->receiveBytes(EFraming::Datagrams, mgFrame("$MG2", 100, 50));
    const QImage img = dlg.plot()->renderImage();
    ASSERT_EQ(img.size(), QSize(200, 100));
    const auto isRed = [&](int x, int y) {
        const QColor c = img.pixelColor(x, y);
        return c.red() > 180 && c.green() < 100 && c.blue() < 100;
    };
    const auto isWhite = [&](int x, int y) {
        const QColor c = img.pixelColor(x, y);
        return c.red() > 240 && c.green() > 240 && c.blue() > 240;
    };
    int redNear = 0;
    for (int y = 58; y <= 61; ++y)
        for (int x = 118; x <= 121; ++x)
            redNear += isRed(x, y) ? 1 : 0;
    EXPECT_GE(redNear, 6) << "the mark's outline around (120, 60)";
    int redElsewhere = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            if ((x < 115 || x > 124 || y < 55 || y > 64) && isRed(x, y))
                ++redElsewhere;
    EXPECT_EQ(redElsewhere, 0);
    EXPECT_TRUE(isWhite(150, 80));
    const QColor axis = img.pixelColor(30, 50);
    EXPECT_LT(axis.red(), 60);
    EXPECT_GT(axis.green(), 90);
    EXPECT_LT(axis.blue(), 60);
}
