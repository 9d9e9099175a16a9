// What `orvex log` prints, decided here: the log and flight summaries, the CSV, KML and GPX
// exports, the log clock with its UTC times, and the plot picture.
#include "flightlog/FlightSummary.h"
#include "flightlog/LogExport.h"
#include "flightlog/PlotFields.h"
#include "flightlog/PlotSvg.h"
#include "flightlog/RecordStore.h"

#include "support/StpRecord.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <sstream>
#include <vector>

using namespace orvex;

namespace {

// One record from the layout: time 28-30, ekfVelocityX high byte first at 40-41 (-2),
// altitude (0.1 m) at 48-49, pitch i32 at 62 (-10).
StpBytes stp(float lat, float lon, std::int16_t altitude, int h, int m, int s, bool goodSum = true)
{
    StpBytes r = stpRecord(lat, lon);
    r[28] = std::uint8_t(h);
    r[29] = std::uint8_t(m);
    r[30] = std::uint8_t(s);
    r[40] = 0xFF;
    r[41] = 0xFE;
    putLeU16(&r[48], altitude);
    putLeU32(&r[62], std::uint32_t(-10));
    sealStp(r, goodSum);
    return r;
}

// Empty, first valid, bad sum, impossible latitude, last valid.
const std::vector<StpBytes> kSample = {stp(0, 0, 0, 0, 0, 0), stp(22.5f, 113.25f, 1234, 10, 0, 5),
                                       stp(22.75f, 113.5f, 1500, 10, 1, 0, false), stp(95.0f, 113.5f, 1500, 10, 2, 0),
                                       stp(23.0f, 114.0f, -25, 10, 3, 5)};

class CLog {
  public:
    explicit CLog(const std::vector<StpBytes>& records)
    {
        store.create();
        for (const auto& r : records)
            store.append(r.data());
    }
    std::string exported(ELogExportFormat format, const std::optional<SLogClock>& clock = std::nullopt) const
    {
        char* data = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&data, &size);
        EXPECT_TRUE(exportLog(store, format, "flight", out, clock));
        std::fclose(out);
        std::string text(data, size);
        std::free(data);
        return text;
    }
    CRecordStore store;
};

} // namespace

TEST(LogSummary, CountsRecordsPositionsAndDuration)
{
    const struct {
        std::vector<StpBytes> records;
        std::uint64_t fileSize;
        std::string json;
    } cases[] = {
        {kSample, 5 * 99 + 7,
         "{\"records\": 5, \"tailBytes\": 7, \"emptyRecords\": 1, \"badChecksum\": 1, "
         "\"first\": {\"latitude\": 22.5, \"longitude\": 113.25}, "
         "\"last\": {\"latitude\": 23, \"longitude\": 114}, \"durationSeconds\": 180, "},
        {{}, 0,
         "{\"records\": 0, \"tailBytes\": 0, \"emptyRecords\": 0, \"badChecksum\": 0, \"first\": null, \"last\": null, "
         "\"durationSeconds\": null, \"summary\": {\"takeoff\": null, \"landing\": null, \"flightSeconds\": null, "
         "\"maxAltitudeMetres\": null, \"maxDistanceMetres\": null, \"distanceFlownMetres\": 0.0, \"minVoltage\": null, "
         "\"consumedMah\": null, \"gaps\": []}}"},
        {{stp(1, 2, 0, 0, 0, 0)}, 99 + 98,
         "{\"records\": 1, \"tailBytes\": 98, \"emptyRecords\": 0, \"badChecksum\": 0, "
         "\"first\": {\"latitude\": 1, \"longitude\": 2}, \"last\": {\"latitude\": 1, \"longitude\": 2}, "
         "\"durationSeconds\": null, "},
        {{stp(1, 2, 0, 23, 59, 50), stp(1, 2, 0, 0, 0, 10)}, 2 * 99, // across midnight
         "{\"records\": 2, \"tailBytes\": 0, \"emptyRecords\": 0, \"badChecksum\": 0, "
         "\"first\": {\"latitude\": 1, \"longitude\": 2}, \"last\": {\"latitude\": 1, \"longitude\": 2}, "
         "\"durationSeconds\": 20, "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const CLog log(c.records);
        EXPECT_EQ(logSummaryJson(summarizeLog(log.store, c.fileSize)).substr(0, c.json.size()), c.json);
    }
}

TEST(FlightSummary, TakeoffLandingHeightDistancesVoltageCapacityAndGaps)
{
    // On the ground (0-2), motors idling on the ground (3), airborne 4-16 climbing to 90 m at 10
    // while flying 6 steps of 1/1024 degree north and back, on the ground from 17. The clock
    // jumps 5 s after record 14 (a gap) and 2 s after record 16 (not yet one). Motor 1 pulses at
    // 44, the supply voltage (raw) at 70 and the consumed capacity at 76.
    const std::int16_t altitude[] = {0, 0, 0, 0, 30, 150, 300, 450, 600, 750, 900, 800, 600, 400, 200, 100, 30, 0, 0, 0};
    std::vector<StpBytes> records;
    for (int i = 0; i < 20; ++i) {
        const int steps = i < 4 ? 0 : i <= 10 ? i - 4 : std::max(0, 16 - i);
        const int second = i + (i > 14 ? 4 : 0) + (i > 16 ? 1 : 0);
        StpBytes& r = records.emplace_back(stp(1.0f + steps / 1024.0f, 113.0f, altitude[i], 10, 0, second));
        r[44] = i >= 3 && i <= 16 ? 60 : 0;
        putLeU16(&r[70], i == 12 ? 1900 : 2048);
        putLeU16(&r[76], 10 * i);
        sealStp(r);
    }
    const CLog log(records);
    EXPECT_EQ(flightSummaryJson(summarizeFlight(log.store)),
              "{\"takeoff\": {\"index\": 4, \"time\": \"10:00:04\"}, \"landing\": {\"index\": 17, \"time\": \"10:00:22\"}, "
              "\"flightSeconds\": 18, \"maxAltitudeMetres\": 90.0, \"maxDistanceMetres\": 652.3, "
              "\"distanceFlownMetres\": 1304.5, \"minVoltage\": 9.28, \"consumedMah\": 190, "
              "\"gaps\": [{\"index\": 14, \"seconds\": 5}]}");
}

TEST(LogExport, CsvHasEveryRecordAsStoredThenThePlotFields)
{
    std::istringstream lines(CLog(kSample).exported(ELogExportFormat::Csv));
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("latitude,longitude,positionAux,heading,satelliteCount,timeHour,", 0), 0u) << header;
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
    const struct {
        std::size_t row;
        const char *name, *value;
    } cells[] = {{1, "ekfVelocityX", "-2"}, {1, "altitude", "1234"}, {4, "altitude", "-25"},
                 {4, "altitudeMetres", "-2.5"}, {1, "pitch", "-10"}};
    for (const auto& c : cells)
        EXPECT_EQ(column(rows[c.row], c.name), c.value) << c.name;
    for (const auto& row : rows)
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(header.begin(), header.end(), ','));
}

TEST(LogExport, KmlAndGpxCarryTheValidTrackInMetres)
{
    // The bad sum (22.75) and the impossible latitude (95) are left out.
    const std::string kml = CLog(kSample).exported(ELogExportFormat::Kml);
    EXPECT_NE(kml.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\""), std::string::npos);
    EXPECT_NE(kml.find("<LineString>"), std::string::npos);
    EXPECT_NE(kml.find("<coordinates>\n113.25,22.5,123.4\n114,23,-2.5\n</coordinates>"), std::string::npos) << kml;
    const std::string gpx = CLog(kSample).exported(ELogExportFormat::Gpx);
    EXPECT_NE(gpx.find("xmlns=\"http://www.topografix.com/GPX/1/1\""), std::string::npos);
    EXPECT_NE(gpx.find("<trkseg>\n<trkpt lat=\"22.5\" lon=\"113.25\"><ele>123.4</ele></trkpt>\n"
                       "<trkpt lat=\"23\" lon=\"114\"><ele>-2.5</ele></trkpt>\n</trkseg>"),
              std::string::npos)
        << gpx;
    const std::string none = CLog({}).exported(ELogExportFormat::Kml);
    EXPECT_EQ(none.find("<Placemark>"), std::string::npos);
    EXPECT_NE(none.find("</kml>"), std::string::npos);
    std::FILE* readOnly = std::fopen("/dev/null", "r");
    EXPECT_FALSE(exportLog(CLog(kSample).store, ELogExportFormat::Csv, "flight", readOnly)) << "a failed write is told";
    std::fclose(readOnly);
}

TEST(LogExport, TracksCarryUtcTimesFromTheFileNameAndTheRecordClock)
{
    ::setenv("TZ", "CST-8", 1); // this machine keeps UTC+8
    ::tzset();
    EXPECT_FALSE(logClockFromName("flight.hj", std::nullopt));
    EXPECT_FALSE(logClockFromName("20261307235950.hj", std::nullopt)) << "month 13";
    // Opened 2026-03-07 23:59:50 local; the clock passes midnight between the two records.
    const CLog log({stp(22, 113, 0, 23, 59, 58), stp(22.5f, 113, 0, 0, 0, 2)});
    const struct {
        std::optional<double> offsetHours;
        std::string first, second;
    } cases[] = {
        {std::nullopt, "2026-03-07T15:59:58Z", "2026-03-07T16:00:02Z"}, // records keep local time
        {0.0, "2026-03-07T23:59:58Z", "2026-03-08T00:00:02Z"},          // records keep UTC
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const auto clock = logClockFromName("/logs/20260307235950.hj", c.offsetHours);
        ASSERT_TRUE(clock);
        EXPECT_EQ(utcTimeText(clock->opened), "2026-03-07T15:59:50Z");
        const std::string gpx = log.exported(ELogExportFormat::Gpx, clock);
        EXPECT_NE(gpx.find("<ele>0.0</ele><time>" + c.first + "</time></trkpt>\n<trkpt lat=\"22.5\" lon=\"113\">"
                           "<ele>0.0</ele><time>" + c.second + "</time>"),
                  std::string::npos)
            << gpx;
        const std::string kml = log.exported(ELogExportFormat::Kml, clock);
        EXPECT_NE(kml.find("<gx:Track>\n<altitudeMode>absolute</altitudeMode>\n<when>" + c.first + "</when>\n<when>" +
                           c.second + "</when>\n<gx:coord>113 22 0.0</gx:coord>\n<gx:coord>113 22.5 0.0</gx:coord>"),
                  std::string::npos)
            << kml;
    }
    ::unsetenv("TZ");
    ::tzset();
}

TEST(PlotSvg, OneDecimatedPanelPerFieldOverTheTimeAxis)
{
    std::vector<StpBytes> records;
    for (int i = 0; i < 3000; ++i) // more records than pixels
        records.push_back(stp(22.0f, 113.0f, std::int16_t(i % 500), 10 + i / 3600, i / 60 % 60, i % 60));
    const CLog log(records);
    const SPlotField* fields[] = {findPlotField("altitudeMetres"), findPlotField("satellites")};
    const std::string text = plotSvg(log.store, fields, "p.hj");
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
}
