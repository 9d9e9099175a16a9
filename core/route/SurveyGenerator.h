#pragma once
// The survey pattern generator ("航线自动生成"): four corner waypoints of the current route are
// replaced by a back-and-forth pattern of parallel lanes with photo start/stop points.
//
// Corners: P1 -> P2 is a long side (lane direction), P2 -> P3 the adjacent short side (sweep
// direction), P4 the corner where the pattern ends. Distances in metres: e extends every lane
// beyond P1 and P2, d is the lane spacing.
//
// How a dialog uses it:
//   CSurveyInput in;                        // extendM / spacingM from the two fields ("100")
//   in.pickCorner(kSurveyLongSide1, route, selectedRow)   -> next row to select
//   ...
//   CSurveyOutcome r = runSurveyGenerator(route, in, defaults, altitudeField);
//   if (!r.ok) showMessage(r.message);      // dialog stays open, route unchanged
//
// or in steps: validateSurvey() (the dialog's "生成"), surveyReplacedIndexes(),
// generateSurveyPattern(), spliceSurveyPattern().

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "route/SkyWay.h"

namespace orvex {

// k: the degree-to-radian factor 3.1415926 / 180; m: degrees per metre.
inline constexpr double kSurveyDegToRad = 0.017453292222222222;
inline constexpr double kSurveyDegreesPerMetre = 9.091e-6;
inline constexpr double kSurveyEntryOffsetDeg = 0.005;
inline constexpr int kSurveyMaxPairs = 177; // lane pairs: the first one plus at most 176 more
inline constexpr int kSurveyMinDistanceM = 1;
inline constexpr int kSurveyMaxDistanceM = 10000;
inline constexpr int kSurveyFieldMaxChars = 4;
inline constexpr int kSurveyFieldInitialM = 100;

// Messages, in the order the checks run.
inline constexpr const char* kSurveyBadExtendText = "航线延长距离输入错误,范围[1-10000]。";
inline constexpr const char* kSurveyBadSpacingText = "生成航线间隔输入错误,范围[1-10000]。";
inline constexpr const char* kSurveyNoP1Text = "请选择长边点1。";
inline constexpr const char* kSurveyNoP2Text = "请选择长边点2。";
inline constexpr const char* kSurveyNoP3Text = "请选择短边点1。";
inline constexpr const char* kSurveyNoP4Text = "请选择短边点2。";
inline constexpr const char* kSurveySameLongSideText = "长边两个点不能相等。";
// Corners that leave a direction undefined (the pattern would carry invalid coordinates).
inline constexpr const char* kSurveyLongSideZeroText = "长边两个点位置相同,无法确定航线方向。";
inline constexpr const char* kSurveyShortSideZeroText = "短边点1与长边点2位置相同,无法确定航线间隔方向。";
inline constexpr const char* kSurveyBadCoordinatesText = "角点坐标无效,无法生成航线。";
inline constexpr const char* kSurveyStaleCornerText = "角点已不在航线中,请重新选择。";

enum ESurveyCorner { kSurveyLongSide1 = 0, kSurveyLongSide2 = 1, kSurveyShortSide1 = 2, kSurveyShortSide2 = 3 };
// Button and field labels of the four corners.
inline constexpr std::array<const char*, 4> kSurveyCornerLabels{"长边点1", "长边点2", "短边点1", "短边点2"};

struct CSurveyCorner {
    bool chosen = false;
    size_t index = 0; // route index (from 0)
    CWayPoint point;  // copy taken when chosen
};

struct CSurveyInput {
    int extendM = kSurveyFieldInitialM;  // e, "航线延长距离(米)"
    int spacingM = kSurveyFieldInitialM; // d, "生成航线间隔(米)"
    std::array<CSurveyCorner, 4> corners; // ESurveyCorner order: P1, P2, P3, P4

    // A corner button with list row `row` selected. "长边点1" also takes rows row+1..row+3 as P2,
    // P3, P4 where the route has them. Returns the row to select next (row + 4 for "长边点1",
    // row + 1 otherwise), or nothing when `row` is outside the route (nothing changes then).
    std::optional<size_t> pickCorner(ESurveyCorner which, const CSkyWay& route, size_t row);
    // Chooses one corner directly.
    void setCorner(ESurveyCorner which, const CSkyWay& route, size_t index);
};

// A read-only corner field: "#%02d(%f,%f)" (number from 1, longitude, latitude); "" when unset.
std::string surveyCornerText(const CSurveyCorner& corner);

// The first two checks (the distance fields), which run before any corner is looked at.
std::optional<std::string> validateSurveyDistances(const CSurveyInput& input);
// The dialog's checks in order; the message of the first failing one, or nothing.
std::optional<std::string> validateSurvey(const CSurveyInput& input);

// The route indexes to replace: P1, P2, then P3 and P4 unless already listed; descending.
std::vector<size_t> surveyReplacedIndexes(const CSurveyInput& input);

struct CSurveyPattern {
    bool ok = false;
    std::string message;             // why not, when !ok
    std::vector<CWayPoint> points;   // entry, lanes, exit
    int pairs = 0;                   // lane pairs produced
};

// The pattern for validated corners. New waypoints from `defaults`, altitude `altitude`, circle
// flag 0; coordinates computed in single precision. Degenerate corners give !ok with a message.
CSurveyPattern generateSurveyPattern(const CSurveyInput& input, const CWayPointDefaults& defaults, int altitude);

// Removes the listed indexes (largest first), inserts `points` at (largest - removed + 1) and
// applies the first-waypoint rule. Returns the insert position.
size_t spliceSurveyPattern(CSkyWay& route, const std::vector<size_t>& indexesDescending,
                           const std::vector<CWayPoint>& points);

struct CSurveyOutcome {
    bool ok = false;
    std::string message; // the message box text when !ok
    int pairs = 0;
    size_t insertedAt = 0;
    size_t inserted = 0;
};

// Validation, generation and splice in one; on failure the route is unchanged. Corners whose
// index no longer lies in the route are refused (kSurveyStaleCornerText).
CSurveyOutcome runSurveyGenerator(CSkyWay& route, const CSurveyInput& input, const CWayPointDefaults& defaults,
                                  int altitude);

} // namespace orvex
