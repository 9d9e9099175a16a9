// The application object and the main frame, started for real (offscreen) on a temporary home
// directory: command rules, the key pre-filter, window placement, the close sequence and the
// Position marker, the bars, the playback sliders and the telemetry notification.
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

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "app/Commands.h"
#include "app/GroundStation.h"
#include "app/KeyboardFilter.h"
#include "app/LockKeys.h"
#include "app/MessageBox.h"
#include "app/OrvexApp.h"
#include "link/LinkController.h"
#include "mainframe/AboutDlg.h"
#include "mainframe/MainFrame.h"
#include "mainframe/ProgressSlider.h"
#include "mainframe/Splash.h"

using namespace orvex;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TempHome : public CTempDir {
public:
    TempHome() : CTempDir("orvex-frame-test") {}
    std::string ini() const { return file("Korva.ini"); }
    void writeIni(const std::string& text) const { write(ini(), text); }
};

SCommandLine testCommandLine(const std::string& home)
{
    SCommandLine cl;
    cl.home = home;
    cl.splash = false;
    cl.udpPort = 0; // any free port: tests never take the operator's ports
    cl.httpPort = 0;
    return cl;
}

// Answers every message box and records it.
class BoxRecorder {
public:
    explicit BoxRecorder(bool answer = true) : m_answer(answer)
    {
        setMessageBoxInterceptor([this](const SMessageBoxCall& call) {
            calls.push_back(call);
            return m_answer;
        });
    }
    ~BoxRecorder() { setMessageBoxInterceptor({}); }
    void answer(bool yes) { m_answer = yes; }
    std::vector<SMessageBoxCall> calls;

private:
    bool m_answer;
};

class MainFrameTest : public ::testing::Test {
protected:
    void startApp()
    {
        app = std::make_unique<COrvexApp>(testCommandLine(home.path()));
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

    TempHome home;
    std::unique_ptr<COrvexApp> app;
    CMainFrame* frame = nullptr;
    std::map<int, int> runs;
};

} // namespace

TEST_F(MainFrameTest, WindowHasTitleBarsAndStatusPanesOfAFreshStart)
{
    startApp();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Orvex 无人机地面站"));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMaximized()); // first start without Korva.ini: normal size
    EXPECT_FALSE(std::filesystem::exists(home.ini()));

    EXPECT_TRUE(frame->instrumentBarVisible());
    EXPECT_FALSE(frame->flightDataBarVisible());
    EXPECT_FALSE(frame->navigationBarVisible());
    EXPECT_FALSE(frame->playbackBarVisible());
    EXPECT_EQ(frame->dockWidgetArea(frame->instrumentBar()), Qt::RightDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->flightDataBar()), Qt::BottomDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->navigationBar()), Qt::LeftDockWidgetArea);
    ASSERT_EQ(frame->flightDataTabs()->count(), 2);
    EXPECT_EQ(frame->flightDataTabs()->tabText(0), QStringLiteral("飞行数据"));
    EXPECT_EQ(frame->flightDataTabs()->tabText(1), QStringLiteral("其他数据"));

    EXPECT_EQ(frame->statusPane(0)->text(), QStringLiteral("就绪"));
    EXPECT_EQ(frame->statusPane(1)->text(), QStringLiteral("大写"));
    EXPECT_EQ(frame->statusPane(2)->text(), QStringLiteral("数字"));
    EXPECT_EQ(frame->statusPane(3)->text(), QStringLiteral("滚动"));

    EXPECT_EQ(frame->speedSlider()->minimum(), 0);
    EXPECT_EQ(frame->speedSlider()->maximum(), 32);
    EXPECT_EQ(frame->speedSlider()->value(), 16);
    EXPECT_FALSE(frame->speedSlider()->isEnabled());
    EXPECT_FALSE(frame->progressSlider()->isEnabled());
    EXPECT_EQ(app->station().replayIntervalMs(), 100);
}

TEST_F(MainFrameTest, ToolbarButtonsComeInTheirOrderWithTheirTips)
{
    startApp();
    std::vector<int> ids;
    for (QAction* a : frame->toolBar()->actions())
        ids.push_back(a->isSeparator() ? 0 : a->data().toInt());
    EXPECT_THAT(ids, ::testing::ElementsAre(32804, 0, 64, 68, 69, 32865, 70, 0, 32852, 32851, 32862, 0, 57664));
    EXPECT_EQ(app->commands().action(57664)->toolTip(), QStringLiteral("About the GCS"));
    EXPECT_EQ(app->commands().action(32804)->toolTip(), QStringLiteral("擦除航线"));
    for (QAction* a : frame->toolBar()->actions()) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->data().toInt();
        }
    }
}

TEST_F(MainFrameTest, MenusCarryEveryCommandOnceWithItsLabelAndTheConfigurationMenu)
{
    startApp();
    std::multiset<int> inMenus;
    std::map<QString, std::vector<int>> byMenu;
    std::function<void(QMenu*)> collect = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->menu())
                collect(a->menu());
            else if (!a->isSeparator())
                inMenus.insert(a->data().toInt()), byMenu[menu->title()].push_back(a->data().toInt());
        }
    };
    for (QAction* top : frame->menuBar()->actions())
        collect(top->menu());
    const std::set<int> contextOnly{32824, 32825, 32844, 32846};
    for (const SCommandInfo& info : commandCatalogue()) {
        if (contextOnly.count(info.id)) {
            EXPECT_EQ(inMenus.count(info.id), 0u) << info.id;
            EXPECT_NE(app->commands().action(info.id), nullptr);
        } else {
            EXPECT_EQ(inMenus.count(info.id), 1u) << info.id;
        }
    }
    EXPECT_THAT(byMenu[QStringLiteral("飞控设置(&S)")], ::testing::ElementsAre(32871, 32872, 32873, 32874, 32875, 32876));
    EXPECT_THAT(byMenu[QStringLiteral("小斯坦尼康")], ::testing::ElementsAre(32879, 32880, 32881));
    EXPECT_EQ(app->commands().action(73)->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_TRUE(app->commands().action(73)->text().startsWith(QStringLiteral("打开串口(&R)")));
    EXPECT_EQ(app->commands().action(57664)->text(), QStringLiteral("关于 (&A)..."));
}

TEST_F(MainFrameTest, LinkCommandsFollowTheLinkState)
{
    startApp();
    for (int id : {73, 32878, 32788, 32824, 32825, 32844, 32846})
        countHandler(id);
    CCommandTable& c = app->commands();
    CGroundStation& s = app->station();

    // Idle.
    c.updateActions();
    EXPECT_TRUE(c.action(73)->isEnabled());
    EXPECT_TRUE(c.action(32878)->isEnabled());
    EXPECT_FALSE(c.action(32788)->isEnabled());
    EXPECT_FALSE(c.action(32824)->isEnabled());
    EXPECT_TRUE(c.action(32825)->isEnabled());
    EXPECT_FALSE(c.execute(32788));

    // Serial link open.
    s.setSerialOpen(true);
    c.updateActions();
    EXPECT_FALSE(c.action(73)->isEnabled());
    EXPECT_FALSE(c.action(32878)->isEnabled());
    EXPECT_TRUE(c.action(32788)->isEnabled());
    EXPECT_TRUE(c.action(32824)->isEnabled());
    EXPECT_FALSE(c.execute(73));
    EXPECT_EQ(runs[73], 0);

    // WiFi link active.
    s.setSerialOpen(false);
    s.setWifiActive(true);
    c.updateActions();
    EXPECT_FALSE(c.action(73)->isEnabled());
    EXPECT_FALSE(c.action(32878)->isEnabled());
    EXPECT_TRUE(c.action(32788)->isEnabled());
    EXPECT_FALSE(c.action(32824)->isEnabled());
    EXPECT_TRUE(c.execute(32788));
    EXPECT_EQ(runs[32788], 1);
}

TEST_F(MainFrameTest, RoutePaneSumsUpTheLoadedRoute)
{
    startApp();
    frame->updateRoutePane();
    EXPECT_TRUE(frame->routePane()->isHidden());
    CWayPoint w;
    app->station().route().append(w);
    w.longitude = 1.0; // one degree east along the equator: 111.32 km
    app->station().route().append(w);
    frame->updateRoutePane();
    EXPECT_FALSE(frame->routePane()->isHidden());
    EXPECT_TRUE(frame->routePane()->text().startsWith(QStringLiteral("航线：2 个航点，111.32 公里，")))
        << frame->routePane()->text().toStdString();
}

TEST_F(MainFrameTest, RouteCommandsNeedPointsAndCommandsWithoutHandlersAreDisabled)
{
    startApp();
    CCommandTable& c = app->commands();
    bool hasPoints = false;
    app->station().setRouteHasPointsQuery([&] { return hasPoints; });
    countHandler(32776);
    countHandler(32777);
    c.updateActions();
    EXPECT_FALSE(c.action(32776)->isEnabled());
    EXPECT_FALSE(c.action(32777)->isEnabled());
    hasPoints = true;
    c.updateActions();
    EXPECT_TRUE(c.action(32776)->isEnabled());
    EXPECT_TRUE(c.action(32777)->isEnabled());

    // A command nobody handles is present but disabled, and triggering it does nothing.
    c.setHandler(32875, {});
    c.updateActions();
    EXPECT_FALSE(c.action(32875)->isEnabled());
    EXPECT_FALSE(c.execute(32875));
}

TEST_F(MainFrameTest, BarCommandsToggleAndCheckTheirBars)
{
    startApp();
    CCommandTable& c = app->commands();
    c.updateActions();
    EXPECT_TRUE(c.action(32847)->isChecked());
    EXPECT_FALSE(c.action(32780)->isChecked());
    EXPECT_FALSE(c.action(32854)->isChecked());
    EXPECT_TRUE(c.action(59392)->isChecked());
    EXPECT_TRUE(c.action(59393)->isChecked());
    EXPECT_FALSE(c.action(0xE805)->isChecked());

    c.action(32780)->trigger();
    EXPECT_TRUE(frame->flightDataBarVisible());
    EXPECT_TRUE(c.action(32780)->isChecked());
    c.action(32847)->trigger();
    EXPECT_FALSE(frame->instrumentBarVisible());
    EXPECT_FALSE(c.action(32847)->isChecked());
    c.action(32854)->trigger();
    EXPECT_TRUE(frame->navigationBarVisible());
    c.action(0xE805)->trigger();
    EXPECT_TRUE(frame->playbackBarVisible());
    c.action(59393)->trigger();
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_FALSE(c.action(59393)->isChecked());

    // The bar layout operation: 2 leaves a bar as it is.
    frame->barLayout(CMainFrame::kHide, CMainFrame::kLeave, CMainFrame::kShow);
    EXPECT_FALSE(frame->flightDataBarVisible());
    EXPECT_TRUE(frame->navigationBarVisible());
    EXPECT_TRUE(frame->instrumentBarVisible());
}

TEST_F(MainFrameTest, FlightDataTabsSwitchBetweenTheTwoAttachedPages)
{
    startApp();
    auto* page0 = new QLabel(QStringLiteral("page 101"));
    auto* page1 = new QLabel(QStringLiteral("page 174"));
    frame->setFlightDataPage(0, page0);
    frame->setFlightDataPage(1, page1);
    frame->barLayout(CMainFrame::kShow, CMainFrame::kLeave, CMainFrame::kLeave);
    EXPECT_EQ(frame->flightDataTabs()->currentWidget(), page0);
    EXPECT_EQ(frame->flightDataTabs()->tabText(1), QStringLiteral("其他数据"));
    frame->flightDataTabs()->setCurrentIndex(1);
    EXPECT_TRUE(page1->isVisible());
    EXPECT_FALSE(page0->isVisible());
}

TEST_F(MainFrameTest, CtrlZAndCtrlYInAPanelBoxUndoAndRedoTheRoute)
{
    startApp();
    auto* panel = new QWidget;
    auto* box = new QLineEdit(panel);
    frame->setInstrumentPanel(panel);
    QSignalSpy undo(frame, &CMainFrame::undoRequested);
    QSignalSpy redo(frame, &CMainFrame::redoRequested);
    QTest::keyClicks(box, QStringLiteral("12"));
    EXPECT_EQ(box->text(), QStringLiteral("12"));
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undo.count(), 1);
    EXPECT_EQ(box->text(), QStringLiteral("12")); // the box's own undo did not run
    QTest::keyClick(box, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(redo.count(), 1);
    // Other Ctrl keys go on to the box (select all, then typing replaces).
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("7"));
    EXPECT_EQ(box->text(), QStringLiteral("7"));
}

TEST_F(MainFrameTest, TabAndCAreShortcutsUnlessATextEntryIsInProgressOrSuperIsHeld)
{
    startApp();
    countHandler(cmd::kLocateAircraft);
    auto* panel = new QWidget;
    auto* box = new QLineEdit(panel);
    frame->setNavigationPanel(panel);
    frame->barLayout(CMainFrame::kLeave, CMainFrame::kShow, CMainFrame::kLeave);

    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_TRUE(frame->flightDataBarVisible());
    QTest::keyClick(box, Qt::Key_C);
    QTest::keyClick(box, Qt::Key_C, Qt::ShiftModifier);
    EXPECT_EQ(runs[cmd::kLocateAircraft], 2);
    EXPECT_EQ(box->text(), QString());

    // The location search in progress: marker 100. Keys go to the focused box.
    app->station().setTextEntryMarker(CGroundStation::kMapToolTextEntry);
    QTest::keyClick(box, Qt::Key_C);
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(runs[cmd::kLocateAircraft], 2);
    EXPECT_TRUE(frame->flightDataBarVisible());
    EXPECT_EQ(box->text(), QStringLiteral("c"));

    // Map tool mode 100 (placemark name entry) does the same.
    app->station().setTextEntryMarker(0);
    app->station().setMapToolMode(CGroundStation::kMapToolTextEntry);
    QTest::keyClick(box, Qt::Key_C);
    EXPECT_EQ(runs[cmd::kLocateAircraft], 2);
    app->station().setMapToolMode(0);

    // Super (Windows) key held: not a shortcut.
    QTest::keyClick(box, Qt::Key_Tab, Qt::MetaModifier);
    EXPECT_TRUE(frame->flightDataBarVisible());
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_FALSE(frame->flightDataBarVisible());
}

TEST_F(MainFrameTest, AltMovesTheFocusToTheTargetWaypointBox)
{
    startApp();
    auto* panel = new QWidget;
    auto* other = new QLineEdit(panel);
    auto* target = new QLineEdit(panel);
    target->move(0, 40);
    frame->setInstrumentPanel(panel);
    frame->setTargetWaypointBox(target);
    QApplication::setActiveWindow(frame);
    other->setFocus();
    EXPECT_EQ(frame->focusWidget(), other);
    QTest::keyClick(other, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(frame->focusWidget(), target);
}

TEST_F(MainFrameTest, F2OpensTheSerialLink)
{
    startApp();
    countHandler(cmd::kOpenSerial);
    QApplication::setActiveWindow(frame);
    QTest::keyClick(frame, Qt::Key_F2);
    EXPECT_EQ(runs[cmd::kOpenSerial], 1);
}

TEST_F(MainFrameTest, SpeedSliderSetsTheReplayIntervalAndProgressSliderAsksForASeek)
{
    startApp();
    QSignalSpy speed(frame, &CMainFrame::replaySpeedChanged);
    QSignalSpy seek(frame, &CMainFrame::replaySeekRequested);
    QSlider* s = frame->speedSlider();
    s->setEnabled(true);
    s->setSliderPosition(17); // the interval for each position is the core's table
    EXPECT_EQ(app->station().replayIntervalMs(), 7);
    s->triggerAction(QAbstractSlider::SliderToMinimum);
    ASSERT_EQ(speed.count(), 2);
    EXPECT_EQ(speed.at(1).at(0).toInt(), 2560);

    QSlider* p = frame->progressSlider();
    p->setEnabled(true);
    p->setSliderPosition(16384);
    ASSERT_EQ(seek.count(), 1);
    EXPECT_EQ(seek.at(0).at(0).toInt(), 16384);
    // The replay moving the slider itself asks for no seek.
    p->setValue(20000);
    EXPECT_EQ(seek.count(), 1);
}

TEST_F(MainFrameTest, TelemetryNotificationReachesTheWindowsWithTheMarker)
{
    startApp();
    QSignalSpy spy(frame, &CMainFrame::telemetryUpdated);
    CTelemetryRecord rec;
    rec.setLatitude(30.0f);
    rec.setLongitude(120.0f);
    ASSERT_TRUE(app->station().recordUpdate(rec));
    ASSERT_EQ(spy.count(), 1);
    const QByteArray bytes = spy.at(0).at(0).toByteArray();
    ASSERT_EQ(bytes.size(), 99);
    EXPECT_EQ(bytes.left(4), QByteArray("$STP"));
    const auto marker = spy.at(0).at(1).value<SAircraftMarker>();
    EXPECT_FLOAT_EQ(static_cast<float>(marker.latitude), 30.0f);
    EXPECT_EQ(marker.altitudeM, 100); // altitude 0 + the default AltitudeGPS 100
}

TEST_F(MainFrameTest, ADownlinkBoxStaysOpenWhileTheTelemetryGoesOn)
{
    startApp();
    QSignalSpy spy(frame, &CMainFrame::telemetryUpdated);
    // Should the box block, this closes it, and the checks below see it gone.
    QTimer::singleShot(3000, frame, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    const char ack[] = "$DOCKA$";
    app->station().receiveBytes(EFraming::ByteStream, std::span(reinterpret_cast<const std::uint8_t*>(ack), 7));
    StpBytes record = stpRecord(30.0f, 120.0f);
    app->station().receiveBytes(EFraming::ByteStream, record);
    app->station().receiveBytes(EFraming::ByteStream, std::span(reinterpret_cast<const std::uint8_t*>(ack), 1));
    const QList<QMessageBox*> boxes = frame->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->isVisible());
    EXPECT_EQ(boxes[0]->text(), QStringLiteral("Parachute open  position captured successfully"));
    EXPECT_EQ(spy.count(), 1) << "the record behind the box was shown while it is open";
    boxes[0]->button(QMessageBox::Ok)->click();
}

TEST_F(MainFrameTest, CloseWithALiveLinkAsksFirstWithNoAsDefault)
{
    BoxRecorder boxes(false);
    startApp();
    app->station().activateWifiLink();
    app->station().setRouteSaved(false);
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, QStringLiteral("正在与飞机连接，确定要退出吗？"));
    EXPECT_FALSE(boxes.calls[0].defaultYes);
    EXPECT_FALSE(frame->closed());
    boxes.answer(true);
    EXPECT_TRUE(frame->close());
    ASSERT_EQ(boxes.calls.size(), 3u);
    EXPECT_EQ(boxes.calls[2].text, QStringLiteral("航线未保存,确定要退出吗？")) << "then the route question";
}

TEST_F(MainFrameTest, PlacementFromStoredPosition)
{
    // Sixteen 0xFF bytes ("P" x 32): maximised.
    home.writeIni("[Options]\r\nPosition=" + std::string(32, 'P') + "\r\n");
    startApp();
    EXPECT_TRUE(frame->windowState() & Qt::WindowMaximized);
    frame->closeWithoutQuestions();
    app.reset();

    // left 20, top 30, right 780, bottom 700: two letters per byte, low nibble first.
    auto enc = [](std::initializer_list<int> values) {
        std::string s;
        for (int v : values)
            for (int i = 0; i < 4; ++i) {
                const int byte = (v >> (8 * i)) & 0xFF;
                s += char('A' + (byte & 0xF));
                s += char('A' + (byte >> 4));
            }
        return s;
    };
    home.writeIni("[Options]\r\nPosition=" + enc({20, 30, 780, 700}) + "\r\n");
    startApp();
    EXPECT_FALSE(frame->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(frame->geometry(), QRect(20, 30, 760, 670));
}

TEST_F(MainFrameTest, CloseWithUnsavedRouteAsksAndNoOpensTheRouteEditor)
{
    BoxRecorder boxes(false);
    startApp();
    countHandler(cmd::kEditRoute); // route empty: the editor still opens from the close prompt
    countHandler(cmd::kCloseLink);
    std::vector<std::string> scripts;
    frame->setMapScriptCaller([&](const std::string& fn, const std::vector<std::string>&) { scripts.push_back(fn); });
    app->station().setRouteSaved(false);

    EXPECT_FALSE(frame->close());
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, QStringLiteral("航线未保存,确定要退出吗？"));
    EXPECT_EQ(boxes.calls[0].caption, QStringLiteral("提示"));
    EXPECT_TRUE(boxes.calls[0].question);
    EXPECT_FALSE(boxes.calls[0].defaultYes);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->closed());
    EXPECT_EQ(runs[cmd::kEditRoute], 1);
    EXPECT_EQ(runs[cmd::kCloseLink], 0);
    EXPECT_TRUE(scripts.empty());
    EXPECT_FALSE(std::filesystem::exists(home.ini()));

    // Yes: the close goes on.
    boxes.answer(true);
    int wifiStops = 0;
    frame->setWifiStopHook([&] { ++wifiStops; });
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(frame->closed());
    EXPECT_EQ(boxes.calls.size(), 2u);
    EXPECT_THAT(scripts, ::testing::ElementsAre("getLookAt"));
    EXPECT_EQ(runs[cmd::kCloseLink], 1);
    EXPECT_EQ(wifiStops, 1);
    EXPECT_NE(readFile(home.ini()).find("Position=" + std::string(32, 'P')), std::string::npos);
}

TEST_F(MainFrameTest, CloseWithSavedRouteAsksNothingAndFlushesBeforeClosingTheLink)
{
    BoxRecorder boxes(false);
    startApp();
    std::vector<std::string> order;
    app->station().setFlushTickHook([&] { order.push_back("flush"); });
    app->commands().setHandler(cmd::kCloseLink, [&] { order.push_back("close link"); });
    app->commands().execute(cmd::kExit);
    EXPECT_TRUE(frame->closed());
    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_THAT(order, ::testing::ElementsAre("flush", "close link"));
}

TEST_F(MainFrameTest, AboutBoxShowsTheVersionTextTheDataFolderAndOneButton)
{
    CAboutDlg dlg(nullptr, QStringLiteral("/data/orvex/"));
    auto* text = dlg.findChild<QLabel*>(QStringLiteral("aboutText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Orvex 无人机地面站1.0 版"));
    EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("dataFolder"))->text(), QStringLiteral("数据文件夹：/data/orvex/"));
    const auto buttons = dlg.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), QStringLiteral("确定"));
    dlg.show();
    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(MainFrameTest, SplashClosesAtTheFirstKeyOrMousePressWhichGoesNoFurther)
{
    startApp();
    countHandler(cmd::kLocateAircraft);
    {
        CSplash splash(60000);
        EXPECT_EQ(splash.size(), QSize(639, 331));
        splash.show();
        app->keyboardFilter()->setSplash(&splash);
        QTest::keyClick(frame, Qt::Key_C);
        EXPECT_FALSE(splash.isUp());
        EXPECT_FALSE(splash.isVisible());
        EXPECT_EQ(runs[cmd::kLocateAircraft], 0); // the key only closed the splash
        QTest::keyClick(frame, Qt::Key_C);
        EXPECT_EQ(runs[cmd::kLocateAircraft], 1);
    }
    {
        CSplash splash(60000);
        splash.show();
        app->keyboardFilter()->setSplash(&splash);
        QSignalSpy dismissed(&splash, &CSplash::dismissed);
        QTest::mouseClick(frame->statusBar(), Qt::RightButton);
        EXPECT_EQ(dismissed.count(), 1);
        EXPECT_FALSE(splash.isUp());
    }
    app->keyboardFilter()->setSplash(nullptr);
}

TEST(Splash, ClosesItselfAfterItsTime)
{
    CSplash splash(30);
    QSignalSpy dismissed(&splash, &CSplash::dismissed);
    splash.show();
    EXPECT_TRUE(splash.isUp());
    EXPECT_TRUE(dismissed.wait(2000));
    EXPECT_FALSE(splash.isUp());
}

TEST_F(MainFrameTest, ActivationFocusesTheMapAndReadsTheLockKeysWhichThenFollowTheKeys)
{
    SLockKeys keyboard{true, false, true};
    setLockKeyReader([&] { return std::optional<SLockKeys>(keyboard); });
    startApp();
    auto lit = [this] {
        return std::vector<bool>{frame->statusPane(1)->isEnabled(), frame->statusPane(2)->isEnabled(),
                                 frame->statusPane(3)->isEnabled()};
    };
    EXPECT_EQ(lit(), (std::vector<bool>{true, false, true})) << "the keyboard's state at start";
    QTest::keyClick(frame, Qt::Key_CapsLock);
    QTest::keyClick(frame, Qt::Key_NumLock);
    EXPECT_EQ(lit(), (std::vector<bool>{false, true, true}));

    auto* panel = new QWidget;
    auto* box = new QLineEdit(panel);
    frame->setInstrumentPanel(panel);
    QApplication::setActiveWindow(frame);
    box->setFocus();
    ASSERT_EQ(frame->focusWidget(), box);
    // Another program had the keyboard; coming back focuses the map and reads the lock keys again.
    keyboard = {false, false, false};
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(frame);
    QWidget* focus = frame->focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == frame->mapView() || frame->mapView()->isAncestorOf(focus)) << focus->metaObject()->className();
    EXPECT_EQ(lit(), (std::vector<bool>{false, false, false}));
}

TEST_F(MainFrameTest, ProgressSliderChannelIsASunkenWellInTheWindowColour)
{
    startApp();
    frame->playbackBar()->show();
    auto* slider = qobject_cast<CProgressSlider*>(frame->progressSlider());
    ASSERT_NE(slider, nullptr);
    for (const bool enabled : {true, false}) {
        slider->setEnabled(enabled);
        const QImage image = slider->grab().toImage();
        const QRect c = slider->channelRect();
        ASSERT_GE(c.height(), 5);
        const int x = c.left() + c.width() * 3 / 4; // clear of the thumb at 0
        const QPalette& pal = slider->palette();
        EXPECT_EQ(image.pixel(x, c.center().y()), pal.color(enabled ? QPalette::Base : QPalette::Button).rgb()) << enabled;
        EXPECT_EQ(image.pixel(x, c.top()), pal.color(QPalette::Dark).rgb()) << enabled;
        EXPECT_EQ(image.pixel(x, c.bottom()), pal.color(QPalette::Light).rgb()) << enabled;
    }
}

TEST(QtTexts, StandardButtonsAndFileDialogsSpeakChinese)
{
    ASSERT_TRUE(COrvexApp::loadQtTranslations()) << "qt6-translations-l10n installed?";
    QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
    EXPECT_EQ(QFileDialog::tr("Save As"), QStringLiteral("另存为"));
}

// The folder of the file dialog that `open` shows, which is then cancelled ("" when none shows).
QString fileDialogFolder(const std::function<void()>& open)
{
    QString folder;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            folder = dialog->directory().absolutePath() + '/';
            dialog->reject();
        }
    });
    poll.start(20);
    open();
    return folder;
}

TEST_F(MainFrameTest, FileDialogsKeepToTheirFoldersAndReplayAsksBeforeEndingALiveLink)
{
    BoxRecorder boxes(false);
    startApp();
    CCommandTable& c = app->commands();
    const QString h = QString::fromStdString(home.path());
    EXPECT_EQ(fileDialogFolder([&] { c.execute(cmd::kLoadRoute); }), h + "routes/");
    EXPECT_EQ(fileDialogFolder([&] { c.execute(cmd::kReplay); }), h + "Hj/");
    app->station().settings().setText(keys::kRouteFolder, home.path() + "Hj"); // where a route was last saved
    EXPECT_EQ(fileDialogFolder([&] { c.execute(cmd::kSaveRoute); }), h + "Hj/");

    // With the WiFi link open, "轨迹回放" asks first; No leaves the link and opens no dialog.
    ASSERT_TRUE(c.execute(cmd::kOpenWifi));
    boxes.calls.clear();
    EXPECT_EQ(fileDialogFolder([&] { c.execute(cmd::kReplay); }), QString());
    ASSERT_EQ(boxes.calls.size(), 1u);
    EXPECT_EQ(boxes.calls[0].text, QStringLiteral("正在与飞机连接，回放将断开连接。确定要回放吗？"));
    EXPECT_EQ(boxes.calls[0].caption, QStringLiteral("提示"));
    EXPECT_FALSE(boxes.calls[0].defaultYes);
    EXPECT_TRUE(app->station().wifiActive());
}

TEST_F(MainFrameTest, UploadDoneReachesTheStatusLineAndTheReplayBarShowsTheRecordTime)
{
    startApp();
    CGroundStation& s = app->station();
    s.route().append(CWayPoint{});
    ASSERT_TRUE(app->commands().execute(cmd::kUploadRoute));
    s.uploadTick();
    const CWayPoint& w = s.route()[0];
    s.onWaypointEcho({1, float(w.latitude), float(w.longitude), w.altitude, w.photoMode, w.circleFlag, w.circleTime},
                     EDownlinkLink::Udp);
    StpBytes holdsOne = stpRecord(22.0f, 113.0f);
    holdsOne[31] = 1; // storedWaypointCount
    ASSERT_TRUE(s.recordUpdate(CTelemetryRecord(holdsOne)));
    s.uploadTick();
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("航线上传完成：1 个航点"));

    std::string log;
    for (int i = 0; i < 5; ++i) {
        StpBytes r = stpRecord(22.0f, 113.0f);
        r.at(28) = 12, r.at(30) = std::uint8_t(2 * i); // 12:00:00, 12:00:02 ...
        sealStp(r);
        log.append(r.begin(), r.end());
    }
    CTempDir::write(home.file("f.hj"), log);
    ASSERT_TRUE(app->m_links->openReplayFile(QString::fromStdString(home.file("f.hj"))));
    EXPECT_EQ(frame->replayClock()->text(), QStringLiteral("12:00:00  00:00 / 00:08"));
    frame->progressSlider()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(frame->replayClock()->text(), QStringLiteral("12:00:08  00:08 / 00:08"));
}
