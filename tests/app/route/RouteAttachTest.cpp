// The route commands inside the started program (offscreen): their handlers and enable rules,
// timer 5 driving the upload, the map tools' checked state and the map's undo.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include "RouteTestSupport.h"
#include "support/QtWait.h"
#include "app/shell/Commands.h"
#include "app/shell/OrvexApp.h"
#include "app/mainframe/MainFrame.h"
#include "app/route/RouteCommands.h"
#include "app/route/SkyWayEditDlg.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

class RouteAttachTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SCommandLine cl;
        cl.home = home.path();
        cl.splash = false;
        cl.udpPort = 0;
        cl.httpPort = 0;
        app = std::make_unique<COrvexApp>(cl);
        ASSERT_TRUE(app->start());
        ASSERT_NE(app->m_routeCommands, nullptr);
    }
    void TearDown() override
    {
        if (app && app->mainFrame() && !app->mainFrame()->closed())
            app->mainFrame()->closeWithoutQuestions();
    }

    CTempDir home{"orvex-route-ui"};
    std::unique_ptr<COrvexApp> app;
};

TEST_F(RouteAttachTest, CommandsFollowTheRouteTimerFiveUploadsAndTheMapUndoes)
{
    CCommandTable& c = app->commands();
    CGroundStation& s = app->station();
    // Upload and delete show their handlers by running below.
    for (int id : {cmd::kLoadRoute, cmd::kSaveRoute, cmd::kEditRoute, cmd::kVerifyRoute, cmd::kEraseRouteMarks})
        EXPECT_TRUE(c.hasHandler(id)) << id;
    EXPECT_FALSE(c.isEnabled(cmd::kEditRoute));
    EXPECT_FALSE(c.isEnabled(cmd::kUploadRoute));
    EXPECT_TRUE(c.isEnabled(cmd::kLoadRoute));
    s.route().append(point(116.4, 39.9));
    EXPECT_TRUE(c.isEnabled(cmd::kEditRoute));
    EXPECT_TRUE(c.isEnabled(cmd::kUploadRoute));

    SSentBytes serial;
    fillRoute(s.route(), 2);
    s.attachSerialOutput(&serial);
    s.openSerialLink([] { return true; });
    ASSERT_TRUE(c.execute(cmd::kUploadRoute));
    EXPECT_TRUE(s.routeController().upload().active());
    EXPECT_TRUE(waitFor([&] {
        return std::count_if(serial.sent.begin(), serial.sent.end(), [](const auto& f) { return f.size() == 30; }) == 2;
    }));
    s.closeLink();
    s.attachSerialOutput(nullptr);

    // The map's tools show which is on (checked menu item, pressed toolbar button), and "删除航线"
    // reaches the map's undo as one step.
    const int tools[] = {cmd::kToolMeasure, cmd::kToolPlanRoute, cmd::kToolPlaceMark, cmd::kMoveRoute};
    for (int on : tools) {
        c.execute(on);
        for (int t : tools)
            EXPECT_EQ(c.action(t)->isChecked(), t == on) << on << " " << t;
    }
    c.execute(cmd::kToolRestore);
    for (int t : tools)
        EXPECT_FALSE(c.action(t)->isChecked()) << t;
    for (int toggle : {cmd::kAltitudeMode, cmd::kRouteExtend}) {
        c.execute(toggle);
        EXPECT_TRUE(c.action(toggle)->isChecked()) << toggle;
        c.execute(toggle);
        EXPECT_FALSE(c.action(toggle)->isChecked()) << toggle;
    }

    CSkyWay& route = s.route();
    c.execute(cmd::kDeleteRoute);
    ASSERT_TRUE(route.empty());
    emit app->mainFrame()->undoRequested();
    EXPECT_EQ(route.size(), 2u);
    emit app->mainFrame()->redoRequested();
    EXPECT_TRUE(route.empty());

    // Undo while the editor is open takes back its last accepted change and shows the route
    // again; after closing, the route is exactly as before the editor.
    fillRoute(route, 2); // the second at 510 m
    const CSkyWay before = route;
    app->m_routeCommands->setDialogRunner([&](QDialog& dialog) {
        auto& editor = dynamic_cast<CSkyWayEditDlg&>(dialog);
        editor.selectRow(1);
        editor.altitudeEdit()->selectAll();
        QTest::keyClicks(editor.altitudeEdit(), QStringLiteral("700"));
        emit editor.altitudeEdit()->editingFinished();
        EXPECT_EQ(route[1].altitude, 700);
        emit app->mainFrame()->undoRequested();
        EXPECT_EQ(editor.list()->topLevelItem(1)->text(3), QStringLiteral("510"));
        return static_cast<int>(QDialog::Accepted);
    });
    app->m_routeCommands->editRoute(1);
    EXPECT_EQ(route, before);
    emit app->mainFrame()->redoRequested();
    EXPECT_EQ(route[1].altitude, 700);
}

} // namespace
