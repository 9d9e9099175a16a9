#include <gtest/gtest.h>

#include "route/SurveyGenerator.h"

#include <cmath>
#include <tuple>

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

CSurveyInput allFour(const CSkyWay& route)
{
    CSurveyInput in;
    in.pickCorner(kSurveyLongSide1, route, 0);
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

TEST(SurveyValidation, CornersWithoutADirectionOrPositionAreRefusedWithoutTouchingTheRoute)
{
    struct SCase {
        const char* what;
        void (*spoil)(CSkyWay&);
        const char* message;
    } cases[] = {
        {"P2 on top of P1", [](CSkyWay& r) { r[1] = r[0]; }, kSurveyLongSideZeroText},
        {"P3 on top of P2", [](CSkyWay& r) { r[2] = r[1]; }, kSurveyShortSideZeroText},
        {"not finite", [](CSkyWay& r) { r[3].latitude = INFINITY; }, kSurveyBadCoordinatesText},
        {"beyond single precision", [](CSkyWay& r) { r[0].longitude = 1e300; }, kSurveyBadCoordinatesText},
        {"a corner removed since", [](CSkyWay& r) { r.removeAt(3); }, kSurveyStaleCornerText},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        CSkyWay route = rectangle(0.0022);
        const bool stale = c.message == std::string(kSurveyStaleCornerText); // spoilt after the choice
        if (!stale)
            c.spoil(route);
        const CSurveyInput in = allFour(route);
        if (stale)
            c.spoil(route);
        const CSkyWay before = route;
        const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(route, before);
    }
}

TEST(SurveyCorners, LongSideButtonFillsTheNextThreeRows)
{
    CSkyWay route = rectangle(0.0022);
    route.append(at(1, 2));
    CSurveyInput in;
    EXPECT_EQ(in.pickCorner(kSurveyLongSide1, route, 2), std::optional<size_t>(6));
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(in.corners[i].index, 2 + i);
    EXPECT_FALSE(in.corners[3].chosen); // the route ends before row 5
    EXPECT_EQ(in.pickCorner(kSurveyShortSide2, route, 0), std::optional<size_t>(1));
    EXPECT_EQ(in.pickCorner(kSurveyShortSide1, route, 5), std::nullopt);
    EXPECT_EQ(surveyCornerText(in.corners[3]), "#01(116.000000,39.000000)");
    EXPECT_EQ(surveyCornerText(CSurveyCorner{}), "");
}

TEST(SurveyPattern, DueNorthShortSideOf0_0022DegreesGivesTwoPairs)
{
    CSkyWay route = rectangle(0.0022);
    CSurveyInput in = allFour(route);
    in.extendM = 50;
    const CSurveyPattern p = generateSurveyPattern(in, CWayPointDefaults{}, 150);
    ASSERT_TRUE(p.ok) << p.message;
    const size_t n = p.points.size();
    ASSERT_EQ(n, 1u + 8u * 2u + 1u);
    // Lane 1 (odd) runs B -> P2 -> P1 -> A; lane k lies k x 100 m north of lane 0.
    EXPECT_FLOAT_EQ(static_cast<float>(p.points[6].longitude), 116.01f);
    EXPECT_NEAR(p.points[14].latitude, 39.0 + 3 * 100 * 9.091e-6, 4e-6); // P2 of lane 3
    // The extension is 50 m along the lane: in longitude degrees, 50 m / cos(latitude).
    const double extLon = 50 * 9.091e-6 / std::cos(39.0 * 0.017453292222222222);
    EXPECT_NEAR(p.points[1].longitude, 116.0 - extLon, 1e-5); // A of lane 0 (float: ulp 7.6e-6)
    EXPECT_NEAR(p.points[4].longitude, 116.01 + extLon, 1e-5); // B of lane 0

    for (size_t i = 0; i < n; ++i) {
        const CWayPoint& w = p.points[i];
        const size_t lanePos = (i - 1) % 8; // 0-3 even lane A P1 P2 B, 4-7 odd lane B P2 P1 A
        const bool inLanes = i >= 1 && i + 1 < n;
        const int expected = inLanes && lanePos == 1 ? kPhotoEqualDistance1
                             : inLanes && lanePos == 5 ? kPhotoEqualDistance2
                                                       : kPhotoStop;
        EXPECT_EQ(w.photoMode, expected) << "point " << i;
        EXPECT_EQ(std::tie(w.altitude, w.circleFlag, w.circleTime), std::make_tuple(150, 0, 100)) << "point " << i;
    }
    // Entry 0.005 degrees south-west of P1, exit at P4.
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.front().latitude), static_cast<float>(39.0 - 0.005));
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.front().longitude), static_cast<float>(116.0 - 0.005));
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.back().latitude), static_cast<float>(39.0022));
    EXPECT_FLOAT_EQ(static_cast<float>(p.points.back().longitude), 116.0f);
}

TEST(SurveyPattern, SweepTowardsSmallerCoordinatesAndAlongLongitude)
{
    // Short side due west, the dominant axis is longitude and the coordinate decreases.
    CSkyWay route("skw");
    for (const auto& [lat, lon] : {std::pair{39.0, 116.0}, {39.01, 116.0}, {39.01, 115.997}, {39.0, 115.997}})
        route.append(at(lat, lon));
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
}

TEST(SurveySplice, ThePatternReplacesTheCornersWhereTheLastRemovedOneStood)
{
    // The first and last rows stay. In the second route P1 and P3 share row 1 and P2 and P4 row 2: each row
    // is removed once, the larger first.
    struct SCase {
        std::vector<std::pair<double, double>> rows;
        size_t corners[4];
    } cases[] = {
        {{{10, 10}, {39, 116}, {39, 116.01}, {39.0022, 116.01}, {39.0022, 116}, {20, 20}}, {1, 2, 3, 4}},
        {{{5, 5}, {39, 116}, {39, 116.01}, {6, 6}}, {1, 2, 1, 2}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.rows.size());
        CSkyWay route;
        for (const auto& [lat, lon] : c.rows)
            route.append(at(lat, lon));
        CSurveyInput in;
        for (int k = 0; k < 4; ++k)
            in.setCorner(ESurveyCorner(k), route, c.corners[k]);
        const CSurveyOutcome r = runSurveyGenerator(route, in, CWayPointDefaults{}, 100);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.insertedAt, 1u); // the largest corner row - the rows removed + 1
        ASSERT_EQ(route.size(), 2 + r.inserted);
        EXPECT_EQ(route[0].latitude, c.rows.front().first);
        EXPECT_EQ(std::tie(route[0].circleFlag, route[0].circleTime), std::make_tuple(1, 0)); // the first-waypoint rule
        EXPECT_EQ(route[route.size() - 1].latitude, c.rows.back().first);
    }
}
