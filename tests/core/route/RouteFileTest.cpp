#include "support/TempDir.h"
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "route/RouteFile.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace orvex;

namespace {

using CScratchDir = CTempDir;

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CSkyWay parse(const std::string& tag, const std::string& text)
{
    CSkyWay route(tag);
    parseRouteText(text, route, CWayPointDefaults{});
    return route;
}

} // namespace

TEST(RouteFile, WritesSevenNumbersWithCrLf)
{
    CSkyWay route;
    CWayPoint w;
    w.longitude = 116.397128;
    w.latitude = 39.916527;
    w.altitude = 500;
    w.photoMode = 100;
    w.circleFlag = 0;
    w.circleTime = 100;
    w.pointTag = 0;
    route.append(w);
    w.longitude = -0.5;
    w.latitude = -33.25;
    w.altitude = -7;
    w.circleFlag = 255;
    w.circleTime = 65535;
    w.pointTag = 12;
    route.append(w);
    EXPECT_EQ(routeFileText(route), "116.397128 39.916527 500 100 0 100 0\r\n"
                                    "-0.500000 -33.250000 -7 100 255 65535 12\r\n");
}

TEST(RouteFile, RwFileIsReadAsSixNumbersAndSavedAsSevenWithTagZero)
{
    CScratchDir dir;
    writeFile(dir.file("plan.rw"), "116.5 39.5 300 2 1 60\n117.25\t40.125 0 0 0 0\n");
    CSkyWay current;
    ASSERT_TRUE(loadRouteInto(dir.file("plan.rw"), current, CWayPointDefaults{}));
    ASSERT_EQ(current.size(), 2u);
    EXPECT_EQ(current[0].label, "rw");
    EXPECT_EQ(current[0].circleFlag, 1);
    EXPECT_EQ(current[1].altitude, 0); // the file's zero stands
    ASSERT_TRUE(writeRouteFile(dir.file("plan.skw"), current));
    EXPECT_EQ(readFile(dir.file("plan.skw")), "116.500000 39.500000 300 2 1 60 0\r\n"
                                              "117.250000 40.125000 0 0 0 0 0\r\n");
}

TEST(RouteFile, TruncatedLastRecordIsDroppedSilently)
{
    const CSkyWay route = parse("skw", "1 2 3 4 5 6 7\r\n8 9 10 11 12 13 14\r\n15 16 17 18 19 20\r\n");
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[1].pointTag, 14);
    EXPECT_EQ(route[1].label, "skw");
}

TEST(RouteFile, OnlyTheExactLowerCaseTagReadsSevenNumbers)
{
    const std::string text = "1 2 3 4 5 6 7\n8 9 10 11 12 13 14\n";
    const CSkyWay upper = parse("SKW", text);
    // Six numbers a record: the second record starts at the first record's point tag.
    ASSERT_EQ(upper.size(), 2u);
    EXPECT_EQ(upper[0].circleTime, 6);
    EXPECT_EQ(upper[0].pointTag, 0);
    EXPECT_DOUBLE_EQ(upper[1].longitude, 7);
    EXPECT_DOUBLE_EQ(upper[1].latitude, 8);
    EXPECT_EQ(upper[1].altitude, 9);
    EXPECT_EQ(upper[1].circleTime, 12);
    EXPECT_EQ(parse("skw", text).size(), 2u);
    EXPECT_EQ(parse("skw", text)[1].pointTag, 14);
}

TEST(RouteFile, NarrowFieldsKeepTheirLowBits)
{
    const CSkyWay route = parse("skw", "1 2 4294967396 7 300 70000 -1\n");
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].altitude, 100);    // 2^32 + 100
    EXPECT_EQ(route[0].circleFlag, 44);   // 300 - 256
    EXPECT_EQ(route[0].circleTime, 4464); // 70000 - 65536
    EXPECT_EQ(route[0].pointTag, -1);
}

TEST(RouteFile, AnyWhiteSpaceSeparatesAndRecordsMaySpanLines)
{
    const CSkyWay route = parse("skw", "  1.5\n\n2.25\t3\r\n4 5\v6\f7 8 9 10 11 12 13 14");
    ASSERT_EQ(route.size(), 2u);
    EXPECT_DOUBLE_EQ(route[0].longitude, 1.5);
    EXPECT_DOUBLE_EQ(route[0].latitude, 2.25);
    EXPECT_EQ(route[0].pointTag, 7);
    EXPECT_EQ(route[1].pointTag, 14);
}

TEST(RouteFile, ReadingStopsAtTheFirstBadRecord)
{
    EXPECT_EQ(parse("skw", "1 2 3 4 5 6 7 x 9 10 11 12 13 14 15").size(), 1u);
    // An integer field holding a decimal ends the reading there, as "%d" would.
    EXPECT_EQ(parse("skw", "1 2 3.5 4 5 6 7").size(), 0u);
    // Coordinates that are not numbers never reach the route.
    EXPECT_EQ(parse("skw", "1 2 3 4 5 6 7 nan 1 2 3 4 5 6").size(), 1u);
    EXPECT_EQ(parse("skw", "inf 1 2 3 4 5 6").size(), 0u);
    EXPECT_EQ(parse("skw", "1e999 1 2 3 4 5 6").size(), 0u);
    EXPECT_EQ(parse("skw", "").size(), 0u);
    EXPECT_EQ(parse("rw", std::string("1 2 3\0 4 5 6", 12)).size(), 0u);
}

TEST(RouteFile, RecordsStartFromTheGivenDefaults)
{
    CWayPointDefaults d;
    d.turnAmount = 7;
    d.servoAction = 8;
    d.delayTime = 9;
    d.repeatTime = 10;
    CSkyWay route("rw");
    parseRouteText("1 2 3 4 5 6", route, d);
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].turnAmount, 7);
    EXPECT_EQ(route[0].servoAction, 8);
    EXPECT_EQ(route[0].delayTime, 9);
    EXPECT_EQ(route[0].repeatTime, 10);
    EXPECT_EQ(route[0].verified, 0);
}

TEST(RouteFile, FailedLoadLeavesTheCurrentRouteAndFailedSaveReports)
{
    CScratchDir dir;
    CSkyWay current("skw");
    current.append(CWayPoint{});
    EXPECT_FALSE(loadRouteInto(dir.file("missing.skw"), current, CWayPointDefaults{}));
    EXPECT_EQ(current.size(), 1u);
    EXPECT_FALSE(writeRouteFile(dir.file("no/such/dir/r.skw"), current));

    writeFile(dir.file("empty.skw"), "");
    EXPECT_TRUE(loadRouteInto(dir.file("empty.skw"), current, CWayPointDefaults{}));
    EXPECT_TRUE(current.empty());
    EXPECT_EQ(current.formatTag(), "skw");
}

TEST(RouteFile, FormatTagIsTheExtensionWithoutTheDot)
{
    EXPECT_EQ(routeFormatTagOf("/a/b/route.skw"), "skw");
    EXPECT_EQ(routeFormatTagOf("ROUTE.RW"), "RW");
    EXPECT_EQ(routeFormatTagOf("/a.dir/noext"), "");
    EXPECT_EQ(routeFormatTagOf("x.tar.rw"), "rw");
}

TEST(RouteFile, PointDecimalSeparatorWhateverTheProcessLocale)
{
    // Build a locale whose decimal separator is a comma (de_DE) in a private directory.
    CScratchDir dir;
    const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir.file("de_DE.UTF-8") + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot build de_DE here";
    const char* oldLocPath = std::getenv("LOCPATH");
    const std::string saved = oldLocPath ? oldLocPath : "";
    ::setenv("LOCPATH", dir.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);

    CSkyWay route("skw");
    parseRouteText("116.25 39.5 1 2 3 4 5\n", route, CWayPointDefaults{});
    const std::string text = routeFileText(route);

    std::setlocale(LC_ALL, "C");
    if (oldLocPath)
        ::setenv("LOCPATH", saved.c_str(), 1);
    else
        ::unsetenv("LOCPATH");

    EXPECT_STREQ(probe, "1,5"); // the locale really was in force
    ASSERT_EQ(route.size(), 1u);
    EXPECT_DOUBLE_EQ(route[0].longitude, 116.25);
    EXPECT_EQ(text, "116.250000 39.500000 1 2 3 4 5\r\n");
}

TEST(WayPoint, NewWaypointsReadTheSettingsEachTimeAndKeepLowBits)
{
    CScratchDir dir;
    CSettings settings(dir.file("Korva.ini"));
    const CWayPoint fresh = CWayPoint::makeNew(settings);
    EXPECT_EQ(fresh.altitude, 500);
    EXPECT_EQ(fresh.photoMode, 100);
    EXPECT_EQ(fresh.circleFlag, 100);
    EXPECT_EQ(fresh.circleTime, 100);
    EXPECT_EQ(fresh.longitude, 0);
    EXPECT_EQ(fresh, CWayPoint{});

    writeFile(settings.path(), "[WayPoint]\r\nAltitude=321\r\nZhiShiHangXian=257\r\nZhiShiShiJian=65537\r\n"
                               "RepeatTime=300\r\nZhuanWanLiang=-1\r\nSpeed=4\r\n");
    const CWayPoint next = CWayPoint::makeNew(settings);
    EXPECT_EQ(next.altitude, 321);
    EXPECT_EQ(next.photoMode, 4);
    EXPECT_EQ(next.circleFlag, 1);
    EXPECT_EQ(next.circleTime, 1);
    EXPECT_EQ(next.repeatTime, 44);
    EXPECT_EQ(next.turnAmount, 65535);
    EXPECT_EQ(next.servoAction, 100);
}

TEST(SkyWay, CopiesAreIndependentAndEditsRespectBounds)
{
    CSkyWay a("skw");
    for (int i = 0; i < 3; ++i) {
        CWayPoint w;
        w.altitude = i;
        a.append(w);
    }
    CSkyWay b = a;
    b[0].altitude = 99;
    EXPECT_EQ(a[0].altitude, 0);
    EXPECT_EQ(b.formatTag(), "skw");
    EXPECT_FALSE(a.removeAt(3));
    EXPECT_FALSE(a.insert(4, CWayPoint{}));
    EXPECT_FALSE(a.swap(0, 3));
    EXPECT_TRUE(a.swap(0, 2));
    EXPECT_EQ(a[0].altitude, 2);
    a.setAllAltitudes(120);
    for (const CWayPoint& w : a)
        EXPECT_EQ(w.altitude, 120);
    a.forceFirstWaypointCircle();
    EXPECT_EQ(a[0].circleFlag, 1);
    EXPECT_EQ(a[0].circleTime, 0);
    EXPECT_EQ(a[1].circleFlag, 100);
}

TEST(SkyWay, LengthIsTheSumOfGreatCircleLegs)
{
    // One degree of longitude on the equator with k = 3.1415926/180: 2 asin(sin(0.5 deg)) R.
    EXPECT_NEAR(routeDistanceKm(0, 0, 0, 1), 111.319, 0.001);
    CSkyWay route;
    CWayPoint w;
    w.latitude = 0;
    w.longitude = 0;
    route.append(w);
    w.longitude = 1;
    route.append(w);
    w.longitude = 0;
    route.append(w);
    EXPECT_NEAR(route.lengthKm(), 2 * 111.319, 0.002);
    EXPECT_EQ(CSkyWay{}.lengthKm(), 0.0);
    // Antipodal points stay finite.
    EXPECT_NEAR(routeDistanceKm(0, 0, 0, 180), 3.1415926 * 6378.137, 0.01);
}
