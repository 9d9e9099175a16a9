// The drawn instruments, rendered off-screen and checked by their pixels.
#include <gtest/gtest.h>

#include <QImage>

#include "panels/InstrumentCtrl.h"

using namespace orvex;

namespace {

const QColor kNeedle(81, 162, 215);
const QColor kSky(81, 162, 215);
const QColor kGround(125, 98, 35);

bool near(QColor a, QColor b, int tolerance = 40)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <=
           tolerance;
}

// Share of pixels of the colour in a small square around (x, y).
int countNear(const QImage& img, int x, int y, QColor colour, int half = 1)
{
    int n = 0;
    for (int dy = -half; dy <= half; ++dy)
        for (int dx = -half; dx <= half; ++dx)
            n += near(img.pixelColor(x + dx, y + dy), colour);
    return n;
}

} // namespace

TEST(InstrumentCtrl, AttachTakesTheSizeOfTheBackgroundAndKeepsTheCorner)
{
    CInstrumentCtrl alt(EInstrumentKind::Altimeter);
    alt.move(7, 9);
    alt.attach(CInstrumentCtrl::kAltimeterBitmap);
    const QPixmap bg = instrumentBackground(CInstrumentCtrl::kAltimeterBitmap);
    ASSERT_FALSE(bg.isNull());
    EXPECT_EQ(alt.size(), bg.size());
    EXPECT_EQ(alt.pos(), QPoint(7, 9));
    EXPECT_FALSE(instrumentBackground(CInstrumentCtrl::kAttitudeBitmap).isNull());
    EXPECT_TRUE(instrumentBackground(999).isNull());
}

TEST(InstrumentCtrl, AltimeterFirstNeedlePointsDownAt250AndUpAt500)
{
    CInstrumentCtrl alt(EInstrumentKind::Altimeter);
    alt.attach(CInstrumentCtrl::kAltimeterBitmap);
    const int cx = alt.width() / 2, cy = alt.height() / 2;

    alt.setValues(250, 125); // the red needle out of the way, to the right
    QImage img = alt.renderImage();
    EXPECT_GE(countNear(img, cx, cy + 17, kNeedle), 3) << "needle below the hub";
    EXPECT_EQ(countNear(img, cx, cy - 17, kNeedle), 0) << "nothing above";
    EXPECT_EQ(countNear(img, cx + 17, cy, kNeedle), 0);

    alt.setValues(500, 125);
    img = alt.renderImage();
    EXPECT_GE(countNear(img, cx, cy - 17, kNeedle), 3) << "needle above the hub";
    EXPECT_EQ(countNear(img, cx, cy + 17, kNeedle), 0);

    // The second needle (red, width 1, to the ring) at 125 points right, past the first
    // needle's reach.
    bool redRight = false, redLeft = false;
    for (int dy = -1; dy <= 1; ++dy) {
        const QColor right = img.pixelColor(cx + 40, cy + dy), left = img.pixelColor(cx - 40, cy + dy);
        redRight |= right.red() > 120 && right.green() < 80 && right.blue() < 80;
        redLeft |= left.red() > 120 && left.green() < 80 && left.blue() < 80;
    }
    EXPECT_TRUE(redRight);
    EXPECT_FALSE(redLeft);
    // The hub covers the centre.
    EXPECT_TRUE(near(img.pixelColor(cx, cy), QColor(29, 28, 27)));
}

TEST(InstrumentCtrl, AltimeterRingHasFiftyWhiteTicks)
{
    CInstrumentCtrl alt(EInstrumentKind::Altimeter);
    alt.attach(CInstrumentCtrl::kAltimeterBitmap);
    alt.setValues(125, 125);
    const QImage img = alt.renderImage();
    const int cx = alt.width() / 2, cy = alt.height() / 2, r0 = std::min(cx, cy) - 11;
    // The major tick at the top (i = 50) and the one at the bottom (i = 25), 6 px long.
    EXPECT_GE(countNear(img, cx, cy - r0 + 3, Qt::white, 1), 2);
    EXPECT_GE(countNear(img, cx, cy + r0 - 3, Qt::white, 1), 2);
}

TEST(InstrumentCtrl, AttitudeLevelHasSkyAboveAndGroundBelow)
{
    CInstrumentCtrl att(EInstrumentKind::Attitude);
    att.attach(CInstrumentCtrl::kAttitudeBitmap);
    att.setValues(0, 0);
    const QImage img = att.renderImage();
    const int cx = att.width() / 2, cy = att.height() / 2;
    for (const int dx : {-30, -15, 15, 30}) {
        EXPECT_TRUE(near(img.pixelColor(cx + dx, cy - 12), kSky)) << dx;
        EXPECT_TRUE(near(img.pixelColor(cx + dx, cy + 12), kGround)) << dx;
    }
    // Outside the disc of radius 45 there is neither.
    EXPECT_FALSE(near(img.pixelColor(cx, cy - 48), kSky));
    EXPECT_FALSE(near(img.pixelColor(cx, cy + 48), kGround));
}

TEST(InstrumentCtrl, AttitudeNoseUpShowsMoreSky)
{
    CInstrumentCtrl att(EInstrumentKind::Attitude);
    att.attach(CInstrumentCtrl::kAttitudeBitmap);
    const int cx = att.width() / 2, cy = att.height() / 2;
    att.setValues(20, 0); // horizon 45 x sin 20 = 15.4 px below the centre
    QImage img = att.renderImage();
    EXPECT_TRUE(near(img.pixelColor(cx + 25, cy + 10), kSky));
    EXPECT_TRUE(near(img.pixelColor(cx + 25, cy + 20), kGround));
    att.setValues(-20, 0);
    img = att.renderImage();
    EXPECT_TRUE(near(img.pixelColor(cx + 25, cy - 10), kGround));
    EXPECT_TRUE(near(img.pixelColor(cx + 25, cy - 20), kSky));
}

TEST(InstrumentCtrl, RollTiltsTheHorizonTheRightWay)
{
    CInstrumentCtrl att(EInstrumentKind::Attitude);
    att.attach(CInstrumentCtrl::kAttitudeBitmap);
    const int cx = att.width() / 2, cy = att.height() / 2;
    // Left wing down 30 degrees: the panel passes -roll = -30. The horizon turns clockwise:
    // its left end rises and its right end sinks.
    att.setValues(0, -30);
    QImage img = att.renderImage();
    EXPECT_TRUE(near(img.pixelColor(cx - 32, cy - 8), kGround));
    EXPECT_TRUE(near(img.pixelColor(cx + 32, cy + 8), kSky));
    // Right wing down: the other way.
    att.setValues(0, 30);
    img = att.renderImage();
    EXPECT_TRUE(near(img.pixelColor(cx - 32, cy - 8), kSky));
    EXPECT_TRUE(near(img.pixelColor(cx + 32, cy + 8), kGround));
}

TEST(InstrumentCtrl, AttitudeSurvivesAbsurdValues)
{
    CInstrumentCtrl att(EInstrumentKind::Attitude);
    att.attach(CInstrumentCtrl::kAttitudeBitmap);
    const int cx = att.width() / 2, cy = att.height() / 2;
    att.setValues(2147483647.0f, -2147483648.0f);
    QImage img = att.renderImage();
    EXPECT_TRUE(near(img.pixelColor(cx + 25, cy + 30), kSky)); // nose up beyond 90: all sky
    att.setValues(-1e30f, 0);
    img = att.renderImage();
    EXPECT_TRUE(near(img.pixelColor(cx + 25, cy - 30), kGround));
}

TEST(InstrumentCtrl, CalibrationPlotDrawsAxesAndPoints)
{
    CInstrumentCtrl plot(EInstrumentKind::CalibrationPlot);
    plot.setFixedSize(200, 100);
    plot.setCalibrationValues({0, 0, 0, 1, 1});
    plot.addXyPoint(100, 50);   // -> (120, 60)
    plot.addZyPoint(-150, -40); // -> ((1 - 0.3) x 100, -40 x 100 x 0.002 + 50) = (70, 42)
    plot.addXyPoint(std::numeric_limits<float>::quiet_NaN(), 0); // not drawn, no harm
    const QImage img = plot.renderImage();
    EXPECT_EQ(plot.xyPoints().size(), 2u);
    EXPECT_TRUE(near(img.pixelColor(10, 50), QColor(0, 128, 0))) << "horizontal axis";
    EXPECT_TRUE(near(img.pixelColor(100, 10), QColor(0, 128, 0))) << "vertical axis";
    EXPECT_GE(countNear(img, 120, 60, QColor(255, 0, 0), 1), 2);
    EXPECT_GE(countNear(img, 70, 42, QColor(0, 0, 255), 1), 2);
    EXPECT_TRUE(near(img.pixelColor(150, 80), Qt::white));

    plot.clearCalibrationPoints();
    EXPECT_EQ(countNear(plot.renderImage(), 120, 60, QColor(255, 0, 0), 1), 0);
}
