// `orvex log info` and `orvex log export`, run as the operator runs them.
#include "support/OrvexRun.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using SRun = SOrvexRun;

std::string quote(const std::string& s) { return shellQuote(s); }
std::string readText(const fs::path& p) { return readWholeFile(p); }

class LogCommand : public ::testing::Test {
  protected:
    CTempDir tmp{"orvex-logcmd"};
    fs::path dir = tmp.dir();

    SRun run(const std::string& args) { return runOrvex(args, dir); }

    // One $STP record written from the layout: latitude 4, longitude 8, time 28-30,
    // ekfVelocityX high byte first at 40-41, altitude (0.1 m) 48-49, pitch i32 at 62, sum at 98.
    static StpBytes stp(float lat, float lon, std::int16_t altitude, int h, int m, int s, bool goodSum = true)
    {
        StpBytes r = stpRecord(lat, lon);
        r[28] = std::uint8_t(h);
        r[29] = std::uint8_t(m);
        r[30] = std::uint8_t(s);
        r[40] = 0xFF; // ekfVelocityX = -2 (0xFFFE, high byte first)
        r[41] = 0xFE;
        r[48] = std::uint8_t(altitude);
        r[49] = std::uint8_t(std::uint16_t(altitude) >> 8);
        r[62] = 0xF6; // pitch = -10
        r[63] = r[64] = r[65] = 0xFF;
        sealStp(r, goodSum);
        return r;
    }
    fs::path writeLog(const std::string& name, const std::vector<std::array<std::uint8_t, 99>>& records,
                      std::size_t tail = 0)
    {
        const fs::path p = dir / name;
        std::ofstream out(p, std::ios::binary);
        for (const auto& r : records)
            out.write(reinterpret_cast<const char*>(r.data()), 99);
        for (std::size_t i = 0; i < tail; ++i)
            out.put('\x55');
        return p;
    }
    fs::path sample()
    {
        return writeLog("flight.hj",
                        {stp(0, 0, 0, 0, 0, 0),                      // empty
                         stp(22.5f, 113.25f, 1234, 10, 0, 5),        // first valid
                         stp(22.75f, 113.5f, 1500, 10, 1, 0, false), // bad sum
                         stp(95.0f, 113.5f, 1500, 10, 2, 0),         // impossible latitude
                         stp(23.0f, 114.0f, -25, 10, 3, 5)},         // last valid
                        7);
    }
};

} // namespace

TEST_F(LogCommand, InfoSummarisesRecordsPositionsAndDuration)
{
    const SRun r = run("log info " + quote(sample()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"records\": 5, \"tailBytes\": 7, \"emptyRecords\": 1, \"badChecksum\": 1, "
                     "\"first\": {\"latitude\": 22.5, \"longitude\": 113.25}, "
                     "\"last\": {\"latitude\": 23, \"longitude\": 114}, \"durationSeconds\": 180}\n");
}

TEST_F(LogCommand, InfoOnEmptyAndTimelessLogs)
{
    const SRun empty = run("log info " + quote(writeLog("empty.hj", {})));
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "{\"records\": 0, \"tailBytes\": 0, \"emptyRecords\": 0, \"badChecksum\": 0, "
                         "\"first\": null, \"last\": null, \"durationSeconds\": null}\n");
    const SRun timeless = run("log info " + quote(writeLog("t.hj", {stp(1, 2, 0, 0, 0, 0)}, 98)));
    EXPECT_EQ(timeless.status, 0);
    EXPECT_NE(timeless.out.find("\"tailBytes\": 98"), std::string::npos);
    EXPECT_NE(timeless.out.find("\"durationSeconds\": null"), std::string::npos);
    // Across midnight.
    const SRun night =
        run("log info " + quote(writeLog("n.hj", {stp(1, 2, 0, 23, 59, 50), stp(1, 2, 0, 0, 0, 10)})));
    EXPECT_NE(night.out.find("\"durationSeconds\": 20"), std::string::npos) << night.out;
}

TEST_F(LogCommand, CsvHasOneRowPerRecordAndNamedColumns)
{
    const fs::path out = dir / "out.csv";
    const SRun r = run("log export --format csv " + quote(sample()) + " -o " + quote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(readText(out));
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("latitude,longitude,positionAux,heading,satelliteCount,timeHour,", 0), 0u)
        << header;
    EXPECT_NE(header.find(",altitude,"), std::string::npos);
    EXPECT_NE(header.find(",ekfVelocityX,"), std::string::npos);
    EXPECT_EQ(header.substr(header.size() - 15), "firmwareVersion");
    std::vector<std::string> rows;
    while (std::getline(lines, line))
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u) << "empty and bad records are rows too";
    EXPECT_EQ(rows[1].rfind("22.5,113.25,0,0,0,10,0,5,", 0), 0u) << rows[1];
    EXPECT_NE(rows[1].find(",-2,"), std::string::npos) << "high-byte-first velocity";
    EXPECT_NE(rows[1].find(",1234,"), std::string::npos);
    EXPECT_NE(rows[1].find(",-10,"), std::string::npos) << "signed pitch";
    const auto commas = [](const std::string& s) { return std::count(s.begin(), s.end(), ','); };
    for (const auto& row : rows)
        EXPECT_EQ(commas(row), commas(header));

    const SRun toStdout = run("log export --format=csv " + quote(sample()));
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out, readText(out));
}

TEST_F(LogCommand, KmlAndGpxCarryTheValidTrackInMetres)
{
    const SRun kml = run("log export --format kml " + quote(sample()));
    ASSERT_EQ(kml.status, 0) << kml.err;
    EXPECT_NE(kml.out.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"), std::string::npos);
    EXPECT_NE(kml.out.find("<LineString>"), std::string::npos);
    EXPECT_NE(kml.out.find("113.25,22.5,123.4\n114,23,-2.5\n</coordinates>"), std::string::npos) << kml.out;
    EXPECT_EQ(kml.out.find("22.75"), std::string::npos) << "bad checksum left out";
    EXPECT_EQ(kml.out.find(",95,"), std::string::npos) << "impossible latitude left out";

    const SRun gpx = run("log export --format gpx " + quote(sample()));
    ASSERT_EQ(gpx.status, 0);
    EXPECT_NE(gpx.out.find("xmlns=\"http://www.topografix.com/GPX/1/1\""), std::string::npos);
    EXPECT_NE(gpx.out.find("<trkpt lat=\"22.5\" lon=\"113.25\"><ele>123.4</ele></trkpt>\n"
                           "<trkpt lat=\"23\" lon=\"114\"><ele>-2.5</ele></trkpt>"),
              std::string::npos)
        << gpx.out;
    EXPECT_NE(gpx.out.find("<name>flight</name>"), std::string::npos);

    const SRun none = run("log export --format kml " + quote(writeLog("e.hj", {})));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.find("<Placemark>"), std::string::npos);
    EXPECT_NE(none.out.find("</kml>"), std::string::npos);
}

TEST_F(LogCommand, BadInputIsAClearErrorWithStatusOne)
{
    const SRun missing = run("log info " + quote(dir / "missing.hj"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.hj"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());

    const SRun directory = run("log export --format csv " + quote(dir));
    EXPECT_EQ(directory.status, 1);
    EXPECT_NE(directory.err.find("directory"), std::string::npos);

    const SRun unwritable =
        run("log export --format gpx " + quote(sample()) + " -o " + quote(dir / "no" / "x.gpx"));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("x.gpx"), std::string::npos);

    const SRun intoDirectory = run("log export --format kml " + quote(sample()) + " -o " + quote(dir));
    EXPECT_EQ(intoDirectory.status, 1);
    EXPECT_FALSE(intoDirectory.err.empty());

    if (fs::is_character_file("/dev/full")) { // a disk that fills up while writing
        const SRun full = run("log export --format csv " + quote(sample()) + " -o /dev/full");
        EXPECT_EQ(full.status, 1);
        EXPECT_FALSE(full.err.empty());
    }

    if (geteuid() != 0) {
        const fs::path locked = sample();
        fs::permissions(locked, fs::perms::none);
        EXPECT_EQ(run("log info " + quote(locked)).status, 1);
    }
}

TEST_F(LogCommand, UsageErrorsExitTwo)
{
    EXPECT_EQ(run("log").status, 2);
    EXPECT_EQ(run("log frobnicate x").status, 2);
    EXPECT_EQ(run("log export " + quote(sample())).status, 2) << "format required";
    EXPECT_EQ(run("log export --format pdf " + quote(sample())).status, 2);
    EXPECT_EQ(run("log info").status, 2);
    EXPECT_EQ(run("log export --format csv").status, 2);
}
