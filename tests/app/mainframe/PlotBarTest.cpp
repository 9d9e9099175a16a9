// The plot bar in a real main window over a replayed log: the cursor follows the replay position
// and a click in a plot seeks the replay there.
#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "flightlog/PlotFields.h"
#include "app/link/LinkController.h"
#include "app/mainframe/MainFrame.h"
#include "app/plots/PlotBar.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QSlider>
#include <QTest>
#include "support/StpRecord.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace orvex;

TEST(PlotBar, FollowsTheReplayAndAClickSeeksIt)
{
    CTempDir tmp{"orvex-plotbar"};
    const fs::path log = tmp.dir() / "20260307100000.hj";
    { // 600 records a second apart from 10:00:00; the altitude in decimetres is the index
        std::ofstream out(log, std::ios::binary);
        for (int i = 0; i < 600; ++i) {
            StpBytes r = stpRecord(22.5f, 113.25f);
            r[28] = std::uint8_t(10), r[29] = std::uint8_t(i / 60), r[30] = std::uint8_t(i % 60);
            putLeU16(&r[48], i);
            sealStp(r);
            out.write(reinterpret_cast<const char*>(r.data()), 99);
        }
    }
    CGroundStation station(CAppPaths(tmp.dir().string(), tmp.dir().string()));
    CCommandTable commands;
    CMainFrame frame(station, commands);
    station.setUi(&frame);
    CLinkController links(station, commands, frame);
    CPlotBar* bar = frame.plotBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden()) << "hidden until the operator shows it";
    ASSERT_TRUE(links.openReplayFile(QString::fromStdString(log.string())));
    links.replayTimer().stop(); // the test moves the replay itself
    frame.show();
    bar->showAction()->trigger();
    ASSERT_TRUE(bar->isVisible());
    QApplication::processEvents();

    frame.progressSlider()->setSliderPosition(16384); // record 300
    frame.progressSlider()->triggerAction(QAbstractSlider::SliderMove);
    bar->refresh();
    ASSERT_EQ(bar->cursorIndex(), std::optional<std::size_t>(300));
    EXPECT_DOUBLE_EQ(bar->windowStart(), 150.0) << "a five-minute window centred on the replay position";

    // A click three quarters across the plots lands on the record at that time.
    QWidget* view = bar->view();
    const int left = 64, width = view->width() - 64 - 8;
    const int x = left + width * 3 / 4;
    const std::size_t expected = std::size_t(std::lround(150.0 + double(x - left) / width * 300.0));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, view->height() / 3));
    EXPECT_EQ(station.linkState().store().displayIndex(), expected);
    bar->refresh();
    EXPECT_EQ(bar->cursorIndex(), std::optional<std::size_t>(expected));
    EXPECT_FLOAT_EQ(bar->valueAt(0, expected), float(expected) / 10) << "plot 1 shows the altitude";

    bar->updateSummaryAction();
    ASSERT_TRUE(bar->summaryAction()->isEnabled());
    bar->summaryAction()->trigger();
    auto* summary = frame.findChild<QMessageBox*>(QStringLiteral("flightSummaryDialog"));
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().contains(QStringLiteral("最大高度: 59.9 m"))) << summary->text().toStdString();
}
