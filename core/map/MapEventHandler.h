#pragma once
// What the ground station does with the map page's events, the placemark store, the search
// history, the click point, the route's undo/redo history and the position panel's actions.
// The windows behind it (status bar, dialogs, menus, the panel) are reached through IMapUi,
// the settings file through CSettings and the page through CMapScript.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "map/MapEvent.h"
#include "map/MapScript.h"
#include "base/Settings.h"
#include "route/RouteHistory.h"
#include "route/SkyWay.h"


namespace orvex {

enum class EMapNameDialog { PlaceMark, Search }; // captions "标注" and "位置搜索"
enum class EWaypointMenuChoice { None, Upload, Delete, Edit }; // "上传", "删除", "编辑"
enum class EPlaceMarkMenuChoice { None, Delete, Edit };        // "删除", "编辑"

class IMapUi {
public:
    virtual ~IMapUi() = default;
    // First pane of the status bar.
    virtual void setStatusText(const std::string& text) = 0;
    virtual void showMessage(const std::string& text) = 0;
    // The name dialog; nothing when cancelled. The text is returned as typed.
    virtual std::optional<std::string> askName(EMapNameDialog mode, const std::string& initial) = 0;
    // The route editor with `row` (0-based) selected.
    virtual void openRouteEditor(int row) = 0;
    virtual EWaypointMenuChoice waypointMenu(int x, int y) = 0;
    virtual EPlaceMarkMenuChoice placeMarkMenu(int x, int y) = 0;
    // The edit-waypoint dialog for `index`; true on OK (the waypoint was changed).
    virtual bool editWaypoint(int index) = 0;
    virtual void uploadWaypoint(int index) = 0;
    // "7001;": switch to the offline page one second later (once).
    virtual void requestOfflinePage() = 0;
    // The placemark list or the search history changed: the position panel rebuilds its roots.
    virtual void placeMarksChanged() = 0;
    virtual void historyChanged() = 0;
};

struct SMapClickPoint {
    float lat = 0;
    float lon = 0;
    float alt = 0;
};

class CMapEventHandler {
public:
    // Tool modes kept by the application.
    static constexpr int kToolModePlaceMark = 3;
    static constexpr int kToolModeMoveRoute = 7;
    static constexpr int kToolModeNameDialog = 100;
    // "1010;" indexes above this are not waypoints anyone planned: the record is ignored.
    static constexpr int kMaxInsertIndex = 10000;

    CMapEventHandler(CSkyWay& route, IMapScript& script, CSettings& settings, IMapUi& ui);

    // Every change of the tool mode is also handed to this sink (the application's own copy,
    // read by the keyboard rules).
    void setToolModeSink(std::function<void(int)> sink) { m_toolModeSink = std::move(sink); }

    // Reads "AddressName" into the search history (start-up).
    void loadHistory();
    // One event text as the page sent it (already percent-decoded, without "app:").
    void handle(std::string_view text);

    bool pageReady() const { return m_pageReady; }
    bool offline() const { return m_offline; }
    void setOffline() { m_offline = true; }
    int toolMode() const { return m_toolMode; }
    const SMapClickPoint& clickPoint() const { return m_clickPoint; }

    // Map tools of the toolbar: setfuncode and the tool mode. The tool the page was last given
    // (0 after a placemark was added) and the two toggles are what the menus show checked.
    void selectTool(int toolCode);
    int toolCode() const { return m_toolCode; }
    // "高度模式" and "航线延伸": the page's toggles.
    void toggleAltitudeMode();
    void toggleRouteExtension();
    bool altitudeMode() const { return m_altitudeMode; }
    bool routeExtension() const { return m_routeExtension; }

    // Undo/redo (Ctrl+Z / Ctrl+Y) and the route redraw. Every change of the route is one undo
    // step: the map's own edits record themselves; whoever else changes the route calls
    // takeSnapshot() after the change.
    void undo();
    void redo();
    void takeSnapshot();
    void redrawRoute();
    CRouteHistory& history() { return m_history; }

    // Position search ("位置搜索(&G)") with the text as typed. Offline, a history entry of that
    // name, else typed "lat,lon", goes there; anything else says "未找到：..." in the status bar.
    void search(std::string_view typed);
    static std::optional<std::pair<double, double>> parseLatLon(std::string_view text);

    // The position panel. Placemarks are indexed in panel order, history entries as stored
    // (deleted ones stay as "***,0,0," so that the indexes of the others do not move).
    const std::vector<std::string>& placeMarks() const { return m_placeMarks; }
    const std::vector<std::string>& addressNames() const { return m_addressNames; }
    static std::string placeMarkName(std::string_view record);
    static std::string historyName(std::string_view entry);
    static bool historyEntryLive(std::string_view entry);
    void activateAircraft();
    void activateRoute();
    void activateDefaultView();
    void activatePlaceMark(int index);
    void activateHistory(int index);
    void deletePlaceMark(int index);
    void deleteHistory(int index);

    // Texts of the status bar and the measuring message box.
    static std::string mouseText(float lat, float lon, float alt);

    static constexpr std::string_view kNameSeparator = "```";
    static constexpr std::string_view kDeletedEntry = "***,0,0,";

private:
    void onPageLoaded();
    void onAppend(std::string_view payload);
    void onWaypointMoved(std::string_view payload);
    void onInsert(std::string_view payload);
    void onPlaceMarkClick(std::string_view text);
    void onMouse(std::string_view payload);
    void onMeasureMove(std::string_view payload);
    void onMeasureDone(std::string_view payload);
    void onPlanMove(std::string_view payload);
    void onWaypointMenu(std::string_view payload);
    void onPlaceMarkMenu(std::string_view payload);
    void onSearchResult(std::string_view payload);

    int defaultAltitude() const;
    // updatewaypoint with what the route holds for `index`.
    void showWaypoint(size_t index);
    void setToolMode(int mode);
    void loadPlaceMarks();
    void savePlaceMarks();
    void saveHistory();
    void addPlaceMarkToMap(std::string_view record);
    int findPlaceMarkByReportedName(std::string_view reported) const;
    static std::string cleanName(std::string_view typed);
    SMapClickPoint readPoint(CMapFieldReader& reader);

    CSkyWay& m_route;
    CMapScript m_script;
    CSettings& m_settings;
    IMapUi& m_ui;
    std::function<void(int)> m_toolModeSink;
    CRouteHistory m_history;

    bool m_pageReady = false;
    bool m_offline = false;
    bool m_placeMarksLoaded = false;
    int m_toolMode = 0;
    int m_toolCode = kMapToolRestore;
    bool m_altitudeMode = false;
    bool m_routeExtension = false;
    SMapClickPoint m_clickPoint;
    std::vector<std::string> m_placeMarks;
    std::vector<std::string> m_addressNames;
};

} // namespace orvex
