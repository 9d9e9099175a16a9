// The survey dialog ("航线自动生成") with its validation order, corner picking and the splice
// through the route editor; the load/save/delete/edit commands with answered file dialogs.
#include <gtest/gtest.h>

#include <QApplication>
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
#include "route/RouteCommands.h"
#include "route/SkyWayEditDlg.h"
#include "route/SurveyDlg.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

class SurveyDialogTest : public ::testing::Test {
protected:
    SurveyDialogTest() : station(CAppPaths(home.path())) { station.setUi(&ui); }

    TempHome home;
    RecordingUi ui;
    CGroundStation station;
    BoxRecorder boxes;
};

TEST_F(SurveyDialogTest, OpensWithTheRouteAndDistancesOfOneHundred)
{
    fillRoute(station.route(), 3);
    CSurveyDlg dlg(station.route(), CWayPointDefaults{}, 500);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("航线自动生成"));
    ASSERT_EQ(dlg.list()->topLevelItemCount(), 3);
    EXPECT_EQ(dlg.list()->topLevelItem(2)->text(0), QStringLiteral("#03"));
    EXPECT_EQ(dlg.list()->topLevelItem(2)->text(2), QStringLiteral("39.020000"));
    EXPECT_EQ(dlg.list()->columnWidth(0), 50);
    EXPECT_EQ(dlg.list()->columnWidth(1), 120);
    EXPECT_EQ(dlg.selectedRow(), 0);
    EXPECT_EQ(dlg.extendEdit()->text(), QStringLiteral("100"));
    EXPECT_EQ(dlg.spacingEdit()->text(), QStringLiteral("100"));
    // Four characters at most, digits only.
    dlg.spacingEdit()->clear();
    QTest::keyClicks(dlg.spacingEdit(), QStringLiteral("12a345"));
    EXPECT_EQ(dlg.spacingEdit()->text(), QStringLiteral("1234"));
    EXPECT_EQ(dlg.input().spacingM, 1234);
}

// The corner rules and the order of the checks are the core's; here the buttons reach them.
TEST_F(SurveyDialogTest, CornerButtonsAndGenerateFollowTheCoreRules)
{
    fillRoute(station.route(), 6);
    CSurveyDlg dlg(station.route(), CWayPointDefaults{}, 500);
    dlg.selectRow(1);
    dlg.cornerButton(kSurveyLongSide1)->click();
    EXPECT_EQ(dlg.cornerEdit(kSurveyLongSide1)->text(), QStringLiteral("#02(116.010000,39.010000)"));
    EXPECT_EQ(dlg.cornerEdit(kSurveyShortSide2)->text(), QStringLiteral("#05(116.040000,39.040000)"));
    EXPECT_EQ(dlg.selectedRow(), 5);
    dlg.cornerButton(kSurveyShortSide2)->click();
    EXPECT_EQ(dlg.cornerEdit(kSurveyShortSide2)->text(), QStringLiteral("#06(116.050000,39.050000)"));
    EXPECT_EQ(dlg.selectedRow(), -1);
    // A refused input shows the core's message and the dialog stays open.
    dlg.extendEdit()->setText(QStringLiteral("0"));
    dlg.generateButton()->click();
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("航线延长距离输入错误,范围[1-10000]。")});
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_FALSE(dlg.pattern().ok);
}

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

TEST_F(SurveyDialogTest, EditorSplicesThePatternWhereTheCornersStoodAndCloses)
{
    fillSurveyRoute(station.route());
    CSkyWayEditDlg editor(station.route(), station.settings(), {});
    editor.altitudeEdit()->setText(QStringLiteral("321"));
    QTest::keyClick(editor.altitudeEdit(), Qt::Key_Right); // a key release reads the fields
    const CWayPoint before = station.route()[0];
    const CWayPoint after = station.route()[5];
    bool shown = false;
    editor.setSurveyRunner([&](CSurveyDlg& survey) {
        shown = true;
        survey.selectRow(1);
        survey.cornerButton(kSurveyLongSide1)->click();
        survey.extendEdit()->setText(QStringLiteral("50"));
        survey.generateButton()->click();
        return survey.result();
    });
    editor.button(QStringLiteral("自动生成"))->click();
    ASSERT_TRUE(shown);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_TRUE(editor.generated());
    EXPECT_EQ(editor.result(), QDialog::Accepted);

    const CSkyWay& r = station.route();
    const size_t pairs = 2;
    ASSERT_EQ(r.size(), 1 + (1 + 8 * pairs + 1) + 1);
    EXPECT_TRUE(editor.statsLabel()->text().startsWith(QStringLiteral("航线：20 个航点，")))
        << editor.statsLabel()->text().toStdString();
    EXPECT_EQ(r[0].longitude, before.longitude);
    EXPECT_EQ(r[0].circleFlag, 1); // the first waypoint circles with no time limit
    EXPECT_EQ(r[0].circleTime, 0);
    // Entry point 0.005 degrees south-west of P1.
    EXPECT_NEAR(r[1].longitude, 116.395, 1e-5);
    EXPECT_NEAR(r[1].latitude, 39.895, 1e-5);
    EXPECT_EQ(r[1].photoMode, 0);
    // Exit point at P4, then the waypoint that followed the area.
    EXPECT_NEAR(r[r.size() - 2].longitude, 116.40, 1e-5);
    EXPECT_NEAR(r[r.size() - 2].latitude, 39.9022, 1e-5);
    EXPECT_EQ(r[r.size() - 1].longitude, after.longitude);
    for (size_t i = 1; i + 1 < r.size(); ++i) {
        EXPECT_EQ(r[i].altitude, 321) << i;
        EXPECT_EQ(r[i].circleFlag, 0) << i;
    }
    // First lane: A, P1 (photos on), P2, B.
    EXPECT_EQ(r[3].photoMode, 2);
    EXPECT_NEAR(r[3].longitude, 116.40, 1e-5);
}

TEST_F(SurveyDialogTest, CancelledSurveyLeavesTheRouteAndTheEditorOpen)
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
    EXPECT_FALSE(editor.generated());
    EXPECT_EQ(editor.result(), 0);
}

// ------------------------------------------------------------------ commands

class RouteCommandsTest : public ::testing::Test {
protected:
    RouteCommandsTest() : station(CAppPaths(home.path())), commands(station, nullptr) { station.setUi(&ui); }

    void answerLoad(const std::optional<std::string>& path)
    {
        commands.setLoadChooser([path](QWidget*) {
            return path ? std::optional<QString>(QString::fromStdString(*path)) : std::nullopt;
        });
    }
    void answerSave(const std::optional<std::string>& path)
    {
        commands.setSaveChooser([path](QWidget*) {
            return path ? std::optional<QString>(QString::fromStdString(*path)) : std::nullopt;
        });
    }

    TempHome home;
    RecordingUi ui;
    CGroundStation station;
    CRouteCommands commands;
};

TEST_F(RouteCommandsTest, LoadReadsTheFormByExtensionAndReplacesTheRoute)
{
    fillRoute(station.route(), 4);
    station.setRouteSaved(true);
    // A ".rw" file has six numbers a record.
    home.write("old.rw", "10.5 20.25 0 1 1 70000\n11.5 21.25 300 2 0 5\n");
    answerLoad(home.file("old.rw"));
    EXPECT_TRUE(commands.loadRoute());
    ASSERT_EQ(station.route().size(), 2u);
    EXPECT_EQ(station.route()[0].altitude, 0);
    EXPECT_EQ(station.route()[0].circleTime, 70000 & 0xFFFF);
    EXPECT_EQ(station.route()[1].pointTag, 0);
    EXPECT_TRUE(station.routeSaved());
    ASSERT_NE(ui.last("setpttomap"), nullptr);
    EXPECT_EQ(ui.last("setpttomap")->args, (std::vector<std::string>{"20.250000", "10.500000"}));

    // Saved again it is seven numbers a line with CR LF.
    answerSave(home.file("new.skw"));
    station.setRouteSaved(false);
    EXPECT_TRUE(commands.saveRoute());
    EXPECT_EQ(home.read("new.skw"), "10.500000 20.250000 0 1 1 4464 0\r\n11.500000 21.250000 300 2 0 5 0\r\n");
    EXPECT_TRUE(station.routeSaved());
}

// What the load, save and delete commands do is the route controller's; here the file dialogs and
// the undo step reach it.
TEST_F(RouteCommandsTest, DeleteIsOneUndoStep)
{
    fillRoute(station.route(), 3);
    QSignalSpy steps(&commands, &CRouteCommands::routeChanged);
    commands.deleteRoute();
    EXPECT_TRUE(station.route().empty());
    EXPECT_EQ(steps.count(), 2); // before and after
}

TEST_F(RouteCommandsTest, EditClearsTheSavedFlagAndRedrawsAfterClosing)
{
    fillRoute(station.route(), 2);
    station.setRouteSaved(true);
    bool savedWhileOpen = true;
    size_t callsWhileOpen = 0;
    commands.setDialogRunner([&](QDialog& dialog) {
        savedWhileOpen = station.routeSaved();
        callsWhileOpen = ui.mapCalls.size();
        auto* editor = qobject_cast<CSkyWayEditDlg*>(&dialog);
        EXPECT_NE(editor, nullptr);
        if (editor) {
            editor->selectRow(1);
            editor->button(QStringLiteral("上移"))->click();
        }
        return static_cast<int>(QDialog::Accepted);
    });
    QSignalSpy steps(&commands, &CRouteCommands::routeChanged);
    commands.editRoute();
    EXPECT_EQ(steps.count(), 3); // the opening, "上移", the close
    EXPECT_FALSE(savedWhileOpen);
    EXPECT_EQ(callsWhileOpen, 0u); // the map changes only once the editor has closed
    EXPECT_FALSE(station.routeSaved());
    EXPECT_EQ(ui.count("delskyway"), 1);
    ASSERT_EQ(ui.count("setskyway"), 2);
    EXPECT_EQ(ui.mapCalls[1].args[1], "116.010000"); // the moved waypoint is drawn first
}

TEST_F(RouteCommandsTest, WaypointMenuEditAndUpload)
{
    fillRoute(station.route(), 3);
    SRouteMapHooks hooks = commands.routeMapHooks();
    commands.setDialogRunner([](QDialog& dialog) {
        dialog.findChild<QLineEdit*>()->setText(QStringLiteral("5"));
        return static_cast<int>(QDialog::Rejected);
    });
    EXPECT_FALSE(hooks.editWaypoint(1));
    EXPECT_EQ(station.route()[1].altitude, 510);
    EXPECT_FALSE(hooks.editWaypoint(3)); // outside the route: no dialog, no change

    // The single-waypoint upload sends the same frame three times on the open links.
    struct Capture : IByteOutput {
        std::vector<std::vector<uint8_t>> frames;
        void send(std::span<const uint8_t> b) override { frames.emplace_back(b.begin(), b.end()); }
    } serial;
    station.attachSerialOutput(&serial);
    station.setSerialOpen(true);
    // It asks first, No by default; No sends nothing.
    std::vector<SMessageBoxCall> asked;
    bool answer = false;
    setMessageBoxInterceptor([&](const SMessageBoxCall& c) {
        asked.push_back(c);
        return answer;
    });
    hooks.uploadWaypoint(2);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, QStringLiteral("上传航点 3 到飞控？"));
    EXPECT_TRUE(asked[0].question);
    EXPECT_FALSE(asked[0].defaultYes);
    EXPECT_TRUE(serial.frames.empty());
    answer = true;
    hooks.uploadWaypoint(2);
    setMessageBoxInterceptor({});
    ASSERT_EQ(serial.frames.size(), 3u);
    EXPECT_EQ(serial.frames[0], serial.frames[2]);
    ASSERT_EQ(serial.frames[0].size(), 30u);
    EXPECT_EQ(std::string(serial.frames[0].begin(), serial.frames[0].begin() + 6), "$WIFIS");
    EXPECT_EQ(serial.frames[0][6], 3); // waypoint number from 1
    EXPECT_FALSE(station.routeController().upload().active());
    station.attachSerialOutput(nullptr);
}

TEST_F(RouteCommandsTest, RoutesBeyondTwoHundredFiftyFiveWaypointsAreNotUploaded)
{
    fillRoute(station.route(), 256);
    EXPECT_FALSE(commands.uploadRoute());
    EXPECT_EQ(ui.messages, (std::vector<std::string>{kUploadTooManyText}));
    EXPECT_FALSE(station.routeController().upload().active());
    EXPECT_EQ(station.route()[0].uploadState, kUploadIdle);
}

TEST_F(SurveyDialogTest, CameraModePlansTheSpacingAndAltitude)
{
    fillSurveyRoute(station.route());
    CSurveyDlg dlg(station.route(), CWayPointDefaults{}, 500);
    dlg.selectRow(1);
    dlg.cornerButton(kSurveyLongSide1)->click();
    EXPECT_FALSE(dlg.statsLabel()->text().contains(QStringLiteral("张照片")));
    dlg.cameraGroup()->setChecked(true);
    dlg.cameraBox()->setCurrentIndex(0); // 13.2 x 8.8 mm, 8.8 mm, 5472 x 3648 px
    dlg.altitudeBox()->setValue(100);
    EXPECT_NEAR(dlg.resolutionBox()->value(), 2.74, 0.005);
    EXPECT_EQ(dlg.spacingEdit()->text(), QStringLiteral("45")); // 150 m x (1 - 70 %)
    EXPECT_TRUE(dlg.spacingEdit()->isReadOnly());
    dlg.resolutionBox()->setValue(5.49); // the altitude follows: 200.3 m, rounded down
    EXPECT_EQ(dlg.altitudeBox()->value(), 200);
    EXPECT_EQ(dlg.spacingEdit()->text(), QStringLiteral("90"));
    EXPECT_TRUE(dlg.statsLabel()->text().contains(QStringLiteral("张照片"))) << dlg.statsLabel()->text().toStdString();

    dlg.sideOverlapBox()->setValue(-5);
    dlg.generateButton()->click();
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(boxes.texts[0].contains(QStringLiteral("旁向重叠率"))) << boxes.texts[0].toStdString();
    dlg.sideOverlapBox()->setValue(70);
    dlg.generateButton()->click();
    ASSERT_TRUE(dlg.pattern().ok);
    CSurveyInput typed = dlg.input();
    typed.spacingM = 90;
    const CSurveyPattern expected = generateSurveyPattern(typed, CWayPointDefaults{}, 200);
    ASSERT_EQ(dlg.pattern().points.size(), expected.points.size());
    EXPECT_EQ(dlg.pattern().points, expected.points);
}

} // namespace
