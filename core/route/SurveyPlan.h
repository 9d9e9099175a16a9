#pragma once
// Survey planning from the camera, and what a route will cost.
//
// A survey is planned from the camera and the ground resolution wanted. For a camera looking
// straight down over flat ground:
//   footprint of one side (m) = sensor side (mm) x altitude (m) / focal length (mm)
//   ground resolution (cm/px) = footprint side (m) x 100 / image side (px), the coarser side given
//   lane spacing (m)          = footprint across the lanes x (1 - side overlap)
//   photo distance (m)        = footprint along the lanes  x (1 - front overlap)
// Held in landscape, the image's width lies across the lanes; in portrait, its height. The lane
// spacing handed to the survey generator is in whole metres, rounded down so that the overlap is
// never less than asked.
//
// Route statistics: the length is the sum of the great-circle legs (CSkyWay::lengthKm); the flight
// time is that length at the cruise speed plus every climb (the first waypoint's altitude from the
// ground, then each rise between waypoints) at kClimbRateMps. Photos are counted along every
// stretch flown with photos on (from a waypoint with photo mode 2 or 3 to the next with mode 0),
// one at the start and one every photo distance; the area covered is those stretches' length times
// the lane spacing.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Settings.h"
#include "route/SkyWay.h"

namespace orvex {

namespace keys {
inline constexpr SettingKey kCruiseSpeed{"Survey", "CruiseSpeed", "10"};  // m/s, for flight times
inline constexpr SettingKey kCeiling{"Survey", "Ceiling", "10000"};       // m, highest survey altitude
inline constexpr SettingKey kSurveyCamera{"Survey", "Camera", ""};        // name of the last camera used
inline constexpr SettingKey kFrontOverlap{"Survey", "FrontOverlap", "80"}; // percent
inline constexpr SettingKey kSideOverlap{"Survey", "SideOverlap", "70"};   // percent
inline constexpr SettingKey kPortrait{"Survey", "Portrait", "0"};          // 1: image height across the lanes
} // namespace keys

inline constexpr double kClimbRateMps = 3.0;
inline constexpr double kMinSurveyAltitudeM = 10.0;
inline constexpr double kMaxOverlapPct = 95.0;
inline constexpr double kSquareMetresPerMu = 10000.0 / 15.0; // 1 亩
inline constexpr int kMaxOperatorCameras = 16;               // [Cameras] Camera1 .. Camera16

struct SCamera {
    std::string name;
    double sensorWidthMm = 0;
    double sensorHeightMm = 0;
    double focalMm = 0;
    int imageWidthPx = 0;
    int imageHeightPx = 0;

    bool valid() const;
    bool operator==(const SCamera&) const = default;
};

// A few common cameras.
std::span<const SCamera> builtInCameras();
// "name,sensor width,sensor height,focal length,image width,image height" (as stored in Korva.ini);
// nothing when a number is missing, not positive or the name is empty.
std::optional<SCamera> parseCamera(std::string_view text);
std::string cameraText(const SCamera& camera);
// The operator's cameras ([Cameras] Camera1..) followed by the built-in ones.
std::vector<SCamera> availableCameras(const CSettings& settings);
// Stores a camera of the operator's under its name (replacing one of the same name, else in the
// first free slot); false when every slot is taken or the file cannot be written.
bool storeOperatorCamera(CSettings& settings, const SCamera& camera);
const SCamera* findCamera(const std::vector<SCamera>& cameras, std::string_view name);

enum class ECameraOrientation { Landscape, Portrait };

struct SSurveyCameraPlan {
    double altitudeM = 0;
    double gsdCm = 0;
    double footprintAcrossM = 0; // across the lanes
    double footprintAlongM = 0;  // along the lanes
    double laneSpacingM = 0;
    double photoDistanceM = 0;
    int generatorSpacingM = 0;   // the lane spacing in whole metres, for the generator
};

double groundResolutionCm(const SCamera& camera, double altitudeM);
double altitudeForResolution(const SCamera& camera, double gsdCm);
SSurveyCameraPlan planSurveyCamera(const SCamera& camera, double altitudeM, double frontOverlapPct,
                                   double sideOverlapPct, ECameraOrientation orientation);

// The checks before generating, each with the operator's message: overlaps outside 0..95 %, a
// spacing wider than the photos (gaps between lanes; `footprintAcrossM` 0 skips it), an altitude
// below 10 m or above the ceiling.
std::optional<std::string> checkSurveyPlan(double frontOverlapPct, double sideOverlapPct, int spacingM,
                                           double footprintAcrossM, double altitudeM, double ceilingM);
// The waypoint limit, once the pattern is known: the route after the splice must not pass
// kMaxUploadWaypoints; the message says how many lanes would fit.
std::optional<std::string> checkSurveyWaypointCount(std::size_t routeSize, std::size_t replaced,
                                                     std::size_t generated);

struct SRouteStats {
    double lengthMetres = 0;
    double flightTimeSeconds = 0;
    int waypoints = 0;
    // Photo figures, when a photo distance and a lane spacing are known.
    int photoCount = 0;
    double areaSquareMetres = 0;
};

SRouteStats routeStats(const CSkyWay& route, double cruiseSpeedMps, double photoDistanceM = 0,
                       double laneSpacingM = 0);
// One line for the status bar and the editors: "航线：N 个航点，L 公里，约 M 分 S 秒" (and, with
// photos, "，P 张照片，A 亩").
std::string routeStatsText(const SRouteStats& stats);

} // namespace orvex
