#include "route/SkyWay.h"

#include <cmath>
#include <utility>

#include "base/Settings.h"

namespace orvex {

CWayPointDefaults CWayPointDefaults::fromSettings(const CSettings& settings)
{
    CWayPointDefaults d;
    d.altitude = settings.getInt(keys::kAltitude);
    d.photoMode = settings.getInt(keys::kSpeed);
    d.turnAmount = settings.getInt(keys::kZhuanWanLiang);
    d.circleFlag = settings.getInt(keys::kZhiShiHangXian);
    d.circleTime = settings.getInt(keys::kZhiShiShiJian);
    d.servoAction = settings.getInt(keys::kZhiXingDuoJi);
    d.delayTime = settings.getInt(keys::kDelayTime);
    d.repeatTime = settings.getInt(keys::kRepeatTime);
    return d;
}

CWayPoint CWayPoint::makeNew(const CWayPointDefaults& d)
{
    CWayPoint w;
    w.longitude = 0;
    w.latitude = 0;
    w.pointTag = 0;
    w.verified = 0;
    w.altitude = d.altitude;
    w.photoMode = d.photoMode;
    w.turnAmount = static_cast<uint16_t>(d.turnAmount);
    w.circleFlag = static_cast<uint8_t>(d.circleFlag);
    w.circleTime = static_cast<uint16_t>(d.circleTime);
    w.servoAction = static_cast<uint8_t>(d.servoAction);
    w.delayTime = static_cast<uint8_t>(d.delayTime);
    w.repeatTime = static_cast<uint8_t>(d.repeatTime);
    return w;
}

CWayPoint CWayPoint::makeNew(const CSettings& settings)
{
    return makeNew(CWayPointDefaults::fromSettings(settings));
}

bool CSkyWay::insert(size_t index, const CWayPoint& point)
{
    if (index > m_points.size())
        return false;
    m_points.insert(m_points.begin() + static_cast<std::ptrdiff_t>(index), point);
    return true;
}

bool CSkyWay::removeAt(size_t index)
{
    if (index >= m_points.size())
        return false;
    m_points.erase(m_points.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool CSkyWay::swap(size_t a, size_t b)
{
    if (a >= m_points.size() || b >= m_points.size())
        return false;
    std::swap(m_points[a], m_points[b]);
    return true;
}

void CSkyWay::forceFirstWaypointCircle()
{
    if (m_points.empty())
        return;
    m_points.front().circleFlag = 1;
    m_points.front().circleTime = 0;
}

void CSkyWay::setAllAltitudes(int32_t altitude)
{
    for (CWayPoint& w : m_points)
        w.altitude = altitude;
}

double CSkyWay::lengthKm() const
{
    double total = 0;
    for (size_t i = 1; i < m_points.size(); ++i)
        total += routeDistanceKm(narrowToFloat(m_points[i - 1].latitude), narrowToFloat(m_points[i - 1].longitude),
                                 narrowToFloat(m_points[i].latitude), narrowToFloat(m_points[i].longitude));
    return total;
}

} // namespace orvex
