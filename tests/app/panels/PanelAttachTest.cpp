// The panels in the main frame: records of the telemetry notification reach the flight control
// panel and the selected bottom page only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "app/KeyboardFilter.h"
#include "mainframe/MainFrame.h"
#include "mainframe/Splash.h"
#include "panels/FlightControlPanel.h"
#include "panels/FlightDataPage.h"
#include "panels/InstrumentCtrl.h"
#include "panels/OtherDataPage.h"
#include "panels/PanelAttach.h"
#include "panels/ValueBox.h"
#include "protocol/TelemetryRecord.h"

using namespace orvex;

namespace {

class PanelAttach : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        const std::string dir = m_home.path().toStdString() + "/";
        m_station = std::make_unique<CGroundStation>(CAppPaths(dir, dir));
        m_commands = std::make_unique<CCommandTable>();
        m_frame = std::make_unique<CMainFrame>(*m_station, *m_commands);
        m_panels = attachPanels(*m_frame, *m_station);
    }
    void TearDown() override
    {
        m_frame.reset();
        m_commands.reset();
        m_station.reset();
    }

    static CTelemetryRecord record(std::uint8_t satellites, std::uint8_t current)
    {
        CTelemetryRecord r;
        r.setLatitude(30.0f);
        r.setLongitude(120.0f);
        r.bytes()[24] = satellites;
        r.bytes()[92] = current;
        r.bytes()[75] = 2;
        return r;
    }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    std::unique_ptr<CCommandTable> m_commands;
    std::unique_ptr<CMainFrame> m_frame;
    SPanelSet m_panels;
};

} // namespace

TEST_F(PanelAttach, EveryRecordRefreshesTheControlPanelAndTheSelectedPageOnly)
{
    EXPECT_EQ(m_frame->instrumentBar()->widget(), m_panels.control);
    EXPECT_EQ(m_frame->flightDataPage(1), m_panels.otherData);
    m_frame->flightDataTabs()->setCurrentIndex(1);
    EXPECT_EQ(m_panels.otherData->refreshCount(), 0) << "nothing to show before a record";
    m_frame->flightDataTabs()->setCurrentIndex(0);
    ASSERT_TRUE(m_station->recordUpdate(record(7, 3)));
    EXPECT_EQ(m_panels.control->refreshCount(), 1);
    EXPECT_EQ(m_panels.otherData->refreshCount(), 0);
    EXPECT_EQ(m_panels.flightData->box(1042)->text(), QStringLiteral("7 "));

    // Selecting the other page shows the current record at once, then follows the records.
    m_frame->flightDataTabs()->setCurrentIndex(1);
    EXPECT_EQ(m_panels.otherData->box(1056)->text(), QStringLiteral("3 A"));
    ASSERT_TRUE(m_station->recordUpdate(record(8, 4)));
    EXPECT_EQ(m_panels.flightData->refreshCount(), 1);
    EXPECT_EQ(m_panels.otherData->box(1056)->text(), QStringLiteral("4 A"));

    CTelemetryRecord bad = record(1, 1);
    bad.setLatitude(91.0f);
    EXPECT_FALSE(m_station->recordUpdate(bad));
    EXPECT_EQ(m_panels.control->refreshCount(), 2) << "a record that fails validation changes no panel";
}

TEST_F(PanelAttach, ClosingTheLinkGreysTheLastValuesUntilTheNextRecord)
{
    ASSERT_TRUE(m_station->recordUpdate(record(7, 3)));
    m_station->closeLink(); // what "关闭连接" does
    EXPECT_TRUE(m_panels.control->isStale());
    EXPECT_TRUE(m_panels.control->altimeter()->isStale());
    EXPECT_TRUE(m_panels.flightData->box(1042)->isStale());
    EXPECT_TRUE(m_panels.otherData->box(1056)->isStale());
    EXPECT_EQ(m_panels.flightData->box(1042)->text(), QStringLiteral("7 ")) << "the last value stays";
    ASSERT_TRUE(m_station->recordUpdate(record(8, 3)));
    EXPECT_FALSE(m_panels.control->isStale());
    EXPECT_FALSE(m_panels.flightData->box(1042)->isStale());
}

TEST_F(PanelAttach, AltPutsTheFocusIntoTheTargetInput)
{
    CKeyboardFilter filter(*m_station, *m_commands);
    filter.setMainFrame(m_frame.get());
    qApp->installEventFilter(&filter);
    m_frame->show();
    m_frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
    m_panels.control->altitudeInput()->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(m_panels.control->altitudeInput()->hasFocus());
    QTest::keyPress(m_panels.control->altitudeInput(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(m_panels.control->altitudeInput(), Qt::Key_Alt);
    QApplication::processEvents();
    qApp->removeEventFilter(&filter);
    EXPECT_TRUE(m_panels.control->targetInput()->hasFocus()); // 1029, not the read-only 1048
}
