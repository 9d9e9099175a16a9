#include "app/mainframe/MainFrame.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

#include "route/SurveyPlan.h"
#include "app/shell/Commands.h"
#include "app/shell/MessageBox.h"
#include "app/mainframe/Artwork.h"
#include "app/mainframe/ProgressSlider.h"
#include "app/plots/PlotBar.h"

namespace orvex {

namespace {

constexpr int kUpdateRulesMs = 250;
constexpr int kInstrumentBarWidth = 300;
constexpr int kNavigationBarWidth = 220;
constexpr int kFlightDataBarHeight = 190;
constexpr int kStatusWordMs = 15000; // how long a word on the status line stays

const char* const kLiveLinkExitQuestion = "正在与飞机连接，确定要退出吗？"; // asked first, No by default
const char* const kUnsavedRouteQuestion = "航线未保存,确定要退出吗？";
const char* const kUnsavedRouteCaption = "提示";

QWidget* placeholder(const QString& name)
{
    auto* w = new QWidget;
    w->setObjectName(name);
    return w;
}

// A dock bar without title or float/close buttons: shown and hidden by the frame's commands.
QDockWidget* makeBar(const QString& title, const QString& objectName, QWidget* parent)
{
    auto* dock = new QDockWidget(title, parent);
    dock->setObjectName(objectName);
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    auto* noTitle = new QWidget(dock);
    noTitle->setFixedHeight(0);
    dock->setTitleBarWidget(noTitle);
    return dock;
}

} // namespace

CMainFrame::CMainFrame(CGroundStation& station, CCommandTable& commands, QWidget* parent)
    : QMainWindow(parent), m_station(station), m_commands(commands)
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(programTitle());
    setWindowIcon(programIcon());
    setDockOptions(QMainWindow::AnimatedDocks);
    resize(1280, 800);

    auto* emptyMap = placeholder(QStringLiteral("mapPlaceholder"));
    emptyMap->setAutoFillBackground(true);
    QPalette pal = emptyMap->palette();
    pal.setColor(QPalette::Window, QColor(200, 210, 220));
    emptyMap->setPalette(pal);
    setCentralWidget(emptyMap);
    m_mapView = emptyMap;

    buildMenus();
    buildToolBar();
    buildPlaybackBar();
    buildStatusBar();
    buildDockBars();
    startTimers();
    m_station.setUi(this);
    m_commands.updateActions();
}

CMainFrame::~CMainFrame()
{
    if (m_station.ui() == this)
        m_station.setUi(nullptr);
}

void CMainFrame::buildMenus()
{
    auto add = [this](QMenu* menu, int id) {
        if (QAction* a = m_commands.action(id))
            menu->addAction(a);
    };
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("文件(&F)"));
    add(file, cmd::kLoadRoute);
    add(file, cmd::kSaveRoute);
    file->addSeparator();
    add(file, cmd::kReplay);
    file->addSeparator();
    add(file, cmd::kOptions);
    file->addSeparator();
    add(file, cmd::kExit);

    QMenu* link = bar->addMenu(QStringLiteral("连接(&L)"));
    add(link, cmd::kOpenSerial);
    add(link, cmd::kOpenWifi);
    add(link, cmd::kCloseLink);

    QMenu* route = bar->addMenu(QStringLiteral("航线(&R)"));
    add(route, cmd::kEditRoute);
    add(route, cmd::kUploadRoute);
    add(route, cmd::kVerifyRoute);
    route->addSeparator();
    add(route, cmd::kDeleteRoute);
    add(route, cmd::kEraseRouteMarks);
    add(route, cmd::kMoveRoute);

    QMenu* map = bar->addMenu(QStringLiteral("地图(&M)"));
    add(map, cmd::kToolRestore);
    add(map, cmd::kToolDragMap);
    add(map, cmd::kToolZoomIn);
    add(map, cmd::kToolZoomOut);
    add(map, cmd::kToolMeasure);
    add(map, cmd::kToolPlanRoute);
    add(map, cmd::kToolPlaceMark);
    map->addSeparator();
    add(map, cmd::kLocateAircraft);
    add(map, cmd::kLocationSearch);
    add(map, cmd::kDownloadOfflineMap);
    map->addSeparator();
    add(map, cmd::kAltitudeMode);
    add(map, cmd::kRouteExtend);
    add(map, cmd::kLookStraightDown);

    QMenu* settings = bar->addMenu(QStringLiteral("飞控设置(&S)"));
    add(settings, cmd::kGyroZero);
    add(settings, cmd::kCaptureNeutral);
    add(settings, cmd::kCalibrateChannels);
    settings->addSeparator();
    QMenu* stabiliser = settings->addMenu(QStringLiteral("小斯坦尼康"));
    add(stabiliser, cmd::kSmallCalibration);
    add(stabiliser, cmd::kCaptureRoll);
    add(stabiliser, cmd::kCapturePitch);
    settings->addSeparator();
    add(settings, cmd::kCompass);
    add(settings, cmd::kParameters);
    add(settings, cmd::kCustomParameters);

    QMenu* view = bar->addMenu(QStringLiteral("查看(&V)"));
    add(view, cmd::kToolBar);
    add(view, cmd::kStatusBar);
    add(view, cmd::kPlaybackBar);
    view->addSeparator();
    add(view, cmd::kInstrumentBar);
    add(view, cmd::kFlightDataBar);
    add(view, cmd::kNavigationBar);
    // "数据曲线" (hidden at first) and "飞行摘要" of a loaded replay.
    m_plotBar = new CPlotBar(m_station.linkState(), this);
    addDockWidget(Qt::BottomDockWidgetArea, m_plotBar);
    m_plotBar->hide();
    connect(m_plotBar, &CPlotBar::seekRequested, this, &CMainFrame::replaySeekRequested);
    connect(view, &QMenu::aboutToShow, m_plotBar, &CPlotBar::updateSummaryAction);
    view->addSeparator();
    view->addAction(m_plotBar->showAction());
    view->addAction(m_plotBar->summaryAction());
    // Tab toggles the flight data bar through the application's key filter; show it in the menu.
    if (QAction* a = m_commands.action(cmd::kFlightDataBar))
        a->setText(a->text() + QStringLiteral("\tTab"));
    if (QAction* a = m_commands.action(cmd::kLocateAircraft))
        a->setText(a->text() + QStringLiteral("\tC"));

    QMenu* help = bar->addMenu(QStringLiteral("帮助(&H)"));
    add(help, cmd::kAbout);

    for (QMenu* menu : {file, link, route, map, settings, stabiliser, view, help})
        connect(menu, &QMenu::aboutToShow, &m_commands, &CCommandTable::updateActions);
}

void CMainFrame::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("工具栏"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setMovable(true);
    const int order[] = {cmd::kEraseRouteMarks, 0, cmd::kToolRestore, cmd::kToolMeasure, cmd::kToolPlanRoute,
                         cmd::kMoveRoute, cmd::kToolPlaceMark, 0, cmd::kAltitudeMode, cmd::kRouteExtend,
                         cmd::kLookStraightDown, 0, cmd::kAbout};
    for (int id : order) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* a = m_commands.action(id);
        if (!a)
            continue;
        a->setIcon(toolbarIcon(id));
        QString tip = a->text();
        tip.remove(QStringLiteral("(&A)...")).remove(QLatin1Char('&'));
        a->setToolTip(id == cmd::kAbout ? QStringLiteral("About the GCS") : tip.trimmed());
        m_toolBar->addAction(a);
    }
    // Fly-by help: the message pane shows the tooltip while the pointer is over a button.
    for (QAction* a : m_toolBar->actions())
        a->setStatusTip(a->toolTip());
}

void CMainFrame::buildPlaybackBar()
{
    addToolBarBreak();
    m_playbackBar = new QToolBar(QStringLiteral("回放栏"), this);
    m_playbackBar->setObjectName(QStringLiteral("playbackBar"));
    addToolBar(Qt::TopToolBarArea, m_playbackBar);

    auto* body = new QWidget(m_playbackBar);
    auto* row = new QHBoxLayout(body);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(6);
    row->addWidget(new QLabel(QStringLiteral("进度"), body));
    m_progressSlider = new CProgressSlider(body);
    m_progressSlider->setObjectName(QStringLiteral("progressSlider"));
    m_progressSlider->setRange(0, kProgressMax);
    m_progressSlider->setMinimumWidth(360);
    m_progressSlider->setEnabled(false);
    row->addWidget(m_progressSlider, 3);
    // The record's time of day and elapsed / total, as the core words it.
    m_replayClock = new QLabel(body);
    m_replayClock->setObjectName(QStringLiteral("replayClock"));
    m_replayClock->setMinimumWidth(m_replayClock->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00  000:00 / 000:00")));
    row->addWidget(m_replayClock);
    row->addSpacing(16);
    row->addWidget(new QLabel(QStringLiteral("速度"), body));
    row->addWidget(new QLabel(QStringLiteral("慢"), body));
    m_speedSlider = new QSlider(Qt::Horizontal, body);
    m_speedSlider->setObjectName(QStringLiteral("speedSlider"));
    m_speedSlider->setRange(kSpeedMin, kSpeedMax);
    m_speedSlider->setValue(kSpeedStart);
    m_speedSlider->setPageStep(4);
    m_speedSlider->setTickPosition(QSlider::TicksBelow);
    m_speedSlider->setTickInterval(4);
    m_speedSlider->setMinimumWidth(160);
    m_speedSlider->setEnabled(false);
    row->addWidget(m_speedSlider, 1);
    row->addWidget(new QLabel(QStringLiteral("快"), body));
    m_playbackBar->addWidget(body);
    m_playbackBar->hide();

    connect(m_speedSlider, &QSlider::actionTriggered, this, &CMainFrame::onSpeedAction);
    connect(m_progressSlider, &QSlider::actionTriggered, this, &CMainFrame::onProgressAction);
}

void CMainFrame::onSpeedAction(int action)
{
    if (action == QAbstractSlider::SliderNoAction)
        return;
    const int ms = replayIntervalForSpeed(m_speedSlider->sliderPosition());
    m_station.setReplayIntervalMs(ms);
    emit replaySpeedChanged(ms);
}

void CMainFrame::onProgressAction(int action)
{
    if (action == QAbstractSlider::SliderNoAction)
        return;
    emit replaySeekRequested(m_progressSlider->sliderPosition());
}

void CMainFrame::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    const QString texts[4] = {QStringLiteral("就绪"), QStringLiteral("大写"), QStringLiteral("数字"),
                              QStringLiteral("滚动")};
    for (int i = 0; i < 4; ++i) {
        m_statusPanes[i] = new QLabel(texts[i], bar);
        m_statusPanes[i]->setObjectName(QStringLiteral("statusPane%1").arg(i));
        if (i == 0) {
            bar->addWidget(m_statusPanes[i], 1);
        } else {
            m_statusPanes[i]->setAlignment(Qt::AlignCenter);
            m_statusPanes[i]->setMinimumWidth(m_statusPanes[i]->fontMetrics().horizontalAdvance(texts[i]) + 16);
            m_statusPanes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            m_statusPanes[i]->setEnabled(false);
            bar->addPermanentWidget(m_statusPanes[i]);
        }
    }
    // The loaded route in brief, kept up to date once a second (hidden while there is none).
    m_routePane = new QLabel(bar);
    m_routePane->setObjectName(QStringLiteral("routeStatsPane"));
    m_routePane->hide();
    bar->insertPermanentWidget(0, m_routePane);
    m_cruiseSpeedMps = m_station.settings().getReal(keys::kCruiseSpeed);
    // Fly-by texts replace "就绪" while shown, and it comes back afterwards.
    connect(bar, &QStatusBar::messageChanged, this, [this](const QString& text) {
        m_statusPanes[0]->setVisible(text.isEmpty());
    });
}

void CMainFrame::updateRoutePane()
{
    const CSkyWay& route = m_station.route();
    m_routePane->setVisible(!route.empty());
    if (!route.empty())
        m_routePane->setText(QString::fromStdString(routeStatsText(routeStats(route, m_cruiseSpeedMps))));
}

QLabel* CMainFrame::statusPane(int index) const
{
    return index >= 0 && index < 4 ? m_statusPanes[index] : nullptr;
}

void CMainFrame::setLockKeyState(bool caps, bool num, bool scroll)
{
    m_statusPanes[1]->setEnabled(caps);
    m_statusPanes[2]->setEnabled(num);
    m_statusPanes[3]->setEnabled(scroll);
}

void CMainFrame::buildDockBars()
{
    m_instrumentBar = makeBar(QStringLiteral("仪表板"), QStringLiteral("instrumentBar"), this);
    QWidget* instruments = placeholder(QStringLiteral("instrumentPlaceholder"));
    instruments->setMinimumWidth(kInstrumentBarWidth);
    m_instrumentBar->setWidget(instruments);
    addDockWidget(Qt::RightDockWidgetArea, m_instrumentBar);

    m_flightDataBar = makeBar(QStringLiteral("飞行数据"), QStringLiteral("flightDataBar"), this);
    m_flightDataTabs = new QTabWidget(m_flightDataBar);
    m_flightDataTabs->setObjectName(QStringLiteral("flightDataTabs"));
    m_flightDataTabs->addTab(placeholder(QStringLiteral("flightDataPage0")), QStringLiteral("飞行数据"));
    m_flightDataTabs->addTab(placeholder(QStringLiteral("flightDataPage1")), QStringLiteral("其他数据"));
    m_flightDataTabs->setMinimumHeight(kFlightDataBarHeight);
    m_flightDataBar->setWidget(m_flightDataTabs);
    addDockWidget(Qt::BottomDockWidgetArea, m_flightDataBar);
    m_flightDataBar->hide();

    m_navigationBar = makeBar(QStringLiteral("位置导航"), QStringLiteral("navigationBar"), this);
    QWidget* navigation = placeholder(QStringLiteral("navigationPlaceholder"));
    navigation->setMinimumWidth(kNavigationBarWidth);
    m_navigationBar->setWidget(navigation);
    addDockWidget(Qt::LeftDockWidgetArea, m_navigationBar);
    m_navigationBar->hide();

    // The bottom bar spans only the map, between the side bars.
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
}

void CMainFrame::setMapView(QWidget* view)
{
    if (!view)
        return;
    setCentralWidget(view); // deletes the previous one
    m_mapView = view;
}

void CMainFrame::setInstrumentPanel(QWidget* panel)
{
    QWidget* old = m_instrumentBar->widget();
    m_instrumentBar->setWidget(panel);
    delete old;
}

void CMainFrame::setFlightDataPage(int index, QWidget* page)
{
    if (index < 0 || index > 1 || !page)
        return;
    const QString label = m_flightDataTabs->tabText(index);
    const int current = m_flightDataTabs->currentIndex();
    QWidget* old = m_flightDataTabs->widget(index);
    m_flightDataTabs->removeTab(index);
    m_flightDataTabs->insertTab(index, page, label);
    m_flightDataTabs->setCurrentIndex(current);
    delete old;
}

QWidget* CMainFrame::flightDataPage(int index) const
{
    return m_flightDataTabs->widget(index);
}

void CMainFrame::setNavigationPanel(QWidget* panel)
{
    QWidget* old = m_navigationBar->widget();
    m_navigationBar->setWidget(panel);
    delete old;
}

void CMainFrame::barLayout(int flightData, int navigation, int instrument)
{
    auto apply = [](QDockWidget* bar, int how) {
        if (how == kShow)
            bar->show();
        else if (how == kHide)
            bar->hide();
    };
    apply(m_flightDataBar, flightData);
    apply(m_navigationBar, navigation);
    apply(m_instrumentBar, instrument);
    m_commands.updateActions();
    update();
}

bool CMainFrame::flightDataBarVisible() const { return !m_flightDataBar->isHidden(); }
bool CMainFrame::instrumentBarVisible() const { return !m_instrumentBar->isHidden(); }
bool CMainFrame::navigationBarVisible() const { return !m_navigationBar->isHidden(); }
bool CMainFrame::playbackBarVisible() const { return !m_playbackBar->isHidden(); }

void CMainFrame::toggleFlightDataBar()
{
    barLayout(flightDataBarVisible() ? kHide : kShow, kLeave, kLeave);
}

void CMainFrame::toggleInstrumentBar()
{
    barLayout(kLeave, kLeave, instrumentBarVisible() ? kHide : kShow);
}

void CMainFrame::toggleNavigationBar()
{
    barLayout(kLeave, navigationBarVisible() ? kHide : kShow, kLeave);
}

void CMainFrame::startTimers()
{
    connect(&m_heartbeatTimer, &QTimer::timeout, this, [this] { m_station.heartbeatTick(); });
    connect(&m_voiceTimer, &QTimer::timeout, this, [this] {
        m_station.voiceTick();
        updateRoutePane();
    });
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { m_station.flushTick(); });
    connect(&m_uploadTimer, &QTimer::timeout, this, [this] { m_station.uploadTick(); });
    connect(&m_updateTimer, &QTimer::timeout, &m_commands, &CCommandTable::updateActions);
    m_heartbeatTimer.start(kHeartbeatTimerMs);
    m_voiceTimer.start(kVoiceTimerMs);
    m_flushTimer.start(kFlushTimerMs);
    m_uploadTimer.start(kUploadTimerMs);
    m_updateTimer.start(kUpdateRulesMs);
    m_drawTimer.setSingleShot(true);
    connect(&m_drawTimer, &QTimer::timeout, this, &CMainFrame::drawTelemetry);
}

void CMainFrame::showMessage(const std::string& text)
{
    messageBox(this, QString::fromStdString(text));
}

bool CMainFrame::askYesNo(const std::string& text, const std::string& caption, bool defaultYes)
{
    return orvex::askYesNo(this, QString::fromStdString(text), QString::fromStdString(caption), defaultYes);
}

void CMainFrame::telemetryNotify(std::span<const std::uint8_t> record, const SAircraftMarker& marker)
{
    m_drawRecord = QByteArray(reinterpret_cast<const char*>(record.data()), static_cast<qsizetype>(record.size()));
    m_drawMarker = marker;
    m_drawTrack.append(marker);
    if (m_drawTimer.isActive())
        return;
    const qint64 since = m_sinceDraw.isValid() ? m_sinceDraw.elapsed() : kDrawIntervalMs;
    if (since >= kDrawIntervalMs)
        drawTelemetry();
    else
        m_drawTimer.start(static_cast<int>(kDrawIntervalMs - since));
}

void CMainFrame::drawTelemetry()
{
    m_drawTimer.stop();
    if (m_drawTrack.isEmpty())
        return;
    m_sinceDraw.start();
    const QList<SAircraftMarker> track = std::exchange(m_drawTrack, {});
    emit telemetryUpdated(m_drawRecord, m_drawMarker, track);
}

void CMainFrame::openDownlinkBox(const std::string& text, bool question, std::function<void(bool)> closed)
{
    openMessageBox(this, QString::fromStdString(text), question, std::move(closed));
}

void CMainFrame::showStatus(const std::string& text)
{
    statusBar()->showMessage(QString::fromStdString(text), kStatusWordMs);
}

void CMainFrame::callMapScript(const std::string& function, const std::vector<std::string>& args)
{
    if (m_mapScriptCaller)
        m_mapScriptCaller(function, args);
}

bool CMainFrame::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate && m_mapView) {
        // The map passes the focus on to its first control that takes it, as a dialog does.
        QWidget* target = m_mapView;
        if (target->focusPolicy() == Qt::NoFocus && !target->focusProxy()) {
            for (QWidget* w = m_mapView->nextInFocusChain(); w && w != m_mapView && m_mapView->isAncestorOf(w);
                 w = w->nextInFocusChain()) {
                if (w->focusPolicy() != Qt::NoFocus && w->isEnabled() && w->isVisibleTo(m_mapView)) {
                    target = w;
                    break;
                }
            }
        }
        target->setFocus(Qt::ActiveWindowFocusReason);
    }
    return handled;
}

void CMainFrame::closeWithoutQuestions()
{
    m_skipQuestions = true;
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (!m_skipQuestions && m_station.anyLinkOpen() &&
        !orvex::askYesNo(this, QString::fromUtf8(kLiveLinkExitQuestion), {}, false)) {
        event->ignore();
        return;
    }
    if (!m_skipQuestions && !m_station.routeSaved()) {
        if (!orvex::askYesNo(this, QString::fromUtf8(kUnsavedRouteQuestion), QString::fromUtf8(kUnsavedRouteCaption),
                             false)) {
            event->ignore();
            m_commands.invoke(cmd::kEditRoute);
            return;
        }
    }
    // The map page reports its camera position ("2001;") before the program ends.
    m_station.map().getLookAt();
    // The records that arrived since the last timer 4 go to the flight log before the link closes.
    m_station.flushTick();
    m_commands.invoke(cmd::kCloseLink);
    if (m_wifiStopHook)
        m_wifiStopHook();
    m_heartbeatTimer.stop();
    m_voiceTimer.stop();
    m_flushTimer.stop();
    m_uploadTimer.stop();
    m_updateTimer.stop();
    writePositionMarker();
    m_closed = true;
    event->accept();
}

void CMainFrame::writePositionMarker()
{
    const std::vector<std::uint8_t> marker = CGroundStation::maximisedPositionMarker();
    m_station.settings().setBinary(keys::kPosition, marker);
}

} // namespace orvex
