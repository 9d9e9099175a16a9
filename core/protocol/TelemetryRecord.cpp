#include "protocol/TelemetryRecord.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvex {

CTelemetryRecord::CTelemetryRecord()
{
    std::memcpy(m_bytes.data(), "$STP", 4);
}

std::optional<CTelemetryRecord> CTelemetryRecord::fromBytes(std::span<const uint8_t> frame)
{
    if (frame.size() < kTelemetryRecordBytes)
        return std::nullopt;
    CTelemetryRecord record;
    std::copy_n(frame.begin(), kTelemetryRecordBytes, record.m_bytes.begin());
    return record;
}

CTelemetryRecord CTelemetryRecord::initialCurrent()
{
    CTelemetryRecord record;
    record.setLatitude(90.0f);
    return record;
}

bool CTelemetryRecord::isValidForUpdate() const
{
    const float lat = latitude();
    const float lon = longitude();
    if (std::isnan(lat) || std::isnan(lon))
        return false;
    return lon >= -180.0f && lon <= 180.0f && lat >= -90.0f && lat <= 90.0f;
}

void CTelemetryRecord::updateChecksum()
{
    m_bytes[98] = bytes::sum8(m_bytes.data(), m_bytes.data() + 98);
}

namespace {

using T = ETelemetryFieldType;
constexpr STelemetryField kFields[] = {
    {"latitude", T::F32, 4},
    {"longitude", T::F32, 8},
    {"positionAux", T::F32, 12},
    {"heading", T::F32, 20},
    {"satelliteCount", T::U8, 24},
    {"timeHour", T::U8, 28},
    {"timeMinute", T::U8, 29},
    {"timeSecond", T::U8, 30},
    {"storedWaypointCount", T::I8, 31},
    {"stickRudder", T::U8, 32},
    {"stickAileron", T::U8, 33},
    {"stickElevator", T::U8, 34},
    {"stickThrottle", T::U8, 35},
    {"servoRudder", T::U8, 36},
    {"servoAileron", T::U8, 37},
    {"servoElevator", T::U8, 38},
    {"servoThrottle", T::U8, 39},
    {"ekfVelocityX", T::I16HighFirst, 40},
    {"controllerSerial", T::U16, 42},
    {"motorPulses1", T::U8, 44},
    {"takeoffDistanceHigh", T::U8, 46},
    {"gimbalLockRadius", T::U8, 47},
    {"altitude", T::I16, 48},
    {"gpsVelocityX", T::I16, 50},
    {"takeoffDistanceLow", T::U8, 52},
    {"receiverOn", T::U8, 53},
    {"swayLevel", T::U8, 54},
    {"vibrationCode", T::U8, 56},
    {"accelA", T::I16, 58},
    {"accelB", T::I16, 60},
    {"pitch", T::I32, 62},
    {"roll", T::I32, 66},
    {"supplyVoltageRaw", T::U16, 70},
    {"accelC", T::I16, 72},
    {"targetWaypoint", T::U8, 74},
    {"controlMode", T::U8, 75},
    {"consumedCapacity", T::U16, 76},
    {"ekfVelocityDHigh", T::U8, 79},
    {"neutralRudder", T::U8, 80},
    {"neutralAileron", T::U8, 81},
    {"neutralElevator", T::U8, 82},
    {"ekfVelocityYHigh", T::U8, 83},
    {"altitudeReference", T::U16, 84},
    {"motorPulses2", T::U8, 86},
    {"motorPulses3", T::U8, 87},
    {"motorPulses4", T::U8, 88},
    {"ekfVelocityDLow", T::U8, 89},
    {"motorPulses5", T::U8, 90},
    {"motorPulses6", T::U8, 91},
    {"current", T::U8, 92},
    {"ekfVelocityYLow", T::U8, 93},
    {"gpsVelocityY", T::I16, 94},
    {"firmwareVersion", T::U16, 96},
};

} // namespace

std::span<const STelemetryField> telemetryFields()
{
    return kFields;
}

double telemetryFieldValue(const CTelemetryRecord& record, const STelemetryField& field)
{
    const uint8_t* p = record.bytes().data() + field.offset;
    switch (field.type) {
    case T::U8:
        return p[0];
    case T::I8:
        return static_cast<int8_t>(p[0]);
    case T::U16:
        return bytes::readU16(p);
    case T::I16:
        return bytes::readI16(p);
    case T::I16HighFirst:
        return bytes::highLowI16(p[0], p[1]);
    case T::I32:
        return bytes::readI32(p);
    case T::F32:
        return bytes::readF32(p);
    }
    return 0;
}

double trackAngleDegrees(float olderLatitude, float olderLongitude, float newerLatitude, float newerLongitude)
{
    const double dLat = static_cast<double>(newerLatitude) - static_cast<double>(olderLatitude);
    const double dLon = static_cast<double>(newerLongitude) - static_cast<double>(olderLongitude);
    const double absLat = std::fabs(dLat);
    const double absLon = std::fabs(dLon);
    const double larger = absLat > absLon ? absLat : absLon;
    const double smaller = absLat > absLon ? absLon : absLat;
    double a = larger == 0 ? kHalfPi : std::atan(smaller / larger);
    if (absLon > absLat)
        a = kHalfPi - a;
    double angle;
    if (dLat <= 0)
        angle = dLon > 0 ? kPi - a : a - kPi;
    else
        angle = dLon > 0 ? a : -a;
    if (std::isnan(dLat) || std::isnan(dLon))
        angle = std::nan("");
    return angle * kDegreesPerRadian;
}

double trackAngleDegrees(const CTelemetryRecord& older, const CTelemetryRecord& newer)
{
    return trackAngleDegrees(older.latitude(), older.longitude(), newer.latitude(), newer.longitude());
}

SStaticAngle staticAngle(int16_t accelA, int16_t accelB, int16_t accelC)
{
    const double a = accelA;
    const double b = accelB;
    const double c = accelC;
    SStaticAngle out;
    // atan(x / 0) is taken as its limit, +-90 degrees, and 0 / 0 as 0.
    auto atanRatioDegrees = [](double num, double den) {
        if (den != 0)
            return std::atan(num / den) * kDegreesPerRadian;
        if (num == 0)
            return 0.0;
        return (num > 0) == (den >= 0) ? 90.0 : -90.0;
    };
    double r = atanRatioDegrees(-a, c);
    if (c < 0)
        r += 180;
    if (r > 180)
        r -= 360;
    else if (r < -180)
        r += 360;
    out.roll = r;
    out.pitch = -atanRatioDegrees(-b, std::sqrt(a * a + c * c));
    return out;
}

bool isAirborne(const CTelemetryRecord& record)
{
    const int pulses[] = {record.motorPulses1(), record.motorPulses2(), record.motorPulses3(),
                          record.motorPulses4(), record.motorPulses5(), record.motorPulses6()};
    bool motorsRunning = false;
    for (int p : pulses)
        motorsRunning = motorsRunning || p > 0;
    return motorsRunning && record.altitude() > kAirborneAltitudeDm;
}

} // namespace orvex
