// The application object and the main frame, started for real (offscreen) on a temporary home
// directory. The rules themselves are decided and tested in the core; these tests check that the
// window's menus, keys, bars, panes, questions and sliders are wired to them, one case each.
#include <gmock/gmock.h>
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <deque>
#include <functional>
#include <set>

#include "app/shell/Commands.h"
#include "app/shell/KeyboardFilter.h"
#include "app/shell/LockKeys.h"
#include "app/shell/MessageBox.h"
#include "app/shell/OrvexApp.h"
#include "app/mainframe/AboutDlg.h"
#include "app/mainframe/MainFrame.h"
#include "app/mainframe/ProgressSlider.h"
#include "app/mainframe/Splash.h"

using namespace orvex;
using ::testing::ElementsAre;

namespace {

// Records every message box and answers from `answers` (No once they run out).
struct BoxRecorder {
    std::vector<SMessageBoxCall> calls;
    std::deque<bool> answers;
    BoxRecorder()
    {
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            calls.push_back(call);
            const bool yes = !answers.empty() && answers.front();
            if (!answers.empty()) answers.pop_front();
            return yes;
        });
    }
    ~BoxRecorder() { setMessageBoxInterceptor({}); }
};

class MainFrameTest : public ::testing::Test {
protected:
    void startApp()
    {
        SCommandLine cl;
        cl.home = home.path();
        cl.splash = false;
        cl.udpPort = cl.httpPort = 0; // any free port: tests never take the operator's ports
        app = std::make_unique<COrvexApp>(cl);
        ASSERT_TRUE(app->start());
        frame = app->mainFrame();
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override
    {
        setLockKeyReader({});
        if (app && app->mainFrame() && !app->mainFrame()->closed())
            app->mainFrame()->closeWithoutQuestions();
        app.reset();
    }
    // Handlers that only count, for commands whose subsystems are built elsewhere.
    void countHandler(int id) { app->commands().setHandler(id, [this, id] { ++runs[id]; }); }
    std::string ini() const { return home.file("Korva.ini"); }

    CTempDir home{"orvex-frame-test"};
    std::unique_ptr<COrvexApp> app;
    CMainFrame* frame = nullptr;
    std::map<int, int> runs;
};

} // namespace

TEST_F(MainFrameTest, AFreshStartShowsItsTitlePanesToolbarMenusBarsRoutePaneSliderAndDownlinkBoxes)
{
    startApp();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Orvex 无人机地面站"));
    EXPECT_FALSE(frame->isMaximized()); // no Korva.ini yet: normal size
    QStringList panes;
    for (int i = 0; i < 4; ++i)
        panes << frame->statusPane(i)->text();
    EXPECT_EQ(panes.join(' '), QStringLiteral("就绪 大写 数字 滚动"));
    EXPECT_EQ(frame->speedSlider()->value(), 16);
    EXPECT_FALSE(frame->speedSlider()->isEnabled() || frame->progressSlider()->isEnabled());

    std::vector<int> ids;
    for (QAction* a : frame->toolBar()->actions()) {
        ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
        EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << ids.back();
    }
    EXPECT_THAT(ids, ElementsAre(32804, 0, 64, 68, 69, 32865, 70, 0, 32852, 32851, 32862, 0, 57664));
    CCommandTable& c = app->commands();
    EXPECT_EQ(c.action(32804)->toolTip(), QStringLiteral("擦除航线"));

    // Every command in the menus once, except the map's context-menu commands.
    std::multiset<int> inMenus;
    std::map<QString, std::vector<int>> byMenu;
    std::function<void(QMenu*)> collect = [&](QMenu* menu) {
        for (QAction* a : menu->actions())
            if (a->menu())
                collect(a->menu());
            else if (!a->isSeparator() && a->data().isValid())
                inMenus.insert(a->data().toInt()), byMenu[menu->title()].push_back(a->data().toInt());
    };
    for (QAction* top : frame->menuBar()->actions())
        collect(top->menu());
    const std::set<int> contextOnly{32824, 32825, 32844, 32846};
    for (const SCommandInfo& info : commandCatalogue())
        EXPECT_EQ(inMenus.count(info.id), contextOnly.count(info.id) ? 0u : 1u) << info.id;
    EXPECT_THAT(byMenu[QStringLiteral("飞控设置(&S)")], ElementsAre(32871, 32872, 32873, 32874, 32875, 32876));
    EXPECT_TRUE(c.action(73)->text().startsWith(QStringLiteral("打开串口(&R)")));

    const std::pair<int, QWidget*> bars[] = {{32847, frame->instrumentBar()}, {32780, frame->flightDataBar()},
                                             {32854, frame->navigationBar()}, {59392, frame->toolBar()},
                                             {59393, frame->statusBar()},     {0xE805, frame->playbackBar()}};
    c.updateActions();
    std::vector<bool> shown;
    for (auto [id, bar] : bars) {
        shown.push_back(c.action(id)->isChecked());
        EXPECT_EQ(bar->isHidden(), !shown.back()) << id;
        c.action(id)->trigger();
        EXPECT_EQ(bar->isHidden(), shown.back()) << id;
    }
    EXPECT_THAT(shown, ElementsAre(true, false, false, true, true, false));
    EXPECT_EQ(frame->dockWidgetArea(frame->instrumentBar()), Qt::RightDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->flightDataBar()), Qt::BottomDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->navigationBar()), Qt::LeftDockWidgetArea);
    frame->barLayout(CMainFrame::kHide, CMainFrame::kLeave, CMainFrame::kShow); // 2 leaves a bar as it is
    EXPECT_FALSE(frame->flightDataBarVisible());
    EXPECT_TRUE(frame->navigationBarVisible() && frame->instrumentBarVisible());

    // The flight data bar's second tab shows the second attached page.
    auto* page1 = new QLabel;
    frame->setFlightDataPage(0, new QLabel);
    frame->setFlightDataPage(1, page1);
    frame->barLayout(CMainFrame::kShow, CMainFrame::kLeave, CMainFrame::kLeave);
    EXPECT_EQ(frame->flightDataTabs()->tabText(1), QStringLiteral("其他数据"));
    frame->flightDataTabs()->setCurrentIndex(1);
    EXPECT_TRUE(page1->isVisible());

    // A downlink box stays open while the telemetry goes on to the windows.
    QSignalSpy spy(frame, &CMainFrame::telemetryUpdated);
    // Should the box block, this closes it, and the checks below see it gone.
    QTimer::singleShot(3000, frame, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    const std::uint8_t ack[] = {'$', 'D', 'O', 'C', 'K', 'A', '$'};
    app->station().receiveBytes(EFraming::ByteStream, ack);
    app->station().receiveBytes(EFraming::ByteStream, stpRecord(30.0f, 120.0f));
    const QList<QMessageBox*> boxes = frame->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_EQ(spy.count(), 1) << "the record behind the box was shown while it is open";
    boxes[0]->button(QMessageBox::Ok)->click();

    // The route pane, and the upload's last word on the status bar.
    CGroundStation& s = app->station();
    frame->updateRoutePane();
    EXPECT_TRUE(frame->routePane()->isHidden()) << "no route loaded";
    s.route().append(CWayPoint{});
    frame->updateRoutePane();
    EXPECT_FALSE(frame->routePane()->isHidden());
    EXPECT_TRUE(frame->routePane()->text().startsWith(QStringLiteral("航线：1 个航点，"))) << frame->routePane()->text().toStdString();
    c.updateActions(); // enabled now that there is a route
    ASSERT_TRUE(c.execute(cmd::kUploadRoute));
    s.uploadTick();
    const CWayPoint& w = s.route()[0];
    s.onWaypointEcho({1, float(w.latitude), float(w.longitude), w.altitude, w.photoMode, w.circleFlag, w.circleTime},
                     EDownlinkLink::Udp);
    StpBytes holdsOne = stpRecord(22.0f, 113.0f);
    holdsOne[31] = 1; // storedWaypointCount
    ASSERT_TRUE(s.recordUpdate(CTelemetryRecord(holdsOne)));
    s.uploadTick();
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("航线上传完成：1 个航点"));

    // The progress slider's channel is a sunken well in the window colour, enabled or not.
    auto* slider = qobject_cast<CProgressSlider*>(frame->progressSlider());
    ASSERT_NE(slider, nullptr);
    for (const bool enabled : {true, false}) {
        slider->setEnabled(enabled);
        const QImage image = slider->grab().toImage();
        const QRect channel = slider->channelRect();
        ASSERT_GE(channel.height(), 5);
        const int x = channel.left() + channel.width() * 3 / 4; // clear of the thumb at 0
        const QPalette& pal = slider->palette();
        EXPECT_EQ(image.pixel(x, channel.center().y()), pal.color(enabled ? QPalette::Base : QPalette::Button).rgb()) << enabled;
        EXPECT_EQ(image.pixel(x, channel.top()), pal.color(QPalette::Dark).rgb()) << enabled;
        EXPECT_EQ(image.pixel(x, channel.bottom()), pal.color(QPalette::Light).rgb()) << enabled;
    }

    BoxRecorder questions; // no link and the route saved: the exit command asks nothing
    c.execute(cmd::kExit);
    EXPECT_TRUE(frame->closed() && questions.calls.empty());
}

TEST_F(MainFrameTest, CommandsAreEnabledByTheLinkStateAndTheirHandler)
{
    startApp();
    for (int id : {73, 32878, 32788, 32824, 32825})
        countHandler(id);
    CCommandTable& c = app->commands();
    CGroundStation& s = app->station();
    struct SRow { bool serial, wifi; std::vector<int> on, off; };
    const SRow rows[] = {{false, false, {73, 32878, 32825}, {32788, 32824}},
                         {true, false, {32788, 32824}, {73, 32878}},
                         {false, true, {32788}, {73, 32878, 32824}}};
    for (const SRow& row : rows) {
        if (row.serial) // the link steps close the link before; the first row is the idle start
            s.openSerialLink([] { return true; });
        if (row.wifi)
            s.activateWifiLink();
        c.updateActions();
        for (int id : row.on)
            EXPECT_TRUE(c.action(id)->isEnabled()) << id << " serial " << row.serial << " wifi " << row.wifi;
        for (int id : row.off)
            EXPECT_FALSE(c.action(id)->isEnabled() || c.execute(id)) << id << " serial " << row.serial;
    }
    EXPECT_EQ(runs[73] + runs[32878] + runs[32788] + runs[32824], 0) << "a disabled command ran";
    c.setHandler(32875, {}); // nobody handles it
    c.updateActions();
    EXPECT_FALSE(c.action(32875)->isEnabled() || c.execute(32875));
}

TEST_F(MainFrameTest, SplashKeysAndFocusReachTheirCommandsUnlessATextEntryIsInProgress)
{
    SLockKeys keyboard{true, false, true};
    setLockKeyReader([&] { return std::optional<SLockKeys>(keyboard); });
    startApp();
    auto lit = [this] {
        return std::vector<bool>{frame->statusPane(1)->isEnabled(), frame->statusPane(2)->isEnabled(),
                                 frame->statusPane(3)->isEnabled()};
    };
    EXPECT_THAT(lit(), ElementsAre(true, false, true)) << "the keyboard's state at start";
    QTest::keyClick(frame, Qt::Key_CapsLock);
    QTest::keyClick(frame, Qt::Key_NumLock);
    EXPECT_THAT(lit(), ElementsAre(false, true, true));
    for (int id : {cmd::kLocateAircraft, cmd::kOpenSerial})
        countHandler(id);
    // The splash picture closes at the first key or mouse press, which goes no further, or after its time.
    for (bool key : {true, false}) {
        CSplash splash(60000);
        EXPECT_EQ(splash.size(), QSize(639, 331));
        splash.show();
        app->keyboardFilter()->setSplash(&splash);
        key ? QTest::keyClick(frame, Qt::Key_C) : QTest::mouseClick(frame->statusBar(), Qt::RightButton);
        EXPECT_FALSE(splash.isUp() || splash.isVisible()) << key;
        EXPECT_EQ(runs[cmd::kLocateAircraft], 0) << "the press only closed the splash";
        app->keyboardFilter()->setSplash(nullptr);
    }
    CSplash timed(30);
    QSignalSpy dismissed(&timed, &CSplash::dismissed);
    timed.show();
    EXPECT_TRUE(timed.isUp() && dismissed.wait(5000));
    EXPECT_FALSE(timed.isUp());
    QApplication::setActiveWindow(frame);
    QTest::keyClick(frame, Qt::Key_F2);
    EXPECT_EQ(runs[cmd::kOpenSerial], 1);

    // Ctrl+Z / Ctrl+Y in a panel box undo and redo the route, not the box; other Ctrl keys go on.
    auto* box = new QLineEdit(new QWidget);
    frame->setNavigationPanel(box->parentWidget());
    frame->barLayout(CMainFrame::kLeave, CMainFrame::kShow, CMainFrame::kLeave);
    QSignalSpy undo(frame, &CMainFrame::undoRequested);
    QSignalSpy redo(frame, &CMainFrame::redoRequested);
    QTest::keyClicks(box, QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    EXPECT_EQ(undo.count() * 10 + redo.count(), 11);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("7"));
    EXPECT_EQ(box->text(), QStringLiteral("7"));

    // Tab toggles the flight data bar and C locates the aircraft, unless the location search
    // (marker 100) or a placemark name (map tool mode 100) is being typed, or Super is held.
    struct SRow { int marker, toolMode; Qt::KeyboardModifiers mods; bool shortcut; } rows[] = {{0, 0, Qt::NoModifier, true},
                {CGroundStation::kMapToolTextEntry, 0, Qt::NoModifier, false},
                {0, CGroundStation::kMapToolTextEntry, Qt::NoModifier, false},
                {0, 0, Qt::MetaModifier, false}};
    for (const SRow& r : rows) {
        app->station().setTextEntryMarker(r.marker);
        app->station().setMapToolMode(r.toolMode);
        const bool barShown = frame->flightDataBarVisible();
        const int located = runs[cmd::kLocateAircraft];
        QTest::keyClick(box, Qt::Key_Tab, r.mods);
        QTest::keyClick(box, Qt::Key_C, r.mods);
        EXPECT_EQ(frame->flightDataBarVisible() != barShown, r.shortcut) << r.marker << r.toolMode << r.mods;
        EXPECT_EQ(runs[cmd::kLocateAircraft] - located, r.shortcut ? 1 : 0) << r.marker << r.toolMode << r.mods;
    }

    // Alt puts the focus in the target waypoint box.
    auto* target = new QLineEdit(box->parentWidget());
    target->move(0, 40);
    target->show();
    frame->setTargetWaypointBox(target);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(frame->focusWidget(), target);
    // Another program had the keyboard; coming back focuses the map and reads the lock keys again.
    keyboard = {false, false, false};
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(frame);
    QWidget* focus = frame->focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == frame->mapView() || frame->mapView()->isAncestorOf(focus)) << focus->metaObject()->className();
    EXPECT_THAT(lit(), ElementsAre(false, false, false));
}

TEST_F(MainFrameTest, PlacementFileDialogsAndALiveLinkMakingReplayAndCloseAskFirst)
{
    BoxRecorder boxes;
    // left 20, top 30, right 780, bottom 700: four i32 low byte first, two letters a byte, low nibble first.
    CTempDir::write(ini(), "[Options]\r\nPosition=EBAAAAAAOBAAAAAAMADAAAAAMLCAAAAA\r\n");
    startApp();
    EXPECT_EQ(frame->geometry(), QRect(20, 30, 760, 670));
    CCommandTable& c = app->commands();
    // The folder of the file dialog that the command shows, which is then cancelled ("" when none shows).
    auto folder = [&](int command) {
        QString shown;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
                shown = dialog->directory().absolutePath() + '/', dialog->reject();
        });
        poll.start(20);
        c.execute(command);
        return shown;
    };
    const QString h = QString::fromStdString(home.path());
    EXPECT_EQ(folder(cmd::kLoadRoute), h + "routes/");
    EXPECT_EQ(folder(cmd::kReplay), h + "Hj/");
    app->station().settings().setText(keys::kRouteFolder, home.path() + "Hj"); // where a route was last saved
    EXPECT_EQ(folder(cmd::kSaveRoute), h + "Hj/");

    countHandler(cmd::kEditRoute);
    std::vector<std::string> scripts, order;
    const CFlightLogWriter& log = app->station().linkState().logWriter();
    const auto logged = [&] { return !CTempDir::read(log.filePath()).empty(); };
    c.setHandler(cmd::kCloseLink,
                 [&] { order.insert(order.end(), {logged() ? "flush" : "-", "close link"}); });
    frame->setMapScriptCaller([&](const std::string& fn, const std::vector<std::string>&) { scripts.push_back(fn); });
    int wifiStops = 0;
    frame->setWifiStopHook([&] { ++wifiStops; });
    ASSERT_TRUE(c.execute(cmd::kOpenWifi));
    app->station().storeTelemetryRecord(*CTelemetryRecord::fromBytes(stpRecord(22.0f, 113.0f)));
    app->station().setRouteSaved(false);
    EXPECT_EQ(folder(cmd::kReplay), QString()); // No to "轨迹回放": the link stays (asked at the close), no dialog
    EXPECT_FALSE(frame->close()); // No to the link question: nothing more
    boxes.answers = {true, false};
    EXPECT_FALSE(frame->close()); // No to the route question: the route editor opens
    ASSERT_EQ(boxes.calls.size(), 4u);
    EXPECT_EQ(boxes.calls[0].text, QStringLiteral("正在与飞机连接，回放将断开连接。确定要回放吗？"));
    EXPECT_EQ(boxes.calls[1].text, QStringLiteral("正在与飞机连接，确定要退出吗？"));
    EXPECT_EQ(boxes.calls[3].text, QStringLiteral("航线未保存,确定要退出吗？"));
    EXPECT_EQ(boxes.calls[3].caption, QStringLiteral("提示"));
    for (const SMessageBoxCall& call : boxes.calls)
        EXPECT_TRUE(call.question && !call.defaultYes) << call.text.toStdString();
    EXPECT_EQ(runs[cmd::kEditRoute], 1);
    EXPECT_FALSE(frame->closed());
    EXPECT_TRUE(order.empty() && !logged());
    EXPECT_NE(CTempDir::read(ini()).find("Position=EBAA"), std::string::npos) << "written only at the close";

    boxes.answers = {true, true};
    EXPECT_TRUE(frame->close() && frame->closed());
    EXPECT_THAT(scripts, ElementsAre("getLookAt"));
    EXPECT_THAT(order, ElementsAre("flush", "close link")); // the last records reach the log first
    EXPECT_EQ(wifiStops, 1);
    EXPECT_NE(CTempDir::read(ini()).find("Position=" + std::string(32, 'P')), std::string::npos);
}

TEST(ChineseTexts, AboutBoxWithVersionAndDataFolderAndQtsOwnButtonsAndDialogs)
{
    CAboutDlg dlg(nullptr, QStringLiteral("/data/orvex/"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("aboutText"))->text(), QStringLiteral("Orvex 无人机地面站1.0 版"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("dataFolder"))->text(), QStringLiteral("数据文件夹：/data/orvex/"));
    const auto buttons = dlg.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("确定"));
    ASSERT_TRUE(COrvexApp::loadQtTranslations()) << "qt6-translations-l10n installed?";
    EXPECT_EQ(QFileDialog::tr("Save As"), QStringLiteral("另存为")); // one catalogue holds the box buttons too
}
