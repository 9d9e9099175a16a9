// Throughput of the serial parsing cycle (one cycle per byte, as the serial link runs it) on a
// generated "$STP" stream with 1% noise bytes, and of the UDP sentence step on the same stream.

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "protocol/SerialParser.h"
#include "protocol/UdpSentenceStep.h"

using namespace orvex;

namespace {

class CCountingSink : public IDownlinkSink {
public:
    std::size_t records = 0;
    void onTelemetryRecord(const CTelemetryRecord& r, EDownlinkLink) override
    {
        records += r.satelliteCount() != 255 ? 1 : 0;
    }
};

std::vector<uint8_t> stpStream(std::size_t frames, double noiseShare)
{
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    std::bernoulli_distribution noise(noiseShare);
    std::vector<uint8_t> out;
    out.reserve(frames * 101);
    for (std::size_t i = 0; i < frames; ++i) {
        uint8_t f[99] = {'$', 'S', 'T', 'P'};
        const float lat = 22.5f + static_cast<float>(i) * 1e-5f;
        const float lon = 113.5f + static_cast<float>(i) * 1e-5f;
        for (int k = 0; k < 4; ++k) {
            f[4 + k] = static_cast<uint8_t>(std::bit_cast<uint32_t>(lat) >> (8 * k));
            f[8 + k] = static_cast<uint8_t>(std::bit_cast<uint32_t>(lon) >> (8 * k));
        }
        for (int k = 12; k < 98; ++k)
            f[k] = static_cast<uint8_t>(byte(rng));
        unsigned sum = 0;
        for (int k = 0; k < 98; ++k)
            sum += f[k];
        f[98] = static_cast<uint8_t>(sum);
        for (uint8_t b : f) {
            if (noise(rng))
                out.push_back(static_cast<uint8_t>(byte(rng)));
            out.push_back(b);
        }
    }
    return out;
}

const std::vector<uint8_t>& noisyStream()
{
    static const std::vector<uint8_t> stream = stpStream(20000, 0.01);
    return stream;
}

void serialCycleNoisyStp(benchmark::State& state)
{
    const auto& stream = noisyStream();
    CCountingSink sink;
    for (auto _ : state) {
        CSerialParser parser(sink);
        parser.feed(stream);
        benchmark::DoNotOptimize(sink.records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["records/pass"] = static_cast<double>(sink.records) / static_cast<double>(state.iterations());
}
BENCHMARK(serialCycleNoisyStp)->Unit(benchmark::kMillisecond);

void serialCycleCleanStp(benchmark::State& state)
{
    static const std::vector<uint8_t> stream = stpStream(20000, 0.0);
    CCountingSink sink;
    for (auto _ : state) {
        CSerialParser parser(sink);
        parser.feed(stream);
        benchmark::DoNotOptimize(sink.records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(serialCycleCleanStp)->Unit(benchmark::kMillisecond);

void udpStepNoisyStp(benchmark::State& state)
{
    const auto& stream = noisyStream();
    CCountingSink sink;
    constexpr std::size_t kDatagramBytes = 1024;
    for (auto _ : state) {
        CUdpSentenceStep udp(sink);
        for (std::size_t at = 0; at < stream.size(); at += kDatagramBytes) {
            udp.append(std::span<const uint8_t>(stream.data() + at, std::min(kDatagramBytes, stream.size() - at)));
            udp.run(true);
        }
        benchmark::DoNotOptimize(sink.records);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(udpStepNoisyStp)->Unit(benchmark::kMillisecond);

} // namespace
