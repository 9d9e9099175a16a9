#include "route/SurveyGenerator.h"

#include <algorithm>
#include <cmath>

#include "util/Format.h"

namespace orvex {

namespace {

struct SPoint {
    float lat;
    float lon;
};

bool finite(float v)
{
    return std::isfinite(v);
}

} // namespace

void CSurveyInput::setCorner(ESurveyCorner which, const CSkyWay& route, size_t index)
{
    if (index >= route.size())
        return;
    CSurveyCorner& c = corners[static_cast<size_t>(which)];
    c.chosen = true;
    c.index = index;
    c.point = route[index];
}

std::optional<size_t> CSurveyInput::pickCorner(ESurveyCorner which, const CSkyWay& route, size_t row)
{
    if (row >= route.size())
        return std::nullopt;
    setCorner(which, route, row);
    if (which != kSurveyLongSide1)
        return row + 1;
    for (size_t k = 1; k <= 3; ++k)
        if (row + k < route.size())
            setCorner(static_cast<ESurveyCorner>(k), route, row + k);
    return row + 4;
}

std::string surveyCornerText(const CSurveyCorner& corner)
{
    if (!corner.chosen)
        return {};
    return strprintf("#%02d(%f,%f)", static_cast<int>(corner.index + 1), corner.point.longitude, corner.point.latitude);
}

std::optional<std::string> validateSurveyDistances(const CSurveyInput& in)
{
    if (in.extendM < kSurveyMinDistanceM || in.extendM > kSurveyMaxDistanceM)
        return kSurveyBadExtendText;
    if (in.spacingM < kSurveyMinDistanceM || in.spacingM > kSurveyMaxDistanceM)
        return kSurveyBadSpacingText;
    return std::nullopt;
}

std::optional<std::string> validateSurvey(const CSurveyInput& in)
{
    if (auto message = validateSurveyDistances(in))
        return message;
    if (!in.corners[kSurveyLongSide1].chosen)
        return kSurveyNoP1Text;
    if (!in.corners[kSurveyLongSide2].chosen)
        return kSurveyNoP2Text;
    if (!in.corners[kSurveyShortSide1].chosen)
        return kSurveyNoP3Text;
    if (!in.corners[kSurveyShortSide2].chosen)
        return kSurveyNoP4Text;
    if (in.corners[kSurveyLongSide1].index == in.corners[kSurveyLongSide2].index)
        return kSurveySameLongSideText;
    return std::nullopt;
}

std::vector<size_t> surveyReplacedIndexes(const CSurveyInput& in)
{
    std::vector<size_t> list;
    for (const CSurveyCorner& c : in.corners)
        if (c.chosen && std::find(list.begin(), list.end(), c.index) == list.end())
            list.push_back(c.index);
    std::sort(list.begin(), list.end(), std::greater<size_t>());
    return list;
}

CSurveyPattern generateSurveyPattern(const CSurveyInput& in, const CWayPointDefaults& defaults, int altitude)
{
    CSurveyPattern out;
    const auto corner = [&](ESurveyCorner c) {
        const CWayPoint& w = in.corners[static_cast<size_t>(c)].point;
        return SPoint{narrowToFloat(w.latitude), narrowToFloat(w.longitude)};
    };
    const SPoint p1 = corner(kSurveyLongSide1);
    const SPoint p2 = corner(kSurveyLongSide2);
    const SPoint p3 = corner(kSurveyShortSide1);
    const SPoint p4 = corner(kSurveyShortSide2);
    for (const SPoint& p : {p1, p2, p3, p4}) {
        if (!finite(p.lat) || !finite(p.lon)) {
            out.message = kSurveyBadCoordinatesText;
            return out;
        }
    }

    const double k = kSurveyDegToRad;
    const double m = kSurveyDegreesPerMetre;
    const float e = static_cast<float>(in.extendM);
    const float d = static_cast<float>(in.spacingM);

    const float c = static_cast<float>(std::cos(p2.lat * k));

    const float dx23 = p3.lon - p2.lon;
    const float dy23 = p3.lat - p2.lat;
    const float l23 = std::sqrt(dx23 * dx23 * c * c + dy23 * dy23);
    const float dx12 = p2.lon - p1.lon;
    const float dy12 = p2.lat - p1.lat;
    const float l12 = std::sqrt(dy12 * dy12 + dx12 * dx12 * c * c);
    if (!(l12 > 0.0f) || !finite(l12)) {
        out.message = kSurveyLongSideZeroText;
        return out;
    }
    if (!(l23 > 0.0f) || !finite(l23)) {
        out.message = kSurveyShortSideZeroText;
        return out;
    }
    const float uy23 = dy23 / l23;
    const float ux23 = dx23 / l23;
    const float uy12 = dy12 / l12;
    const float ux12 = dx12 / l12;

    const SPoint ext{static_cast<float>(e * uy12 * m), static_cast<float>(e * ux12 * m)};
    const SPoint step{static_cast<float>(d * uy23 * m), static_cast<float>(d * ux23 * m)};
    const SPoint a{p1.lat - ext.lat, p1.lon - ext.lon};
    const SPoint b{p2.lat + ext.lat, p2.lon + ext.lon};

    const bool alongLongitude = std::fabs(dx23) >= std::fabs(dy23);
    const float target = alongLongitude ? p3.lon : p3.lat;
    const float start = alongLongitude ? p2.lon : p2.lat;
    const bool increasing = target > start;

    const auto make = [&](SPoint p, int photoMode) {
        CWayPoint w = CWayPoint::makeNew(defaults);
        w.latitude = p.lat;
        w.longitude = p.lon;
        w.altitude = altitude;
        w.photoMode = photoMode;
        w.circleFlag = 0;
        return w;
    };
    const auto offset = [&](SPoint p, int lane) {
        return SPoint{p.lat + static_cast<float>(lane) * step.lat, p.lon + static_cast<float>(lane) * step.lon};
    };

    out.points.push_back(make(SPoint{static_cast<float>(p1.lat - kSurveyEntryOffsetDeg),
                                     static_cast<float>(p1.lon - kSurveyEntryOffsetDeg)},
                              kPhotoStop));
    int pair = 0;
    for (;;) {
        const int even = 2 * pair;
        const int odd = even + 1;
        out.points.push_back(make(offset(a, even), kPhotoStop));
        out.points.push_back(make(offset(p1, even), kPhotoEqualDistance1));
        out.points.push_back(make(offset(p2, even), kPhotoStop));
        out.points.push_back(make(offset(b, even), kPhotoStop));
        out.points.push_back(make(offset(b, odd), kPhotoStop));
        out.points.push_back(make(offset(p2, odd), kPhotoEqualDistance2));
        out.points.push_back(make(offset(p1, odd), kPhotoStop));
        out.points.push_back(make(offset(a, odd), kPhotoStop));
        ++pair;
        const SPoint check = offset(p2, odd);
        const float value = alongLongitude ? check.lon : check.lat;
        const bool more = increasing ? value < target : value > target;
        if (!more || pair >= kSurveyMaxPairs)
            break;
    }
    out.points.push_back(make(p4, kPhotoStop));

    for (const CWayPoint& w : out.points) {
        if (!std::isfinite(w.latitude) || !std::isfinite(w.longitude)) {
            out.points.clear();
            out.message = kSurveyBadCoordinatesText;
            return out;
        }
    }
    out.pairs = pair;
    out.ok = true;
    return out;
}

size_t spliceSurveyPattern(CSkyWay& route, const std::vector<size_t>& indexesDescending,
                           const std::vector<CWayPoint>& points)
{
    size_t removed = 0;
    size_t largest = 0;
    for (size_t index : indexesDescending) {
        largest = std::max(largest, index);
        if (route.removeAt(index))
            ++removed;
    }
    size_t at = indexesDescending.empty() ? route.size() : largest + 1 - removed;
    if (at > route.size())
        at = route.size();
    route.points().insert(route.points().begin() + static_cast<std::ptrdiff_t>(at), points.begin(), points.end());
    route.forceFirstWaypointCircle();
    return at;
}

CSurveyOutcome runSurveyGenerator(CSkyWay& route, const CSurveyInput& input, const CWayPointDefaults& defaults,
                                  int altitude)
{
    CSurveyOutcome outcome;
    if (const auto message = validateSurvey(input)) {
        outcome.message = *message;
        return outcome;
    }
    for (const CSurveyCorner& c : input.corners) {
        if (c.index >= route.size()) {
            outcome.message = kSurveyStaleCornerText;
            return outcome;
        }
    }
    const CSurveyPattern pattern = generateSurveyPattern(input, defaults, altitude);
    if (!pattern.ok) {
        outcome.message = pattern.message;
        return outcome;
    }
    const std::vector<size_t> indexes = surveyReplacedIndexes(input);
    outcome.insertedAt = spliceSurveyPattern(route, indexes, pattern.points);
    outcome.inserted = pattern.points.size();
    outcome.pairs = pattern.pairs;
    outcome.ok = true;
    return outcome;
}

} // namespace orvex
