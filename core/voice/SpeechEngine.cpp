#include "voice/SpeechEngine.h"

namespace orvex {

std::optional<SSpeechFormat> decodeSpeechFormat(int code)
{
    static constexpr int kSampleRatesHz[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    constexpr int kLayouts = 4;
    constexpr int kCodes = static_cast<int>(sizeof kSampleRatesHz / sizeof kSampleRatesHz[0]) * kLayouts;
    if (code < 0 || code >= kCodes)
        return std::nullopt;
    const int layout = code % kLayouts;
    SSpeechFormat format;
    format.sampleRateHz = kSampleRatesHz[code / kLayouts];
    format.bitsPerSample = layout < 2 ? 8 : 16;
    format.channels = layout % 2 == 0 ? 1 : 2;
    return format;
}

} // namespace orvex
