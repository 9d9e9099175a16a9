// `orvex log info` and `orvex log export`, run as the operator runs them.
#include "support/OrvexRun.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class LogCommand : public ::testing::Test {
  protected:
    CTempDir tmp{"orvex-logcmd"};
    fs::path dir = tmp.dir();

    SOrvexRun run(const std::string& args) { return runOrvex(args, dir); }

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
    std::string writeLog(const std::string& name, const std::vector<StpBytes>& records, std::size_t tail = 0)
    {
        std::string bytes;
        for (const auto& r : records)
            bytes.append(r.begin(), r.end());
        CTempDir::write((dir / name).string(), bytes + std::string(tail, '\x55'));
        return shellQuote((dir / name).string());
    }
    std::string sample()
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
    const struct {
        std::string log, json;
    } cases[] = {
        {sample(), "{\"records\": 5, \"tailBytes\": 7, \"emptyRecords\": 1, \"badChecksum\": 1, "
                   "\"first\": {\"latitude\": 22.5, \"longitude\": 113.25}, "
                   "\"last\": {\"latitude\": 23, \"longitude\": 114}, \"durationSeconds\": 180}\n"},
        {writeLog("empty.hj", {}), "{\"records\": 0, \"tailBytes\": 0, \"emptyRecords\": 0, \"badChecksum\": 0, "
                                   "\"first\": null, \"last\": null, \"durationSeconds\": null}\n"},
        {writeLog("t.hj", {stp(1, 2, 0, 0, 0, 0)}, 98), "{\"records\": 1, \"tailBytes\": 98, \"emptyRecords\": 0, "
                                                        "\"badChecksum\": 0, \"first\": {\"latitude\": 1, \"longitude\": 2}, "
                                                        "\"last\": {\"latitude\": 1, \"longitude\": 2}, \"durationSeconds\": null}\n"},
    };
    for (const auto& c : cases) {
        const SOrvexRun r = run("log info " + c.log);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.json);
    }
    const SOrvexRun night = run("log info " + writeLog("n.hj", {stp(1, 2, 0, 23, 59, 50), stp(1, 2, 0, 0, 0, 10)}));
    EXPECT_NE(night.out.find("\"durationSeconds\": 20"), std::string::npos) << "across midnight: " << night.out;
}

TEST_F(LogCommand, CsvHasOneRowPerRecordAndNamedColumns)
{
    const fs::path out = dir / "out.csv";
    const SOrvexRun r = run("log export --format csv " + sample() + " -o " + shellQuote(out));
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(readWholeFile(out));
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("latitude,longitude,positionAux,heading,satelliteCount,timeHour,", 0), 0u) << header;
    EXPECT_NE(header.find(",altitude,"), std::string::npos);
    EXPECT_EQ(header.substr(header.size() - 15), "firmwareVersion");
    std::vector<std::string> rows;
    while (std::getline(lines, line))
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 5u) << "empty and bad records are rows too";
    EXPECT_EQ(rows[1].rfind("22.5,113.25,0,0,0,10,0,5,", 0), 0u) << rows[1];
    const auto column = [&](const std::string& row, const std::string& name) {
        std::istringstream h(header), v(row);
        for (std::string n, x; std::getline(h, n, ',') && std::getline(v, x, ',');)
            if (n == name)
                return x;
        return std::string("?");
    };
    EXPECT_EQ(column(rows[1], "ekfVelocityX"), "-2") << "high-byte-first velocity";
    EXPECT_EQ(column(rows[1], "altitude"), "1234");
    EXPECT_EQ(column(rows[4], "altitude"), "-25");
    EXPECT_EQ(column(rows[1], "pitch"), "-10") << "signed pitch";
    EXPECT_EQ(column(rows[1], "timeSecond"), "5");
    for (const auto& row : rows)
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));
    EXPECT_EQ(run("log export --format=csv " + sample()).out, readWholeFile(out)) << "standard output";
}

TEST_F(LogCommand, KmlAndGpxCarryTheValidTrackInMetres)
{
    const SOrvexRun kml = run("log export --format kml " + sample());
    ASSERT_EQ(kml.status, 0) << kml.err;
    EXPECT_NE(kml.out.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"), std::string::npos);
    // The bad sum (22.75) and the impossible latitude (95) are left out.
    EXPECT_NE(kml.out.find("<LineString>"), std::string::npos);
    EXPECT_NE(kml.out.find("<coordinates>\n113.25,22.5,123.4\n114,23,-2.5\n</coordinates>"), std::string::npos) << kml.out;
    const SOrvexRun gpx = run("log export --format gpx " + sample());
    ASSERT_EQ(gpx.status, 0);
    EXPECT_NE(gpx.out.find("xmlns=\"http://www.topografix.com/GPX/1/1\""), std::string::npos);
    EXPECT_NE(gpx.out.find("<name>flight</name>"), std::string::npos);
    EXPECT_NE(gpx.out.find("<trkseg>\n<trkpt lat=\"22.5\" lon=\"113.25\"><ele>123.4</ele></trkpt>\n"
                           "<trkpt lat=\"23\" lon=\"114\"><ele>-2.5</ele></trkpt>\n</trkseg>"),
              std::string::npos)
        << gpx.out;
    const SOrvexRun none = run("log export --format kml " + writeLog("e.hj", {}));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out.find("<Placemark>"), std::string::npos);
    EXPECT_NE(none.out.find("</kml>"), std::string::npos);
}

TEST_F(LogCommand, BadInputExitsOneAndUsageErrorsTwo)
{
    const SOrvexRun missing = run("log info " + shellQuote(dir / "missing.hj"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.hj"), std::string::npos);
    EXPECT_TRUE(missing.out.empty());
    const SOrvexRun directory = run("log export --format csv " + shellQuote(dir));
    EXPECT_EQ(directory.status, 1);
    EXPECT_NE(directory.err.find("directory"), std::string::npos);
    const SOrvexRun unwritable = run("log export --format gpx " + sample() + " -o " + shellQuote(dir / "no" / "x.gpx"));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("x.gpx"), std::string::npos);
    if (fs::is_character_file("/dev/full")) { // a disk that fills up while writing
        EXPECT_EQ(run("log export --format csv " + sample() + " -o /dev/full").status, 1);
    }
    using namespace std::string_literals;
    for (const std::string& args : {"log"s, "log frobnicate x"s, "log export "s + sample(), "log export --format pdf "s + sample(),
                                    "log info"s, "log export --format csv"s})
        EXPECT_EQ(run(args).status, 2) << args;
}
