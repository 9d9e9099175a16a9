#pragma once
// The script functions of the map page, one C++ function per page function. Each builds the
// page function's name and its string arguments (reals "%f", integers "%d", texts unchanged)
// and passes them to the host through IMapScript. Failures are the host's business and silent.

#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class CSkyWay;

// A position of the aircraft's track on the map.
struct SMapPoint {
    double lat = 0.0;
    double lon = 0.0;
};

class IMapScript {
public:
    virtual ~IMapScript() = default;
    // Calls the page function `fn` with `args` in order; does nothing while the page is not ready.
    virtual void call(const std::string& fn, const std::vector<std::string>& args) = 0;
};

class CMapScript {
public:
    explicit CMapScript(IMapScript& host) : m_host(host) {}

    void delskyway();
    void setskyway(double lat, double lon, int altitude, int pointTag, int index);
    void updatewaypoint(double lat, double lon, int altitude, int pointTag, int index);
    void delskywaypt(int index);
    void setSkyWayPTcolor(int index, int state);
    void setpttomap(double lat, double lon);
    void setfuncode(int toolCode);
    void setplane(double lat, double lon, double altitude, int targetWaypoint, double headingDeg);
    // The same with the aircraft's earlier positions, oldest first, as a sixth argument
    // "lat,lon;lat,lon;..." (empty when there are none): the page draws the track from them.
    void setplane(double lat, double lon, double altitude, int targetWaypoint, double headingDeg,
                  const std::vector<SMapPoint>& earlier);
    void clearlineStringplane();
    void setplanetomap();
    void setplanetrud();
    void setplanetrud3d();
    void setV90();
    void setclickpttomap(double a, double b, double c);
    void gotoaddress(const std::string& text);
    void gotopoint(const std::string& lat, const std::string& lon);
    void setLookAt(const std::vector<std::string>& sevenFields);
    void getLookAt();
    void AddPlaceMaktToMap(const std::string& lat, const std::string& lon, const std::string& name);
    void DelPlaceMaktToMap(const std::string& name);
    void EditPlaceMaktToMap(const std::string& name, const std::string& newName);
    void setPic(double first, double second);
    // The aircraft marker greyed (link lost or closed) or live again.
    void setPlaneStale(bool stale);
    // "画矩形": the page takes one rectangle from the mouse and keeps it in window.orvexPickedBox.
    void orvexPickBox();

    // delskyway, then setskyway for every waypoint in order (n + 1 calls).
    void redrawRoute(const CSkyWay& route);
    // setLookAt from a stored "2001;" event text: only when it starts with "2001;", with the
    // seven comma-terminated fields after it. Returns whether a call was made.
    bool restoreLookAt(std::string_view lastMap);

private:
    void call(const char* fn, std::vector<std::string> args = {});
    IMapScript& m_host;
};

// Tool codes of setfuncode.
enum EMapToolCode : int {
    kMapToolRestore = 0,
    kMapToolPlanRoute = 1,
    kMapToolMeasure = 2,
    kMapToolPlaceMark = 3,
    kMapToolMoveRoute = 7,
};

} // namespace orvex
