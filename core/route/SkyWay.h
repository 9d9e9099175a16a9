#pragma once
// CSkyWay: a route, an ordered list of waypoints plus the format tag (file extension without the
// dot) of the route file being read into it. Copying a route copies every waypoint.

#include <cstddef>
#include <string>
#include <vector>

#include "route/WayPoint.h"
#include "base/Geo.h"

namespace orvex {

class CSkyWay {
public:
    CSkyWay() = default;
    explicit CSkyWay(std::string formatTag) : m_formatTag(std::move(formatTag)) {}

    const std::string& formatTag() const { return m_formatTag; }
    void setFormatTag(std::string tag) { m_formatTag = std::move(tag); }

    size_t size() const { return m_points.size(); }
    int count() const { return static_cast<int>(m_points.size()); }
    bool empty() const { return m_points.empty(); }

    CWayPoint& operator[](size_t index) { return m_points[index]; }
    const CWayPoint& operator[](size_t index) const { return m_points[index]; }
    CWayPoint& at(size_t index) { return m_points.at(index); }
    const CWayPoint& at(size_t index) const { return m_points.at(index); }
    bool validIndex(long long index) const { return index >= 0 && static_cast<size_t>(index) < m_points.size(); }

    std::vector<CWayPoint>& points() { return m_points; }
    const std::vector<CWayPoint>& points() const { return m_points; }
    auto begin() { return m_points.begin(); }
    auto end() { return m_points.end(); }
    auto begin() const { return m_points.begin(); }
    auto end() const { return m_points.end(); }

    void append(const CWayPoint& point) { m_points.push_back(point); }
    // Inserts before `index` (index == size() appends); out-of-range indexes are ignored.
    bool insert(size_t index, const CWayPoint& point);
    bool removeAt(size_t index);
    void clear() { m_points.clear(); }
    // Swaps two waypoints; false when either index is outside the route.
    bool swap(size_t a, size_t b);
    // Replaces the waypoints (not the format tag) by those of `other`.
    void assignPoints(const CSkyWay& other) { m_points = other.m_points; }

    // The first-waypoint rule: the first waypoint circles with no time limit.
    void forceFirstWaypointCircle();
    // "全部高度": every waypoint gets `altitude`.
    void setAllAltitudes(int32_t altitude);

    // Sum of the great-circle distances between consecutive waypoints, in km (coordinates
    // rounded to single precision).
    double lengthKm() const;

    bool operator==(const CSkyWay&) const = default;

private:
    std::vector<CWayPoint> m_points;
    std::string m_formatTag;
};

} // namespace orvex
