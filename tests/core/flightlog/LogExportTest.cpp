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

// Empty, first valid, bad sum, impossible latitude, last valid; the clock passes midnight.
const std::vector<StpBytes> kSample = {stp(0, 0, 0, 0, 0, 0), stp(22.5f, 113.25f, 1234, 23, 59, 58),
                                       stp(22.75f, 113.5f, 1500, 23, 59, 59, false), stp(95.0f, 113.5f, 1500, 0, 0, 1),
                                       stp(23.0f, 114.0f, -25, 0, 0, 2)};

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
         "\"last\": {\"latitude\": 23, \"longitude\": 114}, \"durationSeconds\": 4, "},
        {{}, 0,
         "{\"records\": 0, \"tailBytes\": 0, \"emptyRecords\": 0, \"badChecksum\": 0, \"first\": null, \"last\": null, "
         "\"durationSeconds\": null, \"summary\": {\"takeoff\": null, \"landing\": null, \"flightSeconds\": null, "
         "\"maxAltitudeMetres\": null, \"maxDistanceMetres\": null, \"distanceFlownMetres\": 0.0, \"minVoltage\": null, "
         "\"consumedMah\": null, \"gaps\": []}}"},
        {{stp(1, 2, 0, 0, 0, 0)}, 99 + 98,
         "{\"records\": 1, \"tailBytes\": 98, \"emptyRecords\": 0, \"badChecksum\": 0, "
         "\"first\": {\"latitude\": 1, \"longitude\": 2}, \"last\": {\"latitude\": 1, \"longitude\": 2}, "
         "\"durationSeconds\": null, "},
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
    EXPECT_EQ(rows[1].rfind("22.5,113.25,0,0,0,23,59,58,", 0), 0u) << rows[1];
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

// The track leaves out the bad sum (22.75) and the impossible latitude (95). With a clock from a
// live log's name (opened 2026-03-07 23:59:50 on a machine at UTC+8) each point carries its UTC
// time, the day rolling over with the record clock.
TEST(LogExport, KmlAndGpxCarryTheValidTrackInMetresAndItsUtcTimes)
{
    ::setenv("TZ", "CST-8", 1);
    ::tzset();
    EXPECT_FALSE(logClockFromName("flight.hj", std::nullopt));
    EXPECT_FALSE(logClockFromName("20261307235950.hj", std::nullopt)) << "month 13";
    const auto local = logClockFromName("/logs/20260307235950.hj", std::nullopt); // records keep local time
    const auto utc = logClockFromName("20260307235950.hj", 0.0);
    ASSERT_TRUE(local && utc);
    EXPECT_EQ(utcTimeText(local->opened), "2026-03-07T15:59:50Z");
    EXPECT_EQ(utc->opened, local->opened);
    ::unsetenv("TZ");
    ::tzset();
    const auto kml = ELogExportFormat::Kml, gpx = ELogExportFormat::Gpx;
    const std::string gpxPoint = "<trkpt lat=\"22.5\" lon=\"113.25\"><ele>123.4</ele>";
    const std::string gpxNext = "</trkpt>\n<trkpt lat=\"23\" lon=\"114\"><ele>-2.5</ele>";
    const std::string whens = "<gx:Track>\n<altitudeMode>absolute</altitudeMode>\n<when>";
    const std::string coords = "</when>\n<gx:coord>113.25 22.5 123.4</gx:coord>\n<gx:coord>114 23 -2.5</gx:coord>";
    const struct {
        ELogExportFormat format;
        std::optional<SLogClock> clock;
        std::string part;
    } cases[] = {
        {kml, std::nullopt, "<kml xmlns=\"http://www.opengis.net/kml/2.2\""},
        {kml, std::nullopt, "<LineString>\n<tessellate>1</tessellate>\n<altitudeMode>absolute</altitudeMode>\n"
                            "<coordinates>\n113.25,22.5,123.4\n114,23,-2.5\n</coordinates>"},
        {gpx, std::nullopt, "<trkseg>\n" + gpxPoint + gpxNext + "</trkpt>\n</trkseg>"},
        {gpx, local, gpxPoint + "<time>2026-03-07T15:59:58Z</time>" + gpxNext + "<time>2026-03-07T16:00:02Z</time>"},
        {gpx, utc, gpxPoint + "<time>2026-03-07T23:59:58Z</time>" + gpxNext + "<time>2026-03-08T00:00:02Z</time>"},
        {kml, local, whens + "2026-03-07T15:59:58Z</when>\n<when>2026-03-07T16:00:02Z" + coords},
        {kml, utc, whens + "2026-03-07T23:59:58Z</when>\n<when>2026-03-08T00:00:02Z" + coords},
    };
    const CLog log(kSample);
    for (const auto& c : cases) {
        const std::string text = log.exported(c.format, c.clock);
        EXPECT_NE(text.find(c.part), std::string::npos) << c.part << "\nin\n" << text;
    }
    const std::string none = CLog({}).exported(kml);
    EXPECT_EQ(none.find("<Placemark>"), std::string::npos);
    EXPECT_NE(none.find("</kml>"), std::string::npos);
    std::FILE* readOnly = std::fopen("/dev/null", "r");
    EXPECT_FALSE(exportLog(log.store, ELogExportFormat::Csv, "flight", readOnly)) << "a failed write is told";
    std::fclose(readOnly);
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
