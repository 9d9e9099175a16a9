#pragma once
// The route commands of the desktop program on the current route of CGroundStation:
//   "加载航线(&L)", "保存航线(&L)", "删除航线(&D)"  with their file dialogs,
//   "编辑航线(&E)"                                   the route editor (CSkyWayEditDlg),
//   "上传航线(&U)", "验证航线(&R)", "擦除航线"        upload, read-back, marks cleared,
//   the map's waypoint menu "上传" and "编辑"         (routeMapHooks()).
// The upload step runs on timer 5 through CGroundStation::uploadTick(); the "$SETD" echoes reach
// the route controller as a downlink sink of CGroundStation.
//
// attachRoute() sets the command handlers once the main frame exists (COrvexApp::attachSubsystems).
// Whoever builds the map dialog copies routeMapHooks() into its SMapDlgHooks:
//     hooks.openRouteEditor = r.openRouteEditor; hooks.editWaypoint = r.editWaypoint;
//     hooks.uploadWaypoint = r.uploadWaypoint;
//
// Tests answer the file dialogs with setLoadChooser/setSaveChooser and run the modal dialogs
// through setDialogRunner.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace orvex {

class CCommandTable;
class CGroundStation;
class CMainFrame;

// What the map dialog's waypoint menu and its "1003;" event call.
struct SRouteMapHooks {
    std::function<void(int row)> openRouteEditor; // the row selected first (0-based)
    std::function<bool(int)> editWaypoint; // true on OK: the caller updates the point on the map
    std::function<void(int)> uploadWaypoint;
};

class CRouteCommands : public QObject {
    Q_OBJECT
public:
    // A file dialog: the chosen path, or nothing when cancelled.
    using FileChooser = std::function<std::optional<QString>(QWidget* parent)>;
    // Runs a modal dialog and returns its result (exec() unless a test sets another).
    using DialogRunner = std::function<int(QDialog&)>;

    CRouteCommands(CGroundStation& station, QWidget* window, QObject* parent = nullptr);

    // The program's own file dialogs, opened in `folder`. The commands open them in the route
    // folder (routes/ in the home directory, or the folder a route was last loaded from or saved
    // to) and remember the folder of the file chosen.
    static std::optional<QString> chooseRouteToLoad(QWidget* parent, const QString& folder = {});
    static std::optional<QString> chooseRouteToSave(QWidget* parent, const QString& folder = {});

    void setLoadChooser(FileChooser chooser) { m_loadChooser = std::move(chooser); }
    void setSaveChooser(FileChooser chooser) { m_saveChooser = std::move(chooser); }
    void setDialogRunner(DialogRunner runner) { m_dialogRunner = std::move(runner); }

    // "加载航线(&L)" / "加载": true when a route was loaded.
    bool loadRoute(QWidget* parent = nullptr);
    // "保存航线(&L)" / "保存": true when the route was written.
    bool saveRoute(QWidget* parent = nullptr);
    // "删除航线(&D)".
    void deleteRoute();
    // "编辑航线(&E)", the map's "1003;" (with the double-clicked waypoint's row) and the "No" of the
    // close question: clears the route-saved flag, runs the editor and redraws the route when it
    // has closed. Undo and redo while it is open show the replaced route in it.
    void editRoute(int row = 0);
    // "上传航线(&U)" / "上传".
    bool uploadRoute();
    // "验证航线(&R)".
    bool verifyRoute();
    // "擦除航线".
    void eraseMarks();
    // The waypoint menu's "上传" (after "上传航点 N 到飞控？", No by default) and "编辑" (0-based
    // index).
    void uploadWaypoint(int index);
    bool editWaypoint(int index);

    SRouteMapHooks routeMapHooks();

signals:
    // The route was changed by "删除航线" or in the route editor: one undo step each. Also sent
    // before them, so that an earlier change nobody recorded is a step of its own.
    void routeChanged();

private:
    int runDialog(QDialog& dialog);
    QString routeFolder() const;

    CGroundStation& m_station;
    QWidget* m_window;
    FileChooser m_loadChooser;
    FileChooser m_saveChooser;
    DialogRunner m_dialogRunner;
    bool m_editorOpen = false;
};

// Creates the route commands (owned by the frame), sets the handlers of the route command ids and
// the serial opener of "验证航线(&R)". Returns the object for the map's hooks.
CRouteCommands* attachRoute(CGroundStation& station, CCommandTable& commands, CMainFrame& frame);

} // namespace orvex
