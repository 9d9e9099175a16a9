// The panels in the main frame: records of the telemetry notification reach the flight control
// panel and the selected bottom page only; closing the link greys them; in the shown frame the
// widest texts a record can give fit their boxes and the control panel's buttons are not cut off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/mainframe/MainFrame.h"
#include "app/panels/FlightControlPanel.h"
#include "app/panels/FlightDataPage.h"
#include "app/panels/InstrumentCtrl.h"
#include "app/panels/OtherDataPage.h"
#include "app/panels/PanelAttach.h"
#include "app/panels/ValueBox.h"
#include "protocol/ByteFields.h"
#include "protocol/TelemetryRecord.h"
#include "support/QtWait.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

// The widest texts a record can put into each box.
CTelemetryRecord extremeRecord()
{
    CTelemetryRecord r;
    auto& b = r.bytes();
    r.setLatitude(-89.1234567f);
    r.setLongitude(-179.1234567f);
    bytes::writeF32(&b[20], -3.1f);
    b[24] = 255;
    b[31] = 0x80;
    b[32] = 255, b[33] = 0, b[34] = 255, b[35] = 255;
    b[36] = 0, b[37] = 255, b[38] = 0, b[39] = 0;
    b[40] = 0x80, b[41] = 0x00;
    b[42] = b[43] = 0xFF;
    b[46] = b[52] = 0xFF;
    b[47] = 255;
    bytes::writeU16(&b[48], 0x8000);
    b[50] = 0x00, b[51] = 0x80;
    b[53] = 0, b[54] = 255, b[56] = 255;
    bytes::writeI32(&b[62], -89); // widest attitude an aircraft reports
    bytes::writeI32(&b[66], -179);
    b[70] = b[71] = 0xFF;
    b[74] = 255, b[75] = 255;
    b[76] = b[77] = 0xFF;
    b[79] = 0x80, b[89] = 0x00, b[83] = 0x80, b[93] = 0x00;
    b[92] = 255;
    b[94] = 0x00, b[95] = 0x80;
    b[96] = b[97] = 0xFF;
    return r;
}

void expectTextsFit(const QWidget* page)
{
    for (const CValueBox* box : page->findChildren<CValueBox*>()) {
        const int needed = QFontMetrics(box->font()).horizontalAdvance(box->text()) + kValueTextInsetPx + 2;
        EXPECT_LE(needed, box->contentsRect().width())
            << "box " << box->controlId() << " \"" << box->text().toStdString() << "\" is cut off";
    }
}

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

TEST_F(PanelAttach, WidestValuesFitTheirBoxesAndButtonsAreNotCutOff)
{
    m_frame.resize(1280, 800);
    m_frame.show();
    m_frame.barLayout(CMainFrame::kShow, CMainFrame::kLeave, CMainFrame::kShow);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
    ASSERT_TRUE(m_station.recordUpdate(extremeRecord()));
    QApplication::processEvents();
    EXPECT_FALSE(m_panels.flightData->box(1040)->text().isEmpty());
    expectTextsFit(m_panels.flightData);
    m_frame.flightDataTabs()->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(m_panels.otherData->box(1024)->text(), QStringLiteral("65535"));
    expectTextsFit(m_panels.otherData);
    for (const QPushButton* b : m_panels.control->findChildren<QPushButton*>())
        EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width()) << b->text().toStdString();
    const QLineEdit* target = m_panels.control->targetWaypointBox();
    EXPECT_LE(QFontMetrics(target->font()).horizontalAdvance(target->text()), target->width());
    m_frame.closeWithoutQuestions();
}
