#include "panels/PanelTexts.h"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "base/Format.h"

namespace orvex {

namespace {

constexpr double kRadToDegree = 57.295780490442965;
constexpr double kHeadingFactor = 0.31830988654751274; // 1 / pi, after x 180
constexpr double kVoltsPerUnit = 0.0048828125;         // 5 / 1024
constexpr double kStaticRollCheck = 0.002522;
constexpr int kFirmwareVersionBase = 100000;
constexpr int kThrottleTop = 200;

// Offsets of the fields the panels read.
constexpr std::size_t kLatitude = 4, kLongitude = 8, kHeading = 20, kSatellites = 24;
constexpr std::size_t kStoredWaypoints = 31;
constexpr std::size_t kStickRudder = 32, kStickAileron = 33, kStickElevator = 34, kStickThrottle = 35;
constexpr std::size_t kServoRudder = 36, kServoAileron = 37, kServoElevator = 38, kServoThrottle = 39;
constexpr std::size_t kEkfVelXHigh = 40, kEkfVelXLow = 41;
constexpr std::size_t kSerialHigh = 43, kSerialLow = 42;
constexpr std::size_t kTakeoffHigh = 46, kTakeoffLow = 52;
constexpr std::size_t kGimbalRadius = 47, kAltitude = 48;
constexpr std::size_t kGpsVelXHigh = 51, kGpsVelXLow = 50;
constexpr std::size_t kReceiverOn = 53, kSway = 54, kVibration = 56;
constexpr std::size_t kAccelAHigh = 59, kAccelALow = 58, kAccelBHigh = 61, kAccelBLow = 60;
constexpr std::size_t kPitch = 62, kRoll = 66;
constexpr std::size_t kVoltageHigh = 71, kVoltageLow = 70;
constexpr std::size_t kAccelCHigh = 73, kAccelCLow = 72;
constexpr std::size_t kTargetWaypoint = 74, kControlMode = 75;
constexpr std::size_t kCapacityHigh = 77, kCapacityLow = 76;
constexpr std::size_t kEkfVelDHigh = 79, kEkfVelDLow = 89;
constexpr std::size_t kNeutralRudder = 80, kNeutralAileron = 81, kNeutralElevator = 82;
constexpr std::size_t kEkfVelYHigh = 83, kEkfVelYLow = 93;
constexpr std::size_t kAltRefHigh = 85, kAltRefLow = 84;
constexpr std::size_t kCurrent = 92;
constexpr std::size_t kGpsVelYHigh = 95, kGpsVelYLow = 94;
constexpr std::size_t kFirmwareHigh = 97, kFirmwareLow = 96;

EPanelColour greenWhen(bool condition)
{
    return condition ? EPanelColour::Green : EPanelColour::Red;
}

std::string decimalBox(int value)
{
    return strprintf("%d ", value);
}

// Truncation toward zero of an angle that is finite and within a few hundred degrees.
int truncateAngle(double degrees)
{
    if (!std::isfinite(degrees)) return 0;
    return static_cast<int>(std::trunc(degrees));
}

} // namespace

unsigned recordByte(PanelRecordBytes rec, std::size_t offset)
{
    return rec[offset];
}

unsigned recordPairUnsigned(PanelRecordBytes rec, std::size_t high, std::size_t low)
{
    return rec[high] * 256u + rec[low];
}

int recordPairSigned(PanelRecordBytes rec, std::size_t high, std::size_t low)
{
    const int raw = static_cast<int>(recordPairUnsigned(rec, high, low));
    return raw >= 32768 ? raw - 65536 : raw;
}

float recordF32(PanelRecordBytes rec, std::size_t offset)
{
    const std::uint32_t raw = std::uint32_t{rec[offset]} | std::uint32_t{rec[offset + 1]} << 8 |
                              std::uint32_t{rec[offset + 2]} << 16 | std::uint32_t{rec[offset + 3]} << 24;
    return std::bit_cast<float>(raw);
}

int recordI16(PanelRecordBytes rec, std::size_t offset)
{
    return recordPairSigned(rec, offset + 1, offset);
}

std::int32_t recordI32(PanelRecordBytes rec, std::size_t offset)
{
    const std::uint32_t raw = std::uint32_t{rec[offset]} | std::uint32_t{rec[offset + 1]} << 8 |
                              std::uint32_t{rec[offset + 2]} << 16 | std::uint32_t{rec[offset + 3]} << 24;
    return std::bit_cast<std::int32_t>(raw);
}

std::string servoText(int value, int neutral, EServoAxis axis, int deadBand)
{
    const int d = std::abs(value - neutral);
    if (d <= deadBand) return "中位";
    if (axis == EServoAxis::LeftRight) return strprintf(value > neutral ? "右%d" : "左%d", d);
    return strprintf(value > neutral ? "拉%d" : "推%d", d);
}

int throttleValue(unsigned raw)
{
    const int t = kThrottleTop - static_cast<int>(raw);
    return t == 8 ? 7 : t;
}

std::string attitudeText(std::int64_t roll, std::int64_t pitch, bool withPrefix)
{
    const auto magnitude = [](std::int64_t v) {
        return v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    };
    const unsigned long long r = magnitude(roll);
    const unsigned long long p = magnitude(pitch);
    const char* side = roll >= 0 ? "左" : "右";
    const char* nose = pitch >= 0 ? "仰" : "俯";
    return strprintf("%s%s %llu,%s %llu", withPrefix ? "姿态 " : "", side, r, nose, p);
}

SVibration vibrationOf(unsigned code)
{
    const int v = static_cast<int>(code);
    if (v >= 200) return {"上下", v - 200};
    if (v >= 100) return {"左右", v - 100};
    return {"前后", v};
}

SStaticAngles staticAngles(int accelA, int accelB, int accelC)
{
    const double a = accelA, b = accelB, c = accelC;
    double roll = 0;
    if (!(a == 0 && c == 0)) {
        roll = std::atan(-a / c) * kRadToDegree;
        if (c * kStaticRollCheck < 0) roll += 180;
        if (roll > 180) roll -= 360;
        if (roll < -180) roll += 360;
    }
    const double across = std::sqrt(a * a + c * c);
    double pitch = 0;
    if (!(b == 0 && across == 0)) pitch = std::atan(-b / across) * -kRadToDegree;
    return {truncateAngle(roll), truncateAngle(pitch)};
}

CFlightDataTexts flightDataTexts(PanelRecordBytes rec)
{
    CFlightDataTexts t;
    t.takeoffDistance.text =
        strprintf("%d 米", static_cast<int>(recordPairUnsigned(rec, kTakeoffHigh, kTakeoffLow)));

    const unsigned satellites = rec[kSatellites];
    t.satellites = {decimalBox(static_cast<int>(satellites)), greenWhen(satellites >= kSatellitesGreenFrom)};

    t.gpsVelocityX.text = decimalBox(recordPairSigned(rec, kGpsVelXHigh, kGpsVelXLow));
    t.gpsVelocityY.text = decimalBox(recordPairSigned(rec, kGpsVelYHigh, kGpsVelYLow));
    t.ekfVelocityX.text = decimalBox(recordPairSigned(rec, kEkfVelXHigh, kEkfVelXLow));
    t.ekfVelocityY.text = decimalBox(recordPairSigned(rec, kEkfVelYHigh, kEkfVelYLow));
    t.ekfVelocityD.text = decimalBox(recordPairSigned(rec, kEkfVelDHigh, kEkfVelDLow));

    t.latitude.text = strprintf("%.7lf", static_cast<double>(recordF32(rec, kLatitude)));
    t.longitude.text = strprintf("%.7lf", static_cast<double>(recordF32(rec, kLongitude)));

    const int sway = rec[kSway];
    t.sway = {strprintf("%d", sway), greenWhen(!(sway > kCoefficientRedAbove))};

    const SVibration vib = vibrationOf(rec[kVibration]);
    t.vibration = {strprintf("%s%d", vib.axis, vib.amount), greenWhen(!(vib.amount > kCoefficientRedAbove))};

    const int nRudder = rec[kNeutralRudder], nAileron = rec[kNeutralAileron],
              nElevator = rec[kNeutralElevator];
    t.manualRudder.text = servoText(rec[kStickRudder], nRudder, EServoAxis::LeftRight, kManualServoDeadBand);
    t.manualAileron.text =
        servoText(rec[kStickAileron], nAileron, EServoAxis::LeftRight, kManualServoDeadBand);
    t.manualElevator.text =
        servoText(rec[kStickElevator], nElevator, EServoAxis::PushPull, kManualServoDeadBand);
    const int stickThrottle = throttleValue(rec[kStickThrottle]);
    t.manualThrottle = {strprintf("%d", stickThrottle), greenWhen(stickThrottle >= kThrottleGreenFrom)};

    const int rudderOffset = std::abs(static_cast<int>(rec[kServoRudder]) - nRudder);
    t.actualRudder = {servoText(rec[kServoRudder], nRudder, EServoAxis::LeftRight, kActualServoDeadBand),
                      greenWhen(rudderOffset < kActualRudderGreenBelow)};
    t.actualAileron.text =
        servoText(rec[kServoAileron], nAileron, EServoAxis::LeftRight, kActualServoDeadBand);
    t.actualElevator.text =
        servoText(rec[kServoElevator], nElevator, EServoAxis::PushPull, kActualServoDeadBand);
    t.actualThrottle.text = strprintf("%d", throttleValue(rec[kServoThrottle]));

    const unsigned receiver = rec[kReceiverOn];
    t.receiver = {receiver == 1 ? "开" : "关", greenWhen(receiver != 0)};
    return t;
}

COtherDataTexts otherDataTexts(PanelRecordBytes rec)
{
    COtherDataTexts t;
    t.firmwareVersion = strprintf(
        "%d", static_cast<int>(recordPairUnsigned(rec, kFirmwareHigh, kFirmwareLow)) + kFirmwareVersionBase);
    const unsigned serial = recordPairUnsigned(rec, kSerialHigh, kSerialLow);
    if (serial > kSerialShownAbove) t.serialNumber = strprintf("%d", static_cast<int>(serial));
    t.heading = strprintf("%.1lf", static_cast<double>(recordF32(rec, kHeading)) * 180 * kHeadingFactor);
    t.attitude = attitudeText(recordI32(rec, kRoll), recordI32(rec, kPitch), false);
    const SStaticAngles still = staticAngles(recordPairSigned(rec, kAccelAHigh, kAccelALow),
                                             recordPairSigned(rec, kAccelBHigh, kAccelBLow),
                                             recordPairSigned(rec, kAccelCHigh, kAccelCLow));
    t.staticAngle = attitudeText(still.roll, still.pitch, false);
    t.current = strprintf("%d A", static_cast<int>(rec[kCurrent]));
    t.consumedCapacity =
        strprintf("%d mAH", static_cast<int>(recordPairUnsigned(rec, kCapacityHigh, kCapacityLow)));
    t.supplyVoltage =
        strprintf("%.2lf V", recordPairUnsigned(rec, kVoltageHigh, kVoltageLow) * kVoltsPerUnit);
    return t;
}

CFlightControlTexts flightControlTexts(PanelRecordBytes rec)
{
    CFlightControlTexts t;
    const int altitudeMetres = recordI16(rec, kAltitude) / 10; // integer division truncates toward zero
    t.altimeterFirst = altitudeMetres;
    t.altimeterSecond = static_cast<int>(recordPairUnsigned(rec, kAltRefHigh, kAltRefLow)) / 10;
    t.altitudeLabel = strprintf("高度 %d 米", altitudeMetres);

    const std::int64_t pitch = recordI32(rec, kPitch);
    const std::int64_t roll = recordI32(rec, kRoll);
    t.attitudeFirst = static_cast<double>(pitch);
    t.attitudeSecond = -static_cast<double>(roll);
    t.attitudeLabel = attitudeText(roll, pitch, true);

    const unsigned mode = rec[kControlMode];
    t.flightModeIndex = mode < kFlightModeNames.size() ? static_cast<int>(mode) : -1;

    const int target = static_cast<int>(rec[kTargetWaypoint]) + 1;
    const int stored = static_cast<std::int8_t>(rec[kStoredWaypoints]);
    t.targetWaypoint = strprintf("%d/%d", target, stored);
    t.altitude = strprintf("%d", altitudeMetres);
    t.statusLine = strprintf("云台锁定半径：%d 米", static_cast<int>(rec[kGimbalRadius]));
    return t;
}

} // namespace orvex
