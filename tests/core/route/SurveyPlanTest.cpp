// Survey planning from the camera and route statistics, against figures worked out by hand.
#include <gtest/gtest.h>

#include "route/SurveyPlan.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

const SCamera kOneInch{"one inch", 13.2, 8.8, 8.8, 5472, 3648};
const SCamera kSmall{"small", 6.17, 4.55, 4.5, 4000, 3000}; // its pixels are not square

CWayPoint at(double lat, double lon, int altitude, int photoMode = 0)
{
    CWayPoint w;
    w.latitude = lat;
    w.longitude = lon;
    w.altitude = altitude;
    w.photoMode = photoMode;
    return w;
}

} // namespace

TEST(SurveyPlan, CameraFiguresFromTheSensorLensAndAltitude)
{
    // 13.2 mm x 100 m / 8.8 mm = 150 m; 8.8 mm x 100 m / 8.8 mm = 100 m; 150 m / 5472 px = 2.741 cm/px.
    const SSurveyCameraPlan landscape = planSurveyCamera(kOneInch, 100, 80, 70, ECameraOrientation::Landscape);
    EXPECT_NEAR(landscape.gsdCm, 2.7412, 1e-4);
    EXPECT_NEAR(landscape.laneSpacingM, 45.0, 1e-9); // 150 m x (1 - 70 %)
    EXPECT_NEAR(landscape.photoDistanceM, 20.0, 1e-9); // 100 m x (1 - 80 %)

    const SSurveyCameraPlan portrait = planSurveyCamera(kOneInch, 100, 80, 70, ECameraOrientation::Portrait);
    EXPECT_NEAR(portrait.laneSpacingM, 30.0, 1e-9);
    EXPECT_NEAR(portrait.photoDistanceM, 30.0, 1e-9);

    // Whole metres for the generator, rounded down: 150 m x 0.68 = 102 m, at 101 m altitude 103.02 m.
    EXPECT_EQ(planSurveyCamera(kOneInch, 101, 80, 32, ECameraOrientation::Landscape).generatorSpacingM, 103);

    // The coarser side gives the resolution: 6.17 x 100 / (4.5 x 4000) = 3.428 cm/px across the width,
    // 3.370 across the height.
    EXPECT_NEAR(groundResolutionCm(kSmall, 100), 3.4278, 1e-4);
    EXPECT_NEAR(altitudeForResolution(kSmall, groundResolutionCm(kSmall, 57)), 57.0, 1e-9);
}

TEST(SurveyPlan, ChecksBeforeGenerating)
{
    struct SCase {
        double front, side;
        int spacing;
        double footprint, altitude;
        const char* fragment; // nullptr: accepted
    } cases[] = {
        {80, 95, 45, 150, 100, nullptr},
        {-1, 70, 45, 150, 100, "航向重叠率"},
        {96, 70, 45, 150, 100, "航向重叠率"},
        {80, -0.5, 45, 150, 100, "空隙"},
        {80, 70, 151, 150, 100, "航线间隔 151 米大于照片宽度 150 米"},
        {80, 70, 150, 150, 100, nullptr},
        {80, 70, 500, 0, 100, nullptr}, // no camera: the spacing is the operator's
        {80, 70, 45, 150, 9.5, "低于 10 米"},
        {80, 70, 45, 150, 10, nullptr},
        {80, 70, 45, 150, 121, "高于飞机升限 120 米"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.front << " " << c.side << " " << c.spacing << " " << c.altitude);
        const auto message = checkSurveyPlan(c.front, c.side, c.spacing, c.footprint, c.altitude, 120);
        if (!c.fragment)
            EXPECT_FALSE(message) << *message;
        else
            EXPECT_NE(message.value_or("").find(c.fragment), std::string::npos) << message.value_or("");
    }
    EXPECT_FALSE(checkSurveyWaypointCount(10, 4, 249)); // exactly 255
    // 4 other waypoints leave 251 minus entry and exit: 31 pairs of 8, that is 62 lanes.
    const auto tooMany = checkSurveyWaypointCount(8, 4, 258);
    ASSERT_TRUE(tooMany);
    EXPECT_NE(tooMany->find("262 个航点"), std::string::npos) << *tooMany;
    EXPECT_NE(tooMany->find("62 条航线"), std::string::npos) << *tooMany;
}

TEST(RouteStats, LengthTimePhotosAndArea)
{
    // Three legs north along a meridian, 0.001 degrees each: 6378.137 km x 0.001 x pi / 180 = 111.32 m.
    CSkyWay route;
    route.append(at(22.000, 113.0, 100));
    route.append(at(22.001, 113.0, 100, 2)); // photos on
    route.append(at(22.002, 113.0, 150, 1)); // still on: a mode other than 0, 2 and 3 keeps them going
    route.append(at(22.003, 113.0, 120, 0)); // off
    const double leg = 111.3195;
    const SRouteStats s = routeStats(route, 10.0, 20.0, 45.0);
    EXPECT_NEAR(s.lengthMetres, 3 * leg, 0.05); // coordinates in single precision
    // 333.96 m at 10 m/s, then 100 m up from the ground and 50 m more at 3 m/s; the descent is free.
    EXPECT_NEAR(s.flightTimeSeconds, 3 * leg / 10.0 + 150.0 / 3.0, 0.01);
    EXPECT_EQ(s.photoCount, 1 + 11); // 222.6 m of photos, one at the start and one every 20 m
    EXPECT_NEAR(s.areaSquareMetres, 2 * leg * 45.0, 5.0);

    route[2].photoMode = 0; // ends the stretch after one leg
    EXPECT_EQ(routeStats(route, 10.0).photoCount, 0) << "no photo distance, no photo figures";
    EXPECT_EQ(routeStatsText(routeStats(route, 10.0, 20.0, 45.0)),
              "航线：4 个航点，0.33 公里，约 1 分 23 秒，6 张照片，7.5 亩");
}

TEST(SurveyCameras, StoredTextAndTheOperatorsOwn)
{
    EXPECT_EQ(parseCamera(cameraText(kOneInch)), kOneInch);
    EXPECT_EQ(parseCamera(" mine , 6.3,4.7, 5 ,4000,3000")->name, "mine");
    for (const char* bad : {"", "x,1,1,1,1", "x,1,1,0,1,1", "x,1,1,1,1,-3", ",1,1,1,1,1", "x,1,1,1,1,1,1", "x,a,1,1,1,1"})
        EXPECT_FALSE(parseCamera(bad)) << bad;

    CTempDir home("orvex-cameras");
    CSettings settings(home.path() + "Korva.ini");
    const std::size_t builtIn = builtInCameras().size();
    SCamera mine = kSmall;
    mine.name = "mine";
    ASSERT_TRUE(storeOperatorCamera(settings, mine));
    mine.focalMm = 5.0;
    ASSERT_TRUE(storeOperatorCamera(settings, mine)); // replaces the one of the same name
    const std::vector<SCamera> cameras = availableCameras(settings);
    ASSERT_EQ(cameras.size(), builtIn + 1);
    EXPECT_EQ(cameras.front(), mine) << "the operator's cameras come first";
    for (int i = 1; i < kMaxOperatorCameras; ++i) {
        mine.name = "camera " + std::to_string(i);
        ASSERT_TRUE(storeOperatorCamera(settings, mine));
    }
    mine.name = "one too many";
    EXPECT_FALSE(storeOperatorCamera(settings, mine));
    EXPECT_NE(findCamera(cameras, "mine"), nullptr);
    EXPECT_EQ(findCamera(cameras, "nobody"), nullptr);
}
