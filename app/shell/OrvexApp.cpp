#include "app/shell/OrvexApp.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/shell/KeyboardFilter.h"
#include "app/shell/MessageBox.h"
#include "app/shell/TerminationWatcher.h"
#include "app/config/ConfigAttach.h"
#include "app/link/LinkController.h"
#include "app/mainframe/AboutDlg.h"
#include "app/mainframe/MainFrame.h"
#include "app/mainframe/Screenshots.h"
#include "app/mainframe/Splash.h"
#include "app/map/HtmlCtrl.h"
#include "net/HttpServer.h"
#include "app/map/MapAttach.h"
#include "app/map/MapDlg.h"
#include "app/map/PositionPanel.h"
#include "app/options/Options.h"
#include "app/panels/PanelAttach.h"
#include "app/route/RouteCommands.h"
#include "app/voice/VoiceService.h"

namespace orvex {

namespace {

// A stored rectangle smaller than this, or larger, is not a window the operator left behind.
constexpr int kMinPlacedSize = 200;
constexpr int kMaxPlacedSize = 20000;
constexpr int kMaxModalClosings = 32;
constexpr int kMapPageWaitMs = 30000;

// Before "--screenshot" takes its pictures: waits for the map page to report "1000;" (at most
// kMapPageWaitMs) and says on standard error which page it is and whether it came up.
void waitForMapPage(CMainFrame& frame)
{
    auto* map = qobject_cast<CMapDlg*>(frame.mapView());
    if (!map)
        return;
    if (!map->handler().pageReady()) {
        QEventLoop loop;
        QObject::connect(map, &CMapDlg::mapEventHandled, &loop, [&loop](const QString& text) {
            if (text.startsWith(QLatin1String("1000;")))
                loop.quit();
        });
        QTimer::singleShot(kMapPageWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::fprintf(stderr, "orvex-gcs: map page %s %s\n", qPrintable(map->browser()->url().toString()),
                 map->handler().pageReady() ? "ready" : "did not report ready");
}

} // namespace

COrvexApp::COrvexApp(SCommandLine commandLine, QObject* parent)
    : QObject(parent), m_commandLine(std::move(commandLine))
{
}

COrvexApp::~COrvexApp()
{
    if (qApp && m_keyboardFilter)
        qApp->removeEventFilter(m_keyboardFilter.get());
    delete m_frame.data();
}

int COrvexApp::run(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const SCommandLine cl = parseCommandLine(args);
    switch (cl.action) {
    case SCommandLine::EAction::EndAtOnce:
        return 0;
    case SCommandLine::EAction::Help:
        std::fputs(commandLineHelp().c_str(), stdout);
        return 0;
    case SCommandLine::EAction::Version:
        std::fputs(commandLineVersion().c_str(), stdout);
        return 0;
    case SCommandLine::EAction::Error:
        std::fprintf(stderr, "orvex-gcs: %s\n%s", cl.error.c_str(), commandLineHelp().c_str());
        return 2;
    case SCommandLine::EAction::Run:
        break;
    }
    for (const std::string& option : cl.ignored)
        std::fprintf(stderr, "orvex-gcs: unknown option %s ignored\n", option.c_str());
    QApplication qapp(argc, argv);
    // Qt takes the user's locale for everything; numbers in files and map calls keep the point.
    std::setlocale(LC_NUMERIC, "C");
    loadQtTranslations();
    QApplication::setApplicationName(QStringLiteral("orvex-gcs"));
    QGuiApplication::setDesktopFileName(QStringLiteral("orvex-gcs"));
    COrvexApp app(cl);
    if (!app.start())
        return 1;
    const int rc = QApplication::exec();
    app.shutdown();
    return rc;
}

bool COrvexApp::loadQtTranslations()
{
    // The interface is Chinese whatever the machine's locale: Qt's own buttons and dialogs too.
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool COrvexApp::start()
{
    // ---- phase 1: where the files are, the settings file, the shared state.
    const CAppPaths paths(m_commandLine.home);
    if (!paths.ensureHomeDir()) {
        std::fprintf(stderr, "orvex-gcs: cannot create the home directory %s\n", paths.homeDir().c_str());
        return false;
    }
    m_station = std::make_unique<CGroundStation>(paths);
    CGroundStation::SEndpoints& ends = m_station->endpoints();
    ends.udpLocalPort = m_commandLine.udpPort;
    ends.wifiRemotePort = m_commandLine.wifiPort;
    ends.httpPort = m_commandLine.httpPort;
    if (m_commandLine.connect == SCommandLine::EConnect::Serial)
        ends.serialPortOverride = m_commandLine.connectTarget;
    if (m_commandLine.connect == SCommandLine::EConnect::Wifi)
        ends.wifiAddressOverride = m_commandLine.connectTarget;
    m_commands = std::make_unique<CCommandTable>();
    installCommandRules();

    // ---- phase 2.
    m_keyboardFilter = std::make_unique<CKeyboardFilter>(*m_station, *m_commands);
    qApp->installEventFilter(m_keyboardFilter.get());
    m_terminationWatcher = std::make_unique<CTerminationWatcher>();
    connect(m_terminationWatcher.get(), &CTerminationWatcher::terminationRequested, this, [this] { terminate(); });

    if (m_commandLine.splash)
        showSplashAndWait();
    startHttpServer();

    m_frame = new CMainFrame(*m_station, *m_commands);
    m_keyboardFilter->setMainFrame(m_frame);
    installBuiltInCommands();
    attachSubsystems();
    startWifiTransport();
    placeWindow();
    m_frame->activateWindow();
    m_frame->raise();
    startVoice();
    m_station->loadStartupSettings();
    m_commands->updateActions();

    QTimer::singleShot(0, this, &COrvexApp::runCommandLineActions);
    // A termination signal during the splash picture ended only the splash's wait: the close
    // runs once the event loop does.
    if (m_terminationRequested)
        QTimer::singleShot(0, this, &COrvexApp::terminate);
    return true;
}

void COrvexApp::showSplashAndWait()
{
    CSplash splash;
    m_splash = &splash;
    m_keyboardFilter->setSplash(&splash);
    splash.show();
    m_splashShown = true;
    if (splash.isUp()) {
        QEventLoop loop;
        connect(&splash, &CSplash::dismissed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_keyboardFilter->setSplash(nullptr);
    m_splash = nullptr;
}

void COrvexApp::installCommandRules()
{
    CCommandTable& c = *m_commands;
    CGroundStation& s = *m_station;
    auto noLink = [&s] { return !s.serialOpen() && !s.wifiActive(); };
    c.setEnabledRule(cmd::kOpenSerial, noLink);
    c.setEnabledRule(cmd::kOpenWifi, noLink);
    c.setEnabledRule(cmd::kEditRoute, [&s] { return s.routeHasPoints(); });
    c.setEnabledRule(cmd::kUploadRoute, [&s] { return s.routeHasPoints(); });
    c.setEnabledRule(cmd::kMapWaypointUpload, [&s] { return s.serialOpen(); });
}

void COrvexApp::installBuiltInCommands()
{
    CCommandTable& c = *m_commands;
    CMainFrame* f = m_frame;
    c.setHandler(cmd::kFlightDataBar, [f] { f->toggleFlightDataBar(); });
    c.setCheckedRule(cmd::kFlightDataBar, [f] { return f->flightDataBarVisible(); });
    c.setHandler(cmd::kInstrumentBar, [f] { f->toggleInstrumentBar(); });
    c.setCheckedRule(cmd::kInstrumentBar, [f] { return f->instrumentBarVisible(); });
    c.setHandler(cmd::kNavigationBar, [f] { f->toggleNavigationBar(); });
    c.setCheckedRule(cmd::kNavigationBar, [f] { return f->navigationBarVisible(); });
    c.setHandler(cmd::kToolBar, [f] { f->toolBar()->setVisible(f->toolBar()->isHidden()); });
    c.setCheckedRule(cmd::kToolBar, [f] { return !f->toolBar()->isHidden(); });
    c.setHandler(cmd::kStatusBar, [f] { f->statusBar()->setVisible(f->statusBar()->isHidden()); });
    c.setCheckedRule(cmd::kStatusBar, [f] { return !f->statusBar()->isHidden(); });
    c.setHandler(cmd::kPlaybackBar, [f] { f->playbackBar()->setVisible(f->playbackBar()->isHidden()); });
    c.setCheckedRule(cmd::kPlaybackBar, [f] { return f->playbackBarVisible(); });
    c.setHandler(cmd::kAbout, [this] { showAbout(); });
    c.setHandler(cmd::kExit, [f] { f->close(); });
    c.setHandler(cmd::kOptions, [this] { openOptions(); });
}

void COrvexApp::showAbout()
{
    CAboutDlg dlg(m_frame, QString::fromStdString(m_station->paths().homeDir()));
    dlg.exec();
}

void COrvexApp::openOptions()
{
    COptions sheet(*m_station, systemSerialPorts, m_frame);
    sheet.exec();
}

// ------------------------------------------------------------------ subsystem start points

void COrvexApp::startHttpServer()
{
    // The built-in HTTP server: document root = program files directory + "html", default page
    // "lanterna.html", port --http-port (8001). A failure (the port taken, say) is told on standard
    // error and start-up continues: only the map page's HTTP copy is then unavailable.
    m_httpServer = std::make_unique<CHttpServer>(m_station->paths().programFilesDir() + "html");
    try {
        m_httpServer->start(static_cast<std::uint16_t>(m_station->endpoints().httpPort));
    } catch (const MySocketException& e) {
        std::fprintf(stderr, "orvex-gcs: HTTP server not started on port %d: %s\n",
                     m_station->endpoints().httpPort, e.errorText().c_str());
    }
}

void COrvexApp::attachSubsystems()
{
    // Each subsystem builds its windows and sets its command handlers here: route commands, the
    // map dialog (which takes the route's waypoint-menu hooks), the panels (which take the map's
    // click point), the configuration dialogs. Links and flight log start with the WiFi transport.
    // Route: load/save/delete/edit/upload/verify/erase commands; the map's waypoint menu takes
    // m_routeCommands->routeMapHooks().
    m_routeCommands = attachRoute(*m_station, *m_commands, *m_frame);
    // Map: the map dialog, the position panel, the map commands, the aircraft marker, undo/redo.
    QPointer<CMapDlg> map = attachMap(*m_frame, *m_station, *m_commands, m_routeCommands->routeMapHooks());
    // Panels: the fly-to buttons ("所点即所到", "云台锁定点") take the point picked on the map.
    attachPanels(*m_frame, *m_station, [map]() -> std::optional<SFlyToPoint> {
        if (!map)
            return std::nullopt;
        const auto& p = map->handler().clickPoint();
        return pickedPoint(p.lat, p.lon, p.alt);
    });
    // Configuration: the "飞控设置(&S)" calibration commands and the three configuration dialogs.
    attachConfiguration(*m_frame, *m_station, *m_commands);
}

void COrvexApp::startWifiTransport()
{
    // The WiFi transport (local UDP port station().endpoints().udpLocalPort, the module at
    // Settings/WifiAddress or the --connect address, port endpoints().wifiRemotePort) starts its
    // receiving thread here; the WiFi link flag stays false. Its stop goes to
    // mainFrame()->setWifiStopHook().
    // Links and flight log (commands 73, 32878, 32788, 74, the playback bar, the transports).
    m_links = std::make_unique<CLinkController>(*m_station, *m_commands, *m_frame);
    setReplayFileOpener([this](const std::string& path) { m_links->openReplayFile(QString::fromStdString(path)); });
    // Program end: the flight log is written and "PhotoData.txt" closed.
    addShutdownHook([this] { m_station->shutdownLinks(); });
    if (m_links && !m_links->startWifiTransport())
        std::fprintf(stderr, "orvex-gcs: UDP port %d is not available; running without the WiFi link\n",
                     m_station->endpoints().udpLocalPort);
}

void COrvexApp::startVoice()
{
    // The voice announcer is created and reads its Voice settings here. It hears every applied
    // record and is ticked by timer 3 through the ground station; without a speech engine or an
    // audio device it stays silent.
    new CVoiceService(*m_station, this);
}

// ------------------------------------------------------------------ placement

void COrvexApp::placeWindow()
{
    const SWindowPlacement placement =
        CGroundStation::placementFromPosition(m_station->settings().getBinary(keys::kPosition));
    switch (placement.kind) {
    case EWindowPlacement::Maximised:
        m_frame->showMaximized();
        return;
    case EWindowPlacement::Rectangle: {
        const long long width = static_cast<long long>(placement.right) - placement.left;
        const long long height = static_cast<long long>(placement.bottom) - placement.top;
        if (width >= kMinPlacedSize && height >= kMinPlacedSize && width <= kMaxPlacedSize &&
            height <= kMaxPlacedSize) {
            QRect rect(placement.left, placement.top, static_cast<int>(width), static_cast<int>(height));
            // A rectangle on no screen (a monitor since removed) is brought onto the primary one.
            if (!QGuiApplication::screenAt(rect.center())) {
                if (QScreen* screen = QGuiApplication::primaryScreen())
                    rect.moveTopLeft(screen->availableGeometry().topLeft());
            }
            m_frame->setGeometry(rect);
        }
        m_frame->showNormal();
        return;
    }
    case EWindowPlacement::Normal:
        m_frame->showNormal();
        return;
    }
}

void COrvexApp::runCommandLineActions()
{
    if (!m_frame)
        return;
    switch (m_commandLine.connect) {
    case SCommandLine::EConnect::Serial:
        m_commands->execute(cmd::kOpenSerial);
        break;
    case SCommandLine::EConnect::Wifi:
        m_commands->execute(cmd::kOpenWifi);
        break;
    case SCommandLine::EConnect::None:
        break;
    }
    if (!m_commandLine.replayFile.empty() && m_replayOpener)
        m_replayOpener(m_commandLine.replayFile);
    if (!m_commandLine.screenshotDir.empty()) {
        waitForMapPage(*m_frame);
        const int saved = saveScreenshots(*m_frame, *m_station, QString::fromStdString(m_commandLine.screenshotDir));
        std::fprintf(stderr, "orvex-gcs: %d pictures saved in %s\n", saved, m_commandLine.screenshotDir.c_str());
        terminate();
    }
}

// ------------------------------------------------------------------ end

void COrvexApp::terminate()
{
    m_terminationRequested = true;
    // During start-up the splash picture's wait ends first; start() then schedules the close.
    if (m_splash) {
        m_splash->dismiss();
        return;
    }
    // Dialogs first (their nested event loops return), then the quiet close sequence.
    for (int i = 0; i < kMaxModalClosings; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        modal->close();
        if (modal->isVisible())
            modal->hide();
    }
    QTimer::singleShot(0, this, [this] {
        if (m_frame && !m_frame->closed())
            m_frame->closeWithoutQuestions();
        QCoreApplication::quit();
    });
}

void COrvexApp::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    for (const auto& hook : m_shutdownHooks)
        hook();
    if (m_httpServer)
        m_httpServer->stop();
}

} // namespace orvex
