#include "app/map/MapAttach.h"

#include <algorithm>

#include <QLabel>
#include <QString>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/mainframe/MainFrame.h"
#include "app/map/HtmlCtrl.h"
#include "app/map/MapDlg.h"
#include "app/map/PositionPanel.h"
#include "app/map/TileDownload.h"
#include "app/map/TileService.h"
#include "app/route/RouteCommands.h"

namespace orvex {

CMapDlg* attachMap(CMainFrame& frame, CGroundStation& station, CCommandTable& commands,
                   const SRouteMapHooks& routeHooks)
{
    auto* map = new CMapDlg(station.route(), station.settings(),
                            QString::fromStdString(station.paths().programFilesDir()), &frame);
    CMainFrame* f = &frame;
    SMapDlgHooks hooks;
    hooks.setStatusText = [f](const QString& text) {
        if (QLabel* pane = f->statusPane(0))
            pane->setText(text);
    };
    hooks.setWindowTitle = [f](const QString& title) { f->setWindowTitle(title); };
    hooks.openRouteEditor = routeHooks.openRouteEditor;
    hooks.editWaypoint = routeHooks.editWaypoint;
    hooks.uploadWaypoint = routeHooks.uploadWaypoint;
    hooks.waypointUploadEnabled = [&commands] { return commands.isEnabled(cmd::kMapWaypointUpload); };
    // The tool goes back to "恢复" after a placemark: the checked tool follows.
    hooks.toolModeChanged = [&station, &commands](int mode) {
        station.setMapToolMode(mode);
        commands.updateActions();
    };
    map->setHooks(hooks);
    // The map's tiles come through the tile store in the home directory (before the page loads).
    const std::int64_t cacheMiB = std::max(1, station.settings().getInt(keys::kMapCacheMegabytes));
    CTileService* tiles = CTileService::install(map->browser()->page()->profile(),
                                                station.paths().homeDir() + "maps/", cacheMiB * 1024 * 1024);
    // A map file that cannot be read is named in the status bar; the map works without it.
    if (tiles && !tiles->store().messages().empty()) {
        std::string text;
        for (const std::string& m : tiles->store().messages())
            text += (text.empty() ? "" : "；") + m;
        frame.showStatus(text);
    }

    frame.setMapView(map);
    frame.setNavigationPanel(map->positionPanel());
    // Every script call of the program goes through the map's one routine. On close the frame
    // asks for the camera: the answer ("2001;") is awaited so that it is stored before the end.
    frame.setMapScriptCaller([map](const std::string& fn, const std::vector<std::string>& args) {
        if (fn == "getLookAt")
            map->saveCameraBeforeClose();
        else
            map->callScript(fn, args);
    });
    // The aircraft marker for the record drawn, live or replayed; the track gets every position.
    QObject::connect(&frame, &CMainFrame::telemetryUpdated, map, &CMapDlg::showTelemetry);
    QObject::connect(&frame, &CMainFrame::undoRequested, map, [map] { map->undo(); });
    QObject::connect(&frame, &CMainFrame::redoRequested, map, [map] { map->redo(); });
    // Every change of the route is one undo step: the route commands' changes ("删除航线", each
    // change accepted in the editor) and whatever another command did to it (a route loaded, the
    // first waypoint set circling by an upload). An unchanged route makes no step.
    if (auto* routeCommands = frame.findChild<CRouteCommands*>())
        QObject::connect(routeCommands, &CRouteCommands::routeChanged, map, [map] { map->handler().takeSnapshot(); });
    QObject::connect(&commands, &CCommandTable::commandExecuted, map, [map] { map->handler().takeSnapshot(); });

    // Map tools: setfuncode codes (and the tool mode for the placemark and move-route tools).
    for (int id : {cmd::kToolRestore, cmd::kToolDragMap, cmd::kToolZoomIn, cmd::kToolZoomOut})
        commands.setHandler(id, [map] { map->selectTool(kMapToolRestore); });
    commands.setHandler(cmd::kToolMeasure, [map] { map->selectTool(kMapToolMeasure); });
    commands.setHandler(cmd::kToolPlanRoute, [map] { map->selectTool(kMapToolPlanRoute); });
    commands.setHandler(cmd::kToolPlaceMark, [map] { map->selectTool(kMapToolPlaceMark); });
    commands.setHandler(cmd::kMoveRoute, [map] { map->selectTool(kMapToolMoveRoute); });
    commands.setHandler(cmd::kLocateAircraft, [map] { map->locateAircraft(); });
    commands.setHandler(cmd::kAltitudeMode, [map] { map->handler().toggleAltitudeMode(); });
    commands.setHandler(cmd::kRouteExtend, [map] { map->handler().toggleRouteExtension(); });
    // Which tool is on: checked in the menu, pressed on the toolbar.
    const struct {
        int id;
        int tool;
    } kTools[] = {{cmd::kToolMeasure, kMapToolMeasure},
                  {cmd::kToolPlanRoute, kMapToolPlanRoute},
                  {cmd::kToolPlaceMark, kMapToolPlaceMark},
                  {cmd::kMoveRoute, kMapToolMoveRoute}};
    for (const auto& t : kTools)
        commands.setCheckedRule(t.id, [map, tool = t.tool] { return map->handler().toolCode() == tool; });
    commands.setCheckedRule(cmd::kAltitudeMode, [map] { return map->handler().altitudeMode(); });
    commands.setCheckedRule(cmd::kRouteExtend, [map] { return map->handler().routeExtension(); });
    commands.setHandler(cmd::kLookStraightDown, [map] { map->script().setV90(); });
    commands.setHandler(cmd::kLocationSearch, [map, &station] {
        station.setTextEntryMarker(CGroundStation::kMapToolTextEntry);
        map->positionSearch();
        station.setTextEntryMarker(0);
    });

    commands.setHandler(cmd::kDownloadOfflineMap, [map] { downloadOfflineMap(*map); });

    map->start();
    return map;
}

} // namespace orvex
