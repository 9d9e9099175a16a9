// The three configuration dialogs against the simulated aircraft in-process on the WiFi framing:
// parameters and the mixing table written and read back, a horizontal compass calibration with its
// mode, point counts and plot, then the save. The aircraft runs on a manual clock that advances
// while the event loop runs the dialogs' timers.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "app/GroundStation.h"
#include "app/MessageBox.h"
#include "config/CompassCalibDlg.h"
#include "config/CustomParamDlg.h"
#include "config/ParamSetDlg.h"
#include "panels/InstrumentCtrl.h"
#include "sim/SimLink.h"
#include "support/QtWait.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

class AgainstSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every question ("确定将参数写入飞控？") is answered Yes.
        setMessageBoxInterceptor([](const SMessageBoxCall&) { return true; });
        m_station.attachLink(m_link);
        m_station.activateWifiLink();
        m_link.open();
    }
    void TearDown() override
    {
        setMessageBoxInterceptor({});
        m_station.detachLink(m_link);
    }
    bool until(const std::function<bool()>& done)
    {
        return waitFor([&] {
            m_clock.advance(50);
            return done();
        });
    }

    CTempDir m_home{"orvex-against-sim"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    CManualClock m_clock;
    CSimLink m_link{m_clock, SSimConfig{}, EFraming::Datagrams};
};

} // namespace

TEST_F(AgainstSim, ParametersAndMixingWrittenAndReadBack)
{
    CParamSetDlg dlg(m_station);
    m_station.parameterDialogOpen = true;
    dlg.show();
    dlg.fetchButton()->click();
    ASSERT_TRUE(until([&] { return !dlg.edit(EParamEdit::YawP)->text().isEmpty(); }));
    dlg.edit(EParamEdit::YawP)->setText(QStringLiteral("77"));
    dlg.edit(EParamEdit::GimbalRollGain)->setText(QStringLiteral("-20"));
    dlg.edit(EParamEdit::Declination)->setText(QStringLiteral("-15"));
    dlg.combo(EParamCombo::MaxSpeed)->setCurrentIndex(kMaxSpeedCustomItem);
    dlg.customSpeedEdit()->setText(QStringLiteral("7.0"));
    dlg.combo(EParamCombo::EscType)->setCurrentIndex(2);
    const SParamSetForm written = dlg.form();
    dlg.sendButton()->click();
    dlg.setForm(SParamSetForm{});
    dlg.fetchButton()->click();
    ASSERT_TRUE(until([&] { return dlg.edit(EParamEdit::YawP)->text() == QStringLiteral("77"); }));
    EXPECT_EQ(parameterWriteBytes(dlg.form()), parameterWriteBytes(written));
    EXPECT_EQ(dlg.edit(EParamEdit::Declination)->text(), QStringLiteral("-15.0"));

    CCustomParamDlg mixing(m_station);
    m_station.customParameterDialogOpen = true;
    mixing.fetchButton()->click();
    ASSERT_TRUE(until([&] { return !mixing.cell(0, 0)->text().isEmpty(); }));
    MixingTexts table = mixing.texts();
    table[mixingIndex(0, 0)] = "-20";
    table[mixingIndex(3, 7)] = "100";
    mixing.setTexts(table);
    mixing.sendButton()->click();
    mixing.setTexts(MixingTexts{});
    mixing.fetchButton()->click();
    ASSERT_TRUE(until([&] { return mixing.cell(0, 0)->text() == QStringLiteral("-20"); }));
    EXPECT_EQ(mixing.texts(), table);
}

TEST_F(AgainstSim, HorizontalCompassCalibration)
{
    CCompassCalibDlg dlg(m_station);
    m_station.compassDialogOpen = true;
    dlg.show();
    // Every text the status shows: the mode stands only until the next point replaces it.
    QStringList shown;
    QObject::connect(dlg.statusEdit(), &QLineEdit::textChanged, [&](const QString& t) { shown << t; });
    dlg.horizontalButton()->click();
    ASSERT_TRUE(until([&] { return shown.contains(QStringLiteral("水平校准模式")); }));
    ASSERT_TRUE(until([&] { return m_station.configDialogs().compass().xyPoints().size() >= 25; }));
    EXPECT_TRUE(dlg.statusEdit()->text().startsWith(QStringLiteral("XY="))) << dlg.statusEdit()->text().toStdString();
    EXPECT_TRUE(m_station.configDialogs().compass().zyPoints().empty());
    EXPECT_GE(dlg.plot()->xyPoints().size(), 25u);
    EXPECT_NE(dlg.plot()->calibrationValues()[3], 0.0f) << "values arrive every 20 points on WiFi";
    dlg.saveButton()->click();
    ASSERT_TRUE(until([&] { return shown.contains(QStringLiteral("保存成功")); }));
}
