#include "route/SurveyGenerator.h"

#include <algorithm>
#include <cmath>

#include "base/Format.h"

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

namespace {

// The corners and the vectors the lanes are built from, all in single precision.
struct SLaneGeometry {
    SPoint p1, p2, p4;
    SPoint a, b;  // the long side extended at both ends
    SPoint step;  // from one lane to the next
    bool alongLongitude = false; // the sweep's dominant axis
    float target = 0;            // P3 on that axis
    bool increasing = false;     // the sweep runs towards larger values
};

// Steps 1 to 5 and the sweep's axis; the refusal's text when the corners give no direction.
const char* laneGeometry(const CSurveyInput& in, SLaneGeometry& g)
{
    const auto corner = [&](ESurveyCorner c) {
        const CWayPoint& w = in.corners[static_cast<size_t>(c)].point;
        return SPoint{narrowToFloat(w.latitude), narrowToFloat(w.longitude)};
    };
    g.p1 = corner(kSurveyLongSide1);
    g.p2 = corner(kSurveyLongSide2);
    const SPoint p3 = corner(kSurveyShortSide1);
    g.p4 = corner(kSurveyShortSide2);
    for (const SPoint& p : {g.p1, g.p2, p3, g.p4})
        if (!finite(p.lat) || !finite(p.lon)) return kSurveyBadCoordinatesText;

    const double k = kSurveyDegToRad;
    const double m = kSurveyDegreesPerMetre;
    const float e = static_cast<float>(in.extendM);
    const float d = static_cast<float>(in.spacingM);

    const float c = static_cast<float>(std::cos(g.p2.lat * k));

    const float dx23 = p3.lon - g.p2.lon;
    const float dy23 = p3.lat - g.p2.lat;
    const float l23 = std::sqrt(dx23 * dx23 * c * c + dy23 * dy23);
    const float dx12 = g.p2.lon - g.p1.lon;
    const float dy12 = g.p2.lat - g.p1.lat;
    const float l12 = std::sqrt(dy12 * dy12 + dx12 * dx12 * c * c);
    if (!(l12 > 0.0f) || !finite(l12)) return kSurveyLongSideZeroText;
    if (!(l23 > 0.0f) || !finite(l23)) return kSurveyShortSideZeroText;
    const float uy23 = dy23 / l23;
    const float ux23 = dx23 / l23;
    const float uy12 = dy12 / l12;
    const float ux12 = dx12 / l12;

    const SPoint ext{static_cast<float>(e * uy12 * m), static_cast<float>(e * ux12 * m)};
    g.step = SPoint{static_cast<float>(d * uy23 * m), static_cast<float>(d * ux23 * m)};
    g.a = SPoint{g.p1.lat - ext.lat, g.p1.lon - ext.lon};
    g.b = SPoint{g.p2.lat + ext.lat, g.p2.lon + ext.lon};

    g.alongLongitude = std::fabs(dx23) >= std::fabs(dy23);
    g.target = g.alongLongitude ? p3.lon : p3.lat;
    const float start = g.alongLongitude ? g.p2.lon : g.p2.lat;
    g.increasing = g.target > start;
    return nullptr;
}

} // namespace

CSurveyPattern generateSurveyPattern(const CSurveyInput& in, const CWayPointDefaults& defaults, int altitude)
{
    CSurveyPattern out;
    SLaneGeometry g;
    if (const char* refusal = laneGeometry(in, g)) {
        out.message = refusal;
        return out;
    }
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
        return SPoint{p.lat + static_cast<float>(lane) * g.step.lat, p.lon + static_cast<float>(lane) * g.step.lon};
    };

    out.points.push_back(make(SPoint{static_cast<float>(g.p1.lat - kSurveyEntryOffsetDeg),
                                     static_cast<float>(g.p1.lon - kSurveyEntryOffsetDeg)},
                              kPhotoStop));
    int pair = 0;
    for (;;) {
        const int even = 2 * pair;
        const int odd = even + 1;
        out.points.push_back(make(offset(g.a, even), kPhotoStop));
        out.points.push_back(make(offset(g.p1, even), kPhotoEqualDistance1));
        out.points.push_back(make(offset(g.p2, even), kPhotoStop));
        out.points.push_back(make(offset(g.b, even), kPhotoStop));
        out.points.push_back(make(offset(g.b, odd), kPhotoStop));
        out.points.push_back(make(offset(g.p2, odd), kPhotoEqualDistance2));
        out.points.push_back(make(offset(g.p1, odd), kPhotoStop));
        out.points.push_back(make(offset(g.a, odd), kPhotoStop));
        ++pair;
        const SPoint check = offset(g.p2, odd);
        const float value = g.alongLongitude ? check.lon : check.lat;
        const bool more = g.increasing ? value < g.target : value > g.target;
        if (!more || pair >= kSurveyMaxPairs)
            break;
    }
    out.points.push_back(make(g.p4, kPhotoStop));

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
