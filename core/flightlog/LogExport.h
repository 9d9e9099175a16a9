#pragma once
// Inspection and export of flight log files (used by `orvex log`): a summary of the records, and
// the records as CSV (one column per named record field) or the flight track as KML or GPX.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

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
};

// A record that places the aircraft: checksum good, not empty, latitude -90..90 and longitude
// -180..180 (not NaN).
bool recordHasValidPosition(const std::uint8_t* record);

SLogSummary summarizeLog(const CRecordStore& store, std::uint64_t fileSize);
std::string logSummaryJson(const SLogSummary& summary);

enum class ELogExportFormat { Csv, Kml, Gpx };

// Writes the export to `out`. `name` titles the KML document and the GPX track. Returns false
// when writing failed (the caller reports it).
bool exportLog(const CRecordStore& store, ELogExportFormat format, const std::string& name, std::FILE* out);

} // namespace orvex
