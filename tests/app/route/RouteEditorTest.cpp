// The route editor ("航线编辑") and the edit-waypoint dialog on a real route: rows and labels,
// the first-waypoint rule, "全部高度", deleting a row, "加载", the key rule of the numeric fields,
// storing at key release and the range check.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "RouteTestSupport.h"
#include "route/EditWayPointDlg.h"
#include "route/NumericKeyFilter.h"
#include "route/RouteCommands.h"
#include "route/SkyWayEditDlg.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

class RouteEditorTest : public ::testing::Test {
protected:
    RouteEditorTest() : station(CAppPaths(home.path())) { station.setUi(&ui); }

    std::unique_ptr<CSkyWayEditDlg> editor(CSkyWayEditDlg::SActions actions = {})
    {
        return std::make_unique<CSkyWayEditDlg>(station.route(), station.settings(), std::move(actions));
    }
    static QStringList column(const CSkyWayEditDlg& dlg, int c)
    {
        QStringList out;
        for (int r = 0; r < dlg.list()->topLevelItemCount(); ++r)
            out << dlg.list()->topLevelItem(r)->text(c);
        return out;
    }

    TempHome home;
    RecordingUi ui;
    CGroundStation station;
};

TEST_F(RouteEditorTest, OpeningShowsEveryRowAndMakesTheFirstWaypointCircle)
{
    fillRoute(station.route(), 3);
    station.route()[1].photoMode = 2;
    station.route()[2].photoMode = 57; // not a combo value: shown as "保持状态不变"
    auto dlg = editor();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("航线编辑"));
    EXPECT_EQ(station.route()[0].circleFlag, 1);
    EXPECT_EQ(station.route()[0].circleTime, 0);
    EXPECT_EQ(column(*dlg, 0), (QStringList{"#01", "#02", "#03"}));
    EXPECT_EQ(column(*dlg, 1)[1], QStringLiteral("116.010000"));
    EXPECT_EQ(column(*dlg, 3), (QStringList{"500", "510", "520"}));
    EXPECT_EQ(column(*dlg, 4), (QStringList{"保持状态不变", "等距拍照1", "保持状态不变"}));
    EXPECT_EQ(column(*dlg, 5), (QStringList{"盘旋", "不盘旋", "不盘旋"}));
    EXPECT_EQ(column(*dlg, 6), (QStringList{"0", "100", "100"}));
    EXPECT_EQ(dlg->list()->topLevelItem(0)->textAlignment(3) & Qt::AlignRight, Qt::AlignRight);
    // The first row is selected and its waypoint is in the fields.
    EXPECT_EQ(dlg->selectedRow(), 0);
    EXPECT_EQ(dlg->altitudeEdit()->text(), QStringLiteral("500"));
    EXPECT_EQ(dlg->circleCombo()->currentText(), QStringLiteral("盘旋"));
    dlg->selectRow(2);
    EXPECT_EQ(dlg->altitudeEdit()->text(), QStringLiteral("520"));
    EXPECT_EQ(dlg->photoCombo()->currentIndex(), 5);
    EXPECT_EQ(dlg->circleTimeEdit()->text(), QStringLiteral("100"));

    // Column widths in units of (client width - scroll bar) / 23.
    dlg->resize(900, 500);
    dlg->show();
    QApplication::processEvents();
    const int number = dlg->list()->columnWidth(0);
    const int longitude = dlg->list()->columnWidth(1);
    EXPECT_GT(number, 40);
    EXPECT_NEAR(longitude, number * 3 / 2, 2);
    EXPECT_NEAR(dlg->list()->columnWidth(5), static_cast<int>(number * 1.1), 2);
    dlg->hide();
}

TEST_F(RouteEditorTest, MovingTheSecondWaypointUpMakesItTheCirclingFirstOne)
{
    fillRoute(station.route(), 3);
    const CWayPoint second = station.route()[1];
    auto dlg = editor();
    dlg->selectRow(1);
    dlg->button(QStringLiteral("上移"))->click();
    EXPECT_EQ(station.route()[0].longitude, second.longitude);
    EXPECT_EQ(station.route()[0].circleFlag, 1);
    EXPECT_EQ(station.route()[0].circleTime, 0);
    EXPECT_EQ(station.route()[1].circleFlag, 0); // the former first one stops circling
    EXPECT_EQ(station.route()[1].circleTime, 0);
    EXPECT_EQ(dlg->selectedRow(), 0);
    EXPECT_EQ(column(*dlg, 5), (QStringList{"盘旋", "不盘旋", "不盘旋"}));
    EXPECT_EQ(column(*dlg, 1)[0], QStringLiteral("116.010000"));
    // Nothing above the first row; "下移" on the last row does nothing either.
    dlg->button(QStringLiteral("上移"))->click();
    EXPECT_EQ(station.route()[0].longitude, second.longitude);
    dlg->selectRow(2);
    const CSkyWay before = station.route();
    dlg->button(QStringLiteral("下移"))->click();
    EXPECT_EQ(station.route(), before);
    // "下移" of the first waypoint hands the first place on.
    dlg->selectRow(0);
    dlg->button(QStringLiteral("下移"))->click();
    EXPECT_EQ(station.route()[1].longitude, second.longitude);
    EXPECT_EQ(station.route()[1].circleFlag, 0);
    EXPECT_EQ(station.route()[0].circleFlag, 1);
    EXPECT_EQ(dlg->selectedRow(), 1);
}

TEST_F(RouteEditorTest, AllAltitudesTakesTheTypedAltitudeEverywhere)
{
    fillRoute(station.route(), 4);
    auto dlg = editor();
    dlg->selectRow(2);
    dlg->allAltitudesBox()->setChecked(true);
    dlg->altitudeEdit()->clear();
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("120"));
    for (const CWayPoint& w : station.route())
        EXPECT_EQ(w.altitude, 120);
    EXPECT_EQ(column(*dlg, 3), (QStringList{"120", "120", "120", "120"}));

    // Without the box only the selected waypoint changes.
    dlg->allAltitudesBox()->setChecked(false);
    dlg->altitudeEdit()->clear();
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("75"));
    EXPECT_EQ(station.route()[2].altitude, 75);
    EXPECT_EQ(station.route()[1].altitude, 120);
    EXPECT_EQ(column(*dlg, 3), (QStringList{"120", "120", "75", "120"}));
}

TEST_F(RouteEditorTest, DeletingRowTwoOfFiveKeepsTheOtherLabels)
{
    fillRoute(station.route(), 5);
    const CSkyWay before = station.route();
    auto dlg = editor();
    dlg->selectRow(1);
    dlg->button(QStringLiteral("删除"))->click();
    EXPECT_EQ(column(*dlg, 0), (QStringList{"#01", "#03", "#04", "#05"}));
    ASSERT_EQ(station.route().size(), 4u);
    EXPECT_EQ(station.route()[1].longitude, before[2].longitude);
    EXPECT_EQ(station.route()[3].longitude, before[4].longitude);
    // Nothing selected: a second "删除" removes nothing.
    dlg->button(QStringLiteral("删除"))->click();
    EXPECT_EQ(station.route().size(), 4u);
}

TEST_F(RouteEditorTest, LoadRefillsTheListFromRowOne)
{
    fillRoute(station.route(), 5);
    home.write("three.skw", "1.5 2.5 100 0 0 0 7\r\n3.5 4.5 200 1 1 30 8\r\n5.5 6.5 300 2 0 0 9\r\n");
    CRouteCommands commands(station, nullptr);
    commands.setLoadChooser([&](QWidget*) { return std::optional<QString>(QString::fromStdString(home.file("three.skw"))); });
    CSkyWayEditDlg::SActions actions;
    actions.load = [&] { return commands.loadRoute(); };
    auto dlg = editor(actions);
    dlg->selectRow(1);
    dlg->button(QStringLiteral("删除"))->click();
    ui.mapCalls.clear();
    dlg->button(QStringLiteral("加载"))->click();
    EXPECT_EQ(column(*dlg, 0), (QStringList{"#01", "#02", "#03"}));
    EXPECT_EQ(column(*dlg, 3), (QStringList{"100", "200", "300"}));
    ASSERT_EQ(station.route().size(), 3u);
    EXPECT_EQ(station.route()[2].pointTag, 9);
    EXPECT_EQ(dlg->selectedRow(), 0);
    EXPECT_EQ(dlg->longitudeEdit()->text(), QStringLiteral("1.500000"));
    // The load redraws the route and moves the map to the first waypoint.
    EXPECT_EQ(ui.count("delskyway"), 1);
    EXPECT_EQ(ui.count("setskyway"), 3);
    ASSERT_NE(ui.last("setpttomap"), nullptr);
    EXPECT_EQ(ui.last("setpttomap")->args, (std::vector<std::string>{"2.500000", "1.500000"}));
}

TEST(NumericKeyRule, AcceptsDigitsEditingKeysCopyAndPasteOnly)
{
    for (int k = Qt::Key_0; k <= Qt::Key_9; ++k)
        EXPECT_TRUE(numericFieldAcceptsKey(k, false));
    for (int k : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left, Qt::Key_Right, Qt::Key_Control, Qt::Key_C, Qt::Key_V})
        EXPECT_TRUE(numericFieldAcceptsKey(k, false)) << k;
    for (int k : {Qt::Key_Minus, Qt::Key_Plus, Qt::Key_A, Qt::Key_E, Qt::Key_Space, Qt::Key_Comma, Qt::Key_Home,
                  Qt::Key_Up, Qt::Key_Down})
        EXPECT_FALSE(numericFieldAcceptsKey(k, true)) << k;
    EXPECT_FALSE(numericFieldAcceptsKey(Qt::Key_Period, false));
    EXPECT_TRUE(numericFieldAcceptsKey(Qt::Key_Period, true));
}

TEST_F(RouteEditorTest, NumericFieldsSwallowOtherKeysAndStoreAtKeyRelease)
{
    fillRoute(station.route(), 2);
    BoxRecorder boxes;
    auto dlg = editor();
    dlg->selectRow(1);
    // Input-method text would pass by the key rule.
    for (QLineEdit* e : {dlg->longitudeEdit(), dlg->latitudeEdit(), dlg->altitudeEdit(), dlg->circleTimeEdit()})
        EXPECT_FALSE(e->testAttribute(Qt::WA_InputMethodEnabled));

    dlg->altitudeEdit()->clear();
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("-4a.2e5"));
    EXPECT_EQ(dlg->altitudeEdit()->text(), QStringLiteral("425"));
    EXPECT_EQ(station.route()[1].altitude, 425);

    dlg->longitudeEdit()->clear();
    QTest::keyClicks(dlg->longitudeEdit(), QStringLiteral("-117.25x"));
    EXPECT_EQ(dlg->longitudeEdit()->text(), QStringLiteral("117.25"));
    EXPECT_DOUBLE_EQ(station.route()[1].longitude, 117.25);
    EXPECT_EQ(dlg->list()->topLevelItem(1)->text(1), QStringLiteral("117.250000"));

    // A minus sign arrives only by pasting.
    QApplication::clipboard()->setText(QStringLiteral("-33.5"));
    dlg->latitudeEdit()->selectAll();
    QTest::keyClick(dlg->latitudeEdit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dlg->latitudeEdit()->text(), QStringLiteral("-33.5"));
    EXPECT_DOUBLE_EQ(station.route()[1].latitude, -33.5);
    // The releases of the swallowed minus signs found empty fields: the range check said so and
    // stored nothing.
    EXPECT_EQ(boxes.texts, (std::vector<QString>{QStringLiteral("请输入一个整数。"), QStringLiteral("请输入一个数字。")}));

    // The circle time stores as well, and the combos store at once.
    dlg->circleTimeEdit()->clear();
    QTest::keyClicks(dlg->circleTimeEdit(), QStringLiteral("45"));
    EXPECT_EQ(station.route()[1].circleTime, 45);
    dlg->photoCombo()->setCurrentIndex(4);
    emit dlg->photoCombo()->activated(4);
    EXPECT_EQ(station.route()[1].photoMode, 4);
    dlg->photoCombo()->setCurrentIndex(5);
    emit dlg->photoCombo()->activated(5);
    EXPECT_EQ(station.route()[1].photoMode, 100);
    dlg->circleCombo()->setCurrentIndex(1);
    emit dlg->circleCombo()->activated(1);
    EXPECT_EQ(station.route()[1].circleFlag, 1);
    EXPECT_EQ(dlg->list()->topLevelItem(1)->text(5), QStringLiteral("盘旋"));
}

TEST_F(RouteEditorTest, OutOfRangeFieldsAreRefusedWithTheirRange)
{
    fillRoute(station.route(), 2);
    BoxRecorder boxes;
    auto dlg = editor();
    dlg->selectRow(1);
    dlg->altitudeEdit()->clear();
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("7000"));
    EXPECT_EQ(station.route()[1].altitude, 7000);
    EXPECT_TRUE(boxes.texts.empty());
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("0"));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], QStringLiteral("请输入一个介于 0 和 65536 之间的整数。"));
    EXPECT_EQ(station.route()[1].altitude, 7000);

    dlg->altitudeEdit()->setText(QStringLiteral("300"));
    dlg->longitudeEdit()->setText(QStringLiteral("181"));
    dlg->button(QStringLiteral("确定"))->click();
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[1], QStringLiteral("请输入一个介于 -180 和 180 之间的数字。"));
    EXPECT_EQ(dlg->result(), 0); // still open
    EXPECT_EQ(station.route()[1].altitude, 7000);

    // "确定" with good fields stores them and closes.
    dlg->longitudeEdit()->setText(QStringLiteral("120.5"));
    dlg->button(QStringLiteral("确定"))->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(station.route()[1].altitude, 300);
    EXPECT_DOUBLE_EQ(station.route()[1].longitude, 120.5);
}

TEST_F(RouteEditorTest, UploadButtonStartsTheUploadAndShowsTheFirstWaypointCircling)
{
    fillRoute(station.route(), 3);
    CRouteCommands commands(station, nullptr);
    CSkyWayEditDlg::SActions actions;
    actions.upload = [&] { commands.uploadRoute(); };
    auto dlg = editor(actions);
    station.route()[0].circleFlag = 0; // changed behind the editor's back
    dlg->button(QStringLiteral("上传"))->click();
    EXPECT_TRUE(station.routeController().upload().active());
    EXPECT_EQ(dlg->list()->topLevelItem(0)->text(5), QStringLiteral("盘旋"));
    EXPECT_EQ(dlg->list()->topLevelItem(0)->text(6), QStringLiteral("0"));
    for (const CWayPoint& w : station.route())
        EXPECT_EQ(w.uploadState, kUploadPending);
}

TEST_F(RouteEditorTest, EditWaypointDialogStoresOnOkOnly)
{
    fillRoute(station.route(), 2);
    CWayPoint& w = station.route()[1];
    w.photoMode = 3;
    {
        CEditWayPointDlg dlg(w);
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("编辑航点"));
        EXPECT_EQ(dlg.photoCombo()->currentIndex(), 3);
        EXPECT_EQ(dlg.circleCombo()->currentIndex(), 0);
        EXPECT_EQ(dlg.altitudeEdit()->text(), QStringLiteral("510"));
        dlg.altitudeEdit()->setText(QStringLiteral("900"));
        dlg.cancelButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(w.altitude, 510);
    }
    {
        BoxRecorder boxes;
        CEditWayPointDlg dlg(w);
        dlg.circleTimeEdit()->setText(QStringLiteral("65537"));
        dlg.okButton()->click();
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], QStringLiteral("请输入一个介于 0 和 65536 之间的整数。"));
        EXPECT_EQ(w.circleTime, 100);
        dlg.altitudeEdit()->setText(QStringLiteral("900"));
        dlg.circleTimeEdit()->setText(QStringLiteral("60"));
        dlg.photoCombo()->setCurrentIndex(5);
        dlg.circleCombo()->setCurrentIndex(1);
        dlg.okButton()->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(w.altitude, 900);
    EXPECT_EQ(w.circleTime, 60);
    EXPECT_EQ(w.photoMode, 100);
    EXPECT_EQ(w.circleFlag, 1);
}

} // namespace
