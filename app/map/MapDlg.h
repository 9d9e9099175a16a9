#pragma once
// CMapDlg: the map in the main window's client area. It hosts the browser (CHtmlCtrl), makes
// every script call of the program (one routine: nothing until the page reported "1000;", the
// function looked up by name, string arguments in order, failures silent), runs the map event
// handler on the page's events, shows the windows the handler asks for (status text, menus,
// the name dialog, the measuring message box) and switches to the offline page on "7001;".
//
// What it needs from the rest of the program comes through SMapDlgHooks (all optional).

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

#include "station/GroundStation.h"
#include "map/MapEventHandler.h"

namespace orvex {

class CHtmlCtrl;
class CPositionPanel;

struct SMapDlgHooks {
    std::function<void(const QString&)> setStatusText;  // first status-bar pane
    std::function<void(const QString&)> setWindowTitle; // the main window's title (offline switch)
    std::function<void(int)> openRouteEditor;            // "1003;" with the row to select
    std::function<bool(int)> editWaypoint;               // waypoint menu "编辑": true on OK
    std::function<void(int)> uploadWaypoint;             // waypoint menu "上传"
    std::function<bool()> waypointUploadEnabled;         // whether "上传" is enabled (else it is)
    std::function<void(int)> toolModeChanged;            // the application's tool mode
};

class CMapDlg : public QWidget, public IMapScript, public IMapUi {
    Q_OBJECT
public:
    static constexpr int kOfflineDelayMs = 1000;
    static inline const QString kOfflineTitle = QStringLiteral("Orvex 地面站-[离线模式] ");

    // `programDir` holds html/earth.htm and OffLine/earth.htm.
    CMapDlg(CSkyWay& route, CSettings& settings, const QString& programDir, QWidget* parent = nullptr);
    ~CMapDlg() override;

    void setHooks(SMapDlgHooks hooks);
    // Loads html/earth.htm (`pageQuery`, e.g. "tiles=...", is appended as the address's query).
    void start(const QString& pageQuery = {});

    CHtmlCtrl* browser() const { return m_browser; }
    CMapEventHandler& handler() { return *m_handler; }
    CMapScript& script() { return m_script; }
    bool offline() const { return m_handler->offline(); }
    // The position panel for the navigation bar (made with the dialog, owned by whoever shows it).
    CPositionPanel* positionPanel() const { return m_panel; }

    // IMapScript: the one script-call routine.
    void call(const std::string& fn, const std::vector<std::string>& args) override;
    void callScript(const std::string& fn, const std::vector<std::string>& args) { call(fn, args); }

    // Commands of the map.
    void selectTool(int toolCode) { m_handler->selectTool(toolCode); }
    void undo() { m_handler->undo(); }
    void redo() { m_handler->redo(); }
    void locateAircraft() { m_script.setplanetomap(); }
    // "位置搜索(&G)": the name dialog in search mode, then the search.
    void positionSearch();
    // The aircraft marker for the newest record drawn (`marker`), every position of `track` (the
    // records since the last draw, oldest first, `marker` last) added to the track: one script
    // call. Connected to CMainFrame::telemetryUpdated.
    void showTelemetry(const QByteArray& record, const SAircraftMarker& marker, const QList<SAircraftMarker>& track);
    // Asks the page for its camera ("2001;") and waits for the answer up to `timeoutMs`.
    void saveCameraBeforeClose(int timeoutMs = 1000);
    // Switches to the offline page now (once).
    void switchToOffline();

    // IMapUi
    void setStatusText(const std::string& text) override;
    void showMessage(const std::string& text) override;
    std::optional<std::string> askName(EMapNameDialog mode, const std::string& initial) override;
    void openRouteEditor(int row) override;
    EWaypointMenuChoice waypointMenu(int x, int y) override;
    EPlaceMarkMenuChoice placeMarkMenu(int x, int y) override;
    bool editWaypoint(int index) override;
    void uploadWaypoint(int index) override;
    void requestOfflinePage() override;
    void placeMarksChanged() override;
    void historyChanged() override;

    // The JavaScript of one script call (exposed for tests).
    static QString scriptFor(const std::string& fn, const std::vector<std::string>& args);

signals:
    // Every event text, after it was handled.
    void mapEventHandled(const QString& text);
    void offlineSwitched();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void onMapEvent(const QString& text);
    QString pageQueryWithStore(const QString& query) const;
    void handleNow(const QString& text);
    void restoreCamera();
    // The chosen item (1-based) or 0; `disabled` lists items shown but not choosable.
    int popup(const QStringList& items, int x, int y, const QStringList& disabled = {});

    CSettings& m_settings;
    QString m_programDir;
    CHtmlCtrl* m_browser;
    std::unique_ptr<CMapEventHandler> m_handler;
    CMapScript m_script;
    QPointer<CPositionPanel> m_panel;
    SMapDlgHooks m_hooks;
    bool m_offlineScheduled = false;
    bool m_cameraRestored = false;
    bool m_cameraRestorePending = false;
};

} // namespace orvex
