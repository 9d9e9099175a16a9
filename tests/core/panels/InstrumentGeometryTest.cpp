// Geometry of the drawn instruments, without any drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "panels/InstrumentGeometry.h"

using namespace orvex;

TEST(InstrumentAngles, AltimeterTurnsOncePerFiveHundred)
{
    const SInstrumentAngles a = instrumentAngles(EInstrumentKind::Altimeter, 250, 500);
    // Straight down at 250, straight up again at 500 (first needle length 25). The truncated pi
    // leaves the end a hair short of the exact point, and truncation toward zero then takes
    // the pixel on the centre's side: 84.9999 -> 84, 59.9999 -> 59.
    EXPECT_EQ(dialPoint(60, 60, a.angle1, 25), (SDialPoint{60, 84}));
    EXPECT_EQ(dialPoint(60, 60, a.angle2, 25), (SDialPoint{59, 35}));
    // 125 points right, 375 left.
    EXPECT_EQ(dialPoint(60, 60, 125 * kAltimeterScale, 25), (SDialPoint{85, 59}));
    EXPECT_EQ(dialPoint(60, 60, 375 * kAltimeterScale, 25), (SDialPoint{35, 60}));
    // Non-finite ends fall back to the centre.
    EXPECT_EQ(dialPoint(10, 20, std::numeric_limits<double>::quiet_NaN(), 5), (SDialPoint{10, 20}));
    EXPECT_EQ(dialPoint(10, 20, 1, std::numeric_limits<double>::infinity()), (SDialPoint{10, 20}));
}

TEST(AltimeterGeometry, FiftyTicksEveryFifthLonger)
{
    const SDialFrame f = dialFrame(130, 130);
    const auto ticks = altimeterTicks(f);
    ASSERT_EQ(ticks.size(), 50u);
    int major = 0;
    for (const SAltimeterTick& t : ticks) {
        const double outer = std::hypot(t.outer.x - f.cx, t.outer.y - f.cy);
        const double inner = std::hypot(t.inner.x - f.cx, t.inner.y - f.cy);
        EXPECT_NEAR(outer, 54, 1.5);
        EXPECT_NEAR(outer - inner, t.major ? 6 : 3, 1.5);
        major += t.major;
    }
    EXPECT_EQ(major, 10);
    // The 50th tick is at the top.
    EXPECT_EQ(ticks.back().outer, (SDialPoint{64, 11}));
}

TEST(AttitudeGeometry, HorizonLadderAndBankScaleFollowPitchAndRoll)
{
    const SDialFrame f = dialFrame(130, 130);
    // Nose up: the horizon 45 x sin(pitch) below the centre, the sky pie wider.
    for (const auto& [pitch, sweep] : std::vector<std::pair<float, double>>{{0, 180}, {20, 220}, {-20, 140}}) {
        const SHorizon h = horizonGeometry(instrumentAngles(EInstrumentKind::Attitude, pitch, 0), f);
        EXPECT_DOUBLE_EQ(h.skySweepDegrees, sweep) << pitch;
        EXPECT_EQ(h.triangleIsGround, pitch < 0) << pitch;
        EXPECT_NEAR(h.chordA.y, 65 + 45 * std::sin(pitch * M_PI / 180), 1e-3) << pitch;
        EXPECT_NEAR(h.chordB.y, h.chordA.y, 1e-9) << pitch;
        EXPECT_NEAR(h.chordB.x - h.chordA.x, 2 * 45 * std::cos(pitch * M_PI / 180), 1e-3) << pitch;
    }
    // Beyond the vertical one pie stays; NaN pitch and infinite roll draw level.
    const auto horizon = [&](float pitch, float roll) {
        return horizonGeometry(instrumentAngles(EInstrumentKind::Attitude, pitch, roll), f);
    };
    EXPECT_DOUBLE_EQ(horizon(120, 0).skySweepDegrees, 360);
    EXPECT_DOUBLE_EQ(horizon(-1e9f, 0).skySweepDegrees, 0);
    const SHorizon nan = horizon(std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity());
    EXPECT_DOUBLE_EQ(nan.skySweepDegrees, 180);
    EXPECT_DOUBLE_EQ(nan.rollRadians, 0);

    // Roll 30 left: the panel passes -roll as the second value, in degrees; the horizon turns in radians.
    const SHorizon h = horizonGeometry(instrumentAngles(EInstrumentKind::Attitude, 0, -30), f);
    EXPECT_NEAR(h.rollRadians, 30 * 0.017453292222222222, 1e-12);
    // The chord's left end goes up, its right end down.
    EXPECT_LT(h.chordA.y, 65 - 20);
    EXPECT_GT(h.chordB.y, 65 + 20);
    // The sky's middle (start + sweep / 2) points 30 degrees clockwise from the top.
    EXPECT_NEAR(h.skyStartDegrees + h.skySweepDegrees / 2, 270 + 30, 1e-5);
    // The bank pointer points there too.
    const SLineF p = bankPointer(h, f);
    EXPECT_GT(p.to.x, 65);
    EXPECT_LT(p.to.y, 65);

    const SHorizon level = horizonGeometry(instrumentAngles(EInstrumentKind::Attitude, 0, 0), f);
    const auto ladder = pitchLadder(level, f);
    ASSERT_EQ(ladder.size(), 13u); // one centre mark, six above and six below
    EXPECT_EQ(ladder[0].colour, ELadderColour::Green);
    EXPECT_NEAR(ladder[0].line.to.x - ladder[0].line.from.x, 10, 1e-9);
    // 30 degrees: 45 x sin 30 = 22.5 from the centre, wide; 25 degrees narrow.
    const SLadderMark& top30 = ladder[11];
    EXPECT_NEAR(top30.line.from.y, 65 - 22.5, 1e-4);
    EXPECT_NEAR(top30.line.to.x - top30.line.from.x, 10, 1e-9);
    EXPECT_NEAR(ladder[9].line.to.x - ladder[9].line.from.x, 2, 1e-9);

    const SHorizon banked = horizonGeometry(instrumentAngles(EInstrumentKind::Attitude, 0, -90), f);
    const auto turned = pitchLadder(banked, f);
    // A quarter turn makes the marks vertical.
    EXPECT_NEAR(turned[0].line.from.x, turned[0].line.to.x, 1e-6);

    const auto marks = bankScaleMarks(f);
    ASSERT_EQ(marks.size(), 9u);
    EXPECT_NEAR(marks[0].from.x, 65, 0.5); // the 0 mark at the top
    EXPECT_NEAR(marks[0].from.y, 65 - kBankScaleOuterRadiusPx, 0.5);
}

TEST(CalibrationPlotGeometry, PointsFollowTheCalibrationNumbers)
{
    // Without calibration values XY points lie on the horizontal axis, ZY on the vertical one.
    struct SRow {
        SCalibrationPoint in;
        CalibrationValues c;
        bool xy;
        double x, y;
    };
    const CalibrationValues unit{0, 0, 0, 1, 1}, none{}, offset{10, 20, 30, 2, 3};
    for (const SRow& r : {SRow{{100, 50}, unit, true, 120, 60}, SRow{{100, 50}, unit, false, 120, 60},
                          SRow{{300, -80}, none, true, NAN, 50}, SRow{{300, -80}, none, false, 100, NAN},
                          SRow{{110, 30}, offset, true, (100 * 0.002 + 1) * 100, 10 * 2 * 100 * 0.002 + 50},
                          SRow{{130, 30}, offset, false, (100 * 3 * 0.002 + 1) * 100, 10 * 100 * 0.002 + 50}}) {
        SPointF p;
        ASSERT_TRUE(r.xy ? plotXyPoint(r.in, r.c, 100, 50, p) : plotZyPoint(r.in, r.c, 100, 50, p));
        if (!std::isnan(r.x)) // NAN: not asked
            EXPECT_DOUBLE_EQ(p.x, r.x) << r.in.first << (r.xy ? " xy" : " zy");
        if (!std::isnan(r.y))
            EXPECT_DOUBLE_EQ(p.y, r.y) << r.in.first << (r.xy ? " xy" : " zy");
    }
    SPointF p;
    EXPECT_FALSE(plotXyPoint({std::numeric_limits<float>::quiet_NaN(), 0}, unit, 100, 50, p));
    EXPECT_FALSE(plotZyPoint({3e38f, 0}, CalibrationValues{0, 0, 0, 0, 3e38f}, 100, 50, p));
}
