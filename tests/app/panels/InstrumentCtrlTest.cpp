// The drawn instruments, rendered off-screen and checked by their pixels.
#include <gtest/gtest.h>

#include <QImage>

#include "app/panels/InstrumentCtrl.h"

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

// The needles drawn at the angles the core gives: the first needle down at 250 and right at 125
// (a half turn looks the same either way round, a quarter turn does not); the second one, red and
// out to the ring, right at 125, past the first needle's reach.
TEST(InstrumentCtrl, AltimeterTakesTheBackgroundsSizeAndItsNeedlesPointWhereTheValuesSay)
{
    CInstrumentCtrl alt(EInstrumentKind::Altimeter);
    alt.move(7, 9);
    alt.attach(CInstrumentCtrl::kAltimeterBitmap);
    const QPixmap bg = instrumentBackground(CInstrumentCtrl::kAltimeterBitmap);
    ASSERT_FALSE(bg.isNull());
    EXPECT_EQ(alt.size(), bg.size());
    EXPECT_EQ(alt.pos(), QPoint(7, 9)) << "attaching keeps the corner";
    const int cx = alt.width() / 2, cy = alt.height() / 2;
    const struct {
        int value, dx, dy;
    } cases[] = {{250, 0, 17}, {125, 17, 0}};
    for (const auto& [value, dx, dy] : cases) {
        alt.setValues(value, 125);
        const QImage img = alt.renderImage();
        EXPECT_GE(countNear(img, cx + dx, cy + dy, kNeedle, 2), 3) << value;
        EXPECT_EQ(countNear(img, cx - dx, cy - dy, kNeedle, 2), 0) << value;
        const auto red = [&](int x) {
            bool any = false;
            for (int d = -1; d <= 1; ++d) {
                const QColor c = img.pixelColor(x, cy + d);
                any |= c.red() > 120 && c.green() < 80 && c.blue() < 80;
            }
            return any;
        };
        EXPECT_TRUE(red(cx + 40)) << value;
        EXPECT_FALSE(red(cx - 40)) << value;
        EXPECT_TRUE(near(img.pixelColor(cx, cy), QColor(29, 28, 27))) << "the hub covers the centre";
    }
}

// Sky and ground either side of the horizon the geometry gives: left wing down 30 turns it
// clockwise, nose up 20 puts it 15.4 px below the centre, beyond the vertical only sky shows.
TEST(InstrumentCtrl, AttitudeSkyAndGroundFollowPitchAndRoll)
{
    CInstrumentCtrl att(EInstrumentKind::Attitude);
    att.attach(CInstrumentCtrl::kAttitudeBitmap);
    const int cx = att.width() / 2, cy = att.height() / 2;
    struct SPixel {
        float pitch, roll;
        int dx, dy;
        QColor colour;
    };
    for (const SPixel& p : {SPixel{0, 0, -30, -12, kSky}, SPixel{0, 0, 30, 12, kGround}, SPixel{20, 0, 25, 10, kSky},
                            SPixel{20, 0, 25, 20, kGround}, SPixel{-20, 0, 25, -10, kGround},
                            SPixel{0, -30, -32, -8, kGround}, SPixel{0, -30, 32, 8, kSky},
                            SPixel{2147483647.0f, 0, 25, 30, kSky}}) {
        att.setValues(p.pitch, p.roll);
        EXPECT_TRUE(near(att.renderImage().pixelColor(cx + p.dx, cy + p.dy), p.colour))
            << "pitch " << p.pitch << " roll " << p.roll << " at " << p.dx << "," << p.dy;
    }
    att.setValues(0, 0); // outside the disc of radius 45 there is neither
    EXPECT_FALSE(near(att.renderImage().pixelColor(cx, cy - 48), kSky));
}

TEST(InstrumentCtrl, CalibrationPlotDrawsAxesAndPoints)
{
    CInstrumentCtrl plot(EInstrumentKind::CalibrationPlot);
    plot.setFixedSize(200, 100);
    plot.setCalibrationValues({0, 0, 0, 1, 1});
    plot.addXyPoint(100, 50);   // -> (120, 60)
    plot.addZyPoint(-150, -40); // -> ((1 - 0.3) x 100, -40 x 100 x 0.002 + 50) = (70, 42)
    const QImage img = plot.renderImage();
    EXPECT_TRUE(near(img.pixelColor(10, 50), QColor(0, 128, 0))) << "horizontal axis";
    EXPECT_TRUE(near(img.pixelColor(100, 10), QColor(0, 128, 0))) << "vertical axis";
    EXPECT_GE(countNear(img, 120, 60, QColor(255, 0, 0), 1), 2);
    EXPECT_GE(countNear(img, 70, 42, QColor(0, 0, 255), 1), 2);
    EXPECT_TRUE(near(img.pixelColor(150, 80), Qt::white));

    plot.clearCalibrationPoints();
    EXPECT_EQ(countNear(plot.renderImage(), 120, 60, QColor(255, 0, 0), 1), 0);
}
