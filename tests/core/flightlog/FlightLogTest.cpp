// Record store, flight log flush and replay, against real files in a temporary directory.
#include "flightlog/FlightLogWriter.h"
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"

#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

// A record as file bytes; a bad sum is the good one inverted.
std::string asText(StpBytes r, bool goodSum = true)
{
    sealStp(r, goodSum);
    return std::string(r.begin(), r.end());
}

std::tm at(const char* localTime)
{
    std::tm t{};
    strptime(localTime, "%Y-%m-%d %H:%M:%S", &t);
    return t;
}

class FlightLog : public ::testing::Test {
  protected:
    CTempDir tmp{"orvex-flightlog"};
    fs::path dir = tmp.dir();
    std::string file(const std::string& name, const std::string& bytes)
    {
        CTempDir::write((dir / name).string(), bytes);
        return (dir / name).string();
    }
};

} // namespace

TEST(RecordChecks, ChecksumAndEmptyFollowTheRecordLayout)
{
    // The sum covers bytes 0..97: the first and the last summed byte count, the sum byte is 98.
    const StpBytes good = stpRecord(22.5f, 113.25f, 1);
    EXPECT_TRUE(recordChecksumOk(good.data()));
    for (std::size_t at : {0, 50, 97, 98}) {
        StpBytes bad = good;
        bad[at] ^= 0x01;
        EXPECT_FALSE(recordChecksumOk(bad.data())) << at;
    }

    // Empty: latitude, longitude, positionAux (12) and the uninterpreted float at 16 all zero.
    EXPECT_TRUE(recordIsEmpty(stpRecord(0.0f, 0.0f, 7).data()));
    for (std::size_t at : {4, 8, 12, 16}) {
        StpBytes r = stpRecord(0.0f, 0.0f, 7);
        putLeF32(&r[at], -3.0f);
        EXPECT_FALSE(recordIsEmpty(r.data())) << at;
    }
}

TEST(RecordStore, AppendsAtFixedPlacesAcrossRegionsAndKeepsTrackAngles)
{
    CRecordStore store;
    EXPECT_FALSE(store.append(stpRecord(1, 1, 0).data())) << "no store held";
    ASSERT_TRUE(store.create());
    const std::size_t total = kRecordsPerRegion + 1000;
    StpBytes r = stpRecord(10, 20, 0);
    for (std::size_t i = 0; i < total; ++i) {
        r[42] = std::uint8_t(i);
        r[43] = std::uint8_t(i >> 8);
        r[44] = std::uint8_t(i >> 16);
        ASSERT_TRUE(store.append(r.data())) << i;
    }
    EXPECT_EQ(store.regionCount(), 2u);
    for (std::size_t i : {std::size_t(0), std::size_t(1), kRecordsPerRegion - 1, kRecordsPerRegion, total - 1}) {
        const std::uint8_t* p = store.record(i);
        EXPECT_EQ(std::size_t(p[42] | (p[43] << 8) | (p[44] << 16)), i);
    }
    EXPECT_EQ(store.contiguousFrom(kRecordsPerRegion - 10, 100), 10u) << "pieces end at a region boundary";
    EXPECT_EQ(store.contiguousFrom(kRecordsPerRegion, 5000), 1000u);

    store.setTrackAngle(5, 45.0);
    EXPECT_DOUBLE_EQ(store.trackAngle(5), 45.0);
    EXPECT_DOUBLE_EQ(store.trackAngle(4), 0.0);
    EXPECT_DOUBLE_EQ(store.trackAngle(total + 10), 0.0);
    store.release();
    EXPECT_FALSE(store.isHeld());
    EXPECT_EQ(store.count(), 0u);
}

TEST_F(FlightLog, FlushCatchesUpWritesEachRecordOnceRewritesAPartialRecordAndKeepsALogReopened)
{
    EXPECT_EQ(flightLogFileName(at("2026-03-07 09:05:02")), "20260307090502.hj");
    // "Hj" is taken by a plain file, so the directory can be neither created nor written
    // (whoever runs the test, root included). Once it is gone the next flush catches up.
    CRecordStore store;
    ASSERT_TRUE(store.create());
    CFlightLogWriter writer;
    const fs::path hj = dir / "Hj";
    file("Hj", "xyz");
    writer.setDirectory(hj.string());
    writer.startLog(at("2026-12-31 23:59:59"));
    for (std::uint16_t i = 0; i < 3; ++i)
        store.append(stpRecord(1, 2, i).data());
    EXPECT_FALSE(writer.flush(store).ok);

    fs::remove(hj);
    const auto later = writer.flush(store);
    EXPECT_TRUE(later.ok);
    EXPECT_EQ(later.recordsWritten, 3u);
    for (std::uint16_t i = 3; i < 5; ++i)
        store.append(stpRecord(1, 2, i).data());
    EXPECT_EQ(writer.flush(store).recordsWritten, 2u);
    EXPECT_EQ(writer.flush(store).recordsWritten, 0u) << "nothing is written twice";

    // The file cut to record 0 and 40 bytes of record 1, as a full disk would leave it.
    const fs::path log = hj / "20261231235959.hj";
    fs::resize_file(log, 99 + 40);
    EXPECT_EQ(writer.flush(store).recordsWritten, 4u);

    // The next link opens within the same second.
    ASSERT_TRUE(store.create());
    writer.startLog(at("2026-12-31 23:59:59"));
    for (std::uint16_t i = 10; i < 15; ++i)
        store.append(stpRecord(1, 2, i).data());
    EXPECT_EQ(writer.flush(store).recordsWritten, 5u);
    std::string expected;
    for (std::uint16_t i : {0, 1, 2, 3, 4, 10, 11, 12, 13, 14})
        expected += asText(stpRecord(1, 2, i));
    EXPECT_EQ(CTempDir::read(log.string()), expected);
}

TEST(ReplayFormulas, SpeedProgressAndSeekMapping)
{
    const std::pair<int, int> speeds[] = {{0, 2560}, {15, 14}, {16, 10}, {17, 7}, {32, 0}, {-5, 2560}, {40, 0}};
    for (auto [speed, interval] : speeds)
        EXPECT_EQ(replayIntervalForSpeed(speed), interval) << speed;
    // 100,000 records: both directions are linear over 0..32767.
    const std::size_t n = 100000;
    EXPECT_EQ(replaySeekIndex(n, 0), 0u);
    EXPECT_EQ(replaySeekIndex(n, 16384), 50000u);
    EXPECT_EQ(replaySeekIndex(n, 32767), 99996u);
    EXPECT_EQ(replayProgress(50000, n), 16384);
    EXPECT_EQ(replayProgress(99999, n), 32767);
    // Counts whose product with 32767 leaves 32 bits still map without overflow.
    const std::size_t huge = std::size_t(1) << 40;
    EXPECT_EQ(replaySeekIndex(huge, 16384), huge / 2);
    EXPECT_EQ(replayProgress(huge / 4, huge), 8192);
    EXPECT_EQ(replayProgress(0, 0), 0);
}

TEST_F(FlightLog, ReplayCountsWholeRecordsIgnoresTheTailStartsAfterLeadingEmptyRecordsAndSeeks)
{
    // Three empty records, then good ones except 4 (an impossible latitude) and 5 (a bad sum).
    std::string bytes;
    for (std::uint16_t i = 0; i < 3; ++i)
        bytes += asText(stpRecord(0.0f, 0.0f, i));
    for (std::uint16_t i = 3; i < 10; ++i)
        bytes += asText(stpRecord(i == 4 ? 95.0f : 22.0f, 113.0f, i), i != 5);
    for (const std::string& name : {file("a.hj", bytes), file("b.hj", bytes + std::string(10, '\xEE'))}) {
        SCOPED_TRACE(name);
        CRecordStore store;
        CReplay replay(store);
        const auto loaded = replay.load(name);
        ASSERT_TRUE(loaded.ok) << loaded.error;
        EXPECT_EQ(loaded.startPosition, 3u);
        EXPECT_EQ(loaded.currentRecord, std::optional<std::size_t>(3));
        std::vector<std::size_t> shown;
        for (int t = 0; t < 10; ++t) {
            const auto tick = replay.tick();
            if (tick.show)
                shown.push_back(*tick.show);
            EXPECT_EQ(replay.atEnd(), t >= 5) << "the last record is shown at tick " << t;
        }
        EXPECT_EQ(shown, (std::vector<std::size_t>{4, 6, 7, 8, 9})) << "record 5 has a bad sum";
        EXPECT_EQ(replay.tick().progress, replayProgress(9, 10)) << "ticks after the end refresh the progress";
        // A seek goes to its position and finds the last good record with a possible position before it.
        const auto s = replay.seek(20000);
        EXPECT_EQ(s.position, 6u);
        EXPECT_EQ(s.currentRecord, std::optional<std::size_t>(3));
        EXPECT_EQ(s.progress, replayProgress(6, 10));
        EXPECT_FALSE(replay.atEnd()) << "a seek back plays on";
        EXPECT_EQ(replay.tick().show, std::optional<std::size_t>(7));
        EXPECT_EQ(replay.seek(32767).currentRecord, std::optional<std::size_t>(8));
        EXPECT_FALSE(replay.seek(0).currentRecord.has_value());
    }
}

TEST_F(FlightLog, ReplayOfEmptyShortMissingAndAllEmptyFiles)
{
    for (const std::string& name : {file("zero.hj", ""), file("short.hj", std::string(98, '\1'))}) {
        CRecordStore store;
        CReplay replay(store);
        ASSERT_TRUE(replay.load(name).ok) << name;
        EXPECT_TRUE(replay.isRunning());
        const auto tick = replay.tick();
        EXPECT_FALSE(tick.show.has_value() || tick.progress.has_value());
        EXPECT_TRUE(replay.atEnd());
    }
    CRecordStore store;
    CReplay replay(store);
    const auto empties = replay.load(file("empties.hj", asText(stpRecord(0, 0, 0)) + asText(stpRecord(0, 0, 1)) + asText(stpRecord(0, 0, 2))));
    EXPECT_EQ(empties.startPosition, 3u);
    EXPECT_EQ(empties.currentRecord, std::optional<std::size_t>(2));
    EXPECT_FALSE(replay.tick().show.has_value());
    // A failed load lets the log loaded before go.
    const auto missing = replay.load((dir / "nope.hj").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("nope.hj"), std::string::npos);
    EXPECT_FALSE(store.isHeld());
    EXPECT_FALSE(replay.isRunning());
    EXPECT_FALSE(replay.load(dir.string()).ok);
}

TEST_F(FlightLog, ReplayClockShowsTheTimeOfDayAndElapsedOverTotal)
{
    // A record whose clock (bytes 28-30) reads the given second of the day.
    auto timed = [](int second) {
        StpBytes r = stpRecord(22.0f, 113.0f);
        r[28] = std::uint8_t(second / 3600), r[29] = std::uint8_t(second / 60 % 60), r[30] = std::uint8_t(second % 60);
        sealStp(r);
        return r;
    };
    struct SClock { int shown, first, last; const char* text; };
    for (const SClock c : {SClock{36005, 36000, 36330, "10:00:05  00:05 / 05:30"},
                           SClock{10, 86390, 60, "00:00:10  00:20 / 01:10"}, // over midnight
                           SClock{37800, 32400, 39600, "10:30:00  90:00 / 120:00"},
                           SClock{24 * 3600, 36000, 36120, "--:--:--  --:-- / 02:00"}})
        EXPECT_EQ(replayClockText(timed(c.shown).data(), timed(c.first).data(), timed(c.last).data()), c.text);

    // Loaded: from the first record shown (after an empty one) to the last with a good sum.
    std::string bytes = asText(stpRecord(0.0f, 0.0f, 0));
    for (int i = 0; i < 6; ++i)
        bytes += asText(timed(43200 + 2 * i), i != 5);
    CRecordStore store;
    CReplay replay(store);
    ASSERT_TRUE(replay.load(file("c.hj", bytes)).ok);
    replay.tick();
    replay.tick();
    EXPECT_EQ(replay.clockText(), "12:00:04  00:04 / 00:08");
}
