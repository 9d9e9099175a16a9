// The map pages in the real browser engine (offscreen): the online page, with tiles that cannot
// load, reports "7001;" and gives way to the offline page, where the script functions and mouse
// tools are then exercised. Page loads are heavy: the tests share one map dialog and run in order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include <memory>
#include <optional>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/shell/MessageBox.h"
#include "base/Settings.h"
#include "app/map/HtmlCtrl.h"
#include "app/map/MapDlg.h"
#include "app/map/PlaceMarkDlg.h"
#include "app/map/PositionPanel.h"
#include "app/mainframe/MainFrame.h"
#include "app/panels/PanelAttach.h"
#include "protocol/TelemetryRecord.h"
#include "route/SkyWay.h"
#include "support/QtWait.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

// Test helpers defined in the page: synthetic mouse events at a map position, delivered to the
// element under that point so that they travel through the map library's own handlers.
const char* kMouseHelper = R"JS(
var orvexTestPressed = false;
window.orvexTestMouse = function (type, lat, lng, button) {
  if (type === 'mousedown') orvexTestPressed = true;
  if (type === 'mouseup') orvexTestPressed = false;
  var p = orvexMap.latLngToContainerPoint([lat, lng]);
  var r = orvexMap.getContainer().getBoundingClientRect();
  var x = r.left + p.x, y = r.top + p.y;
  var el = document.elementFromPoint(x, y);
  var fire = function (t, pressed) {
    el.dispatchEvent(new MouseEvent(t, { bubbles: true, cancelable: true, clientX: x, clientY: y,
                                         button: button || 0, buttons: pressed ? 1 : 0, view: window }));
  };
  if (type === 'click') {  // a whole click, as the mouse gives it: press, release, click
    fire('mousedown', true);
    fire('mouseup', false);
  }
  fire(type, orvexTestPressed);
};
true;
)JS";

struct CShared {
    CTempDir home{"orvex-map-page"};
    std::unique_ptr<CSettings> settings;
    CSkyWay route;
    std::unique_ptr<CMapDlg> dlg;
    QStringList events;
    QStringList status;
    QString title;
    QList<int> uploads;
    QList<int> toolModes;
    QList<int> editorRows;
    bool uploadEnabled = true;
    QMap<QString, bool> menuItemEnabled; // as the last menu showed them
};

CShared* g = nullptr;

QVariant evalJs(const QString& script)
{
    std::optional<QVariant> result;
    g->dlg->browser()->page()->runJavaScript(script, [&](const QVariant& v) { result = v; });
    waitFor([&] { return result.has_value(); }, 60000); // a long script under load takes its time
    return result.value_or(QVariant());
}

QJsonObject pageState()
{
    return QJsonDocument::fromJson(evalJs(QStringLiteral("orvexMapState()")).toString().toUtf8()).object();
}

void mouse(const char* type, double lat, double lng, int button = 0)
{
    evalJs(QStringLiteral("orvexTestMouse('%1', %2, %3, %4)")
               .arg(QLatin1String(type))
               .arg(lat, 0, 'f', 6)
               .arg(lng, 0, 'f', 6)
               .arg(button));
}

// Page calls and what they leave on the page: `check` is an expression on the page state `s`.
struct SPageCase {
    const char* script;
    const char* check;
    const char* expected;
};

void checkPage(std::initializer_list<SPageCase> cases)
{
    for (const SPageCase& c : cases) {
        SCOPED_TRACE(c.script);
        const QString js = QStringLiteral("%1; var s = JSON.parse(orvexMapState()); String(%2)")
                               .arg(QString::fromUtf8(c.script), QString::fromUtf8(c.check));
        EXPECT_EQ(evalJs(js).toString(), QString::fromUtf8(c.expected)) << c.check;
    }
}

// Answers the next modal dialog or popup menu from a timer, as the operator would.
void answerNextMenu(const QString& item)
{
    QTimer::singleShot(300, [item] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* a : menu->actions())
            g->menuItemEnabled[a->text()] = a->isEnabled();
        for (QAction* a : menu->actions())
            if (a->text() == item && a->isEnabled()) {
                menu->setActiveAction(a);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        menu->close();
    });
}

void answerNextNameDialog(const QString& name, QString* caption)
{
    QTimer::singleShot(300, [name, caption] {
        if (auto* dlg = qobject_cast<CPlaceMarkDlg*>(QApplication::activeModalWidget())) {
            *caption = dlg->windowTitle();
            dlg->nameEdit()->setText(name);
            dlg->accept();
        }
    });
}

} // namespace

class MapPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        g = new CShared;
        const std::string ini = g->home.file("Korva.ini");
        CTempDir::write(ini, "[Options]\r\nPlaceMark=31.0,121.0,800.0,0,0,12,0,```旧标注~`~\r\n"
                             "AddressName=北京,39.9,116.4,~`~\r\n");
        g->settings = std::make_unique<CSettings>(ini);
        g->dlg = std::make_unique<CMapDlg>(g->route, *g->settings, QStringLiteral(ORVEX_BIN_DIR));
        SMapDlgHooks hooks;
        hooks.setStatusText = [](const QString& t) { g->status << t; };
        hooks.setWindowTitle = [](const QString& t) { g->title = t; };
        hooks.uploadWaypoint = [](int i) { g->uploads << i; };
        hooks.waypointUploadEnabled = [] { return g->uploadEnabled; };
        hooks.openRouteEditor = [](int row) { g->editorRows << row; };
        hooks.toolModeChanged = [](int m) { g->toolModes << m; };
        g->dlg->setHooks(hooks);
        QObject::connect(g->dlg.get(), &CMapDlg::mapEventHandled, [](const QString& t) { g->events << t; });
        g->dlg->resize(1000, 700);
        g->dlg->show();
    }
    static void TearDownTestSuite()
    {
        setMessageBoxInterceptor({});
        delete g;
        g = nullptr;
    }
};

TEST_F(MapPageTest, OnlinePageDefinesTheCatalogueRestoresTheCameraAndGoesOffline)
{
    // Tiles that cannot load: the online page must give up and report "7001;".
    g->dlg->start(QStringLiteral("tiles=file:///nonexistent-orvex-tiles/{z}/{x}/{y}.png"));
    ASSERT_TRUE(waitFor([] { return g->dlg->handler().pageReady(); }, 60000)) << "no 1000; from the online page";

    // A stale aircraft (link closed or lost) is greyed by a class on the map, and live again on "0".
    checkPage({{"setPlaneStale('1')", "document.querySelector('.planestale') !== null", "true"},
               {"setPlaneStale('0')", "document.querySelector('.planestale') !== null", "false"}});

    // No view stored: the stored placemark is drawn, and the first aircraft position with a fix
    // (not 0,0) centres the map on the aircraft, once.
    checkPage({{"window.startZoom = orvexMap.getZoom()", "[s.offline, s.placemarks, s.zoom < 10]",
                "false,旧标注,true"},
               {"setplane(0, 0, 0, 0, 0)", "s.zoom === startZoom", "true"},
               {"setplane(22.61, 113.84, 30, 0, 10)", "[s.zoom >= 14, s.center[0].toFixed(4)]",
                "true,22.6100"},
               {"setplane(22.70, 113.90, 30, 0, 10)", "s.center[0].toFixed(4)", "22.6100"}});

    // A view stored meanwhile (zoom 16 on the placemark) is restored on the offline page, and the
    // aircraft does not move it there.
    g->settings->setText(keys::kLastMap, "2001;31.0,121.0,800.0,0,0,16,0,");
    // One second after "7001;" the offline page replaces it.
    ASSERT_TRUE(waitFor([] { return g->title == QStringLiteral("Orvex 地面站-[离线模式] "); }, 30000)) << "no offline switch";
    ASSERT_TRUE(waitFor([] { return g->events.count(QStringLiteral("1000;")) == 2; }, 60000)) << "no 1000; from the offline page";
    ASSERT_TRUE(evalJs(QString::fromLatin1(kMouseHelper)).toBool());
    ASSERT_TRUE(waitFor([] { return pageState().value("zoom").toInt() == 16; }));
    // The offline page got the stored placemark too; the panel lists it once.
    checkPage({{"setplane(-33.95, 151.18, 12, 0, 0)",
                "[s.offline, s.center.map((v) => v.toFixed(2)), s.placemarks]", "true,31.00,121.00,旧标注"}});
    EXPECT_EQ(g->dlg->positionPanel()->placeMarkRoot()->childCount(), 1);
}

TEST_F(MapPageTest, ScriptCallsChangeThePage)
{
    checkPage({
        {"clearlineStringplane(); delskyway(); setskyway(30, 114, 500, 1, 0);"
         "setskyway(30.1, 114.1, 600, 1, 1); setskyway(30.2, 114.2, 700, 1, 2)",
         "[s.waypoints.length, s.track]", "3,0"},
        {"updatewaypoint(30.15, 114.15, 650, 2, 2)", "s.waypoints[2]", "30.15,114.15,650,2,0"},
        {"setSkyWayPTcolor(1, 1)", "s.waypoints.map(function (w) { return w[4]; })", "0,1,0"},
        {"setplane(30, 114, 120, 1, 45); setplane(30.01, 114.01, 125, 2, 90)", "s.track", "2"},
        {"", "document.querySelector('.plane').style.transform", "rotate(90deg)"},
        // "正下视": the whole route and the aircraft in view.
        {"setV90()", "s.center.map((v) => v.toFixed(1))", "30.1,114.1"},
        {"setPic(30.05, 114.05)", "s.pics", "1"},
        {"setclickpttomap(30.3, 114.3, 200)", "s.flyTarget", "30.3,114.3"},
        {"AddPlaceMaktToMap('30.4', '114.4', '新点'); EditPlaceMaktToMap('.新点', '改名')", "s.placemarks",
         "改名,旧标注"},
        {"setplanetrud()", "s.showAltitudes", "true"},
        // The aircraft flies to waypoint 3 (target 2, counted from 0): the dashed line ends there.
        {"setplanetrud3d()", "s.extensionTo[1]", "30.15,114.15"},
        {"setfuncode(2)", "s.banner.slice(0, 2)", "测距"},
        {"delskywaypt(0)", "s.waypoints.length", "2"},
        {"DelPlaceMaktToMap('.改名')", "s.placemarks", "旧标注"},
        {"setLookAt('40.0', '116.0', '1000', '0', '0', '9', '1')", "s.zoom", "9"},
        // A long flight: the track keeps at most 20000 positions (the oldest go a piece at a time).
        {"for (var i = 0; i < 20700; ++i) setplane(30 + i * 1e-5, 114, 100, 0, 0)",
         "s.track > 19000 && s.track <= 20000", "true"},
        {"clearlineStringplane()", "s.track", "0"},
        // Locating the aircraft from a far zoom comes in to the working zoom, a near one stays.
        {"setplane(30.01, 114.01, 125, 2, 90); setLookAt(40, 116, 0, 0, 0, 5, 1); setplanetomap()",
         "[s.zoom, s.center[0].toFixed(4)]", "17,30.0100"},
        {"setLookAt(40, 116, 0, 0, 0, 18, 1); setplanetomap(); clearlineStringplane()",
         "[s.zoom, s.center[0].toFixed(4)]", "18,30.0100"},
        {"gotopoint('35.5', '100.5')", "s.center.map((v) => v.toFixed(2))", "35.50,100.50"},
        {"setpttomap(31, 101)", "s.center.map((v) => v.toFixed(2))", "31.00,101.00"},
        // "画矩形": a drag from one corner to the other gives the box, south, west, north, east.
        {"orvexPickBox(); var c = orvexMap.getContainer(), r = c.getBoundingClientRect();"
         "['mousedown', 'mousemove', 'mouseup'].forEach(function (t, i) {"
         "  var x = i ? 300 : 100, y = i ? 100 : 300;"
         "  c.dispatchEvent(new MouseEvent(t, { bubbles: true, clientX: r.left + x, clientY: r.top + y }));"
         "}); var sw = orvexMap.containerPointToLatLng([100, 300]), ne = orvexMap.containerPointToLatLng([300, 100])",
         "JSON.stringify(orvexPickedBox) === JSON.stringify([sw.lat, sw.lng, ne.lat, ne.lng]) && orvexMap.dragging.enabled()",
         "true"},
        {"delskyway()", "s.waypoints.length", "0"},
    });

    // getLookAt: the page answers "2001;" with the view (latitude, longitude, range, 0, 0, zoom,
    // offline), stored as LastMap.
    g->dlg->saveCameraBeforeClose(5000);
    const std::string lastMap = g->settings->getText(keys::kLastMap);
    EXPECT_TRUE(lastMap.starts_with("2001;31.0000000,101.0000000,") && lastMap.ends_with(",0,0,18,1,")) << lastMap;

    // Offline search by coordinates: the page answers "8001;", which lands in the history.
    g->dlg->script().gotoaddress("31.5,117.25");
    ASSERT_TRUE(waitFor([] { return g->dlg->handler().addressNames().size() == 2; }));
    EXPECT_EQ(g->dlg->handler().addressNames()[1], "31.5 117.25,31.5000000,117.2500000,");
    EXPECT_EQ(g->dlg->positionPanel()->historyRoot()->childCount(), 2);
}

// Records faster than the display: the panels and the aircraft marker catch up with the last
// one, and the track gets every position.
TEST_F(MapPageTest, TelemetryFasterThanTheDisplayDrawsTheLastRecordAndEveryPosition)
{
    CTempDir home{"orvex-map-draw"};
    CGroundStation station{CAppPaths(home.path(), home.path())};
    CCommandTable commands;
    CMainFrame frame{station, commands};
    const SPanelSet panels = attachPanels(frame, station);
    QObject::connect(&frame, &CMainFrame::telemetryUpdated, g->dlg.get(), &CMapDlg::showTelemetry);
    QSignalSpy drawn(&frame, &CMainFrame::telemetryUpdated);
    constexpr int kRecords = 25;
    for (int i = 1; i <= kRecords; ++i) {
        CTelemetryRecord r;
        r.setLatitude(31.0f + static_cast<float>(i) * 1e-3f);
        r.setLongitude(121.0f);
        r.bytes()[48] = static_cast<std::uint8_t>(i * 10); // altitude in 0.1 m
        ASSERT_TRUE(station.recordUpdate(r));
    }
    ASSERT_TRUE(waitFor([&] { return panels.control->altitudeBox()->text() == QStringLiteral("25"); }));
    EXPECT_LT(drawn.count(), kRecords) << "records that come faster than the display wait for it";
    const QJsonObject s = pageState();
    EXPECT_NEAR(s.value("plane").toObject().value("lat").toDouble(), 31.025, 1e-5);
    EXPECT_EQ(s.value("track").toInt(), kRecords);
}

TEST_F(MapPageTest, RouteByMousePlanInsertDragEditMenuAndMove)
{
    g->dlg->script().setLookAt({"30.0", "114.0", "0", "0", "0", "10", "0"});
    g->dlg->selectTool(kMapToolPlanRoute);
    g->route.clear();
    mouse("click", 30.00, 113.90);
    mouse("click", 30.05, 114.00);
    mouse("click", 29.95, 114.10);
    ASSERT_TRUE(waitFor([] { return g->route.size() == 3; }));
    EXPECT_NEAR(g->route[1].longitude, 114.0, 1e-3);
    EXPECT_TRUE(pageState().value("banner").toString().startsWith(QStringLiteral("规划航线")));

    // Moving the mouse in this mode shows the distance from the last point.
    mouse("mousemove", 30.0, 114.2);
    ASSERT_TRUE(waitFor([] { return !g->status.isEmpty() && g->status.last().contains("From Pre Point"); }));

    // A click on the route line between the first two points inserts a point there ("1010;").
    mouse("click", 30.025, 113.95);
    ASSERT_TRUE(waitFor([] { return g->route.size() == 4; }));
    EXPECT_NEAR(g->route[1].latitude, 30.025, 0.005);

    // Dragging waypoint 4: its tooltip follows the point and the banner steps aside.
    const double lat3 = g->route[3].latitude, lon3 = g->route[3].longitude;
    mouse("mousedown", lat3, lon3);
    mouse("mousemove", lat3 + 0.01, lon3);
    mouse("mousemove", lat3 + 0.02, lon3);
    const QString tips = evalJs("document.querySelector('.leaflet-tooltip-pane').textContent").toString();
    EXPECT_TRUE(tips.contains(QStringLiteral("航点 4纬度 %1").arg(lat3 + 0.02, 0, 'f', 2))) << tips.toStdString();
    EXPECT_EQ(pageState().value("banner").toString(), QString());
    mouse("mouseup", lat3 + 0.02, lon3);
    ASSERT_TRUE(waitFor([&] { return std::abs(g->route[3].latitude - lat3 - 0.02) < 0.002; }));
    EXPECT_FALSE(pageState().value("banner").toString().isEmpty());

    // Double click on waypoint 3 opens the editor at its row.
    mouse("dblclick", g->route[2].latitude, g->route[2].longitude);
    ASSERT_TRUE(waitFor([] { return !g->editorRows.isEmpty(); }));
    EXPECT_EQ(g->editorRows, QList<int>{2});

    // Right click on waypoint 2 (index 1): the menu, "删除"; "上传" is offered only while its rule
    // allows it.
    g->uploadEnabled = false;
    answerNextMenu(QStringLiteral("删除"));
    mouse("contextmenu", g->route[1].latitude, g->route[1].longitude, 2);
    ASSERT_TRUE(waitFor([] { return g->route.size() == 3; }, 8000));
    EXPECT_FALSE(g->menuItemEnabled.value(QStringLiteral("上传"), true));
    g->uploadEnabled = true;
    answerNextMenu(QStringLiteral("上传"));
    mouse("contextmenu", g->route[0].latitude, g->route[0].longitude, 2);
    ASSERT_TRUE(waitFor([] { return g->uploads == QList<int>{0}; }, 8000));

    // Move route: press on the map, move, release: every waypoint moves by the same amount.
    const double lat0 = g->route[0].latitude, lon0 = g->route[0].longitude;
    const double lat2 = g->route[2].latitude;
    g->dlg->selectTool(kMapToolMoveRoute);
    EXPECT_EQ(g->toolModes.last(), 7);
    mouse("mousedown", 30.10, 114.10);
    mouse("mousemove", 30.15, 114.12);
    mouse("mouseup", 30.15, 114.12);
    ASSERT_TRUE(waitFor([&] { return std::abs(g->route[0].latitude - lat0) > 0.01; }));
    ASSERT_TRUE(waitFor([] { return !g->events.isEmpty() && g->events.last() == "1005;"; }));
    EXPECT_NEAR(g->route[0].longitude - lon0, 0.02, 0.002);
    EXPECT_NEAR(g->route[2].latitude - lat2, 0.05, 0.002);
}

TEST_F(MapPageTest, MeasureRestorePlaceMarkAndPositionSearch)
{
    QStringList boxes;
    setMessageBoxInterceptor([&](const SMessageBoxCall& c) {
        boxes << c.text;
        return true;
    });
    g->dlg->selectTool(kMapToolMeasure);
    mouse("click", 30.0, 114.0);
    mouse("mousemove", 30.0, 114.5);
    ASSERT_TRUE(waitFor([] { return !g->status.isEmpty() && g->status.last().endsWith(" 千米"); }));
    mouse("click", 30.0, 114.3);
    ASSERT_TRUE(waitFor([&] { return !boxes.isEmpty(); }));
    setMessageBoxInterceptor({});
    // "Start Point: ...\nEnd   Point: ...\nDistance:  d Km" (the texts are the core's)
    EXPECT_NEAR(boxes[0].section(QLatin1Char(' '), -2, -2).toDouble(), 28.9, 0.3) << boxes[0].toStdString();

    // Restore tool: mouse position and the click point for click-to-fly.
    g->dlg->selectTool(kMapToolRestore);
    mouse("mousemove", 30.1, 114.2);
    ASSERT_TRUE(waitFor([] { return !g->status.isEmpty() && g->status.last().startsWith("Mouse [114.2"); }));
    mouse("click", 30.25, 114.5);
    ASSERT_TRUE(waitFor([] { return std::abs(g->dlg->handler().clickPoint().lat - 30.25f) < 0.01f; }));
    EXPECT_NEAR(g->dlg->handler().clickPoint().lon, 114.5f, 0.01f);

    g->dlg->selectTool(kMapToolPlaceMark);
    QString caption;
    answerNextNameDialog(QStringLiteral("机场"), &caption);
    mouse("click", 30.2, 114.3);
    ASSERT_TRUE(waitFor([] { return g->dlg->handler().placeMarks().size() == 2; }, 8000));
    EXPECT_EQ(caption, QStringLiteral("标注"));
    CPositionPanel* panel = g->dlg->positionPanel();
    QTreeWidgetItem* item = panel->findItem(panel->placeMarkRoot(), QStringLiteral("机场"));
    ASSERT_NE(item, nullptr);

    // Double click on it in the panel: the camera goes there (from 30.0 N, where the route was).
    panel->activateValue(item->data(0, CPositionPanel::kValueRole).toInt());
    ASSERT_TRUE(waitFor([] { return std::abs(pageState().value("center").toArray()[0].toDouble() - 30.2) < 0.01; }));

    answerNextMenu(QStringLiteral("删除"));
    mouse("contextmenu", 30.2, 114.3, 2);
    ASSERT_TRUE(waitFor([] { return g->dlg->handler().placeMarks().size() == 1; }, 8000));
    EXPECT_EQ(panel->findItem(panel->placeMarkRoot(), QStringLiteral("机场")), nullptr);

    // Position search: the name is trimmed and found in the stored addresses, without a network.
    answerNextNameDialog(QStringLiteral("  北京 "), &caption);
    g->dlg->positionSearch();
    EXPECT_EQ(caption, QStringLiteral("位置搜索"));
    ASSERT_TRUE(waitFor([] { return std::abs(pageState().value("center").toArray()[0].toDouble() - 39.9) < 0.01; }));
}

// Without a page: the navigation check and the script text (decoding: the "8001;" answer above).
TEST(MapHostText, OnlyAppAddressesAreEventsAndScriptArgumentsAreEscaped)
{
    EXPECT_TRUE(CMapPage::eventText(QUrl(QStringLiteral("app"))).isNull());
    EXPECT_TRUE(CMapPage::eventText(QUrl(QStringLiteral("file:///tmp/app:1000;"))).isNull());
    const QString js = CMapDlg::scriptFor("EditPlaceMaktToMap", {".a'b", "x\"y\\z\n</script>"});
    EXPECT_TRUE(js.contains(QStringLiteral("[\".a'b\",\"x\\\"y\\\\z\\n</script>\"]"))) << js.toStdString();
}
