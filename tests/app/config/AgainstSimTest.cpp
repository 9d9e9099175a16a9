// The parameter dialogs against the simulated aircraft in-process on the WiFi framing: parameters
// and the mixing table written and read back. The aircraft runs on a manual clock that advances
// while the event loop runs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "app/config/CustomParamDlg.h"
#include "app/config/ParamSetDlg.h"
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
