#include <gtest/gtest.h>

#include "route/SurveyGenerator.h"

#include <cmath>

using namespace orvex;

namespace {

CWayPoint at(double lat, double lon)
{
    CWayPoint w;
    w.latitude = lat;
    w.longitude = lon;
    return w;
}

// A rectangle with a due-east long side P1 -> P2 and a due-north short side P2 -> P3 that is
// `northDeg` long.
CSkyWay rectangle(double northDeg)
{
    CSkyWay route("skw");
    route.append(at(39.0, 116.0));
    route.append(at(39.0, 116.01));
    route.append(at(39.0 + northDeg, 116.01));
    route.append(at(39.0 + northDeg, 116.0));
    return route;
}

CSurveyInput allFour(const CSkyWay& route, size_t first = 0)
{
    CSurveyInput in;
    in.pickCorner(kSurveyLongSide1, route, first);
    return in;
}

} // namespace

TEST(SurveyValidation, ChecksRunInTheirOrder)
{
    const CSkyWay route = rectangle(0.0022);
    CSurveyInput in; // no corners
    in.extendM = 0;
    in.spacingM = 0;
    EXPECT_EQ(validateSurvey(in), kSurveyBadExtendText); // before the corners are looked at
    in.extendM = 10001;
    EXPECT_EQ(validateSurvey(in), kSurveyBadExtendText);
    in.extendM = 10000;
    EXPECT_EQ(validateSurvey(in), kSurveyBadSpacingText);
    in.spacingM = 1;
    EXPECT_EQ(validateSurvey(in), kSurveyNoP1Text);
    in.setCorner(kSurveyLongSide1, route, 0);
    EXPECT_EQ(validateSurvey(in), kSurveyNoP2Text);
    in.setCorner(kSurveyLongSide2, route, 0);
    EXPECT_EQ(validateSurvey(in), kSurveyNoP3Text);
    in.setCorner(kSurveyShortSide1, route, 2);
    EXPECT_EQ(validateSurvey(in), kSurveyNoP4Text);
    in.setCorner(kSurveyShortSide2, route, 3);
    EXPECT_EQ(validateSurvey(in), kSurveySameLongSideText);
    in.setCorner(kSurveyLongSide2, route, 1);
    EXPECT_EQ(validateSurvey(in), std::nullopt);
}

TEST(SurveyValidation, UnsetSecondLongSideCornerIsRefused)
{
    CSkyWay route = rectangle(0.0022);
    const CSkyWay before = route;
    CSurveyInput in;
    in.setCorner(kSurveyLongSide1, route, 0);
    in.setCorner(kSurveyShortSide1, route, 2);
    in.setCorner(kSurveyShortSide2, route, 3);
    const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "请选择长边点2。");
    EXPECT_EQ(route, before);
}

TEST(SurveyValidation, CornersWithoutADirectionAreRefusedWithoutTouchingTheRoute)
{
    // P2 on top of P1 (different waypoints at one position): no lane direction.
    CSkyWay route = rectangle(0.0022);
    route[1] = route[0];
    CSkyWay before = route;
    CSurveyOutcome r = runSurveyGenerator(route, allFour(route), CWayPointDefaults{}, 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, kSurveyLongSideZeroText);
    EXPECT_EQ(route, before);

    // P3 on top of P2: no sweep direction.
    route = rectangle(0.0022);
    route[2] = route[1];
    before = route;
    r = runSurveyGenerator(route, allFour(route), CWayPointDefaults{}, 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, kSurveyShortSideZeroText);
    EXPECT_EQ(route, before);

    // Corners that are not positions at all.
    route = rectangle(0.0022);
    route[3].latitude = NAN;
    r = runSurveyGenerator(route, allFour(route), CWayPointDefaults{}, 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, kSurveyBadCoordinatesText);
    route = rectangle(0.0022);
    route[0].longitude = 1e300; // beyond single precision
    r = runSurveyGenerator(route, allFour(route), CWayPointDefaults{}, 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, kSurveyBadCoordinatesText);
}

TEST(SurveyCorners, LongSideButtonFillsTheNextThreeRows)
{
    CSkyWay route = rectangle(0.0022);
    route.append(at(1, 2));
    CSurveyInput in;
    EXPECT_EQ(in.pickCorner(kSurveyLongSide1, route, 2), std::optional<size_t>(6));
    EXPECT_TRUE(in.corners[0].chosen);
    EXPECT_EQ(in.corners[0].index, 2u);
    EXPECT_EQ(in.corners[1].index, 3u);
    EXPECT_EQ(in.corners[2].index, 4u);
    EXPECT_FALSE(in.corners[3].chosen); // the route ends before row 5
    EXPECT_EQ(in.pickCorner(kSurveyShortSide2, route, 0), std::optional<size_t>(1));
    EXPECT_EQ(in.corners[3].index, 0u);
    EXPECT_EQ(in.pickCorner(kSurveyShortSide1, route, 5), std::nullopt);
    EXPECT_EQ(surveyCornerText(in.corners[3]), "#01(116.000000,39.000000)");
    EXPECT_EQ(surveyCornerText(CSurveyCorner{}), "");
}

TEST(SurveyPattern, DueNorthShortSideOf0_0022DegreesGivesTwoPairs)
{
    CSkyWay route = rectangle(0.0022);
    CSurveyInput in = allFour(route);
    in.extendM = 50;
    in.spacingM = 100;
    const CSurveyPattern p = generateSurveyPattern(in, CWayPointDefaults{}, 150);
    ASSERT_TRUE(p.ok) << p.message;
    EXPECT_EQ(p.pairs, 2);
    ASSERT_EQ(p.points.size(), 1u + 8u * 2u + 1u);

    const float step = static_cast<float>(100 * 9.091e-6);
    // Lane 1 (odd) runs B -> P2 -> P1 -> A one step north of lane 0.
    EXPECT_FLOAT_EQ(static_cast<float>(p.points[6].latitude), 39.0f + step);
    EXPECT_FLOAT_EQ(static_cast<float>(p.points[6].longitude), 116.01f);
    // The extension is 50 m along the lane: in longitude degrees, 50 m / cos(latitude).
    const double extLon = 50 * 9.091e-6 / std::cos(39.0 * 0.017453292222222222);
    EXPECT_NEAR(p.points[1].longitude, 116.0 - extLon, 1e-5); // A of lane 0 (float: ulp 7.6e-6)
    EXPECT_NEAR(p.points[4].longitude, 116.01 + extLon, 1e-5); // B of lane 0
    EXPECT_NEAR(p.points[1].latitude, 39.0, 1e-6);
}

TEST(SurveyPattern, PhotoModesAltitudeAndEntryExitPoints)
{
    CSkyWay route = rectangle(0.0022);
    const CSurveyPattern p = generateSurveyPattern(allFour(route), CWayPointDefaults{}, 150);
    ASSERT_TRUE(p.ok);
    const size_t n = p.points.size();
    for (size_t i = 0; i < n; ++i) {
        const CWayPoint& w = p.points[i];
        int expected = kPhotoStop;
        if (i >= 1 && i + 1 < n) {
            const size_t lanePos = (i - 1) % 8; // 0-3 even lane A P1 P2 B, 4-7 odd lane B P2 P1 A
            if (lanePos == 1)
                expected = kPhotoEqualDistance1;
            if (lanePos == 5)
                expected = kPhotoEqualDistance2;
        }
        EXPECT_EQ(w.photoMode, expected) << "point " << i;
        EXPECT_EQ(w.altitude, 150);
        EXPECT_EQ(w.circleFlag, 0);
        EXPECT_EQ(w.circleTime, 100); // the new-waypoint default stays
    }
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.front().latitude), static_cast<float>(39.0 - 0.005));
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.front().longitude), static_cast<float>(116.0 - 0.005));
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.back().latitude), static_cast<float>(39.0022));
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.back().longitude), 116.0f);
}

TEST(SurveyPattern, SweepTowardsSmallerCoordinatesAndAlongLongitude)
{
    // Short side due west, the dominant axis is longitude and the coordinate decreases.
    CSkyWay route("skw");
    route.append(at(39.0, 116.0));
    route.append(at(39.01, 116.0));
    route.append(at(39.01, 115.997));
    route.append(at(39.0, 115.997));
    const CSurveyPattern p = generateSurveyPattern(allFour(route), CWayPointDefaults{}, 100);
    ASSERT_TRUE(p.ok);
    // Each pair advances 2 x 100 m west; 0.003 deg of longitude at 39 N is about 259 m.
    EXPECT_EQ(p.pairs, 2);
    EXPECT_LT(p.points[6].longitude, 116.0);
}

TEST(SurveyPattern, AtMost177Pairs)
{
    CSkyWay route = rectangle(1.0); // 1 degree north with 1 m spacing would need ~55000 pairs
    CSurveyInput in = allFour(route);
    in.spacingM = 1;
    const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.pairs, 177);
    EXPECT_EQ(route.size(), 1u + 8u * 177u + 1u);
}

TEST(SurveySplice, FourCornersOfAFourPointRouteBecomeThePattern)
{
    CSkyWay route = rectangle(0.0022);
    CSurveyInput in = allFour(route);
    in.extendM = 50;
    in.spacingM = 100;
    const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(route.size(), static_cast<size_t>(1 + 8 * r.pairs + 1));
    EXPECT_EQ(r.insertedAt, 0u);
    EXPECT_FLOAT_EQ(static_cast<float>(route[0].longitude), static_cast<float>(116.0 - 0.005));
    EXPECT_EQ(route[0].circleFlag, 1); // the first-waypoint rule
    EXPECT_EQ(route[0].circleTime, 0);
    EXPECT_FLOAT_EQ(static_cast<float>(route[route.size() - 1].latitude), static_cast<float>(39.0022));
}

TEST(SurveySplice, PatternGoesWhereTheLastRemovedCornerStood)
{
    CSkyWay route;
    route.append(at(10, 10)); // 0: stays
    route.append(at(39.0, 116.0));
    route.append(at(39.0, 116.01));
    route.append(at(39.0022, 116.01));
    route.append(at(39.0022, 116.0));
    route.append(at(20, 20)); // 5: stays
    CSurveyInput in = allFour(route, 1);
    const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.insertedAt, 1u); // largest 4 - removed 4 + 1
    ASSERT_EQ(route.size(), 2 + r.inserted);
    EXPECT_EQ(route[0].latitude, 10);
    EXPECT_EQ(route[0].circleFlag, 1);
    EXPECT_EQ(route[route.size() - 1].latitude, 20);
}

TEST(SurveySplice, CornersChosenTwiceAreRemovedOnce)
{
    CSkyWay route;
    route.append(at(5, 5));
    route.append(at(39.0, 116.0));  // P1 and P3
    route.append(at(39.0, 116.01)); // P2 and P4
    route.append(at(6, 6));
    CSurveyInput in;
    in.setCorner(kSurveyLongSide1, route, 1);
    in.setCorner(kSurveyLongSide2, route, 2);
    in.setCorner(kSurveyShortSide1, route, 1);
    in.setCorner(kSurveyShortSide2, route, 2);
    EXPECT_EQ(surveyReplacedIndexes(in), (std::vector<size_t>{2, 1}));
    const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(route.size(), 4 - 2 + r.inserted);
    EXPECT_EQ(r.insertedAt, 1u); // 2 - 2 + 1
    EXPECT_EQ(route[0].latitude, 5);
    EXPECT_EQ(route[route.size() - 1].latitude, 6);
}

TEST(SurveySplice, StaleCornerIndexesAreRefused)
{
    CSkyWay route = rectangle(0.0022);
    CSurveyInput in = allFour(route);
    route.removeAt(3);
    const CSkyWay before = route;
    const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, kSurveyStaleCornerText);
    EXPECT_EQ(route, before);
}
