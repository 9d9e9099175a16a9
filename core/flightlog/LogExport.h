#pragma once
// Inspection and export of flight log files (used by `orvex log`): a summary of the records, and
// the records as CSV (one column per named record field) or the flight track as KML or GPX.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "flightlog/FlightSummary.h"

namespace orvex {

class CRecordStore;

struct SLogPosition {
    float latitude = 0;
    float longitude = 0;
};

struct SLogSummary {
    std::size_t records = 0;
    std::size_t tailBytes = 0; // bytes after the last whole record
    std::size_t emptyRecords = 0;
    std::size_t badChecksum = 0;
    std::optional<SLogPosition> first; // first and last valid position
    std::optional<SLogPosition> last;
    std::optional<long> durationSeconds; // from the time-of-day fields, when they hold times
    SFlightSummary flight;
};

// A record that places the aircraft: checksum good, not empty, latitude -90..90 and longitude
// -180..180 (not NaN).
bool recordHasValidPosition(const std::uint8_t* record);

SLogSummary summarizeLog(const CRecordStore& store, std::uint64_t fileSize);
std::string logSummaryJson(const SLogSummary& summary);

enum class ELogExportFormat { Csv, Kml, Gpx };

// The clock of a log: the link was opened at `opened` (seconds since 1970, UTC), and the records'
// time-of-day fields keep the zone `recordUtcOffsetSeconds` east of UTC.
struct SLogClock {
    long long opened = 0;
    long recordUtcOffsetSeconds = 0;
};
// From a live log's name "YYYYMMDDhhmmss[.hj]" (the local time of this machine at which the link
// was opened); none for other names. Without `utcOffsetHours` the records keep this machine's
// zone on that date.
std::optional<SLogClock> logClockFromName(const std::string& fileName, std::optional<double> utcOffsetHours);

// The UTC instant (seconds since 1970) of each record with a time of day: the first one on the
// day that puts it nearest to the opening of the link, each later one on from the one before it
// (so a clock passing midnight rolls the day over). Records without a time get none.
class CLogTimes {
  public:
    explicit CLogTimes(const SLogClock& clock) : m_clock(clock) {}
    std::optional<long long> next(const std::uint8_t* record);

  private:
    SLogClock m_clock;
    std::optional<long long> m_last;
    long m_lastTimeOfDay = 0;
};
// "2026-03-07T02:05:09Z"
std::string utcTimeText(long long secondsSince1970);

// Writes the export to `out`. `name` titles the KML document and the GPX track. With a clock,
// GPX track points carry <time> and the KML track is a gx:Track with <when>. The CSV has the
// record's fields as stored, then the plot fields (plotFields()) in their units. Returns false
// when writing failed (the caller reports it).
bool exportLog(const CRecordStore& store, ELogExportFormat format, const std::string& name, std::FILE* out,
               const std::optional<SLogClock>& clock = std::nullopt);

} // namespace orvex
