#include "panels/InstrumentGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvex {

namespace {

// Pies and arcs are drawn in exact degrees, so the chord ends are placed with the exact pi.
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr double kMaxPitchDegrees = 90;
constexpr double kPlotLimit = 1e6; // farther than this from the area is not drawn
constexpr double kPlotFactor = 0.002;

// Unrotated ladder: k = 0 .. 6 at 5 degree steps; half widths of the marks.
constexpr int kLadderSteps = 6;
constexpr double kLadderStepDegrees = 5;
constexpr double kLadderWideHalfPx = 5;
constexpr double kLadderNarrowHalfPx = 1;

int truncateCoordinate(double v)
{
    return static_cast<int>(std::trunc(v));
}

SPointF onDisc(const SDialFrame& f, double libraryDegrees, double radius)
{
    const double a = libraryDegrees / kDegreesPerRadian;
    return {f.cx + std::cos(a) * radius, f.cy + std::sin(a) * radius};
}

} // namespace

SInstrumentAngles instrumentAngles(EInstrumentKind kind, float first, float second)
{
    SInstrumentAngles s;
    s.value = first;
    switch (kind) {
    case EInstrumentKind::Altimeter:
        s.scale = kAltimeterScale;
        s.angle1 = first * s.scale;
        s.angle2 = second * s.scale;
        break;
    case EInstrumentKind::Attitude:
        s.scale = kAttitudeScale;
        s.angle1 = -static_cast<double>(first);
        s.angle2 = -static_cast<double>(second) * kAttitudeScale;
        break;
    case EInstrumentKind::CalibrationPlot:
        break;
    }
    return s;
}

SDialPoint dialPoint(int cx, int cy, double angle, double distance)
{
    const double x = cx + std::sin(angle) * distance;
    const double y = cy - std::sin(angle + kInstrumentHalfPi) * distance;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kPlotLimit || std::fabs(y) > kPlotLimit)
        return {cx, cy};
    return {truncateCoordinate(x), truncateCoordinate(y)};
}

SDialFrame dialFrame(int width, int height)
{
    SDialFrame f;
    f.cx = std::max(width, 0) / 2;
    f.cy = std::max(height, 0) / 2;
    f.r = std::min(f.cx, f.cy);
    return f;
}

std::vector<SAltimeterTick> altimeterTicks(const SDialFrame& frame)
{
    std::vector<SAltimeterTick> ticks;
    const int outer = frame.r - kAltimeterRingInsetPx;
    for (int i = 1; i <= 50; ++i) {
        const double a = i * kAltimeterTickStep;
        const bool major = i % 5 == 0;
        const int inner = outer - (major ? kAltimeterMajorTickPx : kAltimeterMinorTickPx);
        ticks.push_back(
            {dialPoint(frame.cx, frame.cy, a, outer), dialPoint(frame.cx, frame.cy, a, inner), major});
    }
    return ticks;
}

SPointF rotateAbout(SPointF p, SPointF centre, double radians)
{
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    const double c = std::cos(radians), s = std::sin(radians);
    return {centre.x + dx * c - dy * s, centre.y + dx * s + dy * c};
}

SHorizon horizonGeometry(const SInstrumentAngles& angles, const SDialFrame& frame)
{
    SHorizon h;
    double p = -angles.angle1;
    if (!std::isfinite(p)) p = 0;
    h.pitchDegrees = std::clamp(p, -kMaxPitchDegrees, kMaxPitchDegrees);
    h.rollRadians = std::isfinite(angles.angle2) ? std::remainder(angles.angle2, 2 * kInstrumentPi) : 0.0;
    h.skyStartDegrees = h.rollRadians * kDegreesPerRadian - h.pitchDegrees + 180;
    h.skySweepDegrees = 180 + 2 * h.pitchDegrees;
    h.chordA = onDisc(frame, h.skyStartDegrees, kAttitudeDiscRadiusPx);
    h.chordB = onDisc(frame, h.skyStartDegrees + h.skySweepDegrees, kAttitudeDiscRadiusPx);
    h.triangleIsGround = h.pitchDegrees < 0;
    return h;
}

std::vector<SLadderMark> pitchLadder(const SHorizon& horizon, const SDialFrame& frame)
{
    std::vector<SLadderMark> marks;
    const SPointF centre{static_cast<double>(frame.cx), static_cast<double>(frame.cy)};
    for (int k = 0; k <= kLadderSteps; ++k) {
        const double d = kAttitudeDiscRadiusPx * std::sin(k * kLadderStepDegrees / kDegreesPerRadian);
        const double half = (k % 2 == 0) ? kLadderWideHalfPx : kLadderNarrowHalfPx;
        const ELadderColour colour = k == 0 ? ELadderColour::Green : ELadderColour::White;
        for (const double side : {-1.0, 1.0}) {
            const double y = centre.y + side * d;
            const SLineF line{rotateAbout({centre.x - half, y}, centre, horizon.rollRadians),
                              rotateAbout({centre.x + half, y}, centre, horizon.rollRadians)};
            marks.push_back({line, colour});
            if (k == 0) break;
        }
    }
    return marks;
}

std::vector<SLineF> bankScaleMarks(const SDialFrame& frame)
{
    std::vector<double> angles;
    for (int i = 0; i <= 3; ++i) {
        angles.push_back(i * kBankScaleStep);
        if (i > 0) angles.push_back(2 * kInstrumentPi - i * kBankScaleStep);
    }
    angles.push_back(6 * kBankScaleStep);
    angles.push_back(2 * kInstrumentPi - 6 * kBankScaleStep);

    std::vector<SLineF> marks;
    for (const double a : angles) {
        const SDialPoint outer = dialPoint(frame.cx, frame.cy, a, kBankScaleOuterRadiusPx);
        const SDialPoint inner = dialPoint(frame.cx, frame.cy, a, kBankScaleOuterRadiusPx - kBankScaleTickPx);
        marks.push_back({{double(outer.x), double(outer.y)}, {double(inner.x), double(inner.y)}});
    }
    return marks;
}

SLineF bankPointer(const SHorizon& horizon, const SDialFrame& frame)
{
    const SDialPoint tip = dialPoint(frame.cx, frame.cy, horizon.rollRadians, kBankScaleOuterRadiusPx);
    return {{double(frame.cx), double(frame.cy)}, {double(tip.x), double(tip.y)}};
}

namespace {

bool placePoint(double x, double y, SPointF& out)
{
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kPlotLimit || std::fabs(y) > kPlotLimit)
        return false;
    out = {x, y};
    return true;
}

} // namespace

bool plotXyPoint(SCalibrationPoint p, const CalibrationValues& c, int cx, int cy, SPointF& out)
{
    const double x = ((double(p.first) - c[0]) * kPlotFactor + 1) * cx;
    const double y = (double(p.second) - c[1]) * c[3] * cx * kPlotFactor + cy;
    return placePoint(x, y, out);
}

bool plotZyPoint(SCalibrationPoint p, const CalibrationValues& c, int cx, int cy, SPointF& out)
{
    const double x = ((double(p.first) - c[2]) * c[4] * kPlotFactor + 1) * cx;
    const double y = (double(p.second) - c[1]) * cx * kPlotFactor + cy;
    return placePoint(x, y, out);
}

} // namespace orvex
