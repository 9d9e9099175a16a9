// The beep tone and the output-format codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "voice/SpeechEngine.h"
#include "voice/Tone.h"

using namespace orvex;

namespace {

// Samples of channel 0 as signed values, whatever the sample size.
std::vector<int> channelZero(const std::vector<uint8_t>& pcm, const SSpeechFormat& f)
{
    std::vector<int> out;
    const size_t frameBytes = static_cast<size_t>(f.channels) * f.bitsPerSample / 8;
    for (size_t at = 0; at + frameBytes <= pcm.size(); at += frameBytes) {
        if (f.bitsPerSample == 8)
            out.push_back(static_cast<int>(pcm[at]) - 128);
        else
            out.push_back(static_cast<int16_t>(pcm[at] | (pcm[at + 1] << 8)));
    }
    return out;
}

TEST(SpeechFormatTest, CodesWalkRatesThenLayouts)
{
    struct SRow {
        int code, rate, bits, channels;
    };
    for (const SRow& r : {SRow{0, 8000, 8, 1}, SRow{6, 11025, 16, 1}, SRow{29, 44100, 8, 2}, SRow{35, 48000, 16, 2}}) {
        const auto f = decodeSpeechFormat(r.code);
        ASSERT_TRUE(f) << r.code;
        EXPECT_EQ(std::vector<int>({f->sampleRateHz, f->bitsPerSample, f->channels}),
                  std::vector<int>({r.rate, r.bits, r.channels}))
            << "code " << r.code;
    }
    EXPECT_FALSE(decodeSpeechFormat(-1));
    EXPECT_FALSE(decodeSpeechFormat(36));
}

TEST(ToneTest, BeepIs750HzFor200msInEveryFormat)
{
    for (int code : {0, 3, 14, 35}) {
        const SSpeechFormat f = *decodeSpeechFormat(code);
        const std::vector<uint8_t> pcm = makeTonePcm(kBeepFrequencyHz, kBeepDurationMs, f);
        const size_t frameBytes = static_cast<size_t>(f.channels) * f.bitsPerSample / 8;
        ASSERT_EQ(pcm.size(), static_cast<size_t>(f.sampleRateHz) / 5 * frameBytes) << "format " << code;
        const std::vector<int> s = channelZero(pcm, f);
        int crossings = 0; // two a period, over 0.2 s
        for (size_t i = 1; i < s.size(); ++i)
            crossings += (s[i - 1] < 0) != (s[i] < 0);
        EXPECT_NEAR(crossings / 2.0 / 0.2, 750.0, 10.0) << "format " << code;
        if (f.channels == 2) { // both channels carry the same tone
            for (size_t at = 0; at < pcm.size(); at += frameBytes)
                ASSERT_EQ(pcm[at], pcm[at + frameBytes / 2]);
        }
    }
}

TEST(ToneTest, AmplitudeAndFadesStayWithinFullScaleAndUnusableRequestsGiveNothing)
{
    const SSpeechFormat f{16000, 16, 1};
    const std::vector<int> s = channelZero(makeTonePcm(750, 200, f, 5.0), f); // clamped to 1
    int peak = 0;
    for (int v : s)
        peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 32000);
    EXPECT_LE(peak, 32767);
    EXPECT_EQ(s.front(), 0) << "starts from silence";
    EXPECT_LT(std::abs(s.back()), 200) << "ends in silence";

    const SSpeechFormat f8{8000, 8, 1};
    const std::vector<uint8_t> quiet = makeTonePcm(750, 200, f8, 0.0);
    for (uint8_t b : quiet)
        ASSERT_EQ(b, 128);

    // Unusable requests give no samples.
    EXPECT_TRUE(makeTonePcm(750, 200, SSpeechFormat{0, 16, 1}).empty());
    EXPECT_TRUE(makeTonePcm(750, 200, SSpeechFormat{8000, 24, 1}).empty());
    EXPECT_TRUE(makeTonePcm(750, 200, SSpeechFormat{8000, 16, 0}).empty());
    EXPECT_TRUE(makeTonePcm(750, 0, SSpeechFormat{8000, 16, 1}).empty());
    EXPECT_EQ(makeTonePcm(750, 1000000, SSpeechFormat{8000, 8, 1}).size(), 80000u) << "capped at 10 s";
}

} // namespace
