#pragma once
// "下载离线地图": the tiles of an area and a range of zoom levels put into the tile cache ahead
// of a flight without network.
//
// CTileDownload fetches a list of tiles from the tile source, at most two requests at a time,
// skipping tiles the store already has (so a cancelled download resumes where it stopped when
// started again). cancel() starts no new request; the ones under way finish and are stored.
//
// downloadOfflineMap() is the command: it is allowed only for a tile source whose settings carry
// the bulk-download flag (bulkDownload in html/mapconfig.js); otherwise it says why and how to
// configure one. It takes the current view of the map, asks for the zoom range showing the tile
// count and the estimated size, and runs the download under a progress dialog with "取消";
// "画矩形" there takes a rectangle drawn on the map instead of the view.

#include <vector>

#include <QObject>
#include <QString>

#include "map/TileStore.h"

class QJsonArray;
class QNetworkReply;

namespace orvex {

class CMapDlg;
class CTileService;

class CTileDownload : public QObject {
    Q_OBJECT
public:
    static constexpr int kParallel = 2;

    CTileDownload(CTileService& service, QString sourceTemplate, std::vector<STileId> tiles,
                  QObject* parent = nullptr);

    void start();
    void cancel();
    int total() const { return static_cast<int>(m_tiles.size()); }
    int processed() const { return m_fetched + m_skipped + m_failed; }
    int fetched() const { return m_fetched; }
    int skipped() const { return m_skipped; }
    int failed() const { return m_failed; }
    bool cancelled() const { return m_cancelled; }

signals:
    void progress(int processed, int total);
    void finished();

private:
    void pump();
    void replyFinished(QNetworkReply* reply, const STileId& t);

    CTileService& m_service;
    QString m_source;
    std::vector<STileId> m_tiles;
    std::size_t m_next = 0;
    int m_active = 0;
    int m_fetched = 0, m_skipped = 0, m_failed = 0;
    bool m_cancelled = false;
};

// The text shown when the tile source does not allow bulk download.
QString bulkDownloadRefusal();
// The number of tiles and an estimate of their bytes (from the tiles the cache holds, else a
// typical street map tile).
std::int64_t estimatedDownloadBytes(CTileService& service, std::size_t tiles);

void downloadOfflineMap(CMapDlg& map);
// The dialog of the command for an area: [south, west, north, east, zoom level]; `drawn` when
// the operator drew it ("画矩形" in the dialog lets them draw one, then the dialog comes back).
void downloadDialog(CMapDlg& map, CTileService& service, const QJsonArray& area, bool drawn);

} // namespace orvex
