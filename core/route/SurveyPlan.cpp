#include "route/SurveyPlan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "route/RouteUpload.h"

namespace orvex {

namespace {

const SCamera kBuiltInCameras[] = {
    {"1英寸 20MP 8.8mm", 13.2, 8.8, 8.8, 5472, 3648},
    {"1/2.3英寸 12MP 4.5mm", 6.17, 4.55, 4.5, 4000, 3000},
    {"APS-C 24MP 16mm", 23.5, 15.6, 16.0, 6000, 4000},
    {"全画幅 42MP 35mm", 35.9, 24.0, 35.0, 7952, 5304},
};

std::string trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

template <typename T> bool parseNumber(std::string_view text, T& out)
{
    const std::string t = trimmed(text);
    const auto r = std::from_chars(t.data(), t.data() + t.size(), out);
    return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
}

std::string number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string cameraKeyName(int slot)
{
    return "Camera" + std::to_string(slot);
}

} // namespace

bool SCamera::valid() const
{
    return !name.empty() && sensorWidthMm > 0 && sensorHeightMm > 0 && focalMm > 0 && imageWidthPx > 0 &&
           imageHeightPx > 0;
}

std::span<const SCamera> builtInCameras()
{
    return kBuiltInCameras;
}

std::optional<SCamera> parseCamera(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (fields.size() != 6) return std::nullopt;
    SCamera c;
    c.name = trimmed(fields[0]);
    if (!parseNumber(fields[1], c.sensorWidthMm) || !parseNumber(fields[2], c.sensorHeightMm) ||
        !parseNumber(fields[3], c.focalMm) || !parseNumber(fields[4], c.imageWidthPx) ||
        !parseNumber(fields[5], c.imageHeightPx) || !c.valid())
        return std::nullopt;
    return c;
}

std::string cameraText(const SCamera& c)
{
    return c.name + "," + number(c.sensorWidthMm) + "," + number(c.sensorHeightMm) + "," + number(c.focalMm) + "," +
           std::to_string(c.imageWidthPx) + "," + std::to_string(c.imageHeightPx);
}

std::vector<SCamera> availableCameras(const CSettings& settings)
{
    std::vector<SCamera> cameras;
    for (int slot = 1; slot <= kMaxOperatorCameras; ++slot) {
        const std::string key = cameraKeyName(slot);
        if (auto camera = parseCamera(settings.getText({"Cameras", key.c_str(), ""})))
            cameras.push_back(std::move(*camera));
    }
    cameras.insert(cameras.end(), std::begin(kBuiltInCameras), std::end(kBuiltInCameras));
    return cameras;
}

bool storeOperatorCamera(CSettings& settings, const SCamera& camera)
{
    if (!camera.valid() || camera.name.find(',') != std::string::npos) return false;
    int freeSlot = 0;
    for (int slot = 1; slot <= kMaxOperatorCameras; ++slot) {
        const std::string key = cameraKeyName(slot);
        const auto stored = parseCamera(settings.getText({"Cameras", key.c_str(), ""}));
        if (stored && stored->name == camera.name)
            return settings.setText({"Cameras", key.c_str(), ""}, cameraText(camera));
        if (!stored && freeSlot == 0) freeSlot = slot;
    }
    if (freeSlot == 0) return false;
    const std::string key = cameraKeyName(freeSlot);
    return settings.setText({"Cameras", key.c_str(), ""}, cameraText(camera));
}

const SCamera* findCamera(const std::vector<SCamera>& cameras, std::string_view name)
{
    const auto it = std::find_if(cameras.begin(), cameras.end(), [&](const SCamera& c) { return c.name == name; });
    return it == cameras.end() ? nullptr : &*it;
}

double groundResolutionCm(const SCamera& c, double altitudeM)
{
    const double acrossWidth = c.sensorWidthMm * altitudeM * 100.0 / (c.focalMm * c.imageWidthPx);
    const double acrossHeight = c.sensorHeightMm * altitudeM * 100.0 / (c.focalMm * c.imageHeightPx);
    return std::max(acrossWidth, acrossHeight);
}

double altitudeForResolution(const SCamera& c, double gsdCm)
{
    return gsdCm / groundResolutionCm(c, 1.0);
}

SSurveyCameraPlan planSurveyCamera(const SCamera& c, double altitudeM, double frontOverlapPct, double sideOverlapPct,
                                   ECameraOrientation orientation)
{
    SSurveyCameraPlan p;
    p.altitudeM = altitudeM;
    p.gsdCm = groundResolutionCm(c, altitudeM);
    const double widthM = c.sensorWidthMm * altitudeM / c.focalMm;
    const double heightM = c.sensorHeightMm * altitudeM / c.focalMm;
    const bool landscape = orientation == ECameraOrientation::Landscape;
    p.footprintAcrossM = landscape ? widthM : heightM;
    p.footprintAlongM = landscape ? heightM : widthM;
    p.laneSpacingM = p.footprintAcrossM * (1.0 - sideOverlapPct / 100.0);
    p.photoDistanceM = p.footprintAlongM * (1.0 - frontOverlapPct / 100.0);
    p.generatorSpacingM = static_cast<int>(std::floor(p.laneSpacingM + 1e-9));
    return p;
}

std::optional<std::string> checkSurveyPlan(double frontOverlapPct, double sideOverlapPct, int spacingM,
                                           double footprintAcrossM, double altitudeM, double ceilingM)
{
    char text[256];
    if (!(frontOverlapPct >= 0 && frontOverlapPct <= kMaxOverlapPct))
        return std::string("航向重叠率应在 0 到 95 之间。");
    if (!(sideOverlapPct >= 0 && sideOverlapPct <= kMaxOverlapPct))
        return std::string("旁向重叠率应在 0 到 95 之间（小于 0 时照片之间会有空隙）。");
    if (footprintAcrossM > 0 && spacingM > footprintAcrossM) {
        std::snprintf(text, sizeof text, "航线间隔 %d 米大于照片宽度 %.0f 米，航线之间的照片会有空隙。", spacingM,
                      footprintAcrossM);
        return std::string(text);
    }
    if (!(altitudeM >= kMinSurveyAltitudeM)) {
        std::snprintf(text, sizeof text, "飞行高度 %.0f 米低于 %.0f 米。", altitudeM, kMinSurveyAltitudeM);
        return std::string(text);
    }
    if (altitudeM > ceilingM) {
        std::snprintf(text, sizeof text, "飞行高度 %.0f 米高于飞机升限 %.0f 米。", altitudeM, ceilingM);
        return std::string(text);
    }
    return std::nullopt;
}

std::optional<std::string> checkSurveyWaypointCount(std::size_t routeSize, std::size_t replaced, std::size_t generated)
{
    const std::size_t others = routeSize - std::min(replaced, routeSize);
    const std::size_t total = others + generated;
    if (total <= kMaxUploadWaypoints) return std::nullopt;
    // Entry and exit points, then eight waypoints for every pair of lanes.
    const std::size_t room = kMaxUploadWaypoints > others + 2 ? kMaxUploadWaypoints - others - 2 : 0;
    char text[256];
    std::snprintf(text, sizeof text, "生成后航线有 %zu 个航点，超过 %zu 个。此区域最多可生成 %zu 条航线，请加大航线间隔或缩小区域。",
                  total, kMaxUploadWaypoints, room / 8 * 2);
    return std::string(text);
}

SRouteStats routeStats(const CSkyWay& route, double cruiseSpeedMps, double photoDistanceM, double laneSpacingM)
{
    SRouteStats s;
    s.waypoints = route.count();
    s.lengthMetres = route.lengthKm() * 1000.0;
    double climbM = 0;
    int previousAltitude = 0; // the aircraft starts on the ground
    for (const CWayPoint& w : route) {
        if (w.altitude > previousAltitude) climbM += w.altitude - previousAltitude;
        previousAltitude = w.altitude;
    }
    if (cruiseSpeedMps > 0) s.flightTimeSeconds = s.lengthMetres / cruiseSpeedMps;
    s.flightTimeSeconds += climbM / kClimbRateMps;

    if (photoDistanceM <= 0) return s;
    bool photographing = false;
    double stretchM = 0, photographedM = 0;
    for (std::size_t i = 0; i < route.size(); ++i) {
        const CWayPoint& w = route[i];
        if (photographing && i > 0)
            stretchM += routeDistanceKm(float(route[i - 1].latitude), float(route[i - 1].longitude), float(w.latitude),
                                        float(w.longitude)) *
                        1000.0;
        const bool starts = w.photoMode == 2 || w.photoMode == 3;
        if (photographing && (w.photoMode == 0 || starts)) {
            s.photoCount += 1 + static_cast<int>(std::floor(stretchM / photoDistanceM + 1e-9));
            photographedM += stretchM;
            photographing = false;
        }
        if (starts) {
            photographing = true;
            stretchM = 0;
        }
    }
    if (photographing) s.photoCount += 1 + static_cast<int>(std::floor(stretchM / photoDistanceM + 1e-9));
    if (photographing) photographedM += stretchM;
    s.areaSquareMetres = photographedM * laneSpacingM;
    return s;
}

std::string routeStatsText(const SRouteStats& s)
{
    const long seconds = std::lround(s.flightTimeSeconds);
    char text[256];
    int n = std::snprintf(text, sizeof text, "航线：%d 个航点，%.2f 公里，约 %ld 分 %02ld 秒", s.waypoints,
                          s.lengthMetres / 1000.0, seconds / 60, seconds % 60);
    if (s.photoCount > 0 && n > 0 && std::size_t(n) < sizeof text)
        std::snprintf(text + n, sizeof text - std::size_t(n), "，%d 张照片，%.1f 亩", s.photoCount,
                      s.areaSquareMetres / kSquareMetresPerMu);
    return text;
}

} // namespace orvex
