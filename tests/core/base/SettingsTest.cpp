#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "base/Settings.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <set>
#include <sys/resource.h>

using namespace orvex;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    CTempDir dir;
    const std::string path = dir.file("Korva.ini");
    CSettings settings{path};
};

} // namespace

TEST_F(SettingsFile, BinaryEncodesLowNibbleFirstWithCapitalLettersRefusesAnythingElseAndRoundTrips)
{
    const uint8_t bytes[] = {0x3C, 0x00, 0xFF, 0x10};
    EXPECT_EQ(CSettings::encodeBinary(bytes), "MDAAPPAB");
    EXPECT_EQ(CSettings::decodeBinary("MDAAPPAB"), (std::vector<uint8_t>{0x3C, 0x00, 0xFF, 0x10}));
    // Odd length, a letter past "A" + 15, lower case, a blank, nothing: missing.
    for (const char* bad : {"MDA", "MDAQ", "mdAA", "MD A", ""})
        EXPECT_FALSE(CSettings::decodeBinary(bad)) << bad;

    EXPECT_FALSE(settings.getBinary(keys::kPosition)); // through the file; a missing value is none
    std::vector<uint8_t> rect(16, 0xFF);
    ASSERT_TRUE(settings.setBinary(keys::kPosition, rect));
    EXPECT_EQ(settings.getBinary(keys::kPosition), rect);
}

TEST(SettingsInt, ReadsLikeTheProfileIntegerFunction)
{
    for (const auto& [text, value] : std::vector<std::pair<const char*, int>>{
             {"500", 500}, {"  -12", -12}, {"+8", 8}, {"42abc", 42}, {"abc", 0}, {"0x1F", 31}, {"", 7},
             {"4294967297", 1}}) // wraps at 32 bits, no overflow
        EXPECT_EQ(CSettings::parseProfileInt(text, 7), value) << '"' << text << '"';
}

TEST_F(SettingsFile, MissingFileGivesEveryDefaultIsCreatedAtFirstWriteAndValuesKeepToTheirLine)
{
    for (const auto& [key, value] : std::vector<std::pair<const SettingKey*, const char*>>{
             {&keys::kComPort, "COM1"}, {&keys::kAltitude, "500"}, {&keys::kFenPin, "1"}, {&keys::kVolume, "50"},
             {&keys::kRcState, "0"}, {&keys::kHigh, "0"}, {&keys::kWifiAddress, "192.168.4.1"}, {&keys::kAltitudeGps, "100"}})
        EXPECT_EQ(settings.getText(*key), value) << key->key;
    EXPECT_DOUBLE_EQ(settings.getReal(keys::kLowVoltage), 4.5);
    EXPECT_FALSE(std::filesystem::exists(settings.path()));

    ASSERT_TRUE(settings.setInt(keys::kSpeed, -3));
    EXPECT_EQ(CTempDir::read(settings.path()), "[WayPoint]\r\nSpeed=-3\r\n");
    EXPECT_EQ(settings.getInt(keys::kAltitude), 500);

    // Values cannot break the line structure.
    ASSERT_TRUE(settings.setText(keys::kLastMap, "a\r\n[Settings]\nCOMPORT=evil"));
    EXPECT_EQ(settings.getText(keys::kLastMap), "a  [Settings] COMPORT=evil");
}

TEST(SettingsKeys, EveryKeyHasItsOwnSlot)
{
    std::set<std::string> seen;
    for (const SettingKey* k : keys::kAll) {
        std::string id = std::string(k->section) + "/" + k->key;
        std::ranges::transform(id, id.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(seen.insert(id).second) << id;
    }
}

TEST_F(SettingsFile, LookupIgnoresCaseAndKeepsOtherLinesOnRewrite)
{
    CTempDir::write(path,
                    "; written by hand\r\n"
                    "[waypoint]\r\n"
                    "  altitude = 320 \r\n"
                    "Unknown=keep me\r\n");
    EXPECT_EQ(settings.getInt(keys::kAltitude), 320);
    ASSERT_TRUE(settings.setInt(keys::kAltitude, 450));
    ASSERT_TRUE(settings.setInt(keys::kSpeed, 77));
    ASSERT_TRUE(settings.setText(keys::kComPort, "/dev/ttyUSB0"));
    EXPECT_EQ(CTempDir::read(path),
              "; written by hand\r\n"
              "[waypoint]\r\n"
              "Altitude=450\r\n"
              "Unknown=keep me\r\n"
              "Speed=77\r\n"
              "[Settings]\r\n"
              "COMPORT=/dev/ttyUSB0\r\n");
}

TEST_F(SettingsFile, ReadsLfAndGb18030FilesKeepsTheirLineEndsAndRewritesAsUtf8)
{
    // "北京" in GB18030 is B1 B1 BE A9; the last line has no line end.
    CTempDir::write(path, "[Voice]\nVolume=80\n[Options]\nAddressName=\xB1\xB1\xBE\xA9,1,2,3~`~");
    EXPECT_EQ(settings.getInt(keys::kVolume), 80);
    EXPECT_EQ(settings.getText(keys::kAddressName), "北京,1,2,3~`~");
    ASSERT_TRUE(settings.setText(keys::kLastMap, "地图"));
    EXPECT_EQ(CTempDir::read(path), "[Voice]\nVolume=80\n[Options]\nAddressName=北京,1,2,3~`~\nLastMap=地图\n");
}

TEST_F(SettingsFile, FailedWritesLeaveTheOldFileIntactNoTemporaryBehindAndReportFailure)
{
    const std::string old = "[WayPoint]\r\nAltitude=300\r\n";
    CTempDir::write(path, old);

    // Files may not grow beyond 8 bytes: the temporary file cannot be written.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = settings.setText(keys::kLastMap, std::string(200, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(CTempDir::read(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary left";

    // Unwritable or unreadable places: failure, and nothing replaced.
    CSettings nowhere("/proc/orvex-no-such-dir/Korva.ini");
    EXPECT_FALSE(nowhere.setInt(keys::kAltitude, 1));
    EXPECT_EQ(nowhere.getInt(keys::kAltitude), 500);

    // A directory where the file should be: it exists but cannot be read as a file.
    std::filesystem::create_directory(dir.file("sub.ini"));
    CSettings directory(dir.file("sub.ini"));
    EXPECT_EQ(directory.getInt(keys::kAltitude), 500);
    EXPECT_FALSE(directory.setInt(keys::kAltitude, 1));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("sub.ini")));

    CTempDir::write(dir.file("x.ini"), "[Voice]\nLowVolt=volts\n");
    EXPECT_DOUBLE_EQ(CSettings(dir.file("x.ini")).getReal(keys::kLowVoltage), 4.5) << "garbage reads as the default";
}
