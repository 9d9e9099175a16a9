#pragma once
// Decoders of the downlink sentences into typed values. Each is given the frame's bytes starting
// at the '$' and returns nullopt when fewer bytes than the frame length are given. Checksums of the
// framing layer are verified by the receivers; the inner sums of "$MG1/2/3" are reported here.

#include <cstdint>
#include <optional>
#include <span>

#include "protocol/DownlinkSink.h"

namespace orvex::decode {

// Frame lengths in bytes.
inline constexpr std::size_t kStpBytes = 99;
inline constexpr std::size_t kPaiBytes = 15;
inline constexpr std::size_t kPaedBytes = 16;
inline constexpr std::size_t kPasumBytes = 10;
inline constexpr std::size_t kParBytes = 45;
inline constexpr std::size_t kMg1Bytes = 25;
inline constexpr std::size_t kMg23Bytes = 13;
inline constexpr std::size_t kPurBytes = 37;
inline constexpr std::size_t kP2tBytes = 83;
inline constexpr std::size_t kPorBytes = 45;
inline constexpr std::size_t kSetdBytes = 31;
inline constexpr std::size_t kDjsjBytes = 24;
inline constexpr std::size_t kDinBytes = 14;
inline constexpr std::size_t kQuzaBytes = 35;
inline constexpr std::size_t kAckBytes = 6;

// A "$GPGGA"/"$GPRMC" line including its LF (the length limits decide how much is decoded).
// Hours are shifted to local time: (hh + 16) mod 24. Coordinates = degrees + minutes x (1/60 in
// single precision); hemisphere letters are not read.
SNmeaLine nmeaLine(std::span<const uint8_t> line);

std::optional<SParameterValues> parameterValues(std::span<const uint8_t> frame);
// "$MG2" gives ECompassPlane::XY, "$MG3" ECompassPlane::ZY.
std::optional<SCompassPoint> compassPoint(std::span<const uint8_t> frame);
std::optional<SCompassCalibration> compassCalibration(std::span<const uint8_t> frame);
std::optional<SCustomParameters> customParameters(std::span<const uint8_t> frame);
std::optional<SWaypointEcho> waypointEcho(std::span<const uint8_t> frame);
std::optional<SParameterSnapshot> parameterSnapshot(std::span<const uint8_t> frame);
std::optional<SPhotoReport> photoReport(std::span<const uint8_t> frame);
std::optional<SPhotoMark> photoMark(std::span<const uint8_t> frame);
std::optional<SWaypointIndexEcho> waypointIndexEcho(std::span<const uint8_t> frame);
std::optional<SRouteSummary> routeSummary(std::span<const uint8_t> frame);
std::optional<SServoChannels> servoChannels(std::span<const uint8_t> frame);

// Signed display of a custom parameter byte: above 128 minus 256, 128 stays 128.
inline int customParameterValue(uint8_t b)
{
    return b > 128 ? b - 256 : b;
}

} // namespace orvex::decode
