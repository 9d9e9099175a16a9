#include "map/MapScript.h"

#include "map/MapEvent.h"
#include "route/SkyWay.h"
#include "base/Format.h"

namespace orvex {

namespace {

std::string real(double v)
{
    return strprintf("%f", v);
}

std::string integer(int v)
{
    return strprintf("%d", v);
}

constexpr std::string_view kLookAtPrefix = "2001;";
constexpr int kCameraFieldCount = 7;

} // namespace

void CMapScript::call(const char* fn, std::vector<std::string> args)
{
    m_host.call(fn, args);
}

void CMapScript::delskyway()
{
    call("delskyway");
}

void CMapScript::setskyway(double lat, double lon, int altitude, int pointTag, int index)
{
    call("setskyway", {real(lat), real(lon), integer(altitude), integer(pointTag), integer(index)});
}

void CMapScript::updatewaypoint(double lat, double lon, int altitude, int pointTag, int index)
{
    call("updatewaypoint", {real(lat), real(lon), integer(altitude), integer(pointTag), integer(index)});
}

void CMapScript::delskywaypt(int index)
{
    call("delskywaypt", {integer(index)});
}

void CMapScript::setSkyWayPTcolor(int index, int state)
{
    call("setSkyWayPTcolor", {integer(index), integer(state)});
}

void CMapScript::setpttomap(double lat, double lon)
{
    call("setpttomap", {real(lat), real(lon)});
}

void CMapScript::setfuncode(int toolCode)
{
    call("setfuncode", {integer(toolCode)});
}

void CMapScript::setplane(double lat, double lon, double altitude, int targetWaypoint, double headingDeg)
{
    call("setplane", {real(lat), real(lon), real(altitude), integer(targetWaypoint), real(headingDeg)});
}

void CMapScript::setplane(double lat, double lon, double altitude, int targetWaypoint, double headingDeg,
                          const std::vector<SMapPoint>& earlier)
{
    std::string track;
    for (const SMapPoint& point : earlier) {
        if (!track.empty())
            track += ';';
        track += real(point.lat) + ',' + real(point.lon);
    }
    call("setplane", {real(lat), real(lon), real(altitude), integer(targetWaypoint), real(headingDeg), track});
}

void CMapScript::clearlineStringplane()
{
    call("clearlineStringplane");
}

void CMapScript::setplanetomap()
{
    call("setplanetomap");
}

void CMapScript::setplanetrud()
{
    call("setplanetrud");
}

void CMapScript::setplanetrud3d()
{
    call("setplanetrud3d");
}

void CMapScript::setV90()
{
    call("setV90");
}

void CMapScript::setclickpttomap(double a, double b, double c)
{
    call("setclickpttomap", {real(a), real(b), real(c)});
}

void CMapScript::gotoaddress(const std::string& text)
{
    call("gotoaddress", {text});
}

void CMapScript::gotopoint(const std::string& lat, const std::string& lon)
{
    call("gotopoint", {lat, lon});
}

void CMapScript::setLookAt(const std::vector<std::string>& sevenFields)
{
    call("setLookAt", sevenFields);
}

void CMapScript::getLookAt()
{
    call("getLookAt");
}

void CMapScript::AddPlaceMaktToMap(const std::string& lat, const std::string& lon, const std::string& name)
{
    call("AddPlaceMaktToMap", {lat, lon, name});
}

void CMapScript::DelPlaceMaktToMap(const std::string& name)
{
    call("DelPlaceMaktToMap", {name});
}

void CMapScript::EditPlaceMaktToMap(const std::string& name, const std::string& newName)
{
    call("EditPlaceMaktToMap", {name, newName});
}

void CMapScript::setPlaneStale(bool stale)
{
    call("setPlaneStale", {stale ? "1" : "0"});
}

void CMapScript::orvexPickBox()
{
    call("orvexPickBox");
}

void CMapScript::setPic(double first, double second)
{
    call("setPic", {real(first), real(second), real(0.0)});
}

void CMapScript::redrawRoute(const CSkyWay& route)
{
    delskyway();
    for (size_t i = 0; i < route.size(); ++i) {
        const CWayPoint& wp = route[i];
        setskyway(wp.latitude, wp.longitude, wp.altitude, wp.pointTag, static_cast<int>(i));
    }
}

bool CMapScript::restoreLookAt(std::string_view lastMap)
{
    if (lastMap.substr(0, kLookAtPrefix.size()) != kLookAtPrefix)
        return false;
    CMapFieldReader reader(lastMap.substr(kLookAtPrefix.size()));
    std::vector<std::string> fields;
    for (int i = 0; i < kCameraFieldCount; ++i)
        fields.emplace_back(reader.nextField());
    setLookAt(fields);
    return true;
}

} // namespace orvex
