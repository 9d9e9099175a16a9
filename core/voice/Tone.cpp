#include "voice/Tone.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr int kFadeMs = 5;
constexpr int kMaxDurationMs = 10000;
} // namespace

std::vector<std::uint8_t> makeTonePcm(int frequencyHz, int durationMs, const SSpeechFormat& format,
                                      double amplitude)
{
    if (format.sampleRateHz <= 0 || format.channels <= 0 || durationMs <= 0 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16))
        return {};
    durationMs = std::min(durationMs, kMaxDurationMs);
    amplitude = std::clamp(amplitude, 0.0, 1.0);

    const long frames = static_cast<long>(format.sampleRateHz) * durationMs / 1000;
    const long fadeFrames = std::max(1L, std::min(frames / 2, static_cast<long>(format.sampleRateHz) * kFadeMs / 1000));
    const int bytesPerSample = format.bitsPerSample / 8;
    std::vector<std::uint8_t> pcm;
    pcm.reserve(static_cast<size_t>(frames) * format.channels * bytesPerSample);

    for (long i = 0; i < frames; ++i) {
        double gain = amplitude;
        if (i < fadeFrames)
            gain *= static_cast<double>(i) / fadeFrames;
        else if (frames - 1 - i < fadeFrames)
            gain *= static_cast<double>(frames - 1 - i) / fadeFrames;
        const double value = gain * std::sin(kTwoPi * frequencyHz * static_cast<double>(i) / format.sampleRateHz);
        for (int c = 0; c < format.channels; ++c) {
            if (bytesPerSample == 1) {
                pcm.push_back(static_cast<std::uint8_t>(std::lround(128.0 + value * 127.0)));
            } else {
                const auto sample = static_cast<std::int16_t>(std::lround(value * 32767.0));
                const auto bits = static_cast<std::uint16_t>(sample);
                pcm.push_back(static_cast<std::uint8_t>(bits & 0xFF));
                pcm.push_back(static_cast<std::uint8_t>(bits >> 8));
            }
        }
    }
    return pcm;
}

} // namespace orvex
