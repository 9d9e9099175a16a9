// The map event handler on recorded event texts, with a recording page, a scripted user and a
// real settings file in a temporary directory; the script-call catalogue's argument formats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/Settings.h"
#include "map/MapEventHandler.h"
#include "map/MapScript.h"
#include "route/SkyWay.h"
#include "support/TempDir.h"

using namespace orvex;

namespace {

struct CRecordingScript : IMapScript {
    std::vector<std::pair<std::string, std::vector<std::string>>> calls;
    void call(const std::string& fn, const std::vector<std::string>& args) override { calls.emplace_back(fn, args); }
    // The calls so far as "name(a,b) name()", then forgotten.
    std::string take()
    {
        std::string t;
        for (const auto& [fn, args] : calls) {
            t += (t.empty() ? "" : " ") + fn + "(";
            for (size_t i = 0; i < args.size(); ++i)
                t += (i ? "," : "") + args[i];
            t += ")";
        }
        calls.clear();
        return t;
    }
};

// The user: answers of the name dialog and the menus as set, the edit dialog confirmed. What is
// shown or asked goes into the page's journal, in order with the page calls: status(text),
// message(text), ask(initial), editor(row), edit(i), upload(i), offline().
struct CScriptedUi : IMapUi {
    explicit CScriptedUi(CRecordingScript& journal) : journal(journal) {}
    CRecordingScript& journal;
    std::deque<std::optional<std::string>> names;
    EWaypointMenuChoice waypointChoice = EWaypointMenuChoice::None;
    EPlaceMarkMenuChoice placeMarkChoice = EPlaceMarkMenuChoice::None;
    std::function<void()> duringMenu = [] {}, duringEdit = [] {}; // changes while the menu or dialog is open

    void setStatusText(const std::string& t) override { journal.call("status", {t}); }
    void showMessage(const std::string& t) override { journal.call("message", {t}); }
    std::optional<std::string> askName(EMapNameDialog, const std::string& initial) override
    {
        journal.call("ask", {initial});
        auto a = names.empty() ? std::nullopt : names.front();
        if (!names.empty())
            names.pop_front();
        return a;
    }
    void openRouteEditor(int row) override { journal.call("editor", {std::to_string(row)}); }
    EWaypointMenuChoice waypointMenu(int, int) override { duringMenu(); return waypointChoice; }
    EPlaceMarkMenuChoice placeMarkMenu(int, int) override { return placeMarkChoice; }
    bool editWaypoint(int i) override { duringEdit(); journal.call("edit", {std::to_string(i)}); return true; }
    void uploadWaypoint(int index) override { journal.call("upload", {std::to_string(index)}); }
    void requestOfflinePage() override { journal.call("offline", {}); }
    void placeMarksChanged() override {}
    void historyChanged() override {}
};

// The handler on a route, a recording page, a scripted user and the settings file as written so far.
struct SRig {
    explicit SRig(const std::string& ini) : settings(ini) {}
    CSettings settings;
    CSkyWay route{"skw"};
    CRecordingScript page;
    CScriptedUi ui{page};
    CMapEventHandler h{route, page, settings, ui};
};

class MapEventHandlerTest : public ::testing::Test {
protected:
    CTempDir home{"orvex-map"};
    std::string iniPath = home.file("Korva.ini");
};

CWayPoint at(double lat, double lon, int alt = 500)
{
    CWayPoint wp;
    wp.latitude = lat;
    wp.longitude = lon;
    wp.altitude = alt;
    return wp;
}

// "lat,lon/alt" per waypoint, "#tag" after it when there is one.
std::string describe(const CSkyWay& route)
{
    std::ostringstream d;
    for (const CWayPoint& wp : route) {
        d << (d.tellp() > 0 ? " " : "") << wp.latitude << ',' << wp.longitude << '/' << wp.altitude;
        if (wp.pointTag)
            d << '#' << static_cast<int>(wp.pointTag);
    }
    return d.str();
}

} // namespace

TEST(MapScriptCatalogue, ArgumentFormatsAndLookAtOnlyFromA2001Text)
{
    CRecordingScript host;
    CMapScript s(host);
    s.setplane(30.123456789, -114.5, 612.0, 3, 359.5);
    s.setSkyWayPTcolor(4, 1);
    s.setPic(22.5, 113.25);
    s.getLookAt();
    EXPECT_EQ(host.take(), "setplane(30.123457,-114.500000,612.000000,3,359.500000) setSkyWayPTcolor(4,1) "
                           "setPic(22.500000,113.250000,0.000000) getLookAt()");
    for (const char* refused : {"", "2002;1,2,3,4,5,6,7,", "2001"})
        EXPECT_FALSE(s.restoreLookAt(refused)) << refused;
    EXPECT_TRUE(s.restoreLookAt("2001;30.1,114.2,5000.0,0,0,12,0,extra,"));
    // Fewer than seven fields: the missing ones are empty, still seven arguments.
    EXPECT_TRUE(s.restoreLookAt("2001;1,2,"));
    EXPECT_EQ(host.take(), "setLookAt(30.1,114.2,5000.0,0,0,12,0) setLookAt(1,2,,,,,)");
}

TEST_F(MapEventHandlerTest, RouteEventsFromThePage)
{
    CTempDir::write(iniPath, "[WayPoint]\r\nAltitude=650\r\nSpeed=2\r\n");
    const struct {
        std::vector<const char*> events;
        const char* route;
        const char* page; // what the page is told back
        size_t steps;     // undo steps taken
    } cases[] = {
        // Only a point sent with altitude 0 is told the route's altitude (the settings').
        {{"1001;30.5,114.3,0,0,;"}, "1,1/321 2,2/500 30.5,114.3/650",
         "updatewaypoint(30.500000,114.300000,650,0,2)", 1},
        // Several records in one event are one step.
        {{"1001;31,115,120,4,;32,116,80.9,5,;"}, "1,1/321 2,2/500 31,115/120#4 32,116/80#5", "", 1},
        // An insert past the end fills with new points, one inside goes before the index.
        {{"1010;6,7,0,9,4,;"}, "1,1/321 2,2/500 0,0/650 0,0/650 6,7/650#9",
         "updatewaypoint(6.000000,7.000000,650,9,4)", 1},
        {{"1010;1.5,2.5,200,0,1,;"}, "1,1/321 1.5,2.5/200 2,2/500", "", 1},
        {{"1010;5,5,0,0,2000000000,;5,5,0,0,-1,;5,5,0,0,10001,;"}, "1,1/321 2,2/500", "", 1},
        // A drag keeps the altitude and is one step when it ends ("1005;").
        {{"1002;10.5,20.5,3,0,"}, "10.5,20.5/321#3 2,2/500", "", 0},
        {{"1002;10.5,20.5,3,0,", "1005;"}, "10.5,20.5/321#3 2,2/500", "", 1},
        {{"1002;1,1,1,2,", "1002;1,1,1,-1,"}, "1,1/321 2,2/500", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events[0]);
        SRig r(iniPath);
        r.route.append(at(1, 1, 321));
        r.route.append(at(2, 2));
        for (const char* e : c.events)
            r.h.handle(e);
        EXPECT_EQ(describe(r.route), c.route);
        EXPECT_EQ(r.page.take(), c.page);
        EXPECT_EQ(r.h.history().undoCount(), c.steps);
    }
    // The rest of a new point comes from the settings; 10000 is the last index an insert takes.
    SRig r(iniPath);
    r.h.handle("1001;30.5,114.3,0,0,;");
    EXPECT_EQ(r.route[0], [] { CWayPoint w = at(30.5, 114.3, 650); w.photoMode = 2; return w; }());
    r.h.handle("1010;5,5,0,0,10000,;");
    EXPECT_EQ(r.route.size(), 10001u);
}

namespace {

// One edit or command per word: A<lat> map click, D<i> menu "删除", E<i>:<alt> edit dialog OK,
// M<i>:<lat> drag, I<i>:<lat> insert, T<i>:<alt> a change accepted in the route editor,
// X "删除航线", L a route loaded from a file (recorded by nobody), V<i> waypoint i echoed by the
// aircraft after an upload, U undo, R redo.
void perform(CMapEventHandler& h, CSkyWay& route, CScriptedUi& ui, const std::string& word)
{
    const char op = word[0];
    const int i = std::atoi(word.c_str() + 1);
    const size_t colon = word.find(':');
    const int v = colon == std::string::npos ? 0 : std::atoi(word.c_str() + colon + 1);
    const std::string n = std::to_string(i);
    switch (op) {
    case 'A': h.handle("1001;" + n + "," + n + ",0,0,;"); break;
    case 'D':
        ui.waypointChoice = EWaypointMenuChoice::Delete;
        h.handle("6001;" + n + ",0,0,");
        break;
    case 'E':
        ui.waypointChoice = EWaypointMenuChoice::Edit;
        ui.duringEdit = [&route, i, v] { route[static_cast<size_t>(i)].altitude = v; };
        h.handle("6001;" + n + ",0,0,");
        break;
    case 'M': h.handle("1002;" + std::to_string(v) + "," + std::to_string(v) + ",0," + n + ","); h.handle("1005;"); break;
    case 'I': h.handle("1010;" + std::to_string(v) + ",0,0,0," + n + ",;"); break;
    case 'T': route[static_cast<size_t>(i)].altitude = v; h.takeSnapshot(); break;
    case 'X': route.clear(); h.takeSnapshot(); break;
    case 'L': route.clear(); route.append(at(7, 7)); route.append(at(8, 8)); break;
    case 'V': route[static_cast<size_t>(i)].verified = 1; route[static_cast<size_t>(i)].uploadState = 2; break;
    case 'U': h.undo(); break;
    case 'R': h.redo(); break;
    }
}

} // namespace

TEST_F(MapEventHandlerTest, EveryChangeIsOneUndoStepAndUndoRedraws)
{
    const struct {
        const char* steps;
        const char* route;
    } cases[] = {
        {"A1 A2 U U R", "1,1/500"},
        {"A1 A2 A3 U A4 R", "1,1/500 2,2/500 4,4/500"}, // the new point stays, 3 does not come back
        {"A1 A2 X U A3 R R", "1,1/500 2,2/500 3,3/500"}, // "删除航线" undone; its empty route does not come back
        {"A1 A2 E0:700 D1 U U", "1,1/500 2,2/500"},
        {"A1 A2 I1:5 T0:600 T1:700 U U U", "1,1/500 2,2/500"},
        {"A1 A2 M1:9 U", "1,1/500 2,2/500"},
        {"A1 A2 M1:9 U R", "1,1/500 9,9/500"},
        {"A1 A2 M0:1 U", "1,1/500"}, // a drag that moved nothing is no step: undo takes back the click
        {"A1 L U", "1,1/500"},       // an unrecorded change is undone as one step
        {"A1 L U R", "7,7/500 8,8/500"},
        {"A1 A2 U L R", "7,7/500 8,8/500"}, // ...and clears what redo would have brought back
        {"A1 A2 V0 U", "1,1/500"}, // the upload's marks are no step
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        SRig r(iniPath);
        std::istringstream words(c.steps);
        for (std::string word; words >> word;)
            perform(r.h, r.route, r.ui, word);
        EXPECT_EQ(describe(r.route), c.route);
        EXPECT_EQ(r.route.formatTag(), "skw");
    }
    // Undo and redo redraw the route on the page, only when they change it.
    SRig r(iniPath);
    r.h.undo(); // nothing to undo
    EXPECT_EQ(r.page.take(), "");
    r.h.handle("1001;1,1,100,7,;");
    r.h.handle("1001;2,2,200,0,;");
    r.h.handle("1001;3,3,300,0,;");
    r.h.undo();
    EXPECT_TRUE(r.h.history().edited());
    EXPECT_EQ(r.page.take(),
              "delskyway() setskyway(1.000000,1.000000,100,7,0) setskyway(2.000000,2.000000,200,0,1)");
    r.h.redo();
    EXPECT_EQ(r.page.calls.size(), 4u);
    r.h.handle("1001;3,3,100,0,;");
    EXPECT_FALSE(r.h.history().edited());
}

TEST_F(MapEventHandlerTest, EventKindsClickPointAndStaleMenu)
{
    using enum EWaypointMenuChoice;
    const struct {
        const char* event;
        const char* journal;
        EWaypointMenuChoice menu = None;
        const char* route = "0,0/500 0,1/500 0,2/500";
    } cases[] = {
        {"5001;30.5,114.25,12,", "status(Mouse [114.25000, 30.50000, 12.00000])"},
        {"5002;0,1,0,0,0,0,", "status(Mouse [1.00000, 0.00000, 0.00000]距离 111.319 千米)"},
        {"5003;0,0,0,0,1,0,",
         "status(Mouse [0.00000, 0.00000, 0.00000]Distance 111.319 Km) "
         "message(Start Point: 0.00000, 0.00000\nEnd   Point: 1.00000, 0.00000\nDistance:  111.319 Km)"},
        {"5005;0,3,0,",
         "status(Mouse [3.00000, 0.00000, 0.00000] From Pre Point 111.319 Km ,Path Length 333.958Km)"},
        {"7001;", "offline()"},
        {"8002;某地,", "status(未找到：某地)"}, // the page found nothing for a search
        // The double-clicked waypoint's row; one outside the route gives row #01.
        {"1003;2,", "editor(2)"},
        {"1003;3,", "editor(0)"},
        {"1003;-1,", "editor(0)"},
        {"6001;2,100,50,", "upload(2)", Upload},
        {"6001;3,100,50,", "", Upload}, // outside the route: no menu, nothing
        {"6001;1,0,0,", "edit(1) updatewaypoint(0.000000,1.000000,500,0,1)", Edit},
        {"6001;0,0,0,", "delskywaypt(0)", Delete, "0,1/500 0,2/500"},
        {"9999;whatever", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        SRig r(iniPath);
        for (int lon = 0; lon < 3; ++lon)
            r.route.append(at(0, lon));
        r.ui.waypointChoice = c.menu;
        r.h.handle(c.event);
        EXPECT_EQ(r.page.take(), c.journal);
        EXPECT_EQ(describe(r.route), c.route);
    }
    // The click point, the camera kept for "默认", and a menu left open while the route shrank.
    SRig r(iniPath);
    r.h.handle("1003;"); // no route: no editor and no plan text
    r.h.handle("5005;0,1,0,");
    r.h.handle("5006;22.25,113.5,88,");
    const SMapClickPoint& p = r.h.clickPoint();
    EXPECT_EQ(std::tuple(p.lat, p.lon, p.alt), std::tuple(22.25f, 113.5f, 88.0f));
    r.h.handle("2001;30.1,114.2,5000.0,0,0,12,0,");
    r.h.activateDefaultView(); // "默认" returns to the stored camera
    EXPECT_EQ(r.page.take(), "setLookAt(30.1,114.2,5000.0,0,0,12,0)");
    // The route shrank while the menu was open: the stale index is not used.
    r.route.append(at(1, 1));
    r.route.append(at(2, 2));
    r.ui.waypointChoice = EWaypointMenuChoice::Delete;
    r.ui.duringMenu = [&] { r.route.clear(); };
    r.h.handle("6001;1,0,0,");
    EXPECT_EQ(r.page.take(), "");
}

TEST_F(MapEventHandlerTest, PlaceMarksStoredAddedRenamedDeleted)
{
    CTempDir::write(iniPath, "[Options]\r\nPlaceMark=1,2,3,4,5,6,7,```甲~`~8,9,3,4,5,6,7,```乙~`~\r\n");
    SRig r(iniPath);
    int sinkMode = -1;
    r.h.setToolModeSink([&](int m) { sinkMode = m; });
    r.h.handle("1000;");
    EXPECT_EQ(r.page.take(), "AddPlaceMaktToMap(1,2,甲) AddPlaceMaktToMap(8,9,乙)");

    // Placemark tool click, named: stored with the seven camera fields, tool back to 0.
    r.ui.names.push_back(std::string("丙"));
    r.h.handle("3001;30.5,114.5,800.0,0,0,15,0,");
    EXPECT_EQ(sinkMode, 0);
    EXPECT_EQ(r.page.take(), "ask() AddPlaceMaktToMap(30.5,114.5,丙) setfuncode(0)");
    r.h.handle("3001;1,1,1,1,1,1,1,"); // cancelled: nothing added
    EXPECT_EQ(r.page.take(), "ask()");

    // Renamed from its menu: the dialog shows the name without the leading ".".
    r.ui.placeMarkChoice = EPlaceMarkMenuChoice::Edit;
    r.ui.names.push_back(std::string("丁"));
    r.h.handle("6002;.乙,10,20,");
    r.ui.placeMarkChoice = EPlaceMarkMenuChoice::Delete;
    r.h.handle("6002;.甲,10,20,");
    EXPECT_EQ(r.page.take(), "ask(乙) EditPlaceMaktToMap(.乙,丁) DelPlaceMaktToMap(.甲)");
    EXPECT_EQ(r.settings.getText(keys::kPlaceMark), "8,9,3,4,5,6,7,```丁~`~30.5,114.5,800.0,0,0,15,0,```丙~`~");

    r.h.activatePlaceMark(1); // double click in the panel: the placemark's camera
    EXPECT_EQ(r.page.take(), "setLookAt(30.5,114.5,800.0,0,0,15,0)");
    // A second page gets the placemarks again; the list does not grow.
    r.h.handle("1000;");
    EXPECT_EQ(r.page.take(), "AddPlaceMaktToMap(8,9,丁) AddPlaceMaktToMap(30.5,114.5,丙)");
    // A typed name cannot break the stored list.
    r.ui.names.push_back(std::string("a~`~b```c"));
    r.h.handle("3001;1,1,1,1,1,1,1,");
    EXPECT_EQ(r.h.placeMarks().back(), "1,1,1,1,1,1,1,```abc");
}

TEST_F(MapEventHandlerTest, SearchHistoryAndOfflineSearch)
{
    CTempDir::write(iniPath, "[Options]\r\nAddressName=A,1,2,3~`~\r\n");
    SRig r(iniPath);
    r.h.loadHistory();
    r.h.handle("8001;武汉,30.593,114.305,");
    r.h.handle("8001;武汉,31,115,"); // the name is there already
    EXPECT_EQ(r.settings.getText(keys::kAddressName), "A,1,2,3~`~武汉,30.593,114.305,~`~");
    r.h.deleteHistory(1);
    EXPECT_EQ(r.settings.getText(keys::kAddressName), "A,1,2,3~`~");
    r.h.handle("8001;武汉,31,115,");
    EXPECT_EQ(r.h.addressNames(), (std::vector<std::string>{"A,1,2,3", "***,0,0,", "武汉,31,115,"}));

    // Online the page searches by name; offline the history's coordinates, then typed ones.
    r.h.activateHistory(1); // deleted: nothing
    r.h.search("  武汉 ");
    EXPECT_EQ(r.page.take(), "gotoaddress(武汉)");
    r.h.setOffline();
    const struct {
        const char* typed;
        const char* shown; // the page's call, or else the status text
    } searches[] = {
        {"武汉", "gotopoint(31,115)"},
        {"22.6200,113.8500", "gotopoint(22.620000,113.850000)"},
        {" -33.5 , 151 ", "gotopoint(-33.500000,151.000000)"},
        {"91,10", "status(未找到：91,10)"},
        {"10,181", "status(未找到：10,181)"},
        {"22.6x,113", "status(未找到：22.6x,113)"},
    };
    for (const auto& c : searches) {
        SCOPED_TRACE(c.typed);
        r.h.search(c.typed);
        EXPECT_EQ(r.page.take(), c.shown);
    }
    r.h.activateHistory(0);
    EXPECT_EQ(r.page.take(), "gotopoint(1,2)");
}

TEST_F(MapEventHandlerTest, ToolsAndPanelActions)
{
    SRig r(iniPath);
    for (const auto& [tool, mode] : {std::pair{kMapToolMeasure, 0}, {kMapToolPlaceMark, 3}, {kMapToolMoveRoute, 7},
                                     {kMapToolRestore, 7}}) // the other tools leave the mode
    {
        r.h.selectTool(tool);
        EXPECT_EQ(r.h.toolMode(), mode) << tool;
    }
    r.h.activateRoute(); // empty route: nothing
    EXPECT_EQ(r.page.take(), "setfuncode(2) setfuncode(3) setfuncode(7) setfuncode(0)");
    r.route.append(at(12.5, 45.25));
    r.h.activateRoute();
    r.h.activateAircraft();
    EXPECT_EQ(r.page.take(), "setpttomap(12.500000,45.250000) setplanetomap()");

    // A replacement page is given the route, the tool and the toggles that are on again.
    r.h.selectTool(kMapToolMeasure);
    r.h.toggleAltitudeMode();
    r.h.toggleRouteExtension();
    r.h.toggleRouteExtension();
    r.h.handle("1000;");
    EXPECT_EQ(r.page.take(), "setfuncode(2) setplanetrud() setplanetrud3d() setplanetrud3d()");
    r.h.handle("1000;");
    EXPECT_EQ(r.page.take(), "delskyway() setskyway(12.500000,45.250000,500,0,0) setfuncode(2) setplanetrud()");
}
