// `orvex log info`, `export` and `plot`, run as the operator runs them.
#include "support/OrvexRun.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
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
                   "\"last\": {\"latitude\": 23, \"longitude\": 114}, \"durationSeconds\": 180, "},
        {writeLog("empty.hj", {}), "{\"records\": 0, \"tailBytes\": 0, \"emptyRecords\": 0, \"badChecksum\": 0, "
                                   "\"first\": null, \"last\": null, \"durationSeconds\": null, \"summary\": {\"takeoff\": null, "
                                   "\"landing\": null, \"flightSeconds\": null, \"maxAltitudeMetres\": null, "
                                   "\"maxDistanceMetres\": null, \"distanceFlownMetres\": 0.0, \"minVoltage\": null, "
                                   "\"consumedMah\": null, \"gaps\": []}}\n"},
        {writeLog("t.hj", {stp(1, 2, 0, 0, 0, 0)}, 98), "{\"records\": 1, \"tailBytes\": 98, \"emptyRecords\": 0, "
                                                        "\"badChecksum\": 0, \"first\": {\"latitude\": 1, \"longitude\": 2}, "
                                                        "\"last\": {\"latitude\": 1, \"longitude\": 2}, \"durationSeconds\": null, "},
    };
    for (const auto& c : cases) {
        const SOrvexRun r = run("log info " + c.log);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, c.json.size()), c.json);
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
    EXPECT_NE(header.find(",firmwareVersion,altitudeMetres,groundSpeed,climbRate,"), std::string::npos) << header;
    EXPECT_EQ(header.substr(header.size() - 41), "takeoffDistanceMetres,targetWaypointIndex");
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
    EXPECT_EQ(column(rows[4], "altitudeMetres"), "-2.5") << "the plot fields in their units";
    EXPECT_EQ(column(rows[1], "pitch"), "-10") << "signed pitch";
    for (const auto& row : rows)
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));
    EXPECT_EQ(run("log export --format=csv " + sample()).out, readWholeFile(out)) << "standard output";
}

TEST_F(LogCommand, KmlAndGpxCarryTheValidTrackInMetres)
{
    const SOrvexRun kml = run("log export --format kml " + sample());
    ASSERT_EQ(kml.status, 0) << kml.err;
    EXPECT_NE(kml.out.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\""), std::string::npos);
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

TEST_F(LogCommand, InfoSummarisesTheFlight)
{
    // On the ground (0-2), motors idling on the ground (3), airborne 4-16 climbing to 90 m at 10
    // while flying 6 steps of 1/1024 degree north and back, on the ground from 17. The clock
    // jumps 5 s after record 14. Motor 1 pulses at 44, the supply voltage (raw) at 70 and the
    // consumed capacity at 76.
    const std::int16_t altitude[] = {0, 0, 0, 0, 30, 150, 300, 450, 600, 750, 900, 800, 600, 400, 200, 100, 30, 0, 0, 0};
    std::vector<StpBytes> records;
    for (int i = 0; i < 20; ++i) {
        const int steps = i < 4 ? 0 : i <= 10 ? i - 4 : std::max(0, 16 - i);
        StpBytes& r =
            records.emplace_back(stp(1.0f + steps / 1024.0f, 113.0f, altitude[i], 10, 0, i + (i > 14 ? 4 : 0)));
        r[44] = i >= 3 && i <= 16 ? 60 : 0;
        putLeU16(&r[70], i == 12 ? 1900 : 2048);
        putLeU16(&r[76], 10 * i);
        sealStp(r);
    }
    const SOrvexRun r = run("log info " + writeLog("flight.hj", records));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"summary\": {\"takeoff\": {\"index\": 4, \"time\": \"10:00:04\"}, "
                         "\"landing\": {\"index\": 17, \"time\": \"10:00:21\"}, \"flightSeconds\": 17, "
                         "\"maxAltitudeMetres\": 90.0, \"maxDistanceMetres\": 652.3, \"distanceFlownMetres\": 1304.5, "
                         "\"minVoltage\": 9.28, \"consumedMah\": 190, \"gaps\": [{\"index\": 14, \"seconds\": 5}]}}\n"),
              std::string::npos)
        << r.out;
}

TEST_F(LogCommand, TracksCarryUtcTimesFromTheFileNameAndTheRecordClock)
{
    ::setenv("TZ", "CST-8", 1); // this machine keeps UTC+8; the tool inherits it
    // Opened 2026-03-07 23:59:50 local; the clock passes midnight between the two records.
    const std::string log = writeLog("20260307235950.hj", {stp(22, 113, 0, 23, 59, 58), stp(22.5f, 113, 0, 0, 0, 2)});
    const struct {
        std::string options, first, second;
    } cases[] = {
        {"", "2026-03-07T15:59:58Z", "2026-03-07T16:00:02Z"},           // records keep local time
        {"--utc-offset 0 ", "2026-03-07T23:59:58Z", "2026-03-08T00:00:02Z"}, // records keep UTC
    };
    for (const auto& c : cases) {
        const SOrvexRun gpx = run("log export --format gpx " + c.options + log);
        ASSERT_EQ(gpx.status, 0) << gpx.err;
        EXPECT_NE(gpx.out.find("<ele>0.0</ele><time>" + c.first + "</time></trkpt>\n<trkpt lat=\"22.5\" lon=\"113\">"
                               "<ele>0.0</ele><time>" + c.second + "</time>"),
                  std::string::npos)
            << c.options << gpx.out;
        const SOrvexRun kml = run("log export --format kml " + c.options + log);
        EXPECT_NE(kml.out.find("<gx:Track>\n<altitudeMode>absolute</altitudeMode>\n<when>" + c.first + "</when>\n<when>" +
                               c.second + "</when>\n<gx:coord>113 22 0.0</gx:coord>\n<gx:coord>113 22.5 0.0</gx:coord>"),
                  std::string::npos)
            << kml.out;
    }
    EXPECT_EQ(run("log export --format gpx --utc-offset x " + log).status, 2);
    ::unsetenv("TZ");
}

TEST_F(LogCommand, PlotWritesOneSvgPanelPerField)
{
    std::vector<StpBytes> records;
    for (int i = 0; i < 3000; ++i) // more records than pixels: decimated
        records.push_back(stp(22.0f, 113.0f, std::int16_t(i % 500), 10 + i / 3600, i / 60 % 60, i % 60));
    const std::string log = writeLog("p.hj", records);
    const fs::path svg = dir / "p.svg";
    const SOrvexRun r = run("log plot " + log + " --fields altitudeMetres,satellites -o " + shellQuote(svg));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = readWholeFile(svg);
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_NE(text.find("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"430\""), std::string::npos);
    const std::regex panel("data-field=\"(\\w+)\"[^]*?<polyline[^>]*points=\"([^\"]*)\"");
    std::vector<std::string> names;
    for (std::sregex_iterator it(text.begin(), text.end(), panel), end; it != end; ++it) {
        names.push_back((*it)[1]);
        const std::string points = (*it)[2];
        EXPECT_LE(std::count(points.begin(), points.end(), ' ') + 1, 2 * 910) << "at most two points a pixel";
    }
    EXPECT_EQ(names, (std::vector<std::string>{"altitudeMetres", "satellites"}));
    EXPECT_NE(text.find(">49.9<"), std::string::npos) << "the highest altitude labels the axis";
    // The same picture as a PNG, drawn by rsvg-convert at the size the SVG gives.
    const SOrvexRun png = run("log plot " + log + " --fields altitudeMetres,satellites -o " + shellQuote(dir / "p.png"));
    ASSERT_EQ(png.status, 0) << png.err;
    const std::string image = readWholeFile(dir / "p.png");
    EXPECT_EQ(image.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(fs::exists(dir / "p.png.svg.tmp"));
    EXPECT_EQ(run("log plot " + log + " --fields nosuch -o " + shellQuote(svg)).status, 2);
}
