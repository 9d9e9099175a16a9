#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <algorithm>

#include "ProtocolTestSupport.h"
#include "protocol/TelemetryRecord.h"

using namespace orvex;
using namespace orvex::test;

namespace {

struct SField {
    const char* name;
    double accessor, expected;
    template <class T> SField(const char* n, T a, double e) : name(n), accessor(double(a)), expected(e) {}
};

TEST(TelemetryRecord, FieldsAtTheirPositions)
{
    // Every field given a distinct value, written byte by byte from the layout (little-endian
    // unless noted; the sum byte is appended).
    Bytes b = hex(
        "24 53 54 50  00 00 B4 41  00 80 E2 C2  00 00 00 3E" // 0 head, 4 latitude 22.5, 8 longitude -113.25, 12 aux 0.125
        "00 00 00 00  00 00 C0 3F  0B 00 00 00  0D 0E 0F FE" // 20 heading 1.5, 24 satellites 11, 28-30 time, 31 count -2
        "64 65 66 67  68 69 6A 6B  FF 38 E1 10  2C 00 01 2F" // 32-39 sticks, servos, 40 ekfVelocityX high first -200,
                                                             // 42 serial 4321, 44 motor 1, 46 take-off high, 47 lock radius
        "2E FB CE FF  2C 01 36 00  96 00 9C FF  C8 00 F9 FF" // 48 altitude -1234, 50 gps vx -50, 52 take-off low, 53 receiver,
                                                             // 54 sway, 56 vibration 150, 58 accelA -100, 60 accelB 200, 62 pitch
        "FF FF 0C 00  00 00 9A 09  2C 01 4A 4B  FD 1D 00 FF" // -7, 66 roll 12, 70 supply 2458, 72 accelC 300, 74 target,
                                                             // 75 mode, 76 capacity 7677, 79 ekfVelocityD high
        "50 51 52 80  25 21 56 57  58 FE 5A 5B  5C 00 E9 DA" // 80-82 neutrals, 83 ekfVelocityY high, 84 reference 8485,
                                                             // 86-88 motors, 89 vD low, 90-91 motors, 92 current, 93 vY low,
                                                             // 94 gps vy -9495
        "29 09");                                            // 96 firmware 2345
    withSum(b);
    const auto parsed = CTelemetryRecord::fromBytes(b);
    ASSERT_TRUE(parsed);
    const CTelemetryRecord& r = *parsed;
    EXPECT_EQ(r.bytes()[98], b[98]);
    // Each accessor and the field table entry of the same name (read by the decoder and log
    // export) give the value written at the field's place.
    const SField fields[] = {
        {"latitude", r.latitude(), 22.5},          {"longitude", r.longitude(), -113.25},
        {"positionAux", r.positionAux(), 0.125},   {"heading", r.heading(), 1.5},
        {"satelliteCount", r.satelliteCount(), 11}, {"timeHour", r.timeHour(), 13},
        {"timeMinute", r.timeMinute(), 14},        {"timeSecond", r.timeSecond(), 15},
        {"storedWaypointCount", r.storedWaypointCount(), -2},
        {"stickRudder", r.stickRudder(), 100},     {"stickAileron", r.stickAileron(), 101},
        {"stickElevator", r.stickElevator(), 102}, {"stickThrottle", r.stickThrottle(), 103},
        {"servoRudder", r.servoRudder(), 104},     {"servoAileron", r.servoAileron(), 105},
        {"servoElevator", r.servoElevator(), 106}, {"servoThrottle", r.servoThrottle(), 107},
        {"ekfVelocityX", r.ekfVelocityX(), -200},  {"controllerSerial", r.controllerSerial(), 4321},
        {"motorPulses1", r.motorPulses1(), 44},    {"takeoffDistanceHigh", r.takeoffDistanceHigh(), 1},
        {"gimbalLockRadius", r.gimbalLockRadius(), 47}, {"altitude", r.altitude(), -1234},
        {"gpsVelocityX", r.gpsVelocityX(), -50},   {"takeoffDistanceLow", r.takeoffDistanceLow(), 0x2C},
        {"receiverOn", r.receiverOn(), 1},         {"swayLevel", r.swayLevel(), 54},
        {"vibrationCode", r.vibrationCode(), 150}, {"accelA", r.accelA(), -100},
        {"accelB", r.accelB(), 200},               {"pitch", r.pitch(), -7},
        {"roll", r.roll(), 12},                    {"supplyVoltageRaw", r.supplyVoltageRaw(), 2458},
        {"accelC", r.accelC(), 300},               {"targetWaypoint", r.targetWaypoint(), 74},
        {"controlMode", r.controlMode(), 75},      {"consumedCapacity", r.consumedCapacity(), 7677},
        {"ekfVelocityDHigh", r.ekfVelocityDHigh(), 0xFF}, {"neutralRudder", r.neutralRudder(), 80},
        {"neutralAileron", r.neutralAileron(), 81}, {"neutralElevator", r.neutralElevator(), 82},
        {"ekfVelocityYHigh", r.ekfVelocityYHigh(), 0x80}, {"altitudeReference", r.altitudeReference(), 8485},
        {"motorPulses2", r.motorPulses2(), 86},    {"motorPulses3", r.motorPulses3(), 87},
        {"motorPulses4", r.motorPulses4(), 88},    {"ekfVelocityDLow", r.ekfVelocityDLow(), 0xFE},
        {"motorPulses5", r.motorPulses5(), 90},    {"motorPulses6", r.motorPulses6(), 91},
        {"current", r.current(), 92},              {"ekfVelocityYLow", r.ekfVelocityYLow(), 0},
        {"gpsVelocityY", r.gpsVelocityY(), -9495}, {"firmwareVersion", r.firmwareVersion(), 2345},
    };
    const auto table = telemetryFields();
    ASSERT_EQ(table.size(), std::size(fields));
    for (const auto& f : fields) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(f.accessor, f.expected);
        const auto entry = std::find_if(table.begin(), table.end(), [&](const auto& t) { return t.name == std::string(f.name); });
        ASSERT_NE(entry, table.end());
        EXPECT_EQ(telemetryFieldValue(r, *entry), f.expected);
    }
    // Composite fields: take-off distance 0x01 / 0x2C is 300 m, vertical velocity 0xFF 0xFE is -2,
    // lateral velocity 0x80 0x00 is -32768; vibration code 150 is left-right 50.
    EXPECT_EQ(r.takeoffDistance(), 300u);
    EXPECT_EQ(r.ekfVelocityD(), -2);
    EXPECT_EQ(r.ekfVelocityY(), -32768);
    EXPECT_EQ(r.vibrationAxis(), 1);
    EXPECT_EQ(r.vibrationValue(), 50);
    EXPECT_DOUBLE_EQ(r.supplyVolts(), 2458 * 5.0 / 1024);
    EXPECT_EQ(r.firmwareVersionDisplayed(), 102345u);
    EXPECT_FALSE(CTelemetryRecord::fromBytes(Bytes(98, 0)).has_value());
    EXPECT_EQ(CTelemetryRecord::initialCurrent().latitude(), 90.0f);
}

TEST(TelemetryRecord, UpdateValidationRejectsOutOfRangeAndNaN)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct {
        float lat, lon;
        bool valid;
    } cases[] = {
        {22.5f, 113.5f, true}, {90.0f, 180.0f, true},   {-90.0f, -180.0f, true}, {91.0f, 0.0f, false},
        {-90.5f, 0.0f, false}, {0.0f, 180.01f, false}, {0.0f, -181.0f, false}, {nan, 0.0f, false},
        {0.0f, nan, false},    {std::numeric_limits<float>::infinity(), 0.0f, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CTelemetryRecord(stpRecord(c.lat, c.lon)).isValidForUpdate(), c.valid) << c.lat << " " << c.lon;
}

TEST(TelemetryRecord, TrackAngleDirectionsAndNoMovement)
{
    struct {
        float lat1, lon1, lat2, lon2;
        double degrees, tolerance;
    } cases[] = {
        {10, 20, 10, 20, -90.0, 1e-5},  // no movement
        {10, 20, 11, 20, 0.0, 1e-5},    // north
        {10, 20, 10, 21, 90.0, 1e-5},   // east
        {10, 20, 9, 20, -180.0, 1e-4},  // south: a - pi
        {10, 20, 11, 21, 45.0, 1e-4},   {10, 20, 9, 21, 135.0, 1e-4},
        {10, 20, 9, 19, -135.0, 1e-4},  {10, 20, 11, 19, -45.0, 1e-4},
        // atan(1/2) = 26.565 degrees east of north, and its mirror more east than north.
        {0, 0, 2, 1, 26.56505, 1e-4},   {0, 0, 1, 2, 63.43495, 1e-4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lat1 << "," << c.lon1 << " -> " << c.lat2 << "," << c.lon2);
        EXPECT_NEAR(trackAngleDegrees(c.lat1, c.lon1, c.lat2, c.lon2), c.degrees, c.tolerance);
    }
    EXPECT_TRUE(std::isnan(trackAngleDegrees(std::nanf(""), 0, 1, 1)));
    EXPECT_EQ(trackAngleReferenceIndex(2), 0u);
    EXPECT_EQ(trackAngleReferenceIndex(10), 7u);
}

TEST(TelemetryRecord, StaticAngleQuadrantsAndLimitsForAZeroAxis)
{
    struct {
        int16_t x, y, z;
        double roll, pitch, tolerance;
    } cases[] = {
        {0, 0, 1000, 0, 0, 1e-9},        // level
        {-1000, 0, 1000, 45, 0, 1e-4},   // atan(1) = 45
        {0, 0, -1000, 180, 0, 1e-9},     // upside down: 0 + 180
        {1000, 0, -1000, -135, 0, 1e-4}, // atan(1) + 180 = 225, brought into range: -135
        {0, 1000, 1000, 0, 45, 1e-4},    // pitch = -atan(-1)
        // Third axis zero: limits instead of a division by zero.
        {-500, 0, 0, 90, 0, 1e-9},       {500, 0, 0, -90, 0, 1e-9},
        {0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << " " << c.y << " " << c.z);
        const auto a = staticAngle(c.x, c.y, c.z);
        EXPECT_NEAR(a.roll, c.roll, c.tolerance);
        EXPECT_NEAR(a.pitch, c.pitch, c.tolerance);
    }
}

} // namespace
