// The route editor ("航线编辑") and the edit-waypoint dialog wired to the core's editing rules: undo
// steps, "加载", the key rule of the numeric fields, storing at key release, the range checks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "RouteTestSupport.h"
#include "app/route/EditWayPointDlg.h"
#include "app/route/NumericKeyFilter.h"
#include "app/route/RouteCommands.h"
#include "app/route/SkyWayEditDlg.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

class RouteEditorTest : public ::testing::Test, public StationFixture {
protected:
    BoxRecorder boxes;
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
};

TEST_F(RouteEditorTest, OpeningShowsTheRowsAndOutOfRangeFieldsAreRefused)
{
    fillRoute(station.route(), 3);
    auto dlg = editor();
    // The rows are the core's row texts (tested there); the first waypoint now circles.
    EXPECT_EQ(column(*dlg, 0), (QStringList{"#01", "#02", "#03"}));
    EXPECT_EQ(column(*dlg, 5)[0], QStringLiteral("盘旋"));
    // Column widths in units of (client width - scroll bar) / 23.
    dlg->resize(900, 500);
    dlg->show();
    QApplication::processEvents();
    const int number = dlg->list()->columnWidth(0);
    EXPECT_GT(number, 40);
    EXPECT_NEAR(dlg->list()->columnWidth(1), number * 3 / 2, 2);
    EXPECT_NEAR(dlg->list()->columnWidth(5), static_cast<int>(number * 1.1), 2);

    dlg->selectRow(1);
    dlg->altitudeEdit()->selectAll();
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("10000")); // stored at each key release
    // Above 10,000 m: refused as the options page refuses it, and the field shows the route again.
    dlg->altitudeEdit()->setText(QStringLiteral("1000"));
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("1"));
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("请输入一个介于 0 和 10000 之间的整数。")});
    EXPECT_EQ(station.route()[1].altitude, 10000);
    EXPECT_EQ(dlg->altitudeEdit()->text(), QStringLiteral("10000"));

    // "确定" with a bad field stays open and stores nothing; with good fields it stores and closes.
    dlg->altitudeEdit()->setText(QStringLiteral("300"));
    dlg->longitudeEdit()->setText(QStringLiteral("181"));
    dlg->button(QStringLiteral("确定"))->click();
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[1], QStringLiteral("请输入一个介于 -180 和 180 之间的数字。"));
    EXPECT_EQ(dlg->result(), 0);
    EXPECT_EQ(station.route()[1].altitude, 10000);
    dlg->longitudeEdit()->setText(QStringLiteral("120.5"));
    dlg->button(QStringLiteral("确定"))->click();
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(station.route()[1].altitude, 300);
}
// The rules themselves (first waypoint, "全部高度", labels) are the core's; here the buttons and
// fields reach them, and every accepted change is reported once as an undo step. "加载" refills the
// list from row one; "上传" starts the upload and shows the first waypoint circling.
TEST_F(RouteEditorTest, ButtonsAndFieldsChangeTheRouteAndEachAcceptedChangeIsOneStep)
{
    fillRoute(station.route(), 4);
    int steps = 0;
    CRouteCommands commands(station, nullptr);
    CSkyWayEditDlg::SActions actions;
    actions.changed = [&] { ++steps; };
    actions.load = [&] { return commands.loadRoute(); };
    actions.upload = [&] { commands.uploadRoute(); };
    auto dlg = editor(actions);
    dlg->selectRow(1);
    dlg->button(QStringLiteral("上移"))->click();
    EXPECT_EQ(station.route()[0].longitude, 116.01);
    EXPECT_EQ(dlg->selectedRow(), 0);
    dlg->button(QStringLiteral("下移"))->click();
    EXPECT_EQ(station.route()[1].longitude, 116.01);

    // Typing stores at every key release; the step is taken when the field's editing is finished.
    dlg->selectRow(2);
    dlg->allAltitudesBox()->setChecked(true);
    dlg->altitudeEdit()->selectAll();
    QTest::keyClicks(dlg->altitudeEdit(), QStringLiteral("120"));
    EXPECT_EQ(column(*dlg, 3), (QStringList{"120", "120", "120", "120"}));
    EXPECT_EQ(steps, 2);
    emit dlg->altitudeEdit()->editingFinished();
    EXPECT_EQ(steps, 3);
    dlg->circleCombo()->setCurrentIndex(1);
    emit dlg->circleCombo()->activated(1);
    EXPECT_EQ(station.route()[2].circleFlag, 1);
    EXPECT_EQ(steps, 4);

    dlg->button(QStringLiteral("删除"))->click();
    EXPECT_EQ(column(*dlg, 0), (QStringList{"#01", "#02", "#04"}));
    EXPECT_EQ(steps, 5);
    dlg->button(QStringLiteral("删除"))->click(); // nothing selected: nothing removed
    EXPECT_EQ(station.route().size(), 3u);

    CTempDir::write(home.file("two.skw"), "1.5 2.5 100 0 0 0 7\r\n3.5 4.5 200 1 1 30 8\r\n");
    commands.setLoadChooser([&](QWidget*) { return std::optional<QString>(QString::fromStdString(home.file("two.skw"))); });
    dlg->selectRow(1);
    dlg->button(QStringLiteral("加载"))->click();
    EXPECT_EQ(column(*dlg, 0), (QStringList{"#01", "#02"}));
    EXPECT_EQ(dlg->selectedRow(), 0);
    EXPECT_EQ(dlg->longitudeEdit()->text(), QStringLiteral("1.500000"));

    station.route()[0].circleFlag = 0; // changed behind the editor's back
    dlg->button(QStringLiteral("上传"))->click();
    EXPECT_TRUE(station.routeController().upload().active());
    EXPECT_EQ(dlg->list()->topLevelItem(0)->text(5), QStringLiteral("盘旋"));
}

TEST(NumericKeyRule, OnlyCharactersThatMakeANonNumberAreSwallowed)
{
    // Keys typed into "500" with the cursor at its end: H Home, E End, < Shift+Left, A Ctrl+A,
    // B Backspace, anything else typed as it is.
    const struct {
        bool period;
        const char* keys;
        const char* text;
    } cases[] = {
        {false, "H1", "1500"}, {false, "HE2", "5002"}, {false, "<<7", "57"},
        {false, "A9", "9"},    {false, "B-a.e", "50"}, {true, ".2., ", "500.2"},
        {true, "AV", "-33.5"}, // V Ctrl+V: a minus sign arrives only by pasting
    };
    QApplication::clipboard()->setText(QStringLiteral("-33.5"));
    for (const auto& c : cases) {
        QLineEdit edit;
        CNumericKeyFilter::install(&edit, c.period);
        edit.setText(QStringLiteral("500"));
        for (const char* k = c.keys; *k; ++k) {
            switch (*k) {
            case 'H': QTest::keyClick(&edit, Qt::Key_Home); break;
            case 'E': QTest::keyClick(&edit, Qt::Key_End); break;
            case '<': QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier); break;
            case 'A': QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier); break;
            case 'B': QTest::keyClick(&edit, Qt::Key_Backspace); break;
            case 'V': QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier); break;
            default: QTest::keyClick(&edit, *k);
            }
        }
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.text)) << c.keys;
        EXPECT_FALSE(edit.testAttribute(Qt::WA_InputMethodEnabled)); // input-method text would pass by
    }
}

TEST_F(RouteEditorTest, EditWaypointDialogStoresOnOkOnly)
{
    fillRoute(station.route(), 2);
    CWayPoint& w = station.route()[1];
    w.photoMode = 3;
    {
        CEditWayPointDlg dlg(w, nullptr, 2);
        EXPECT_EQ(dlg.nameLabel()->text(), QStringLiteral("航点 #03"));
        EXPECT_EQ(dlg.photoCombo()->currentIndex(), 3);
        dlg.altitudeEdit()->setText(QStringLiteral("900"));
        dlg.cancelButton()->click();
    }
    EXPECT_EQ(w.altitude, 510);
    CEditWayPointDlg dlg(w);
    dlg.circleTimeEdit()->setText(QStringLiteral("65537"));
    dlg.okButton()->click();
    EXPECT_EQ(boxes.texts, std::vector<QString>{QStringLiteral("请输入一个介于 0 和 65536 之间的整数。")});
    EXPECT_EQ(w.circleTime, 100);
    dlg.altitudeEdit()->setText(QStringLiteral("900"));
    dlg.circleTimeEdit()->setText(QStringLiteral("60"));
    dlg.photoCombo()->setCurrentIndex(5);
    dlg.okButton()->click();
    EXPECT_EQ(w.altitude, 900);
    EXPECT_EQ(w.circleTime, 60);
    EXPECT_EQ(w.photoMode, 100);
}

} // namespace
