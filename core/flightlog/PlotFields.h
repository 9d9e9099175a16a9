#pragma once
// The plottable fields of the telemetry record: one table, read by the plot bar, by `orvex log
// plot` and by the CSV export (whose derived columns are these fields, in this order), so that
// what a curve shows and what a spreadsheet gets cannot drift apart.

#include <span>
#include <string>
#include <string_view>

namespace orvex {

class CTelemetryRecord;

struct SPlotField {
    const char* name;  // column and command-line name, e.g. "altitudeMetres"
    const char* label; // shown to the operator, e.g. "高度"
    const char* unit;  // e.g. "m"; empty for counts
    int decimals;      // digits after the point in texts and CSV
    double (*read)(const CTelemetryRecord& record);
};

// altitudeMetres, groundSpeed, climbRate, rollDegrees, pitchDegrees, headingDegrees,
// satellites, voltage, currentAmps, consumedMah, enginePulses, takeoffDistanceMetres,
// targetWaypointIndex.
std::span<const SPlotField> plotFields();
// The field of that name; nullptr when there is none.
const SPlotField* findPlotField(std::string_view name);
// The value as text with the field's decimals (no unit).
std::string plotValueText(const SPlotField& field, double value);

} // namespace orvex
