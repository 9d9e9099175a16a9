#pragma once
// Builders of the sentences the aircraft sends: the flight controller's side of the downlink, used
// by the simulated aircraft and by tests that need well-formed input. Each returns the whole
// sentence with its checksum or inner sum in place.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DownlinkSink.h"
#include "protocol/TelemetryRecord.h"

namespace orvex::downlink {

using Sentence = std::vector<uint8_t>;

// "$STP": the record's bytes with the head and the checksum at 98 set.
Sentence telemetry(const CTelemetryRecord& record);
// "$SETD": number at 5, f32 latitude 6, f32 longitude 10, i32 altitude 14, i32 photo mode 18,
// circle flag 24, circle time high 25 / low 26, checksum 30.
Sentence waypointEcho(const SWaypointEcho& echo);
// "$PAR": 40 parameter bytes at 4-43, checksum 44.
Sentence parameterValues(std::span<const uint8_t, 40> values);
// "$PUR": 32 custom parameters at 4-35; byte 36 the sum of 4-35.
Sentence customParameters(std::span<const uint8_t, 32> values);
// "$MG2" / "$MG3": two f32 at 4 and 8, sum of 4-11 at 12.
Sentence compassPoint(ECompassPlane plane, float first, float second);
// "$MG1": five f32 at 4..20, sum of 4-23 at 24.
Sentence compassCalibration(const std::array<float, 5>& values);
// "$QUZA": 35 bytes, no checksum.
Sentence photoReport(const SPhotoReport& report);
// A bare six-byte acknowledgement ("$T2POK", "$DOCAP", "$SATEL", "$STSAT", ...).
Sentence acknowledgement(EAcknowledgement kind);
// "$GPGGA" line in fixed columns (hhmmss.ss, ddmm.mmmm, dddmm.mmmm), CR LF ended, NMEA checksum.
Sentence gpgga(double latitude, double longitude, uint8_t hour, uint8_t minute, uint8_t second,
               int satellites, double altitudeMetres);

} // namespace orvex::downlink
