// The map pages take their tiles through the program's tile store: a tile server on 127.0.0.1 is
// the source; the online page shows its tiles (and the cache keeps them); with the server gone
// the offline page shows the same area from the cache. "下载离线地图" fetches an area ahead.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QWebEngineProfile>

#include "base/Settings.h"
#include "app/map/HtmlCtrl.h"
#include "app/map/MapDlg.h"
#include "app/map/PositionPanel.h"
#include "app/map/TileDownload.h"
#include "app/map/TileService.h"
#include "route/SkyWay.h"
#include "support/QtWait.h"
#include "support/TempDir.h"
#include "support/TileServer.h"

using namespace orvex;

namespace {

// Every tile of zoom level `z` as one plain red picture.
void writeRedTiles(const std::string& root, int z)
{
    QImage red(256, 256, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    red.save(&buffer, "PNG");
    for (int x = 0; x < (1 << z); ++x) {
        const std::string dir = root + "/" + std::to_string(z) + "/" + std::to_string(x);
        std::filesystem::create_directories(dir);
        for (int y = 0; y < (1 << z); ++y)
            CTempDir::write(dir + "/" + std::to_string(y) + ".png", png.toStdString());
    }
}

// Runs a download to its "finished" signal.
bool runToEnd(CTileDownload& download)
{
    bool done = false;
    QObject::connect(&download, &CTileDownload::finished, [&] { done = true; });
    download.start();
    return waitFor([&] { return done; }, 30000);
}

// Whether the middle of the map shows the served red.
bool centreIsRed(CMapDlg& dlg)
{
    const QImage shot = dlg.browser()->grab().toImage();
    const QColor c = shot.pixelColor(shot.width() / 2 + 20, shot.height() / 2 + 20);
    return c.red() > 240 && c.green() < 20 && c.blue() < 20;
}

} // namespace

TEST(TileService, OnlineTilesAreCachedAndShownOfflineWithoutTheServer)
{
    CTempDir dir;
    writeRedTiles(dir.file("tiles"), 4);
    CTileServer server(dir.file("tiles"));
    CSettings settings(dir.file("Korva.ini"));
    CSkyWay route;
    CMapDlg dlg(route, settings, QStringLiteral(ORVEX_BIN_DIR));
    CTileService* service = CTileService::install(dlg.browser()->page()->profile(), dir.file("maps/"), 1 << 30);
    dlg.resize(800, 600);
    dlg.show();
    dlg.start(QStringLiteral("tiles=") + QString::fromStdString(server.url()));
    ASSERT_TRUE(waitFor([&] { return centreIsRed(dlg); }, 60000)) << "the online page shows no served tile";
    EXPECT_NE(server.log().find(" Orvex-GCS/"), std::string::npos) << server.log();
    EXPECT_TRUE(service->store().has({4, 12, 6})); // the tile at the page's first centre (30 N, 114 E)

    server.stop();
    bool offlineLoaded = false;
    QObject::connect(dlg.browser(), &QWebEngineView::loadFinished, [&](bool) { offlineLoaded = true; });
    dlg.switchToOffline();
    ASSERT_TRUE(waitFor([&] { return offlineLoaded; }, 60000));
    EXPECT_TRUE(waitFor([&] { return centreIsRed(dlg); }, 60000)) << "the offline page does not show the cache";
}

TEST(TileService, ACancelledDownloadResumesFetchingEachTileOnce)
{
    CTempDir dir;
    writeRedTiles(dir.file("tiles"), 3);
    writeRedTiles(dir.file("tiles"), 4);
    CTileServer server(dir.file("tiles"));
    CTileService service(dir.file("maps/"), 1 << 30);
    const std::vector<STileId> tiles = tilesInBox(20, 90, 40, 140, 3, 4); // 2 + 6 tiles
    const QString source = QString::fromStdString(server.url());
    CTileDownload download(service, source, tiles);
    QObject::connect(&download, &CTileDownload::progress, [&] {
        if (download.fetched() >= 3)
            download.cancel();
    });
    ASSERT_TRUE(runToEnd(download));
    const int first = download.fetched();
    EXPECT_LE(first, 3 + CTileDownload::kParallel); // the requests under way at the cancel finish
    CTileDownload resume(service, source, tiles);
    ASSERT_TRUE(runToEnd(resume));
    EXPECT_EQ(resume.skipped(), first);
    EXPECT_EQ(resume.fetched(), int(tiles.size()) - first);
    resume.cancel(); // as the progress dialog does when it closes: nothing is left to cancel
    EXPECT_FALSE(resume.cancelled());
    for (const STileId& t : tiles) {
        const std::string path = "/" + std::to_string(t.z) + "/" + std::to_string(t.x) + "/" + std::to_string(t.y) + ".png ";
        EXPECT_NE(server.log().find(path), std::string::npos) << path;
    }
}
