#pragma once
// PCM tone generation for the alert beep: a sine of the given pitch, with short fades at both
// ends so that the loudspeaker does not click.

#include <cstdint>
#include <vector>

#include "voice/SpeechEngine.h"

namespace orvex {

constexpr int kBeepFrequencyHz = 750;
constexpr int kBeepDurationMs = 200;

// Interleaved little-endian PCM in `format`: 8-bit samples unsigned (silence 128), 16-bit
// samples signed. `amplitude` is the peak as a fraction of full scale (clamped to 0..1).
// Returns an empty buffer for a format with no sample rate, channels or a sample size other
// than 8 or 16 bits, and for a non-positive duration.
std::vector<std::uint8_t> makeTonePcm(int frequencyHz, int durationMs, const SSpeechFormat& format,
                                      double amplitude = 0.5);

} // namespace orvex
