// The panels in a shown main frame while a generated flight streams in: every value fits its
// box, the flight data bar shows the selected page, and the instruments move. With
// ORVEX_PANEL_SHOTS=DIR the instrument bar and both bottom pages are saved there as PNG files
// (run under Xvfb with QT_QPA_PLATFORM=xcb to see them as an operator would).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "mainframe/MainFrame.h"
#include "panels/FlightControlPanel.h"
#include "panels/FlightDataPage.h"
#include "panels/InstrumentCtrl.h"
#include "panels/OtherDataPage.h"
#include "panels/PanelAttach.h"
#include "panels/ValueBox.h"
#include "protocol/ByteFields.h"
#include "protocol/TelemetryRecord.h"

using namespace orvex;

namespace {

// Second t of a made-up flight: climbing circles with some wind and vibration.
CTelemetryRecord flightRecord(int t)
{
    CTelemetryRecord r;
    auto& b = r.bytes();
    const double a = t * 0.2;
    r.setLatitude(static_cast<float>(31.2304 + 0.001 * std::sin(a)));
    r.setLongitude(static_cast<float>(121.4737 + 0.001 * std::cos(a)));
    bytes::writeF32(&b[20], static_cast<float>(std::fmod(a + 1.5707963, 2 * 3.1415926)));
    b[24] = static_cast<std::uint8_t>(4 + t % 8);
    b[31] = 12;
    b[32] = static_cast<std::uint8_t>(128 + 20 * std::sin(a));
    b[33] = static_cast<std::uint8_t>(128 - 15 * std::sin(a));
    b[34] = static_cast<std::uint8_t>(128 + 8 * std::cos(a));
    b[35] = static_cast<std::uint8_t>(150 - t % 30);
    b[36] = static_cast<std::uint8_t>(128 + 2 * std::sin(a));
    b[37] = 125;
    b[38] = 131;
    b[39] = 140;
    bytes::writeHighFirstU16(&b[40],
                             static_cast<std::uint16_t>(static_cast<std::int16_t>(1500 * std::cos(a))));
    bytes::writeU16(&b[42], 12001);
    b[46] = 0x01, b[52] = static_cast<std::uint8_t>(t);
    b[47] = 30;
    bytes::writeU16(&b[48], static_cast<std::uint16_t>(1200 + 20 * t));
    bytes::writeU16(&b[50], static_cast<std::uint16_t>(static_cast<std::int16_t>(-850 + t)));
    b[53] = 1;
    b[54] = static_cast<std::uint8_t>(t % 15);
    b[56] = static_cast<std::uint8_t>(100 + t % 20);
    bytes::writeU16(&b[58], static_cast<std::uint16_t>(-120));
    bytes::writeU16(&b[60], 40);
    bytes::writeI32(&b[62], static_cast<std::int32_t>(8 * std::sin(a)));
    bytes::writeI32(&b[66], static_cast<std::int32_t>(25 * std::cos(a)));
    bytes::writeU16(&b[70], 2458);
    bytes::writeU16(&b[72], 990);
    b[74] = static_cast<std::uint8_t>(t / 10 % 12);
    b[75] = 2;
    bytes::writeU16(&b[76], static_cast<std::uint16_t>(1200 + 3 * t));
    b[79] = 0xFF, b[89] = 0x9C; // -100
    b[80] = b[81] = b[82] = 128;
    b[83] = 0x00, b[93] = 0x2A;
    bytes::writeU16(&b[84], 2000);
    b[92] = 17;
    bytes::writeU16(&b[94], 321);
    bytes::writeU16(&b[96], 7208);
    return r;
}

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

void save(QWidget* w, const QString& name)
{
    const QByteArray dir = qgetenv("ORVEX_PANEL_SHOTS");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    w->grab().save(QString::fromLocal8Bit(dir) + "/" + name);
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

    void fly(int from, int to)
    {
        for (int t = from; t < to; ++t) {
            ASSERT_TRUE(m_station->recordUpdate(flightRecord(t)));
            QApplication::processEvents();
        }
    }

    QTemporaryDir m_home;
    std::unique_ptr<CGroundStation> m_station;
    std::unique_ptr<CCommandTable> m_commands;
    std::unique_ptr<CMainFrame> m_frame;
    SPanelSet m_panels;
};

} // namespace

TEST_F(PanelLook, GeneratedFlightFillsBothPagesAndTheInstrumentBar)
{
    fly(0, 40);
    const QImage attitudeBefore = m_panels.control->attitudeInstrument()->renderImage();
    fly(40, 48);
    EXPECT_NE(m_panels.control->attitudeInstrument()->renderImage(), attitudeBefore) << "the horizon moves";
    EXPECT_EQ(m_panels.flightData->refreshCount(), 48);
    EXPECT_FALSE(m_panels.flightData->box(1040)->text().isEmpty());
    expectTextsFit(m_panels.flightData);
    save(m_frame->instrumentBar(), "instrument-bar.png");
    save(m_frame->flightDataBar(), "flight-data-page.png");

    m_frame->flightDataTabs()->setCurrentIndex(1);
    fly(48, 60);
    EXPECT_EQ(m_panels.otherData->refreshCount(), 13);
    EXPECT_EQ(m_panels.otherData->box(1024)->text(), QStringLiteral("12001"));
    expectTextsFit(m_panels.otherData);
    save(m_frame->flightDataBar(), "other-data-page.png");
    save(m_frame.get(), "main-frame.png");

    // The flight control panel's buttons and boxes are not cut off either.
    for (const QPushButton* b : m_panels.control->findChildren<QPushButton*>())
        EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width())
            << b->text().toStdString();
}

TEST_F(PanelLook, WidestValuesStillFitTheirBoxes)
{
    ASSERT_TRUE(m_station->recordUpdate(extremeRecord()));
    QApplication::processEvents();
    expectTextsFit(m_panels.flightData);
    save(m_frame->flightDataBar(), "flight-data-page-extreme.png");
    m_frame->flightDataTabs()->setCurrentIndex(1);
    QApplication::processEvents();
    expectTextsFit(m_panels.otherData);
    save(m_frame->flightDataBar(), "other-data-page-extreme.png");
    save(m_frame->instrumentBar(), "instrument-bar-extreme.png");
    const QLineEdit* target = m_panels.control->targetWaypointBox();
    EXPECT_LE(QFontMetrics(target->font()).horizontalAdvance(target->text()), target->width());
}
