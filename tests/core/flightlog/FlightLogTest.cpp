// Record store, flight log flush and replay, against real files in a temporary directory.
#include "flightlog/FlightLogWriter.h"
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"

#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace orvex;

namespace {

using Record = std::array<std::uint8_t, 99>;

void putFloat(Record& r, std::size_t at, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i)
        r[at + i] = std::uint8_t(bits >> (8 * i));
}

// A $STP record laid out by hand: head, latitude at 4, longitude at 8, a tag in bytes 42-43
// (controllerSerial) so that each record is recognisable, and the 8-bit sum at 98.
Record stp(float lat, float lon, std::uint16_t tag, bool goodSum = true)
{
    Record r{};
    r[0] = '$';
    r[1] = 'S';
    r[2] = 'T';
    r[3] = 'P';
    putFloat(r, 4, lat);
    putFloat(r, 8, lon);
    r[42] = std::uint8_t(tag);
    r[43] = std::uint8_t(tag >> 8);
    std::uint8_t sum = 0;
    for (int i = 0; i < 98; ++i)
        sum = std::uint8_t(sum + r[i]);
    r[98] = goodSum ? sum : std::uint8_t(sum + 1);
    return r;
}

std::uint16_t tagOf(const std::uint8_t* r)
{
    return std::uint16_t(r[42] | (r[43] << 8));
}

class TempDir : public ::testing::Test {
  protected:
    std::vector<std::uint8_t> readFile(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void writeFile(const fs::path& p, const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(p, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    CTempDir tmp{"orvex-flightlog"};
    fs::path dir = tmp.dir();
};

std::tm at(int y, int mo, int d, int h, int mi, int s)
{
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

} // namespace

TEST(RecordChecks, ChecksumAndEmptyFollowTheRecordLayout)
{
    Record good = stp(22.5f, 113.25f, 1);
    EXPECT_TRUE(recordChecksumOk(good.data()));
    good[50] ^= 0x01;
    EXPECT_FALSE(recordChecksumOk(good.data()));

    Record empty = stp(0.0f, 0.0f, 7); // positionAux and bytes 16-19 are zero too
    EXPECT_TRUE(recordIsEmpty(empty.data()));
    putFloat(empty, 16, 1.0f); // the uninterpreted float counts
    EXPECT_FALSE(recordIsEmpty(empty.data()));
    Record aux = stp(0.0f, 0.0f, 7);
    putFloat(aux, 12, -3.0f);
    EXPECT_FALSE(recordIsEmpty(aux.data()));
}

TEST(RecordStore, AppendsAtFixedPlacesAndKeepsTrackAngles)
{
    CRecordStore store;
    EXPECT_FALSE(store.append(stp(1, 1, 0).data())) << "no store held";
    ASSERT_TRUE(store.create());
    for (std::uint16_t i = 0; i < 200; ++i) // crosses many pages: commit on demand
        ASSERT_TRUE(store.append(stp(1.0f + i, 2.0f, i).data()));
    ASSERT_EQ(store.count(), 200u);
    const std::uint8_t* first = store.record(0);
    EXPECT_EQ(store.record(150) - first, 150 * 99);
    for (std::uint16_t i = 0; i < 200; ++i)
        EXPECT_EQ(tagOf(store.record(i)), i);

    store.setTrackAngle(5, 45.0);
    EXPECT_DOUBLE_EQ(store.trackAngle(5), 45.0);
    EXPECT_DOUBLE_EQ(store.trackAngle(4), 0.0);
    EXPECT_DOUBLE_EQ(store.trackAngle(1000), 0.0);

    store.release();
    EXPECT_FALSE(store.isHeld());
    EXPECT_EQ(store.count(), 0u);
}

TEST(RecordStore, GrowsPastOneRegionWithoutLosingRecords)
{
    CRecordStore store;
    ASSERT_TRUE(store.create());
    const std::size_t total = kRecordsPerRegion + 1000;
    Record r = stp(10, 20, 0);
    for (std::size_t i = 0; i < total; ++i) {
        r[42] = std::uint8_t(i);
        r[43] = std::uint8_t(i >> 8);
        r[44] = std::uint8_t(i >> 16);
        ASSERT_TRUE(store.append(r.data())) << i;
    }
    EXPECT_EQ(store.count(), total);
    EXPECT_EQ(store.regionCount(), 2u);
    for (std::size_t i : {std::size_t(0), kRecordsPerRegion - 1, kRecordsPerRegion, total - 1}) {
        const std::uint8_t* p = store.record(i);
        EXPECT_EQ(std::size_t(p[42] | (p[43] << 8) | (p[44] << 16)), i);
    }
    EXPECT_EQ(store.contiguousFrom(kRecordsPerRegion - 10, 100), 10u) << "pieces end at a region boundary";
    EXPECT_EQ(store.contiguousFrom(kRecordsPerRegion, 5000), 1000u);
}

TEST(FlightLogName, UsesTheLocalTimeTheLinkWasOpened)
{
    EXPECT_EQ(flightLogFileName(at(2026, 3, 7, 9, 5, 2)), "20260307090502.hj");
    EXPECT_EQ(flightLogFileName(at(2026, 12, 31, 23, 59, 59)), "20261231235959.hj");
}

TEST_F(TempDir, FlushCreatesTheDirectoryAndAppendsOnlyNewRecords)
{
    CRecordStore store;
    ASSERT_TRUE(store.create());
    CFlightLogWriter writer;
    writer.setDirectory((dir / "Hj").string());
    writer.startLog(at(2026, 5, 1, 12, 0, 0));
    for (std::uint16_t i = 0; i < 3; ++i)
        store.append(stp(1, 2, i).data());
    auto r1 = writer.flush(store);
    EXPECT_TRUE(r1.ok);
    EXPECT_EQ(r1.recordsWritten, 3u);
    const fs::path file = dir / "Hj" / "20260501120000.hj";
    ASSERT_TRUE(fs::exists(file));
    for (std::uint16_t i = 3; i < 5; ++i)
        store.append(stp(1, 2, i).data());
    auto r2 = writer.flush(store);
    EXPECT_EQ(r2.recordsWritten, 2u);
    auto bytes = readFile(file);
    ASSERT_EQ(bytes.size(), 5u * 99);
    for (std::uint16_t i = 0; i < 5; ++i)
        EXPECT_EQ(tagOf(bytes.data() + 99 * i), i);
    EXPECT_EQ(writer.flush(store).recordsWritten, 0u) << "nothing is written twice";
}

TEST_F(TempDir, FlushAfterAnUnwritableDirectoryCatchesUp)
{
    // "Hj" is taken by a plain file, so the directory can be neither created nor written
    // (whoever runs the test, root included). Once it is gone the next flush catches up.
    CRecordStore store;
    ASSERT_TRUE(store.create());
    CFlightLogWriter writer;
    const fs::path hj = dir / "Hj";
    writeFile(hj, {1, 2, 3});
    writer.setDirectory(hj.string());
    writer.startLog(at(2026, 5, 1, 12, 0, 0));
    for (std::uint16_t i = 0; i < 4; ++i)
        store.append(stp(1, 2, i).data());
    auto failed = writer.flush(store);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.recordsWritten, 0u);

    fs::remove(hj);
    store.append(stp(1, 2, 4).data());
    auto later = writer.flush(store);
    EXPECT_TRUE(later.ok);
    EXPECT_EQ(later.recordsWritten, 5u);
    auto bytes = readFile(hj / writer.fileName());
    ASSERT_EQ(bytes.size(), 5u * 99);
    for (std::uint16_t i = 0; i < 5; ++i)
        EXPECT_EQ(tagOf(bytes.data() + 99 * i), i);
}

TEST_F(TempDir, FlushRewritesAPartialRecordLeftByAnEarlierFailure)
{
    CRecordStore store;
    ASSERT_TRUE(store.create());
    CFlightLogWriter writer;
    writer.setDirectory(dir.string());
    writer.startLog(at(2026, 1, 2, 3, 4, 5));
    for (std::uint16_t i = 0; i < 3; ++i)
        store.append(stp(1, 2, i).data());
    // The file holds record 0 and 40 bytes of record 1, as a full disk would leave it.
    std::vector<std::uint8_t> partial(store.record(0), store.record(0) + 99 + 40);
    writeFile(dir / writer.fileName(), partial);
    EXPECT_EQ(writer.flush(store).recordsWritten, 2u);
    auto bytes = readFile(dir / writer.fileName());
    ASSERT_EQ(bytes.size(), 3u * 99);
    EXPECT_TRUE(recordChecksumOk(bytes.data() + 99));
    EXPECT_EQ(tagOf(bytes.data() + 198), 2);
}

TEST_F(TempDir, ALogReopenedUnderTheSameNameKeepsBothLinks)
{
    CFlightLogWriter writer;
    writer.setDirectory(dir.string());
    CRecordStore first;
    ASSERT_TRUE(first.create());
    writer.startLog(at(2026, 2, 2, 2, 2, 2));
    for (std::uint16_t i = 0; i < 3; ++i)
        first.append(stp(1, 2, i).data());
    writer.flush(first);
    writer.clearLog();

    // The next link opens within the same second.
    CRecordStore second;
    ASSERT_TRUE(second.create());
    writer.startLog(at(2026, 2, 2, 2, 2, 2));
    for (std::uint16_t i = 10; i < 15; ++i)
        second.append(stp(1, 2, i).data());
    EXPECT_EQ(writer.flush(second).recordsWritten, 5u);
    second.append(stp(1, 2, 15).data());
    EXPECT_EQ(writer.flush(second).recordsWritten, 1u);
    auto bytes = readFile(dir / writer.fileName());
    ASSERT_EQ(bytes.size(), 9u * 99);
    const std::uint16_t expected[] = {0, 1, 2, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(tagOf(bytes.data() + 99 * i), expected[i]) << i;
}

TEST(ReplayFormulas, SpeedProgressAndSeekMapping)
{
    EXPECT_EQ(replayIntervalForSpeed(0), 2560);
    EXPECT_EQ(replayIntervalForSpeed(15), 14);
    EXPECT_EQ(replayIntervalForSpeed(16), 10);
    EXPECT_EQ(replayIntervalForSpeed(17), 7);
    EXPECT_EQ(replayIntervalForSpeed(32), 0);
    EXPECT_EQ(replayIntervalForSpeed(-5), 2560);
    EXPECT_EQ(replayIntervalForSpeed(40), 0);

    // 100,000 records: both directions are linear over 0..32767.
    const std::size_t n = 100000;
    EXPECT_EQ(replaySeekIndex(n, 0), 0u);
    EXPECT_EQ(replaySeekIndex(n, 16384), 50000u);
    EXPECT_EQ(replaySeekIndex(n, 32767), 99996u);
    EXPECT_EQ(replayProgress(50000, n), 16384);
    EXPECT_EQ(replayProgress(99999, n), 32767);
    EXPECT_EQ(replayProgress(0, n), 0);
    for (int p = 0; p < 32768; p += 97) {
        const std::size_t k = replaySeekIndex(n, p);
        EXPECT_EQ(k, std::size_t(n) * p / 32768);
        EXPECT_EQ(replayProgress(k, n), int(k * 32768 / n));
        EXPECT_LE(std::abs(replayProgress(k, n) - p), 1);
    }
    // Counts whose product with 32767 leaves 32 bits still map without overflow.
    const std::size_t huge = std::size_t(1) << 40;
    EXPECT_EQ(replaySeekIndex(huge, 16384), huge / 2);
    EXPECT_EQ(replayProgress(huge / 4, huge), 8192);
    EXPECT_EQ(replayProgress(0, 0), 0);
}

TEST_F(TempDir, ReplayCountsWholeRecordsAndIgnoresTheTail)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t i = 0; i < 10; ++i) {
        Record r = stp(1.0f + i, 2.0f, i);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    writeFile(dir / "a.hj", bytes); // 990 bytes
    bytes.resize(1000, 0xEE);
    writeFile(dir / "b.hj", bytes); // 1000 bytes

    for (const char* name : {"a.hj", "b.hj"}) {
        CRecordStore store;
        CReplay replay(store);
        auto loaded = replay.load((dir / name).string());
        ASSERT_TRUE(loaded.ok) << loaded.error;
        EXPECT_EQ(store.count(), 10u) << name;
        EXPECT_EQ(loaded.startPosition, 0u);
        std::vector<std::size_t> shown;
        for (int t = 0; t < 15; ++t) {
            auto tick = replay.tick();
            if (tick.show) shown.push_back(*tick.show);
            ASSERT_TRUE(tick.progress.has_value());
        }
        EXPECT_EQ(shown, (std::vector<std::size_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(replay.tick().progress, replayProgress(9, 10))
            << "ticks after the end refresh the progress";
    }
}

TEST_F(TempDir, ReplayStartsAfterLeadingEmptyRecordsAndSkipsBadChecksums)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 50; ++i) {
        Record r = stp(0.0f, 0.0f, std::uint16_t(i));
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    for (int i = 50; i < 60; ++i) {
        Record r = stp(22.0f, 113.0f, std::uint16_t(i), i != 52);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    writeFile(dir / "f.hj", bytes);
    CRecordStore store;
    CReplay replay(store);
    auto loaded = replay.load((dir / "f.hj").string());
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.startPosition, 50u);
    EXPECT_EQ(loaded.currentRecord, std::optional<std::size_t>(50));
    EXPECT_EQ(replay.tick().show, std::optional<std::size_t>(51)) << "first record shown is 51";
    auto bad = replay.tick();
    EXPECT_FALSE(bad.show.has_value()) << "bad checksum is not shown";
    EXPECT_EQ(store.displayIndex(), 52u) << "but the position advances";
    EXPECT_EQ(replay.tick().show, std::optional<std::size_t>(53));
}

TEST_F(TempDir, ReplayOfEmptyAndAllEmptyFiles)
{
    writeFile(dir / "zero.hj", {});
    writeFile(dir / "short.hj", std::vector<std::uint8_t>(98, 1));
    for (const char* name : {"zero.hj", "short.hj"}) {
        CRecordStore store;
        CReplay replay(store);
        auto loaded = replay.load((dir / name).string());
        ASSERT_TRUE(loaded.ok) << name;
        EXPECT_EQ(store.count(), 0u);
        EXPECT_TRUE(replay.isRunning());
        auto tick = replay.tick();
        EXPECT_FALSE(tick.show.has_value());
        EXPECT_FALSE(tick.progress.has_value());
        EXPECT_EQ(replay.seek(20000).position, 0u);
    }
    std::vector<std::uint8_t> empties;
    for (int i = 0; i < 3; ++i) {
        Record r = stp(0, 0, 0);
        empties.insert(empties.end(), r.begin(), r.end());
    }
    writeFile(dir / "empties.hj", empties);
    CRecordStore store;
    CReplay replay(store);
    auto loaded = replay.load((dir / "empties.hj").string());
    EXPECT_EQ(loaded.startPosition, 3u);
    EXPECT_EQ(loaded.currentRecord, std::optional<std::size_t>(2));
    EXPECT_FALSE(replay.tick().show.has_value());
}

TEST_F(TempDir, ReplayLoadFailuresLeaveNothingHeld)
{
    CRecordStore store;
    CReplay replay(store);
    auto missing = replay.load((dir / "nope.hj").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("nope.hj"), std::string::npos);
    EXPECT_FALSE(store.isHeld());
    auto directory = replay.load(dir.string());
    EXPECT_FALSE(directory.ok);
    EXPECT_FALSE(replay.isRunning());
    EXPECT_FALSE(replay.tick().progress.has_value());
}

TEST_F(TempDir, SeekOnAHundredThousandRecordsIsLinearAndFindsTheCurrentRecord)
{
    const std::size_t n = 100000;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(n * 99);
    for (std::size_t i = 0; i < n; ++i) {
        // Record 49999 carries a bad checksum and 49998 an impossible latitude: a seek to 50000
        // must take 49997 as the current record.
        const float lat = i == 49998 ? 95.0f : 22.0f;
        Record r = stp(lat, 113.0f, std::uint16_t(i), i != 49999);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    writeFile(dir / "big.hj", bytes);
    CRecordStore store;
    CReplay replay(store);
    ASSERT_TRUE(replay.load((dir / "big.hj").string()).ok);
    auto s = replay.seek(16384);
    EXPECT_EQ(s.position, 50000u);
    ASSERT_TRUE(s.currentRecord.has_value());
    EXPECT_EQ(*s.currentRecord, 49997u);
    EXPECT_EQ(s.progress, 16384);
    EXPECT_EQ(replay.tick().show, std::optional<std::size_t>(50001));

    auto end = replay.seek(32767);
    EXPECT_EQ(end.position, 99996u);
    EXPECT_EQ(*end.currentRecord, 99995u);
    auto start = replay.seek(0);
    EXPECT_EQ(start.position, 0u);
    EXPECT_FALSE(start.currentRecord.has_value());
    EXPECT_EQ(replay.setSpeed(16), 10);
    EXPECT_EQ(replay.intervalMs(), 10);
}
