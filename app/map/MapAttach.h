#pragma once
// Puts the map into the main window: the map dialog as the central widget, the position panel
// in the navigation bar, the map commands of the toolbar and menus, the program's script calls,
// the aircraft marker for every telemetry record shown, undo/redo (Ctrl+Z / Ctrl+Y) and the
// application's tool mode. Called once from COrvexApp::attachSubsystems().

namespace orvex {

class CCommandTable;
class CGroundStation;
class CMainFrame;
class CMapDlg;
struct SRouteMapHooks;

CMapDlg* attachMap(CMainFrame& frame, CGroundStation& station, CCommandTable& commands,
                   const SRouteMapHooks& routeHooks);

} // namespace orvex
