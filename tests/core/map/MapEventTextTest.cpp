// Map event texts: codes, comma-terminated fields, numbers by their longest valid prefix, and
// the script-call catalogue's argument formats.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "map/MapEvent.h"
#include "map/MapScript.h"
#include "route/SkyWay.h"

using namespace orvex;

TEST(MapEventText, CodeAndPayload)
{
    EXPECT_EQ(mapEventCode("1001;30.5,114.3,0,0,;"), "1001;");
    EXPECT_EQ(mapEventPayload("1001;30.5,114.3,0,0,;"), "30.5,114.3,0,0,;");
    EXPECT_EQ(mapEventCode("1000;"), "1000;");
    EXPECT_EQ(mapEventPayload("1000;"), "");
    EXPECT_EQ(mapEventCode("100"), "");
    EXPECT_EQ(mapEventPayload(""), "");
}

TEST(MapEventText, FieldsAreCommaTerminated)
{
    CMapFieldReader r("a,b,,last");
    EXPECT_EQ(r.nextField(), "a");
    EXPECT_EQ(r.nextField(), "b");
    EXPECT_EQ(r.nextField(), "");
    // A last field without its comma reads as empty, and so does everything past the end.
    EXPECT_EQ(r.nextField(), "");
    EXPECT_EQ(r.nextField(), "");
}

TEST(MapEventText, NumbersByLongestValidPrefix)
{
    EXPECT_DOUBLE_EQ(parseMapDouble("  30.25abc"), 30.25);
    EXPECT_DOUBLE_EQ(parseMapDouble("-1.5e2x"), -150.0);
    EXPECT_DOUBLE_EQ(parseMapDouble(".5"), 0.5);
    EXPECT_DOUBLE_EQ(parseMapDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(parseMapDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(parseMapDouble("-"), 0.0);
    // Only decimal text: no infinities, NaN or hexadecimal from the page.
    EXPECT_DOUBLE_EQ(parseMapDouble("inf"), 0.0);
    EXPECT_DOUBLE_EQ(parseMapDouble("-infinity"), 0.0);
    EXPECT_DOUBLE_EQ(parseMapDouble("nan"), 0.0);
    EXPECT_DOUBLE_EQ(parseMapDouble("0x1A"), 0.0);
    EXPECT_TRUE(std::isfinite(parseMapDouble("1e999")));
    EXPECT_EQ(parseMapInt(" 120.9m"), 120);
    EXPECT_EQ(parseMapInt("-7"), -7);
    EXPECT_EQ(parseMapInt("+8x"), 8);
    EXPECT_EQ(parseMapInt("x8"), 0);
    EXPECT_EQ(parseMapInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(parseMapInt("-99999999999999999999"), INT_MIN);
}

TEST(MapEventText, SinglePrecisionReals)
{
    // 0.1 is not exact in either precision; the single-precision value is kept.
    EXPECT_EQ(parseMapFloat("0.1"), 0.1f);
    EXPECT_NE(static_cast<double>(parseMapFloat("0.1")), 0.1);
    EXPECT_TRUE(std::isfinite(parseMapFloat("1e300")));
}

TEST(MapEventText, RecordsEndWithSemicolon)
{
    const auto records = splitMapRecords("1,2,0,0,;3,4,0,0,;5,6");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], "1,2,0,0,");
    EXPECT_EQ(records[1], "3,4,0,0,");
    EXPECT_TRUE(splitMapRecords("").empty());
}

namespace {

struct CRecordingScript : IMapScript {
    std::vector<std::pair<std::string, std::vector<std::string>>> calls;
    void call(const std::string& fn, const std::vector<std::string>& args) override { calls.emplace_back(fn, args); }
};

} // namespace

TEST(MapScriptCatalogue, ArgumentFormats)
{
    CRecordingScript host;
    CMapScript s(host);
    s.setskyway(30.5, 114.25, 500, 1, 2);
    s.setplane(30.123456789, -114.5, 612.0, 3, 359.5);
    s.setSkyWayPTcolor(4, 1);
    s.setPic(22.5, 113.25);
    s.gotopoint("30.1,", "x");
    s.EditPlaceMaktToMap(".旧名", "新名");
    s.getLookAt();
    ASSERT_EQ(host.calls.size(), 7u);
    EXPECT_EQ(host.calls[0].first, "setskyway");
    EXPECT_EQ(host.calls[0].second, (std::vector<std::string>{"30.500000", "114.250000", "500", "1", "2"}));
    EXPECT_EQ(host.calls[1].first, "setplane");
    EXPECT_EQ(host.calls[1].second,
              (std::vector<std::string>{"30.123457", "-114.500000", "612.000000", "3", "359.500000"}));
    EXPECT_EQ(host.calls[2].second, (std::vector<std::string>{"4", "1"}));
    EXPECT_EQ(host.calls[3].first, "setPic");
    EXPECT_EQ(host.calls[3].second, (std::vector<std::string>{"22.500000", "113.250000", "0.000000"}));
    // Texts pass unchanged.
    EXPECT_EQ(host.calls[4].second, (std::vector<std::string>{"30.1,", "x"}));
    EXPECT_EQ(host.calls[5].first, "EditPlaceMaktToMap");
    EXPECT_EQ(host.calls[5].second, (std::vector<std::string>{".旧名", "新名"}));
    EXPECT_EQ(host.calls[6].first, "getLookAt");
    EXPECT_TRUE(host.calls[6].second.empty());
}

TEST(MapScriptCatalogue, RouteRedrawIsOneCallPerWaypointPlusOne)
{
    CRecordingScript host;
    CMapScript s(host);
    CSkyWay route;
    CWayPoint a;
    a.latitude = 1.5;
    a.longitude = 2.5;
    a.altitude = 300;
    a.pointTag = 7;
    route.append(a);
    a.latitude = -3;
    route.append(a);
    s.redrawRoute(route);
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0].first, "delskyway");
    EXPECT_EQ(host.calls[1].second, (std::vector<std::string>{"1.500000", "2.500000", "300", "7", "0"}));
    EXPECT_EQ(host.calls[2].second, (std::vector<std::string>{"-3.000000", "2.500000", "300", "7", "1"}));
}

TEST(MapScriptCatalogue, LookAtOnlyFromA2001Text)
{
    CRecordingScript host;
    CMapScript s(host);
    EXPECT_FALSE(s.restoreLookAt(""));
    EXPECT_FALSE(s.restoreLookAt("2002;1,2,3,4,5,6,7,"));
    EXPECT_FALSE(s.restoreLookAt("2001"));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(s.restoreLookAt("2001;30.1,114.2,5000.0,0,0,12,0,extra,"));
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].first, "setLookAt");
    EXPECT_EQ(host.calls[0].second, (std::vector<std::string>{"30.1", "114.2", "5000.0", "0", "0", "12", "0"}));
    // Fewer than seven fields: the missing ones are empty, still seven arguments.
    EXPECT_TRUE(s.restoreLookAt("2001;1,2,"));
    EXPECT_EQ(host.calls[1].second, (std::vector<std::string>{"1", "2", "", "", "", "", ""}));
}
