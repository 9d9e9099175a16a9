#pragma once
// COrvexApp: the application object of the desktop program. It owns the shared state
// (CGroundStation), the command table and the main frame, runs the start-up phases, routes the
// commands, installs the keyboard pre-filter, turns SIGTERM/SIGINT into a quiet close and runs the
// shutdown steps.
//
// Start-up (start()):
//   phase 1  home directory and Korva.ini (CGroundStation), command rules
//   phase 2  splash picture (unless --no-splash; creation waits for it) -> HTTP server start
//            (startHttpServer) -> CMainFrame -> attachSubsystems() -> WiFi transport start
//            (startWifiTransport) -> window placement from Options/Position -> voice announcer
//            (startVoice) -> WayPoint/FenPin, WayPoint/AltitudeGPS, Options/AddressName ->
//            the command line's --connect / --replay once the event loop runs.
//
// HOW OTHER SUBSYSTEMS ATTACH: add one call in the matching function of OrvexApp.cpp
// (attachSubsystems(), startHttpServer(), startWifiTransport(), startVoice()); inside, use
//   station()        the shared state: settings, link flags, uplink router, downlink sinks, ticks
//   commands()       setHandler / setEnabledRule / setCheckedRule for the command ids of Commands.h
//   mainFrame()      the attachment points listed in mainframe/MainFrame.h
//   addShutdownHook  work after the main window has closed (close PhotoData.txt ...)
//   setReplayFileOpener  how --replay FILE opens a flight log
// Objects a subsystem creates there can be parented to mainFrame() or kept by COrvexApp in the
// subsystem section of this header.

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/shell/CommandLine.h"
#include "app/mainframe/MainFrame.h"
#include "app/mainframe/Splash.h"

namespace orvex {

class CCommandTable;
class CGroundStation;
class CKeyboardFilter;
class CTerminationWatcher;

class COrvexApp : public QObject {
    Q_OBJECT
public:
    explicit COrvexApp(SCommandLine commandLine, QObject* parent = nullptr);
    ~COrvexApp() override;

    // The whole program (after orvexPreApplicationSetup()): command line, QApplication, start-up,
    // event loop, shutdown. Returns the exit code.
    static int run(int argc, char** argv);
    // Qt's Chinese texts for its standard buttons and dialogs (是/否, 打开, 另存为, 取消), from
    // Debian's qt6-translations-l10n. False when they are not installed (Qt's English then).
    static bool loadQtTranslations();

    // Phases 1 and 2. Returns false when start-up failed (the program then ends).
    bool start();
    // The shutdown steps after the main window has closed.
    void shutdown();
    // SIGTERM/SIGINT: closes open dialogs, then runs the close sequence without its questions.
    void terminate();

    CGroundStation& station() { return *m_station; }
    CCommandTable& commands() { return *m_commands; }
    CMainFrame* mainFrame() const { return m_frame; }
    const SCommandLine& commandLine() const { return m_commandLine; }
    CKeyboardFilter* keyboardFilter() const { return m_keyboardFilter.get(); }
    // Whether the splash picture was shown during this start.
    bool splashShown() const { return m_splashShown; }

    void addShutdownHook(std::function<void()> hook) { m_shutdownHooks.push_back(std::move(hook)); }
    void setReplayFileOpener(std::function<void(const std::string&)> opener) { m_replayOpener = std::move(opener); }

    // Built-in commands.
    void showAbout();
    void openOptions();

    // ================================================================ subsystem objects
    // (engineers: objects owned by the application go here)
    // Links and flight log: the serial and WiFi transports, link commands, replay timer.
    std::unique_ptr<class CLinkController> m_links;
    // Route commands and dialogs (owned by the main frame); routeMapHooks() for the map dialog.
    class CRouteCommands* m_routeCommands = nullptr;
    // The built-in HTTP server that serves the html folder beside the program.
    std::unique_ptr<class CHttpServer> m_httpServer;

private:
    void installCommandRules();
    void installBuiltInCommands();
    void showSplashAndWait();
    void startHttpServer();
    void attachSubsystems();
    void startWifiTransport();
    void startVoice();
    void placeWindow();
    void runCommandLineActions();

    SCommandLine m_commandLine;
    std::unique_ptr<CGroundStation> m_station;
    std::unique_ptr<CCommandTable> m_commands;
    QPointer<CMainFrame> m_frame;
    std::unique_ptr<CKeyboardFilter> m_keyboardFilter;
    std::unique_ptr<CTerminationWatcher> m_terminationWatcher;
    std::vector<std::function<void()>> m_shutdownHooks;
    std::function<void(const std::string&)> m_replayOpener;
    bool m_splashShown = false;
    bool m_shutDown = false;
    bool m_terminationRequested = false;
    QPointer<CSplash> m_splash;
};

} // namespace orvex
