#pragma once
// The route subsystem as the application uses it: the current route, its commands (load, save,
// delete, upload, verify, erase marks, single-waypoint upload), the 600 ms upload step and the
// "$SETD" echo check, with the map redraws and messages those commands make.
//
// The application owns one CRouteController, wires its hooks once and then
//   - adds it as a downlink sink (it handles onWaypointEcho),
//   - calls uploadTick(storedWaypointCount) from timer 5,
//   - runs the command handlers with the path the file dialog returned (nothing = cancelled).
// The route-saved flag is the application's; the controller sets it through a hook.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "map/MapScript.h"
#include "protocol/DownlinkSink.h"
#include "route/RouteUpload.h"
#include "route/SkyWay.h"

namespace orvex {

class CSettings;

struct CRouteHooks {
    // "Send on both links" for a 30-byte frame.
    std::function<void(std::span<const uint8_t>)> send;
    // A message box with one OK button.
    std::function<void(const std::string& text)> message;
    // Sets the application's route-saved flag.
    std::function<void(bool saved)> setSaved;
    // "验证航线(&R)": true when a live link (serial or WiFi) is open; otherwise opens the serial
    // link and returns whether that worked.
    std::function<bool()> ensureLinkOpen;
    // A text for the status line ("航线上传完成：N 个航点").
    std::function<void(const std::string& text)> status;
};

class CRouteController : public IDownlinkSink {
public:
    // `map` carries the route's script calls to the map page.
    CRouteController(const CSettings& settings, IMapScript& map, CRouteHooks hooks);
    CRouteController(const CRouteController&) = delete;
    CRouteController& operator=(const CRouteController&) = delete;

    CSkyWay& route() { return m_route; }
    const CSkyWay& route() const { return m_route; }
    CRouteUpload& upload() { return m_upload; }

    // A new waypoint with the WayPoint defaults read now.
    CWayPoint newWayPoint() const;
    CWayPointDefaults wayPointDefaults() const;

    // delskyway, then setskyway for every waypoint.
    void redraw();

    // "加载航线(&L)" with the chosen path (nothing = cancelled): on failure "加载数据失败" and the
    // route is kept; in every case the route is redrawn and, when it has waypoints, the map is
    // fitted to the first (setpttomap). The saved flag is not touched. Returns whether a route
    // was loaded.
    bool loadCommand(const std::optional<std::string>& chosenPath);
    // "保存航线(&L)": success or a cancelled dialog sets the saved flag; a failed write shows
    // "Save Data Fault" and leaves it.
    bool saveCommand(const std::optional<std::string>& chosenPath);
    // "删除航线(&D)": empty route, redraw, saved flag set.
    void deleteCommand();

    // "上传航线(&U)" / "上传": starts the upload (a refusal is shown as a message).
    bool startUpload();
    // Timer 5; the status hook hears when an upload or a read-back is complete.
    void uploadTick(int storedWaypointCount);
    // Waypoint menu "上传": the waypoint's frame three times.
    void uploadSingleWaypoint(size_t index);
    // "验证航线(&R)": over the live link that is open, the serial link opened when none is.
    bool verifyCommand();
    // "擦除航线".
    void eraseMarksCommand() { m_upload.eraseMarks(); }

    // IDownlinkSink: the echo check.
    void onWaypointEcho(const SWaypointEcho& echo, EDownlinkLink link) override;

private:
    const CSettings& m_settings;
    CRouteHooks m_hooks;
    CSkyWay m_route;
    CMapScript m_script;
    CRouteUpload m_upload;
};

} // namespace orvex
