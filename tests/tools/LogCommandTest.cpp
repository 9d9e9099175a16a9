// `orvex log info`, `export` and `plot`, run as the operator runs them: the options and files
// reach the flight log code (whose rules are tested in the core) and its text comes out as it is.
#include "flightlog/PlotFields.h"
#include "flightlog/PlotSvg.h"
#include "flightlog/RecordStore.h"

#include "support/OrvexRun.h"
#include "support/StpRecord.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class LogCommand : public ::testing::Test {
  protected:
    CTempDir tmp{"orvex-logcmd"};
    fs::path dir = tmp.dir();

    SOrvexRun run(const std::string& args) { return runOrvex(args, dir); }

    // A live log opened 2026-03-07 23:59:50 whose clock passes midnight, 7 bytes of a cut record
    // at its end.
    std::string sample()
    {
        std::string bytes;
        for (const auto [lat, h, m, s] : {std::tuple{22.0f, 23, 59, 58}, std::tuple{22.5f, 0, 0, 2}}) {
            StpBytes r = stpRecord(lat, 113.0f);
            r[28] = std::uint8_t(h);
            r[29] = std::uint8_t(m);
            r[30] = std::uint8_t(s);
            putLeU16(&r[48], 1234);
            sealStp(r);
            bytes.append(r.begin(), r.end());
        }
        CTempDir::write((dir / "20260307235950.hj").string(), bytes + std::string(7, '\x55'));
        return shellQuote((dir / "20260307235950.hj").string());
    }
};

} // namespace

TEST_F(LogCommand, InfoPrintsTheSummaryOfTheFileAsOneLine)
{
    const SOrvexRun r = run("log info " + sample());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"records\": 2, \"tailBytes\": 7, \"emptyRecords\": 0, \"badChecksum\": 0, "
                     "\"first\": {\"latitude\": 22, \"longitude\": 113}, \"last\": {\"latitude\": 22.5, \"longitude\": 113}, "
                     "\"durationSeconds\": 4, \"summary\": {\"takeoff\": null, \"landing\": null, \"flightSeconds\": null, "
                     "\"maxAltitudeMetres\": 123.4, \"maxDistanceMetres\": 55659.7, \"distanceFlownMetres\": 55659.7, "
                     "\"minVoltage\": 0.00, \"consumedMah\": 0, \"gaps\": [{\"index\": 0, \"seconds\": 4}]}}\n");
}

// The clock comes from the file name and --utc-offset; the GPX track is named after the file.
TEST_F(LogCommand, ExportWritesTheChosenFormatToStandardOutputOrAFile)
{
    const std::string log = sample();
    ::setenv("TZ", "CST-8", 1); // the tool inherits this machine's zone, which the option overrides
    const SOrvexRun gpx = run("log export --format gpx --utc-offset 0 " + log);
    ::unsetenv("TZ");
    EXPECT_EQ(gpx.status, 0) << gpx.err;
    EXPECT_EQ(gpx.out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<gpx version=\"1.1\" creator=\"orvex\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n<trk>\n"
                       "<name>20260307235950</name>\n<trkseg>\n"
                       "<trkpt lat=\"22\" lon=\"113\"><ele>123.4</ele><time>2026-03-07T23:59:58Z</time></trkpt>\n"
                       "<trkpt lat=\"22.5\" lon=\"113\"><ele>123.4</ele><time>2026-03-08T00:00:02Z</time></trkpt>\n"
                       "</trkseg>\n</trk>\n</gpx>\n");
    EXPECT_NE(run("log export --format=kml " + log).out.find("<kml xmlns="), std::string::npos);
    const fs::path csv = dir / "out.csv";
    ASSERT_EQ(run("log export --format csv " + log + " -o " + shellQuote(csv)).status, 0);
    EXPECT_EQ(readWholeFile(csv).rfind("latitude,longitude,", 0), 0u);
    EXPECT_EQ(run("log export --format=csv " + log).out, readWholeFile(csv));
}

TEST_F(LogCommand, PlotWritesTheSvgOfTheChosenFieldsOrItsPng)
{
    const std::string log = sample();
    const fs::path svg = dir / "p.svg";
    const SOrvexRun r = run("log plot " + log + " --fields altitudeMetres,satellites -o " + shellQuote(svg));
    ASSERT_EQ(r.status, 0) << r.err;
    orvex::CRecordStore store;
    ASSERT_TRUE(store.loadFile((dir / "20260307235950.hj").string(), nullptr));
    const orvex::SPlotField* fields[] = {orvex::findPlotField("altitudeMetres"), orvex::findPlotField("satellites")};
    EXPECT_EQ(readWholeFile(svg), orvex::plotSvg(store, fields, "20260307235950.hj"));
    // The same picture as a PNG, drawn by rsvg-convert at the size the SVG gives.
    const SOrvexRun png = run("log plot " + log + " --fields altitudeMetres -o " + shellQuote(dir / "p.png"));
    ASSERT_EQ(png.status, 0) << png.err;
    EXPECT_EQ(readWholeFile(dir / "p.png").substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(fs::exists(dir / "p.png.svg.tmp"));
}

TEST_F(LogCommand, BadInputExitsOneAndUsageErrorsTwo)
{
    const struct {
        std::string args, says;
    } failures[] = {
        {"info " + shellQuote(dir / "missing.hj"), "missing.hj"},
        {"export --format csv " + shellQuote(dir), "directory"},
        {"export --format gpx " + sample() + " -o " + shellQuote(dir / "no" / "x.gpx"), "x.gpx"},
    };
    for (const auto& f : failures) {
        const SOrvexRun r = run("log " + f.args);
        EXPECT_EQ(r.status, 1) << f.args;
        EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << f.args;
    }
    using namespace std::string_literals;
    for (const std::string& args :
         {"log"s, "log frobnicate x"s, "log export "s + sample(), "log export --format pdf "s + sample(), "log info"s,
          "log export --format csv"s, "log export --format gpx --utc-offset x "s + sample(),
          "log plot "s + sample() + " --fields nosuch -o x.svg"})
        EXPECT_EQ(run(args).status, 2) << args;
}
