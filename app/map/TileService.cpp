#include "app/map/TileService.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>

#include "OrvexVersion.h"

namespace orvex {

namespace {

QByteArray mimeOf(const std::string& data)
{
    const std::string f = tileFormatOf(data);
    return f == "jpg" ? "image/jpeg" : f == "webp" ? "image/webp" : "image/png";
}

void answer(QWebEngineUrlRequestJob* job, const std::string& data)
{
    auto* buffer = new QBuffer(job);
    buffer->setData(data.data(), static_cast<qsizetype>(data.size()));
    job->reply(mimeOf(data), buffer);
}

// Seconds since the epoch until which a fetched tile may be reused: -1 when it may not be
// stored at all (no-store), 0 when the source gives no limit.
std::int64_t reuseLimit(const QByteArray& cacheControl)
{
    const QString cc = QString::fromLatin1(cacheControl).toLower();
    if (cc.contains(QLatin1String("no-store")))
        return -1;
    const auto m = QRegularExpression(QStringLiteral("max-age\\s*=\\s*(\\d+)")).match(cc);
    if (m.hasMatch())
        return QDateTime::currentSecsSinceEpoch() + m.captured(1).toLongLong();
    return cc.contains(QLatin1String("no-cache")) ? QDateTime::currentSecsSinceEpoch() : 0;
}

} // namespace

CTileService::CTileService(const std::string& mapsDir, std::int64_t cacheBytes, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_store(mapsDir, cacheBytes)
{
    for (const std::string& m : m_store.messages())
        qWarning("%s", m.c_str());
    // The cache's metadata describes what it holds when the program ends.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        if (CMbTiles* cache = m_store.cache())
            cache->refreshMetadata();
    });
}

CTileService* CTileService::install(QWebEngineProfile* profile, const std::string& mapsDir, std::int64_t cacheBytes)
{
    if (CTileService* s = of(profile))
        return s;
    auto* s = new CTileService(mapsDir, cacheBytes, profile);
    profile->installUrlSchemeHandler(kScheme, s);
    return s;
}

CTileService* CTileService::of(QWebEngineProfile* profile)
{
    return qobject_cast<CTileService*>(const_cast<QWebEngineUrlSchemeHandler*>(profile->urlSchemeHandler(kScheme)));
}

QByteArray CTileService::userAgent()
{
    return QByteArray("Orvex-GCS/") + kVersion + " (ground control station map)";
}

QString CTileService::fillTemplate(QString tmpl, const STileId& t)
{
    return tmpl.replace(QLatin1String("{z}"), QString::number(t.z))
        .replace(QLatin1String("{x}"), QString::number(t.x))
        .replace(QLatin1String("{y}"), QString::number(t.y));
}

void CTileService::requestStarted(QWebEngineUrlRequestJob* job)
{
    const QUrl url = job->requestUrl();
    const QStringList parts = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    STileId t;
    bool ok = parts.size() == 3;
    if (ok) {
        bool a = false, b = false, c = false;
        t = {parts[0].toInt(&a), parts[1].toInt(&b), parts[2].toInt(&c)};
        ok = a && b && c && validTileId(t);
    }
    if (!ok) {
        job->fail(QWebEngineUrlRequestJob::UrlInvalid);
        return;
    }
    const QUrlQuery query(url);
    bool fromCache = false;
    std::int64_t expires = 0;
    std::optional<std::string> stored = m_store.tile(t, &fromCache, &expires);
    const QString source = query.queryItemValue(QStringLiteral("src"), QUrl::FullyDecoded);
    const bool sourceOk = source.startsWith(QLatin1String("http://")) || source.startsWith(QLatin1String("https://"));
    if (sourceOk) {
        m_source = source;
        m_bulk = query.queryItemValue(QStringLiteral("bulk")) == QLatin1String("1");
    }
    const bool fresh = stored && (!fromCache || expires == 0 || expires > QDateTime::currentSecsSinceEpoch());
    if (fresh || !sourceOk) {
        if (stored)
            answer(job, *stored);
        else
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    QNetworkRequest request(QUrl(fillTemplate(source, t)));
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setTransferTimeout(20000);
    QNetworkReply* reply = m_net.get(request);
    QPointer<QWebEngineUrlRequestJob> guard(job);
    connect(reply, &QNetworkReply::finished, this, [this, reply, guard, t, stored] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        if (reply->error() == QNetworkReply::NoError && status == 200 && !body.isEmpty()) {
            const std::string data = body.toStdString();
            const std::int64_t limit = reuseLimit(reply->rawHeader("Cache-Control"));
            if (limit >= 0)
                m_store.store(t, data, limit);
            if (guard)
                answer(guard, data);
        } else if (guard) {
            if (stored)
                answer(guard, *stored);
            else
                guard->fail(QWebEngineUrlRequestJob::RequestFailed);
        }
    });
}

} // namespace orvex
