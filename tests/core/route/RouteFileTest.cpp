#include "support/TempDir.h"
#include <gtest/gtest.h>

#include "base/Settings.h"
#include "route/RouteFile.h"

#include <clocale>
#include <cstdlib>
#include <tuple>

using namespace orvex;

namespace {

CSkyWay parse(const std::string& tag, const std::string& text)
{
    CSkyWay route(tag);
    parseRouteText(text, route, CWayPointDefaults{});
    return route;
}

} // namespace

// Seven numbers a line in file order, CRLF; narrow fields keep their low bits (2^32 + 100, 300 - 256,
// 70000 - 65536).
TEST(RouteFile, FieldsAreReadAndWrittenInFileOrder)
{
    EXPECT_EQ(routeFileText(parse("skw", "1 2 4294967396 7 300 70000 -1\n116.397128 39.916527 500 100 0 100 0 "
                                         "-0.5 -33.25 -7 100 255 65535 12")),
              "1.000000 2.000000 100 7 44 4464 -1\r\n116.397128 39.916527 500 100 0 100 0\r\n"
              "-0.500000 -33.250000 -7 100 255 65535 12\r\n");
}

TEST(RouteFile, RecordsAreReadUntilTheFirstIncompleteOrBadOne)
{
    struct SCase {
        const char* tag;
        std::string text;
        size_t count;
        double lastLongitude;
        int lastTag;
    } cases[] = {
        {"skw", "1 2 3 4 5 6 7\r\n8 9 10 11 12 13 14\r\n15 16 17 18 19 20\r\n", 2, 8, 14}, // truncated last record
        {"skw", "  1.5\n\n2.25\t3\r\n4 5\v6\f7 8 9 10 11 12 13 14", 2, 8, 14}, // any white space, across lines
        // Only the exact lower-case tag reads seven numbers: six a record, the second one starts at the tag.
        {"SKW", "1 2 3 4 5 6 7\n8 9 10 11 12 13 14\n", 2, 7, 0},
        {"skw", "1 2 3 4 5 6 7 x 9 10 11 12 13 14 15", 1, 1, 7},
        {"skw", "1 2 3.5 4 5 6 7", 0, 0, 0}, // a decimal in an integer field ends the reading, as "%d" would
        {"skw", "1 2 3 4 5 6 7 nan 1 2 3 4 5 6", 1, 1, 7}, // coordinates that are not numbers
        {"skw", "1e999 1 2 3 4 5 6", 0, 0, 0},
        {"rw", std::string("1 2 3\0 4 5 6", 12), 0, 0, 0},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.text);
        const CSkyWay route = parse(c.tag, c.text);
        ASSERT_EQ(route.size(), c.count);
        if (c.count) {
            EXPECT_DOUBLE_EQ(route[c.count - 1].longitude, c.lastLongitude);
            EXPECT_EQ(route[c.count - 1].pointTag, c.lastTag);
            EXPECT_EQ(route[c.count - 1].label, c.tag);
        }
    }
}

TEST(RouteFile, RwFileIsReadAsSixNumbersFromTheDefaultsAndSavedAsSevenWithTagZero)
{
    CTempDir dir;
    CTempDir::write(dir.file("plan.rw"), "116.5 39.5 300 2 1 60\n117.25\t40.125 0 0 0 0\n");
    CWayPointDefaults d;
    d.turnAmount = 7;
    d.servoAction = 8;
    d.delayTime = 9;
    d.repeatTime = 10;
    CSkyWay current;
    ASSERT_TRUE(loadRouteInto(dir.file("plan.rw"), current, d));
    ASSERT_EQ(current.size(), 2u);
    EXPECT_EQ(current[0].label, "rw");
    EXPECT_EQ(std::tie(current[0].turnAmount, current[0].servoAction, current[0].delayTime, current[0].repeatTime),
              std::make_tuple(7, 8, 9, 10));
    ASSERT_TRUE(writeRouteFile(dir.file("plan.skw"), current)); // the file's zero altitude stands
    EXPECT_EQ(CTempDir::read(dir.file("plan.skw")), "116.500000 39.500000 300 2 1 60 0\r\n"
                                              "117.250000 40.125000 0 0 0 0 0\r\n");
}

TEST(RouteFile, FailedLoadLeavesTheCurrentRouteAndFailedSaveReports)
{
    CTempDir dir;
    CSkyWay current("skw");
    current.append(CWayPoint{});
    EXPECT_FALSE(loadRouteInto(dir.file("missing.skw"), current, CWayPointDefaults{}));
    EXPECT_EQ(current.size(), 1u);
    EXPECT_FALSE(writeRouteFile(dir.file("no/such/dir/r.skw"), current));
    CTempDir::write(dir.file("empty.skw"), "");
    EXPECT_TRUE(loadRouteInto(dir.file("empty.skw"), current, CWayPointDefaults{}));
    EXPECT_TRUE(current.empty());
    for (const auto& [path, tag] : {std::pair{"/a/b/route.skw", "skw"}, {"ROUTE.RW", "RW"}, {"/a.dir/noext", ""}, {"x.tar.rw", "rw"}})
        EXPECT_EQ(routeFormatTagOf(path), tag) << path;
}

TEST(RouteFile, PointDecimalSeparatorWhateverTheProcessLocale)
{
    // Build a locale whose decimal separator is a comma (de_DE) in a private directory.
    CTempDir dir;
    const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir.file("de_DE.UTF-8") + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot build de_DE here";
    ::setenv("LOCPATH", dir.path().c_str(), 1); // no later test loads a named locale
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    const std::string text = routeFileText(parse("skw", "116.25 39.5 1 2 3 4 5\n"));
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(text, "116.250000 39.500000 1 2 3 4 5\r\n");
}

TEST(WayPoint, NewWaypointsReadTheSettingsEachTimeAndKeepLowBits)
{
    CTempDir dir;
    CSettings settings(dir.file("Korva.ini"));
    EXPECT_EQ(CWayPoint::makeNew(settings), CWayPoint{});
    EXPECT_EQ(CWayPoint{}.altitude, 500);
    CTempDir::write(settings.path(), "[WayPoint]\r\nAltitude=321\r\nZhiShiHangXian=257\r\nZhiShiShiJian=65537\r\n"
                               "RepeatTime=300\r\nZhuanWanLiang=-1\r\nSpeed=4\r\n");
    const CWayPoint next = CWayPoint::makeNew(settings);
    EXPECT_EQ(std::tie(next.altitude, next.photoMode, next.circleFlag, next.circleTime, next.repeatTime, next.turnAmount),
              std::make_tuple(321, 4, 1, 1, 44, 65535));
    EXPECT_EQ(next.servoAction, 100);
}

TEST(SkyWay, EditsRespectBounds)
{
    CSkyWay a("skw");
    for (int i = 0; i < 3; ++i) {
        CWayPoint w;
        w.altitude = i;
        a.append(w);
    }
    EXPECT_FALSE(a.removeAt(3) || a.insert(4, CWayPoint{}) || a.swap(0, 3));
    EXPECT_TRUE(a.swap(0, 2));
    EXPECT_EQ(a[0].altitude, 2);
    a.setAllAltitudes(120);
    EXPECT_EQ(a[2].altitude, 120);
    a.forceFirstWaypointCircle();
    EXPECT_EQ(std::tie(a[0].circleFlag, a[0].circleTime, a[1].circleFlag), std::make_tuple(1, 0, 100));
}

TEST(SkyWay, LengthIsTheSumOfGreatCircleLegs)
{
    // One degree of longitude on the equator with k = 3.1415926/180: 2 asin(sin(0.5 deg)) R.
    CSkyWay route;
    for (double lon : {0.0, 1.0, 0.0}) {
        CWayPoint w;
        w.latitude = 0;
        w.longitude = lon;
        route.append(w);
    }
    EXPECT_NEAR(route.lengthKm(), 2 * 111.319, 0.002);
    EXPECT_EQ(CSkyWay{}.lengthKm(), 0.0);
    EXPECT_NEAR(routeDistanceKm(0, 0, 0, 180), 3.1415926 * 6378.137, 0.01); // antipodal points stay finite
}
