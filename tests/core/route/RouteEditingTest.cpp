#include <gtest/gtest.h>

#include "route/RouteEditing.h"

#include <tuple>

using namespace orvex;

namespace {

CSkyWay fivePoints()
{
    CSkyWay route;
    for (int i = 0; i < 5; ++i) {
        CWayPoint w;
        w.altitude = 100 * (i + 1);
        w.circleTime = 30; // the circle flag stays 100: not circling
        route.append(w);
    }
    route.forceFirstWaypointCircle();
    return route;
}

// Altitude, circle flag and circle time of a waypoint.
std::tuple<int, int, int> act(const CWayPoint& w)
{
    return {w.altitude, w.circleFlag, w.circleTime};
}

} // namespace

TEST(RouteEditing, MovingTheSecondWaypointUpHandsOverTheCircling)
{
    CSkyWay route = fivePoints();
    EXPECT_EQ(moveWaypointUp(route, 1), 0u);
    EXPECT_EQ(act(route[0]), std::make_tuple(200, 1, 0));
    EXPECT_EQ(act(route[1]), std::make_tuple(100, 0, 0));
    EXPECT_EQ(moveWaypointDown(route, 0), 1u); // the first moves down: same rule
    EXPECT_EQ(act(route[0]), std::make_tuple(100, 1, 0));

    // Moves away from the first place leave circling alone.
    EXPECT_EQ(moveWaypointDown(route, 2), 3u);
    EXPECT_EQ(act(route[3]), std::make_tuple(300, 100, 30));
    EXPECT_EQ(moveWaypointUp(route, 0), 0u);
    EXPECT_EQ(moveWaypointDown(route, 4), 4u);
    EXPECT_EQ(moveWaypointUp(route, 5), 5u);
}

TEST(RouteEditing, AllAltitudesSetsEveryWaypoint)
{
    CSkyWay route = fivePoints();
    CWayPointFields f = CWayPointFields::of(route[2]);
    f.altitude = 120;
    ASSERT_TRUE(storeFields(route, 2, f, true));
    for (const CWayPoint& w : route)
        EXPECT_EQ(w.altitude, 120);
    f.altitude = 80;
    ASSERT_TRUE(storeFields(route, 2, f, false));
    EXPECT_EQ(route[2].altitude, 80);
    EXPECT_EQ(route[3].altitude, 120);
    EXPECT_FALSE(storeFields(route, 5, f, true));
}

TEST(RouteEditing, RowTexts)
{
    CSkyWay route = fivePoints();
    route[0].longitude = 116.397128;
    route[0].photoMode = 7; // past the listed modes: "保持状态不变"
    route[1].photoMode = 3;
    EXPECT_EQ(routeRowTexts(route[0], 0),
              (std::array<std::string, 7>{"#01", "116.397128", "0.000000", "100", "保持状态不变", "盘旋", "0"}));
    EXPECT_EQ(routeRowTexts(route[1], 1),
              (std::array<std::string, 7>{"#02", "0.000000", "0.000000", "200", "等距拍照2", "不盘旋", "30"}));
}

TEST(RouteEditing, FieldsRoundTripAndEditDialogMapsItem5To100)
{
    CWayPoint w;
    CWayPointFields f;
    f.altitude = 65536; // beyond the field's bound: the waypoint still keeps it whole (int32)
    f.photoItem = 4;
    f.circleItem = 1;
    f.circleTime = 65536; // wraps in the 16-bit field
    f.repeatTime = 257;
    f.storeInto(w);
    EXPECT_EQ(act(w), std::make_tuple(65536, 1, 0));
    EXPECT_EQ(w.photoMode, 4);
    EXPECT_EQ(w.repeatTime, 1);
    EXPECT_EQ(CWayPointFields::of(w).photoItem, 4);

    applyEditWayPoint(w, 90, 5, 0, 12);
    EXPECT_EQ(w.photoMode, 100);
    EXPECT_EQ(act(w), std::make_tuple(90, 0, 12));
}
