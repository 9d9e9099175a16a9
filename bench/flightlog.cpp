// Flight log figures on a full 64 MiB log (677,838 records): loading it for replay, seeking to
// the end, and `orvex log export --format csv` as the operator runs it.
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace orvex;

namespace {

const std::string& fullLogPath()
{
    static const std::string path = [] {
        const std::string p = "/tmp/orvex-bench-full-" + std::to_string(getpid()) + ".hj";
        std::vector<std::uint8_t> bytes(kRecordsPerRegion * kRecordSize);
        for (std::size_t i = 0; i < kRecordsPerRegion; ++i) {
            std::uint8_t* r = bytes.data() + i * kRecordSize;
            std::memcpy(r, "$STP", 4);
            const float lat = 22.5f + float(i) * 1e-6f;
            const float lon = 113.25f + float(std::sin(double(i) * 1e-3)) * 0.01f;
            std::memcpy(r + 4, &lat, 4); // the build machine is little-endian
            std::memcpy(r + 8, &lon, 4);
            r[24] = 12;
            r[28] = std::uint8_t(10 + i / 3600 % 10);
            r[29] = std::uint8_t(i / 60 % 60);
            r[30] = std::uint8_t(i % 60);
            r[48] = std::uint8_t(i);
            r[49] = std::uint8_t(i >> 8);
            std::uint8_t sum = 0;
            for (std::size_t k = 0; k < 98; ++k)
                sum = std::uint8_t(sum + r[k]);
            r[98] = sum;
        }
        FILE* f = std::fopen(p.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
        std::fclose(f);
        std::atexit([] { std::remove(fullLogPath().c_str()); });
        return p;
    }();
    return path;
}

void BM_ReplayLoadFullLog(benchmark::State& state)
{
    const std::string& path = fullLogPath();
    for (auto _ : state) {
        CRecordStore store;
        CReplay replay(store);
        auto loaded = replay.load(path);
        if (!loaded.ok || store.count() != kRecordsPerRegion) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(loaded.startPosition);
    }
}
BENCHMARK(BM_ReplayLoadFullLog)->Unit(benchmark::kMillisecond);

void BM_ReplaySeekToEnd(benchmark::State& state)
{
    CRecordStore store;
    CReplay replay(store);
    replay.load(fullLogPath());
    int p = 32767;
    for (auto _ : state) {
        auto s = replay.seek(p);
        benchmark::DoNotOptimize(s.currentRecord);
        p = p == 32767 ? 0 : 32767; // alternate ends so no page stays warm by accident
    }
}
BENCHMARK(BM_ReplaySeekToEnd)->Unit(benchmark::kMicrosecond);

void BM_LoadAndSeekToEndColdProcessView(benchmark::State& state)
{
    const std::string& path = fullLogPath();
    for (auto _ : state) {
        CRecordStore store;
        CReplay replay(store);
        replay.load(path);
        auto s = replay.seek(32767);
        benchmark::DoNotOptimize(s.position);
    }
}
BENCHMARK(BM_LoadAndSeekToEndColdProcessView)->Unit(benchmark::kMillisecond);

void BM_OrvexLogExportCsv(benchmark::State& state)
{
    const std::string& path = fullLogPath();
    const std::string out = path + ".csv";
    const std::string cmd =
        std::string("'") + ORVEX_BIN_DIR + "/orvex' log export --format csv '" + path + "' -o '" + out + "'";
    for (auto _ : state) {
        const int status = std::system(cmd.c_str());
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("orvex log export failed");
    }
    std::remove(out.c_str());
}
BENCHMARK(BM_OrvexLogExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
