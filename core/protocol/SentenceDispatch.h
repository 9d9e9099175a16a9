#pragma once
// From a recognised sentence to its decoder and its sink event, written once for both receivers:
// the serial parsing cycle and the UDP sentence step find a complete frame (checksum already
// verified where the keyword has one) and hand it here with the keyword it matched.

#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/DownlinkSink.h"

namespace orvex {

enum class ESentence {
    NmeaLine, WaypointIndexEcho, PhotoMark, RouteSummary, Telemetry, Parameters, CompassPoint,
    CompassCalibration, CustomParameters, ParameterSnapshot, Opaque, WaypointEcho, ServoChannels,
    Acknowledgement, PhotoReport,
};

// Decodes `frame` (the whole sentence, its keyword `keyword` first) and raises its event on `sink`.
// An acknowledgement finds its kind from the keyword; "$SATEL" asks the alignment question.
void dispatchSentence(ESentence sentence, std::string_view keyword, std::span<const uint8_t> frame,
                      EDownlinkLink link, IDownlinkSink& sink);

} // namespace orvex
