// The three configuration dialogs against the simulated aircraft (`orvex sim` as a child process)
// on the WiFi link over 127.0.0.1: parameters read, written and read back; the mixing table
// likewise; a horizontal compass calibration with its mode, point counts and plot, then the save.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "config/CompassCalibDlg.h"
#include "config/CustomParamDlg.h"
#include "config/ParamSetDlg.h"
#include "link/MyUDP.h"
#include "panels/InstrumentCtrl.h"
#include "ConfigTestSupport.h"

using namespace orvex;
using namespace orvex::configtest;

namespace {

class AgainstSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        // Every question ("确定将参数写入飞控？", the airborne question) is answered Yes.
        setMessageBoxInterceptor([](const SMessageBoxCall&) { return true; });
        const std::string dir = m_home.path().toStdString() + "/";
        m_station = std::make_unique<CGroundStation>(CAppPaths(dir, dir));
        // Our socket first (a free port), so that the simulator knows where to send.
        ASSERT_TRUE(m_udp.start(0, QHostAddress::LocalHost, 1));
        m_sim.setProgram(QStringLiteral(ORVEX_BIN_DIR "/orvex"));
        m_sim.setArguments({QStringLiteral("sim"), QStringLiteral("--udp"), QStringLiteral("--listen"), QStringLiteral("0"),
                            QStringLiteral("--gcs"), QStringLiteral("127.0.0.1:%1").arg(m_udp.localPort()),
                            QStringLiteral("--rate"), QStringLiteral("5"), QStringLiteral("--duration"),
                            QStringLiteral("60")});
        m_sim.start();
        ASSERT_TRUE(m_sim.waitForStarted(5000));
        // "listening on UDP port N, sending to ..."
        QString out;
        const QRegularExpression portLine(QStringLiteral("listening on UDP port (\\d+)"));
        QRegularExpressionMatch match;
        ASSERT_TRUE(waitFor([&] {
            out += QString::fromUtf8(m_sim.readAllStandardOutput());
            match = portLine.match(out);
            return match.hasMatch();
        })) << out.toStdString();
        m_udp.setRemote(QHostAddress::LocalHost, static_cast<quint16>(match.captured(1).toUInt()));
        m_station->attachLink(m_udp);
        m_station->setWifiActive(true);
        m_udp.setActive(true);
    }
    void TearDown() override
    {
        setMessageBoxInterceptor({});
        m_station->detachLink(m_udp);
        m_udp.stop();
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.terminate();
            if (!m_sim.waitForFinished(3000)) {
                m_sim.kill();
                m_sim.waitForFinished(3000);
            }
        }
        m_station.reset();
    }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    CMyUDP m_udp;
    QProcess m_sim;
};

} // namespace

TEST_F(AgainstSim, ParametersReadWriteAndReadBack)
{
    CParamSetDlg dlg(*m_station);
    m_station->parameterDialogOpen = true;
    dlg.show();
    dlg.fetchButton()->click();
    ASSERT_TRUE(waitFor([&] { return !dlg.edit(EParamEdit::YawP)->text().isEmpty(); }));
    for (std::size_t i = 0; i < kParamEditCount; ++i)
        EXPECT_FALSE(dlg.edit(static_cast<EParamEdit>(i))->text().isEmpty()) << i;

    // Write new values, empty the dialog, read them back.
    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("77"));
    dlg.edit(EParamEdit::GimbalRollGain)->setText(QStringLiteral("-20"));
    dlg.edit(EParamEdit::Declination)->setText(QStringLiteral("-15"));
    dlg.combo(EParamCombo::MaxSpeed)->setCurrentIndex(kMaxSpeedCustomItem);
    dlg.customSpeedEdit()->setText(QStringLiteral("7.0"));
    dlg.combo(EParamCombo::EscType)->setCurrentIndex(2);
    dlg.sendButton()->click();
    pumpFor(300);
    dlg.setForm(SParamSetForm{});
    ASSERT_TRUE(dlg.edit(EParamEdit::YawP)->text().isEmpty());
    dlg.fetchButton()->click();
    ASSERT_TRUE(waitFor([&] { return dlg.edit(EParamEdit::YawP)->text() == QStringLiteral("77"); }));
    EXPECT_EQ(dlg.edit(EParamEdit::GimbalRollGain)->text(), QStringLiteral("-20"));
    EXPECT_EQ(dlg.edit(EParamEdit::Declination)->text(), QStringLiteral("-15.0"));
    EXPECT_EQ(dlg.combo(EParamCombo::MaxSpeed)->currentIndex(), kMaxSpeedCustomItem);
    EXPECT_EQ(dlg.customSpeedEdit()->text(), QStringLiteral("7.0"));
    EXPECT_EQ(dlg.combo(EParamCombo::EscType)->currentIndex(), 2);
}

TEST_F(AgainstSim, MixingTableReadWriteAndReadBack)
{
    CCustomParamDlg dlg(*m_station);
    m_station->customParameterDialogOpen = true;
    dlg.show();
    dlg.fetchButton()->click();
    ASSERT_TRUE(waitFor([&] { return !dlg.cell(0, 0)->text().isEmpty(); }));
    MixingTexts written = dlg.texts();
    written[mixingIndex(0, 0)] = "-20";
    written[mixingIndex(3, 7)] = "100";
    written[mixingIndex(2, 4)] = "55";
    dlg.setTexts(written);
    dlg.sendButton()->click();
    pumpFor(300);
    dlg.setTexts(MixingTexts{});
    dlg.fetchButton()->click();
    ASSERT_TRUE(waitFor([&] { return dlg.cell(0, 0)->text() == QStringLiteral("-20"); }));
    EXPECT_EQ(dlg.texts(), written);
}

TEST_F(AgainstSim, HorizontalCompassCalibration)
{
    CCompassCalibDlg dlg(*m_station);
    m_station->compassDialogOpen = true;
    dlg.show();
    // Every text the status shows: the mode stands only until the next point replaces it.
    QStringList shown;
    QObject::connect(dlg.statusEdit(), &QLineEdit::textChanged, [&](const QString& t) { shown << t; });
    dlg.horizontalButton()->click();
    // The mode arrives with the request 500 ms later; the points then keep the count text.
    ASSERT_TRUE(waitFor([&] { return shown.contains(QStringLiteral("水平校准模式")); }));
    ASSERT_TRUE(waitFor([&] { return m_station->configDialogs().compass().xyPoints().size() >= 25; }, 8000));
    EXPECT_TRUE(dlg.statusEdit()->text().startsWith(QStringLiteral("XY="))) << dlg.statusEdit()->text().toStdString();
    EXPECT_TRUE(m_station->configDialogs().compass().zyPoints().empty());
    EXPECT_GE(dlg.plot()->xyPoints().size(), 25u);
    EXPECT_NE(dlg.plot()->calibrationValues()[3], 0.0f) << "values arrive every 20 points on WiFi";

    dlg.saveButton()->click();
    ASSERT_TRUE(waitFor([&] { return shown.contains(QStringLiteral("保存成功")); }));
}
