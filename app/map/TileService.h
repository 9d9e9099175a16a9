#pragma once
// CTileService: the map pages' tiles through the program. The pages ask for
//   orvextile:/Z/X/Y?src=<tile address template, percent-encoded>[&bulk=1]   (online page)
//   orvextile:/Z/X/Y?offline=1                                             (offline page)
// and the service answers from the tile store ("maps/" of the home directory: the operator's
// MBTiles files first, then the cache). A tile that is missing, or cached longer than its source
// allowed (Cache-Control max-age), is fetched from the source with a User-Agent naming this
// program, put into the cache (unless the source said no-store) and answered. When the fetch
// fails a stored tile is answered even if stale, so a tile that cannot be loaded comes from the
// store. Offline requests never use the network.
//
// The source template and its bulk-download flag ("bulkDownload" in html/mapconfig.js) of the
// last online request are kept for "下载离线地图".

#include <memory>

#include <QNetworkAccessManager>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

#include "map/TileStore.h"

class QWebEngineProfile;

namespace orvex {

class CTileService : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char* kScheme = "orvextile";

    CTileService(const std::string& mapsDir, std::int64_t cacheBytes, QObject* parent = nullptr);

    // The service installed on `profile` (one per profile; later calls return the first).
    static CTileService* install(QWebEngineProfile* profile, const std::string& mapsDir, std::int64_t cacheBytes);
    static CTileService* of(QWebEngineProfile* profile);
    // The User-Agent of every tile request.
    static QByteArray userAgent();

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    CTileStore& store() { return m_store; }
    QNetworkAccessManager& network() { return m_net; }
    const QString& sourceTemplate() const { return m_source; }
    bool sourceAllowsBulk() const { return m_bulk; }
    static QString fillTemplate(QString tmpl, const STileId& t);

private:
    CTileStore m_store;
    QNetworkAccessManager m_net;
    QString m_source;
    bool m_bulk = false;
};

} // namespace orvex
