#pragma once
// What a reviewer of a flight log wants first: when the aircraft took off and landed, how high
// and how far it went, the lowest autopilot voltage, the capacity used, and where records are
// missing.
//
// Only records with a good checksum that are not empty count. Take-off is the first such record
// that is airborne (isAirborne: some motor pulses above 0 and the altitude above 2 m); landing
// is the first record on the ground after the last airborne one (none when the log ends in the
// air). The flight is the stretch from take-off to landing (to the end of the log without a
// landing; the whole log without a take-off): the altitude, the distances and the distance
// flown are taken over it, the distances from the take-off position (from the first valid
// position without a take-off). The lowest voltage is over the whole log, the consumed capacity
// the last record's counter. A gap is a step of more than 2 s between the clocks of two
// consecutive counted records (a clock over midnight counts on).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

class CRecordStore;

struct SFlightEvent {
    std::size_t index = 0;
    std::optional<long> timeOfDay; // seconds after midnight by the record's clock
};

struct SFlightGap {
    std::size_t startIndex = 0; // the record before the gap
    long seconds = 0;
};

struct SFlightSummary {
    std::optional<SFlightEvent> takeoff;
    std::optional<SFlightEvent> landing;
    std::optional<long> flightSeconds; // landing - take-off by the clocks
    std::optional<double> maxAltitudeMetres;
    std::optional<double> maxDistanceMetres;
    double distanceFlownMetres = 0;
    std::optional<double> minVoltage;
    std::optional<unsigned> consumedMah;
    std::vector<SFlightGap> gaps;
};

inline constexpr long kFlightGapSeconds = 2;
inline constexpr long kSecondsPerDay = 86400;

// The record's clock (bytes 28-30) in seconds after midnight; none when it holds no time of day
// (an hour above 23, a minute or second above 59, or 00:00:00, the clock before a GPS fix).
std::optional<long> recordTimeOfDay(const std::uint8_t* record);

SFlightSummary summarizeFlight(const CRecordStore& store);
// {"takeoff": {"index": 12, "time": "10:00:05"} or null, "landing": ..., "flightSeconds": ...,
//  "maxAltitudeMetres": ..., "maxDistanceMetres": ..., "distanceFlownMetres": ..., "minVoltage": ...,
//  "consumedMah": ..., "gaps": [{"index": 40, "seconds": 5}, ...]}
std::string flightSummaryJson(const SFlightSummary& summary);
// "hh:mm:ss", or "--:--:--" without a time.
std::string timeOfDayText(std::optional<long> seconds);

} // namespace orvex
