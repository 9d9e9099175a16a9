#pragma once
// The telemetry record: the 99 bytes of one "$STP" sentence, kept byte for byte. The latest valid
// one is the current record; every one received goes to the record store. Accessors read the
// fields at their fixed positions (little-endian unless noted "high byte first").

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/ByteFields.h"

namespace orvex {

inline constexpr std::size_t kTelemetryRecordBytes = 99;

// Constants of the angle arithmetic, truncated as the rest of the system uses them.
inline constexpr double kPi = 3.1415926;
inline constexpr double kHalfPi = 1.5707963;
inline constexpr double kDegreesPerRadian = 57.295780490442965;

class CTelemetryRecord {
public:
    using Bytes = std::array<uint8_t, kTelemetryRecordBytes>;

    // All bytes zero except the head "$STP".
    CTelemetryRecord();
    explicit CTelemetryRecord(const Bytes& bytes) : m_bytes(bytes) {}
    // The first 99 bytes of `frame`; nullopt when fewer are given.
    static std::optional<CTelemetryRecord> fromBytes(std::span<const uint8_t> frame);
    // The current record at start-up: latitude 90.0 ("no position yet"), everything else zero.
    static CTelemetryRecord initialCurrent();

    const Bytes& bytes() const { return m_bytes; }
    Bytes& bytes() { return m_bytes; }

    float latitude() const { return f32(4); }
    float longitude() const { return f32(8); }
    float positionAux() const { return f32(12); }
    float heading() const { return f32(20); } // radians
    uint8_t satelliteCount() const { return m_bytes[24]; }
    uint8_t timeHour() const { return m_bytes[28]; }
    uint8_t timeMinute() const { return m_bytes[29]; }
    uint8_t timeSecond() const { return m_bytes[30]; }
    int8_t storedWaypointCount() const { return static_cast<int8_t>(m_bytes[31]); }
    uint8_t stickRudder() const { return m_bytes[32]; }
    uint8_t stickAileron() const { return m_bytes[33]; }
    uint8_t stickElevator() const { return m_bytes[34]; }
    uint8_t stickThrottle() const { return m_bytes[35]; }
    uint8_t servoRudder() const { return m_bytes[36]; }
    uint8_t servoAileron() const { return m_bytes[37]; }
    uint8_t servoElevator() const { return m_bytes[38]; }
    uint8_t servoThrottle() const { return m_bytes[39]; }
    int16_t ekfVelocityX() const { return bytes::highLowI16(m_bytes[40], m_bytes[41]); } // high byte first
    uint16_t controllerSerial() const { return bytes::readU16(&m_bytes[42]); }
    uint8_t motorPulses1() const { return m_bytes[44]; }
    uint8_t takeoffDistanceHigh() const { return m_bytes[46]; }
    uint8_t gimbalLockRadius() const { return m_bytes[47]; }
    int16_t altitude() const { return bytes::readI16(&m_bytes[48]); } // 0.1 m
    int16_t gpsVelocityX() const { return bytes::readI16(&m_bytes[50]); }
    uint8_t takeoffDistanceLow() const { return m_bytes[52]; }
    uint8_t receiverOn() const { return m_bytes[53]; }
    uint8_t swayLevel() const { return m_bytes[54]; }
    uint8_t vibrationCode() const { return m_bytes[56]; }
    int16_t accelA() const { return bytes::readI16(&m_bytes[58]); }
    int16_t accelB() const { return bytes::readI16(&m_bytes[60]); }
    int32_t pitch() const { return bytes::readI32(&m_bytes[62]); }
    int32_t roll() const { return bytes::readI32(&m_bytes[66]); }
    uint16_t supplyVoltageRaw() const { return bytes::readU16(&m_bytes[70]); }
    int16_t accelC() const { return bytes::readI16(&m_bytes[72]); }
    uint8_t targetWaypoint() const { return m_bytes[74]; }
    uint8_t controlMode() const { return m_bytes[75]; }
    uint16_t consumedCapacity() const { return bytes::readU16(&m_bytes[76]); }
    uint8_t ekfVelocityDHigh() const { return m_bytes[79]; }
    uint8_t neutralRudder() const { return m_bytes[80]; }
    uint8_t neutralAileron() const { return m_bytes[81]; }
    uint8_t neutralElevator() const { return m_bytes[82]; }
    uint8_t ekfVelocityYHigh() const { return m_bytes[83]; }
    uint16_t altitudeReference() const { return bytes::readU16(&m_bytes[84]); } // 0.1 m
    uint8_t motorPulses2() const { return m_bytes[86]; }
    uint8_t motorPulses3() const { return m_bytes[87]; }
    uint8_t motorPulses4() const { return m_bytes[88]; }
    uint8_t ekfVelocityDLow() const { return m_bytes[89]; }
    uint8_t motorPulses5() const { return m_bytes[90]; }
    uint8_t motorPulses6() const { return m_bytes[91]; }
    uint8_t current() const { return m_bytes[92]; }
    uint8_t ekfVelocityYLow() const { return m_bytes[93]; }
    int16_t gpsVelocityY() const { return bytes::readI16(&m_bytes[94]); }
    uint16_t firmwareVersion() const { return bytes::readU16(&m_bytes[96]); }
    uint8_t checksum() const { return m_bytes[98]; }

    // Composite fields.
    unsigned takeoffDistance() const { return takeoffDistanceHigh() * 256u + takeoffDistanceLow(); } // metres
    int16_t ekfVelocityD() const { return bytes::highLowI16(ekfVelocityDHigh(), ekfVelocityDLow()); }
    int16_t ekfVelocityY() const { return bytes::highLowI16(ekfVelocityYHigh(), ekfVelocityYLow()); }

    // Derived display values.
    double supplyVolts() const { return supplyVoltageRaw() * 0.0048828125; }
    double headingDegrees() const { return heading() * 180.0 / kPi; }
    // Vibration axis 0 fore-aft (0-99), 1 left-right (100-199), 2 up-down (200-255), and its value.
    int vibrationAxis() const { return vibrationCode() < 100 ? 0 : vibrationCode() < 200 ? 1 : 2; }
    int vibrationValue() const { return vibrationCode() - 100 * vibrationAxis(); }
    unsigned firmwareVersionDisplayed() const { return firmwareVersion() + 100000u; }

    // The record update's validation: latitude within -90..90 and longitude within -180..180,
    // neither of them NaN. A record that fails changes nothing but the record store.
    bool isValidForUpdate() const;

    // Setters used by the GPS line decoder (and by tests and the simulated aircraft).
    void setLatitude(float v) { bytes::writeF32(&m_bytes[4], v); }
    void setLongitude(float v) { bytes::writeF32(&m_bytes[8], v); }
    void setTime(uint8_t hour, uint8_t minute, uint8_t second)
    {
        m_bytes[28] = hour;
        m_bytes[29] = minute;
        m_bytes[30] = second;
    }
    // Recomputes byte 98 as the 8-bit sum of bytes 0-97.
    void updateChecksum();

    bool operator==(const CTelemetryRecord&) const = default;

private:
    float f32(std::size_t at) const { return bytes::readF32(&m_bytes[at]); }
    Bytes m_bytes{};
};

// One named field of the record, for tools that list every field (decoder output, log export).
enum class ETelemetryFieldType { U8, I8, U16, I16, I16HighFirst, I32, F32 };
struct STelemetryField {
    const char* name;
    ETelemetryFieldType type;
    std::size_t offset;
};
// Every named field of the record, in byte order.
std::span<const STelemetryField> telemetryFields();
// The field's value widened to double (F32 fields widened exactly).
double telemetryFieldValue(const CTelemetryRecord& record, const STelemetryField& field);

// Track angle in degrees from `older` to `newer` (atan2(dLon, dLat) through the truncated
// constants); no movement gives -90. NaN positions give NaN.
double trackAngleDegrees(float olderLatitude, float olderLongitude, float newerLatitude, float newerLongitude);
double trackAngleDegrees(const CTelemetryRecord& older, const CTelemetryRecord& newer);
// The record the track angle of store index i is measured against: max(i - 3, 0).
inline std::size_t trackAngleReferenceIndex(std::size_t index)
{
    return index >= 3 ? index - 3 : 0;
}

// Static attitude from the three accelerometer readings, degrees. Always finite: a zero third
// axis gives +-90 (or 0 when the first axis is also zero) instead of a division by zero.
struct SStaticAngle {
    double roll = 0;
    double pitch = 0;
};
SStaticAngle staticAngle(int16_t accelA, int16_t accelB, int16_t accelC);
inline SStaticAngle staticAngle(const CTelemetryRecord& r)
{
    return staticAngle(r.accelA(), r.accelB(), r.accelC());
}

// Whether the aircraft is flying by a record: some motor pulses above 0 and the altitude above
// kAirborneAltitudeDm (2 m). A record from the ground (motors stopped, or on the ground with the
// motors idling) is not airborne; neither is the start-up record before any telemetry.
inline constexpr int kAirborneAltitudeDm = 20;
bool isAirborne(const CTelemetryRecord& record);

} // namespace orvex
