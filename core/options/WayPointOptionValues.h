#pragma once
// The waypoint defaults page of the options sheet: the values of section WayPoint that new
// waypoints receive, with their allowed ranges.
//
// Opening reads every key except ZhiShiShiJian, whose field starts at 0 (so applying the page
// writes ZhiShiShiJian = 0 unless that field was changed). Applying checks the ranges in field
// order and writes all ten keys; FenPin is kept as the selection of a "1".."8" list and stored as
// selection + 1.

#include <array>
#include <optional>
#include <string>

#include "base/Settings.h"

namespace orvex {

enum class EWayPointField {
    Altitude,       // "默认高度", 5..10000
    AltitudeGps,    // "GPS 高度修正", no range
    Speed,          // hidden, 5..1000
    ZhuanWanLiang,  // hidden, 0..65535
    ZhiShiHangXian, // hidden, 0..255
    ZhiShiShiJian,  // hidden, 0..65535, starts at 0
    ZhiXingDuoJi,   // hidden, 0..65535
    DelayTime,      // hidden, 0..255
    RepeatTime,     // hidden, no range
    FenPin,         // hidden list "1".."8", 1..8
};
inline constexpr int kWayPointFieldCount = 10;

struct SWayPointFieldInfo {
    EWayPointField field;
    const SettingKey* key;
    bool hasRange;
    long long min;
    long long max;
    bool hidden;
};
const std::array<SWayPointFieldInfo, kWayPointFieldCount>& wayPointFields();

class CWayPointOptionValues {
public:
    static constexpr int kFenPinChoices = 8;

    // Reads the page's values from the settings.
    static CWayPointOptionValues load(const CSettings& settings);

    long long value(EWayPointField field) const { return m_values[static_cast<std::size_t>(field)]; }
    void setValue(EWayPointField field, long long v) { m_values[static_cast<std::size_t>(field)] = v; }
    // FenPin as the list selection (0..7).
    int fenPinSelection() const { return static_cast<int>(value(EWayPointField::FenPin)) - 1; }
    void setFenPinSelection(int index) { setValue(EWayPointField::FenPin, index + 1); }

    // The first field whose value is outside its range, in field order.
    std::optional<EWayPointField> firstInvalid() const;
    // The message for a value outside the range of `field`.
    static std::string rangeMessage(EWayPointField field);
    // Writes all ten keys. Returns false when the settings file could not be written.
    bool save(CSettings& settings) const;

private:
    std::array<long long, kWayPointFieldCount> m_values{};
};

} // namespace orvex
