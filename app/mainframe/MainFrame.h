#pragma once
// CMainFrame: the ground station's one top-level window.
//
// Layout: menu bar and toolbar at the top, the playback bar (hidden until a flight log is replayed)
// in a second toolbar row, the map in the centre, the instrument bar docked at the right (visible),
// the flight data bar at the bottom (hidden; tabs "飞行数据" and "其他数据"), the navigation bar at
// the left (hidden) and the status bar ("就绪", "大写", "数字", "滚动").
//
// HOW OTHER SUBSYSTEMS ATTACH (do it in COrvexApp::attachSubsystems(), app/shell/OrvexApp.cpp):
//   - the map dialog:        frame.setMapView(mapDlg)              (central widget; owned by the frame)
//   - the flight control panel: frame.setInstrumentPanel(panel)    (instrument bar, right)
//   - the flight data pages: frame.setFlightDataPage(0, page101)    ("飞行数据")
//                            frame.setFlightDataPage(1, page174)    ("其他数据")
//   - the position tree:     frame.setNavigationPanel(treeDlg)     (navigation bar, left)
//   - the target-waypoint box of the flight control panel (Alt puts the focus there):
//                            frame.setTargetWaypointBox(edit)
//   - map script calls made by the core (getLookAt on close, setPic for a photo mark ...):
//                            frame.setMapScriptCaller([&](fn, args) { mapDlg->callScript(fn, args); })
//   - what is drawn of the telemetry, live or replayed: connect to telemetryUpdated(record, marker,
//     track). The record is the 99-byte telemetry record; the marker holds latitude, longitude, the
//     altitude with the AltitudeGPS correction, the target waypoint and the heading in degrees.
//     Every record is applied by CGroundStation as it comes; drawing follows at display rate: a
//     record drawn at most kDrawIntervalMs after the last draw goes at once, later ones within
//     that time wait for its end and only the newest of them is drawn. `track` holds the markers
//     of every record since the last draw, oldest first, the drawn one last.
//   - replay: replaySpeedChanged(intervalMs) after the speed slider moved (CGroundStation holds the
//     new interval already), replaySeekRequested(position 0..32767) after the progress slider moved;
//     speedSlider()/progressSlider()/replayClock()/playbackBar() to enable, range, label and show them.
//   - undo/redo of route edits (Ctrl+Z / Ctrl+Y anywhere): connect to undoRequested()/redoRequested().
//   - close sequence step 5 (stop the WiFi transport and wait for its thread): setWifiStopHook(fn).
//   - commands: CCommandTable (app/shell/Commands.h); the menus and the toolbar show its actions.
// The timers 3, 4, 5 and 8 call CGroundStation::voiceTick/flushTick/uploadTick/heartbeatTick;
// subsystems hook into those ticks on the CGroundStation side.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "station/GroundStation.h"

class QDockWidget;
class QLabel;
class QSlider;
class QTabWidget;
class QToolBar;

namespace orvex {

class CCommandTable;

class CMainFrame : public QMainWindow, public IGroundStationUi {
    Q_OBJECT
public:
    static constexpr int kVoiceTimerMs = 1000;     // timer 3
    static constexpr int kFlushTimerMs = 5000;     // timer 4
    static constexpr int kUploadTimerMs = 600;     // timer 5
    static constexpr int kHeartbeatTimerMs = 1000; // timer 8
    static constexpr int kDrawIntervalMs = 100;    // telemetry drawn at most this often
    static constexpr int kSpeedMin = 0;
    static constexpr int kSpeedMax = 32;
    static constexpr int kSpeedStart = 16;
    static constexpr int kProgressMax = 32767;
    // Bar layout arguments.
    static constexpr int kHide = 0;
    static constexpr int kShow = 1;
    static constexpr int kLeave = 2;

    CMainFrame(CGroundStation& station, CCommandTable& commands, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // ---- attachment points (see the header comment)
    void setMapView(QWidget* view);
    QWidget* mapView() const { return m_mapView; }
    void setInstrumentPanel(QWidget* panel);
    void setFlightDataPage(int index, QWidget* page);
    QWidget* flightDataPage(int index) const;
    void setNavigationPanel(QWidget* panel);
    void setTargetWaypointBox(QWidget* box) { m_targetWaypointBox = box; }
    QWidget* targetWaypointBox() const { return m_targetWaypointBox; }
    using MapScriptCaller = std::function<void(const std::string&, const std::vector<std::string>&)>;
    void setMapScriptCaller(MapScriptCaller caller) { m_mapScriptCaller = std::move(caller); }
    void setWifiStopHook(std::function<void()> hook) { m_wifiStopHook = std::move(hook); }

    QDockWidget* instrumentBar() const { return m_instrumentBar; }
    QDockWidget* flightDataBar() const { return m_flightDataBar; }
    QDockWidget* navigationBar() const { return m_navigationBar; }
    class CPlotBar* plotBar() const { return m_plotBar; }
    QTabWidget* flightDataTabs() const { return m_flightDataTabs; }
    QToolBar* toolBar() const { return m_toolBar; }
    QToolBar* playbackBar() const { return m_playbackBar; }
    QSlider* speedSlider() const { return m_speedSlider; }
    QSlider* progressSlider() const { return m_progressSlider; }
    // Beside the progress slider: the replayed record's time of day, elapsed / total.
    QLabel* replayClock() const { return m_replayClock; }
    QLabel* routePane() const { return m_routePane; }
    // The route pane of the status bar from the route as it is now (also run once a second).
    void updateRoutePane();
    QLabel* statusPane(int index) const;

    // The bar layout operation: each argument kShow, kHide or kLeave.
    void barLayout(int flightData, int navigation, int instrument);
    // The show/hide commands (menu and Tab).
    void toggleFlightDataBar();
    void toggleInstrumentBar();
    void toggleNavigationBar();
    bool flightDataBarVisible() const;
    bool instrumentBarVisible() const;
    bool navigationBarVisible() const;
    bool playbackBarVisible() const;

    // Lock-key indicators of the status bar.
    void setLockKeyState(bool caps, bool num, bool scroll);

    // Closes as the close sequence does but without its question (termination signals).
    void closeWithoutQuestions();
    // Set once the close sequence has finished and the window is going away.
    bool closed() const { return m_closed; }

    // ---- IGroundStationUi
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) override;
    void telemetryNotify(std::span<const std::uint8_t> record, const SAircraftMarker& marker) override;
    void callMapScript(const std::string& function, const std::vector<std::string>& args) override;
    // A temporary message over "就绪" in the status bar.
    void showStatus(const std::string& text) override;
    // Opened without blocking, so the telemetry goes on while the operator reads it.
    void openDownlinkBox(const std::string& text, bool question, std::function<void(bool)> closed) override;
    // Emitted as telemetryStaleChanged for the panels.
    void showTelemetryStale(bool stale) override
    {
        drawTelemetry();
        emit telemetryStaleChanged(stale);
    }
    // Draws the records that wait for the display now (nothing when none waits).
    void drawTelemetry();
    // Emitted as linkHealthChanged.
    void showLinkHealth(const std::string& outage, bool lost, const std::string& rate) override
    {
        emit linkHealthChanged(QString::fromStdString(outage), lost, QString::fromStdString(rate));
    }

signals:
    // The panels and instruments show their last values greyed (true) or live again (false).
    void telemetryStaleChanged(bool stale);
    // The link panes (the link controller shows them).
    void linkHealthChanged(const QString& outage, bool lost, const QString& rate);
    void telemetryUpdated(const QByteArray& record, const orvex::SAircraftMarker& marker,
                          const QList<orvex::SAircraftMarker>& track);
    void replaySpeedChanged(int intervalMs);
    void replaySeekRequested(int position);
    void undoRequested();
    void redoRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Activation gives the keyboard focus to the map (its first control that takes the focus).
    bool event(QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildPlaybackBar();
    void buildStatusBar();
    void buildDockBars();
    void startTimers();
    void onSpeedAction(int action);
    void onProgressAction(int action);
    void writePositionMarker();

    CGroundStation& m_station;
    CCommandTable& m_commands;

    QToolBar* m_toolBar = nullptr;
    QToolBar* m_playbackBar = nullptr;
    QSlider* m_speedSlider = nullptr;
    QSlider* m_progressSlider = nullptr;
    QLabel* m_replayClock = nullptr;
    QLabel* m_routePane = nullptr;
    double m_cruiseSpeedMps = 10;
    QDockWidget* m_instrumentBar = nullptr;
    QDockWidget* m_flightDataBar = nullptr;
    QDockWidget* m_navigationBar = nullptr;
    class CPlotBar* m_plotBar = nullptr; // "数据曲线"
    QTabWidget* m_flightDataTabs = nullptr;
    QWidget* m_mapView = nullptr;
    QPointer<QWidget> m_targetWaypointBox;
    QLabel* m_statusPanes[4] = {};

    QTimer m_voiceTimer;     // 3
    QTimer m_flushTimer;     // 4
    QTimer m_uploadTimer;    // 5
    QTimer m_heartbeatTimer; // 8
    QTimer m_updateTimer;    // command enable/check rules
    // Telemetry waiting for the display: the newest record and the track since the last draw.
    QTimer m_drawTimer;
    QElapsedTimer m_sinceDraw;
    QByteArray m_drawRecord;
    SAircraftMarker m_drawMarker;
    QList<SAircraftMarker> m_drawTrack;

    MapScriptCaller m_mapScriptCaller;
    std::function<void()> m_wifiStopHook;
    bool m_skipQuestions = false;
    bool m_closed = false;
};

} // namespace orvex

Q_DECLARE_METATYPE(orvex::SAircraftMarker)
