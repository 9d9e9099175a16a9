#include "map/MapAttach.h"

#include <QLabel>
#include <QString>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "mainframe/MainFrame.h"
#include "map/MapDlg.h"
#include "map/PositionPanel.h"
#include "route/RouteCommands.h"

namespace orvex {

CMapDlg* attachMap(CMainFrame& frame, CGroundStation& station, CCommandTable& commands,
                   const SRouteMapHooks& routeHooks)
{
    auto* map = new CMapDlg(station.route(), station.settings(),
                            QString::fromStdString(station.paths().executableDir()), &frame);
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
    hooks.toolModeChanged = [&station](int mode) { station.setMapToolMode(mode); };
    map->setHooks(hooks);

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
    // The aircraft marker for every record shown, live or replayed.
    QObject::connect(&frame, &CMainFrame::telemetryUpdated, map, [map](const QByteArray&, const SAircraftMarker& m) {
        map->showAircraft(m.latitude, m.longitude, m.altitudeM, m.targetWaypoint, m.headingDeg);
    });
    QObject::connect(&frame, &CMainFrame::undoRequested, map, [map] { map->undo(); });
    QObject::connect(&frame, &CMainFrame::redoRequested, map, [map] { map->redo(); });

    // Map tools: setfuncode codes (and the tool mode for the placemark and move-route tools).
    for (int id : {cmd::kToolRestore, cmd::kToolDragMap, cmd::kToolZoomIn, cmd::kToolZoomOut})
        commands.setHandler(id, [map] { map->selectTool(kMapToolRestore); });
    commands.setHandler(cmd::kToolMeasure, [map] { map->selectTool(kMapToolMeasure); });
    commands.setHandler(cmd::kToolPlanRoute, [map] { map->selectTool(kMapToolPlanRoute); });
    commands.setHandler(cmd::kToolPlaceMark, [map] { map->selectTool(kMapToolPlaceMark); });
    commands.setHandler(cmd::kMoveRoute, [map] { map->selectTool(kMapToolMoveRoute); });
    commands.setHandler(cmd::kLocateAircraft, [map] { map->locateAircraft(); });
    commands.setHandler(cmd::kAltitudeMode, [map] { map->script().setplanetrud(); });
    commands.setHandler(cmd::kRouteExtend, [map] { map->script().setplanetrud3d(); });
    commands.setHandler(cmd::kLookStraightDown, [map] { map->script().setV90(); });
    commands.setHandler(cmd::kLocationSearch, [map, &station] {
        station.setTextEntryMarker(CGroundStation::kMapToolTextEntry);
        map->positionSearch();
        station.setTextEntryMarker(0);
    });

    map->start();
    return map;
}

} // namespace orvex
