#include "app/mainframe/Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTabWidget>
#include <QThread>
#include <QToolBar>

#include "station/GroundStation.h"
#include "app/mainframe/AboutDlg.h"
#include "app/mainframe/Artwork.h"
#include "app/mainframe/MainFrame.h"
#include "app/mainframe/Splash.h"
#include "flightlog/PlotFields.h"
#include "app/plots/PlotBar.h"
#include "app/options/Options.h"
#include "app/route/SurveyDlg.h"

#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>

namespace orvex {

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

bool save(QWidget& w, const QDir& dir, const QString& name)
{
    settle();
    return w.grab().save(dir.filePath(name));
}

} // namespace

int saveScreenshots(CMainFrame& frame, CGroundStation& station, const QString& dirPath)
{
    QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return 0;
    int count = 0;
    count += save(frame, dir, QStringLiteral("mainwindow.png"));

    const QList<QAction*> menus = frame.menuBar()->actions();
    for (int i = 0; i < menus.size(); ++i) {
        if (QMenu* menu = menus[i]->menu()) {
            menu->popup(frame.mapToGlobal(QPoint(10, 10)));
            count += save(*menu, dir, QStringLiteral("menu-%1.png").arg(i));
            menu->hide();
        }
    }

    frame.barLayout(CMainFrame::kShow, CMainFrame::kShow, CMainFrame::kShow);
    frame.playbackBar()->show();
    count += save(frame, dir, QStringLiteral("mainwindow-bars.png"));
    frame.playbackBar()->hide();
    frame.barLayout(CMainFrame::kHide, CMainFrame::kHide, CMainFrame::kShow);

    // The plot bar, over the middle of a replay given with --replay.
    if (CPlotBar* plots = frame.plotBar()) {
        if (station.linkState().replayLoaded())
            emit frame.replaySeekRequested(CMainFrame::kProgressMax / 2);
        plots->setField(2, findPlotField("groundSpeed"));
        plots->show();
        QApplication::processEvents();
        plots->refresh();
        count += save(frame, dir, QStringLiteral("plotbar.png"));
        plots->hide();
    }

    {
        COptions sheet(station, systemSerialPorts, &frame);
        sheet.show();
        count += save(sheet, dir, QStringLiteral("options-com.png"));
        sheet.tabs()->setCurrentIndex(1);
        count += save(sheet, dir, QStringLiteral("options-waypoint.png"));
    }
    {
        CAboutDlg about(&frame, QString::fromStdString(station.paths().homeDir()));
        about.show();
        count += save(about, dir, QStringLiteral("about.png"));
    }
    {
        // The survey dialog over a small area, planned from a camera.
        CSkyWay area;
        for (const auto& [lon, lat] : {std::pair{113.90, 22.50}, {113.91, 22.50}, {113.91, 22.505}, {113.90, 22.505}}) {
            CWayPoint w;
            w.longitude = lon;
            w.latitude = lat;
            area.append(w);
        }
        CSurveyDlg survey(area, CWayPointDefaults{}, 100, &frame, &station.settings());
        survey.cornerButton(kSurveyLongSide1)->click();
        survey.cameraGroup()->setChecked(true);
        survey.altitudeBox()->setValue(120);
        survey.show();
        count += save(survey, dir, QStringLiteral("survey.png"));
    }
    {
        CSplash splash(60000);
        splash.show();
        count += save(splash, dir, QStringLiteral("splash.png"));
    }
    return count;
}

} // namespace orvex
