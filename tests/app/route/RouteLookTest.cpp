// How the route editor and the survey dialog look at their opening size: every column shows its
// title and its widest row text, every button its label.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "RouteTestSupport.h"
#include "route/SkyWayEditDlg.h"
#include "route/SurveyDlg.h"

using namespace orvex;
using namespace orvex::routetest;

namespace {

// Columns narrower than their texts, as "column: text" lines.
QStringList cutColumns(QTreeWidget* list)
{
    QStringList cut;
    const QFontMetrics fm(list->font());
    const QFontMetrics header(list->header()->font());
    constexpr int kPadding = 8; // the cell's margins
    for (int c = 0; c < list->columnCount(); ++c) {
        const int width = list->columnWidth(c);
        const QString title = list->headerItem()->text(c);
        if (header.horizontalAdvance(title) + kPadding > width)
            cut << QStringLiteral("%1: %2").arg(c).arg(title);
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            const QString text = list->topLevelItem(r)->text(c);
            if (fm.horizontalAdvance(text) + kPadding > width)
                cut << QStringLiteral("%1: %2").arg(c).arg(text);
        }
    }
    return cut;
}

QStringList cutButtons(QWidget* dialog)
{
    QStringList cut;
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->isVisible() && b->width() < b->fontMetrics().horizontalAdvance(b->text()) + 8)
            cut << b->text();
    return cut;
}

class RouteLookTest : public ::testing::Test {
protected:
    RouteLookTest() : station(CAppPaths(home.path())) { station.setUi(&ui); }
    void fillWideRoute()
    {
        CSkyWay& r = station.route();
        r.clear();
        r.append(point(-179.123456, -89.654321, 65536));
        r.append(point(116.397128, 39.916527, 500));
        r.append(point(116.401000, 39.917000, 1200));
        r.append(point(116.401000, 39.919200, 1200));
        r.append(point(116.397128, 39.919200, 1200));
        r[1].photoMode = 2;
        r[2].photoMode = 100;
        r[3].photoMode = 4;
        r[3].circleTime = 65535;
    }
    TempHome home;
    RecordingUi ui;
    CGroundStation station;
};

TEST_F(RouteLookTest, EditorShowsEveryTextWhole)
{
    fillWideRoute();
    CSkyWayEditDlg dlg(station.route(), station.settings(), {});
    dlg.show();
    QApplication::processEvents();
    dlg.selectRow(1);
    EXPECT_EQ(cutColumns(dlg.list()), QStringList{});
    EXPECT_EQ(cutButtons(&dlg), QStringList{});
    EXPECT_GE(dlg.allAltitudesBox()->width(), dlg.allAltitudesBox()->sizeHint().width());
    EXPECT_GE(dlg.longitudeEdit()->width(),
              dlg.longitudeEdit()->fontMetrics().horizontalAdvance(QStringLiteral("-179.123456")));
    dlg.hide();
}

TEST_F(RouteLookTest, SurveyDialogShowsEveryTextWhole)
{
    fillWideRoute();
    CSurveyDlg dlg(station.route(), CWayPointDefaults{}, 500);
    dlg.show();
    QApplication::processEvents();
    dlg.selectRow(1);
    dlg.cornerButton(kSurveyLongSide1)->click();
    EXPECT_EQ(cutColumns(dlg.list()), QStringList{});
    EXPECT_EQ(cutButtons(&dlg), QStringList{});
    for (int c = 0; c < 4; ++c) {
        QLineEdit* e = dlg.cornerEdit(static_cast<ESurveyCorner>(c));
        EXPECT_GE(e->width(), e->fontMetrics().horizontalAdvance(e->text())) << c;
    }
    dlg.hide();
}

} // namespace
