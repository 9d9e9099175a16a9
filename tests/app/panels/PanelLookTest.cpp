// The panels in a shown main frame: the widest texts a record can give fit their boxes on both
// bottom pages, and the flight control panel's buttons and target box are not cut off. (Pictures
// of the windows come from `orvex-gcs --screenshot DIR`.)
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/mainframe/MainFrame.h"
#include "app/panels/FlightControlPanel.h"
#include "app/panels/FlightDataPage.h"
#include "app/panels/OtherDataPage.h"
#include "app/panels/PanelAttach.h"
#include "app/panels/ValueBox.h"
#include "protocol/ByteFields.h"
#include "protocol/TelemetryRecord.h"

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

class PanelLook : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        const std::string dir = m_home.path().toStdString() + "/";
        m_station = std::make_unique<CGroundStation>(CAppPaths(dir, dir));
        m_commands = std::make_unique<CCommandTable>();
        m_frame = std::make_unique<CMainFrame>(*m_station, *m_commands);
        m_panels = attachPanels(*m_frame, *m_station);
        m_frame->resize(1280, 800);
        m_frame->show();
        m_frame->barLayout(CMainFrame::kShow, CMainFrame::kLeave, CMainFrame::kShow);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
    }
    void TearDown() override
    {
        m_frame->closeWithoutQuestions();
        m_frame.reset();
    }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    std::unique_ptr<CCommandTable> m_commands;
    std::unique_ptr<CMainFrame> m_frame;
    SPanelSet m_panels;
};

} // namespace

TEST_F(PanelLook, WidestValuesStillFitTheirBoxes)
{
    ASSERT_TRUE(m_station->recordUpdate(extremeRecord()));
    QApplication::processEvents();
    EXPECT_FALSE(m_panels.flightData->box(1040)->text().isEmpty());
    expectTextsFit(m_panels.flightData);
    m_frame->flightDataTabs()->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(m_panels.otherData->box(1024)->text(), QStringLiteral("65535"));
    expectTextsFit(m_panels.otherData);
    for (const QPushButton* b : m_panels.control->findChildren<QPushButton*>())
        EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width()) << b->text().toStdString();
    const QLineEdit* target = m_panels.control->targetWaypointBox();
    EXPECT_LE(QFontMetrics(target->font()).horizontalAdvance(target->text()), target->width());
}
