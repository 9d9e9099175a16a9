#pragma once
// Geometry of the drawn instruments: the altimeter, the attitude indicator and the compass
// calibration plot. Everything here is plain arithmetic on the values the instrument control
// was given; the Qt control in app/panels only strokes and fills what these functions return.
//
// Angles on a dial are radians clockwise from the top. A point at angle a and distance d from
// the centre (cx, cy) is (cx + sin(a) * d, cy - sin(a + pi/2) * d), truncated toward zero.
// "Library" angles (pies and arcs) are degrees clockwise from the positive x axis, y pointing
// down, as on the screen.

#include <array>
#include <vector>

namespace orvex {

constexpr double kInstrumentPi = 3.1415926;
constexpr double kInstrumentHalfPi = 1.5707963;
constexpr double kAltimeterScale = 0.0125663704;        // one turn = 500 units
constexpr double kAttitudeScale = 0.017453292222222222; // degrees to radians
constexpr double kAltimeterTickStep = 0.125663704;      // 50 ticks a turn

enum class EInstrumentKind { Altimeter = 1, Attitude = 2, CalibrationPlot = 100 };

// The stored state of one instrument after "set values".
struct SInstrumentAngles {
    double scale = 0;
    double value = 0;  // the first value as given
    double angle1 = 0; // altimeter: first x scale; attitude: -first (degrees)
    double angle2 = 0; // altimeter: second x scale; attitude: -second x scale (radians)
};
SInstrumentAngles instrumentAngles(EInstrumentKind kind, float first, float second);

struct SDialPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const SDialPoint&, const SDialPoint&) = default;
};
// Non-finite angles or distances give the centre.
SDialPoint dialPoint(int cx, int cy, double angle, double distance);

struct SPointF {
    double x = 0;
    double y = 0;
};
struct SLineF {
    SPointF from;
    SPointF to;
};

// Centre and radius of a client rectangle: cx = w / 2, cy = h / 2, r = min(cx, cy).
struct SDialFrame {
    int cx = 0;
    int cy = 0;
    int r = 0;
};
SDialFrame dialFrame(int width, int height);

// --- altimeter ------------------------------------------------------------------------------

constexpr int kAltimeterRingInsetPx = 11; // ring outer radius = r - 11
constexpr int kAltimeterMajorTickPx = 6;
constexpr int kAltimeterMinorTickPx = 3;
constexpr int kAltimeterFirstNeedlePx = 25;
constexpr int kAltimeterHubDiameterPx = 12;

struct SAltimeterTick {
    SDialPoint outer;
    SDialPoint inner;
    bool major = false;
};
std::vector<SAltimeterTick> altimeterTicks(const SDialFrame& frame);

// --- attitude indicator ---------------------------------------------------------------------

constexpr int kAttitudeDiscRadiusPx = 45;
constexpr int kBankScaleOuterRadiusPx = 56;
constexpr int kBankScaleTickPx = 6;
constexpr double kBankScaleStep = 0.17453292222222222; // 10 degrees

struct SHorizon {
    double pitchDegrees = 0;    // p, kept within -90..90 so the sky pie stays one pie
    double rollRadians = 0;     // q, positive = left wing down: the sky turns clockwise
    double skyStartDegrees = 0; // library angles
    double skySweepDegrees = 0;
    SPointF chordA; // the two ends of the horizon chord on the disc
    SPointF chordB;
    bool triangleIsGround = false; // nose down: the chord triangle is filled with the ground
};
SHorizon horizonGeometry(const SInstrumentAngles& angles, const SDialFrame& frame);

enum class ELadderColour { Green, White };
struct SLadderMark {
    SLineF line;
    ELadderColour colour = ELadderColour::White;
};
// Fixed pitch scale (5 degree steps up to 30 above and below), turned about the centre by q.
std::vector<SLadderMark> pitchLadder(const SHorizon& horizon, const SDialFrame& frame);

// Bank scale marks at 0, +-10, +-20, +-30 and +-60 degrees from the top (fixed to the case).
std::vector<SLineF> bankScaleMarks(const SDialFrame& frame);

// Bank pointer: from the centre to the bank scale, pointing where the sky's middle points.
SLineF bankPointer(const SHorizon& horizon, const SDialFrame& frame);

// Rotates a point about the centre, clockwise on the screen for a positive angle.
SPointF rotateAbout(SPointF p, SPointF centre, double radians);

// --- calibration plot -----------------------------------------------------------------------

struct SCalibrationPoint {
    float first = 0;
    float second = 0;
};
using CalibrationValues = std::array<float, 5>; // c0 .. c4

// Plot positions (x, y) of an XY and a ZY point on an area whose half width is cx and half
// height cy. Both scales use cx. Returns false when the point cannot be placed (not finite or
// absurdly far outside the area), in which case it is not drawn.
bool plotXyPoint(SCalibrationPoint p, const CalibrationValues& c, int cx, int cy, SPointF& out);
bool plotZyPoint(SCalibrationPoint p, const CalibrationValues& c, int cx, int cy, SPointF& out);

} // namespace orvex
