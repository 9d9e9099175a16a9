// The survey dialog ("航线自动生成") wired to the core's checks, corners, camera plan and splice;
// the load/save/edit commands and the waypoint menu with answered dialogs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "RouteTestSupport.h"
#include "app/route/RouteCommands.h"
#include "app/route/SkyWayEditDlg.h"
#include "app/route/SurveyDlg.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

class RouteDialogTest : public ::testing::Test, public StationFixture {
protected:
    BoxRecorder boxes;
};

// A rectangle whose short side runs due north 0.0022 degrees: with d = 100 two lane pairs.
void fillSurveyRoute(CSkyWay& route)
{
    route.clear();
    route.append(point(116.30, 39.90, 420));     // a waypoint before the area
    route.append(point(116.40, 39.90));         // P1
    route.append(point(116.41, 39.90));         // P2
    route.append(point(116.41, 39.9022));       // P3
    route.append(point(116.40, 39.9022));       // P4
    route.append(point(116.50, 39.95, 440));     // a waypoint after the area
}

// The corner rules, the order of the checks and the camera figures are the core's; here the
// buttons and fields reach them.
TEST_F(RouteDialogTest, CornerButtonsChecksAndCameraModeReachTheCore)
{
    fillSurveyRoute(station.route());
    CSurveyDlg dlg(station.route(), CWayPointDefaults{}, 500);
    EXPECT_EQ(dlg.list()->topLevelItem(3)->text(2), QStringLiteral("39.902200"));
    EXPECT_EQ(dlg.extendEdit()->text(), QStringLiteral("100"));
    EXPECT_EQ(dlg.spacingEdit()->text(), QStringLiteral("100"));
    dlg.spacingEdit()->clear();
    QTest::keyClicks(dlg.spacingEdit(), QStringLiteral("12a345")); // four digits at most
    EXPECT_EQ(dlg.input().spacingM, 1234);
    dlg.selectRow(1);
    dlg.cornerButton(kSurveyLongSide1)->click();
    EXPECT_EQ(dlg.cornerEdit(kSurveyShortSide2)->text(), QStringLiteral("#05(116.400000,39.902200)"));
    EXPECT_EQ(dlg.selectedRow(), 5);
    // A refused input shows the core's message and the dialog stays open.
    dlg.extendEdit()->setText(QStringLiteral("0"));
    dlg.generateButton()->click();
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("航线延长距离输入错误,范围[1-10000]。")});
    EXPECT_EQ(dlg.result(), 0);
    dlg.extendEdit()->setText(QStringLiteral("100"));

    EXPECT_FALSE(dlg.statsLabel()->text().contains(QStringLiteral("张照片")));
    dlg.cameraGroup()->setChecked(true);
    dlg.cameraBox()->setCurrentIndex(0); // 13.2 x 8.8 mm, 8.8 mm, 5472 x 3648 px
    dlg.altitudeBox()->setValue(100);
    EXPECT_NEAR(dlg.resolutionBox()->value(), 2.74, 0.005);
    // The altitude follows (200.3 m, rounded down), the spacing becomes 90 m: the pattern shows both.
    dlg.resolutionBox()->setValue(5.49);
    EXPECT_TRUE(dlg.statsLabel()->text().contains(QStringLiteral("张照片"))) << dlg.statsLabel()->text().toStdString();

    dlg.generateButton()->click();
    ASSERT_TRUE(dlg.pattern().ok);
    CSurveyInput typed = dlg.input();
    typed.spacingM = 90;
    const CSurveyPattern expected = generateSurveyPattern(typed, CWayPointDefaults{}, 200);
    EXPECT_EQ(dlg.pattern().points, expected.points);
}

// A cancelled survey leaves the route and the editor open; a generated one is spliced in where the
// corners stood (the splice itself is the core's), at the typed altitude, and closes the editor.
TEST_F(RouteDialogTest, EditorSplicesThePatternWhereTheCornersStoodAndCloses)
{
    fillSurveyRoute(station.route());
    CSkyWayEditDlg editor(station.route(), station.settings(), {});
    const CSkyWay before = station.route();
    editor.setSurveyRunner([](CSurveyDlg& survey) {
        survey.cancelButton()->click();
        return survey.result();
    });
    editor.button(QStringLiteral("自动生成"))->click();
    EXPECT_EQ(station.route(), before);
    EXPECT_EQ(editor.result(), 0);

    editor.altitudeEdit()->setText(QStringLiteral("321"));
    QTest::keyClick(editor.altitudeEdit(), Qt::Key_Right); // a key release reads the fields
    editor.setSurveyRunner([](CSurveyDlg& survey) {
        survey.selectRow(1);
        survey.cornerButton(kSurveyLongSide1)->click();
        survey.extendEdit()->setText(QStringLiteral("50"));
        survey.generateButton()->click();
        return survey.result();
    });
    editor.button(QStringLiteral("自动生成"))->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    const CSkyWay& r = station.route();
    ASSERT_EQ(r.size(), 1 + (1 + 8 * 2 + 1) + 1u);
    EXPECT_TRUE(editor.statsLabel()->text().startsWith(QStringLiteral("航线：20 个航点，")));
    for (size_t i = 1; i + 1 < r.size(); ++i)
        EXPECT_EQ(r[i].altitude, 321) << i;
}

// What the commands do is the route controller's; here the file dialogs and the undo steps reach it.
// Loading through the chooser: RouteEditorTest's "加载".
TEST_F(RouteDialogTest, EditSaveAndTheWaypointMenu)
{
    CRouteCommands commands(station, nullptr);
    fillRoute(station.route(), 2);
    station.setRouteSaved(true);
    bool savedWhileOpen = true;
    size_t callsWhileOpen = 0;
    commands.setDialogRunner([&](QDialog& dialog) {
        savedWhileOpen = station.routeSaved();
        callsWhileOpen = ui.scripts.size();
        auto& editor = dynamic_cast<CSkyWayEditDlg&>(dialog);
        editor.selectRow(1);
        editor.button(QStringLiteral("上移"))->click();
        return static_cast<int>(QDialog::Accepted);
    });
    QSignalSpy steps(&commands, &CRouteCommands::routeChanged);
    commands.editRoute();
    EXPECT_EQ(steps.count(), 3); // the opening, "上移", the close
    EXPECT_FALSE(savedWhileOpen);
    EXPECT_EQ(callsWhileOpen, 0u); // the map changes only once the editor has closed
    EXPECT_FALSE(station.routeSaved());
    ASSERT_EQ(ui.scripts.size(), 3u); // the controller's redraw: delskyway and a setskyway each
    EXPECT_EQ(ui.scripts[1].second[1], "116.010000"); // the moved waypoint is drawn first

    commands.setSaveChooser([&](QWidget*) { return std::optional(QString::fromStdString(home.file("new.skw"))); });
    EXPECT_TRUE(commands.saveRoute());
    EXPECT_EQ(CTempDir::read(home.file("new.skw")).substr(0, 20), "116.010000 39.010000");
    EXPECT_TRUE(station.routeSaved());

    SRouteMapHooks hooks = commands.routeMapHooks();
    int dialogs = 0;
    commands.setDialogRunner([&](QDialog&) { return ++dialogs, static_cast<int>(QDialog::Accepted); });
    EXPECT_TRUE(hooks.editWaypoint(1));
    EXPECT_FALSE(hooks.editWaypoint(2)); // outside the route: no dialog
    EXPECT_EQ(dialogs, 1);

    // The single-waypoint upload asks first, No by default; No sends nothing, Yes sends it thrice.
    SSentBytes serial;
    station.attachSerialOutput(&serial);
    station.openSerialLink([] { return true; });
    boxes.answer = false;
    hooks.uploadWaypoint(1);
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("上传航点 2 到飞控？")});
    EXPECT_EQ(boxes.defaultYes, std::vector<bool>{false});
    EXPECT_TRUE(serial.sent.empty());
    boxes.answer = true;
    hooks.uploadWaypoint(1);
    ASSERT_EQ(serial.sent.size(), 3u);
    EXPECT_EQ(serial.sent[0][6], 2); // waypoint number from 1
    station.attachSerialOutput(nullptr);
}

} // namespace
