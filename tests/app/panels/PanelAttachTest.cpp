// The panels in the main frame: records of the telemetry notification reach the flight control
// panel and the selected bottom page only; closing the link greys them.
#include <gtest/gtest.h>

#include <QDockWidget>
#include <QLineEdit>
#include <QTabWidget>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/mainframe/MainFrame.h"
#include "app/mainframe/Splash.h"
#include "app/panels/FlightControlPanel.h"
#include "app/panels/FlightDataPage.h"
#include "app/panels/InstrumentCtrl.h"
#include "app/panels/OtherDataPage.h"
#include "app/panels/PanelAttach.h"
#include "app/panels/ValueBox.h"
#include "protocol/TelemetryRecord.h"
#include "support/QtWait.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

class PanelAttach : public ::testing::Test {
  protected:
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

    CTempDir m_home{"orvex-panel-attach"};
    CGroundStation m_station{CAppPaths(m_home.path(), m_home.path())};
    CCommandTable m_commands;
    CMainFrame m_frame{m_station, m_commands};
    SPanelSet m_panels = attachPanels(m_frame, m_station);
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
    EXPECT_EQ(m_panels.flightData->box(1042)->text(), QStringLiteral("7 "));

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
