#include "app/map/TileDownload.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFormLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWebEngineProfile>

#include "app/shell/MessageBox.h"
#include "app/map/HtmlCtrl.h"
#include "app/map/MapDlg.h"
#include "app/map/PositionPanel.h"
#include "app/map/TileService.h"

namespace orvex {

namespace {

constexpr std::size_t kMaxDownloadTiles = 50000;
constexpr std::int64_t kTypicalTileBytes = 20 * 1024;
constexpr int kDrawRectangle = 2; // the dialog's answer for "画矩形"

QJsonArray pageArray(CMapDlg& map, const QString& script);
void pickRectangle(CMapDlg& map, CTileService& service, int zoom);

QString megabytes(std::int64_t bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

} // namespace

CTileDownload::CTileDownload(CTileService& service, QString sourceTemplate, std::vector<STileId> tiles,
                             QObject* parent)
    : QObject(parent), m_service(service), m_source(std::move(sourceTemplate)), m_tiles(std::move(tiles))
{
}

void CTileDownload::start()
{
    pump();
}

void CTileDownload::cancel()
{
    // Nothing to stop once every tile has been handled (the progress dialog cancels when closed).
    if (m_cancelled || (m_active == 0 && m_next >= m_tiles.size()))
        return;
    m_cancelled = true;
    if (m_active == 0)
        emit finished();
}

void CTileDownload::pump()
{
    while (!m_cancelled && m_active < kParallel && m_next < m_tiles.size()) {
        const STileId t = m_tiles[m_next++];
        if (m_service.store().has(t)) {
            ++m_skipped;
            continue;
        }
        QNetworkRequest request(QUrl(CTileService::fillTemplate(m_source, t)));
        request.setHeader(QNetworkRequest::UserAgentHeader, CTileService::userAgent());
        request.setTransferTimeout(20000);
        QNetworkReply* reply = m_service.network().get(request);
        ++m_active;
        connect(reply, &QNetworkReply::finished, this, [this, reply, t] { replyFinished(reply, t); });
    }
    emit progress(processed(), total());
    if (m_active == 0 && !m_cancelled && m_next >= m_tiles.size())
        emit finished();
}

void CTileDownload::replyFinished(QNetworkReply* reply, const STileId& t)
{
    reply->deleteLater();
    --m_active;
    const QByteArray body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status == 200 && !body.isEmpty() &&
        m_service.store().store(t, body.toStdString()))
        ++m_fetched;
    else
        ++m_failed;
    if (m_cancelled) {
        emit progress(processed(), total());
        if (m_active == 0)
            emit finished();
        return;
    }
    pump();
}

QString bulkDownloadRefusal()
{
    return QStringLiteral("当前地图源没有设置允许批量下载（OpenStreetMap 公共瓦片服务器的使用政策禁止批量下载）。\n"
                          "请在程序目录的 html/mapconfig.js 中把 tileUrl 改为允许批量下载的地图源"
                          "（例如自己的瓦片服务器），并设置 bulkDownload: true，然后重新启动程序。");
}

std::int64_t estimatedDownloadBytes(CTileService& service, std::size_t tiles)
{
    std::int64_t each = kTypicalTileBytes;
    if (CMbTiles* cache = service.store().cache()) {
        const SMbTilesInfo info = cache->info();
        if (info.tiles > 0)
            each = std::max<std::int64_t>(1, cache->tileBytes() / info.tiles);
    }
    return each * static_cast<std::int64_t>(tiles);
}

void downloadOfflineMap(CMapDlg& map)
{
    CTileService* service = CTileService::of(map.browser()->page()->profile());
    if (!service || map.offline() || service->sourceTemplate().isEmpty()) {
        messageBox(&map, QStringLiteral("下载离线地图需要在线地图：请在能连接地图源时使用。"));
        return;
    }
    if (!service->sourceAllowsBulk()) {
        messageBox(&map, bulkDownloadRefusal());
        return;
    }
    // The current view: south, west, north, east and the zoom level.
    const QJsonArray view = pageArray(map, QStringLiteral(
        "(function(){var m=window.orvexMap,b=m.getBounds();return JSON.stringify("
        "[b.getSouth(),b.getWest(),b.getNorth(),b.getEast(),m.getZoom()]);})()"));
    if (view.size() == 5)
        downloadDialog(map, *service, view, false);
}

namespace {

// A JSON array the page's script gives back (empty when none comes within five seconds).
QJsonArray pageArray(CMapDlg& map, const QString& script)
{
    QJsonArray result;
    bool answered = false;
    QEventLoop wait;
    map.browser()->page()->runJavaScript(script, [&](const QVariant& v) {
        result = QJsonDocument::fromJson(v.toString().toUtf8()).array();
        answered = true;
        wait.quit();
    });
    QTimer::singleShot(5000, &wait, &QEventLoop::quit);
    if (!answered)
        wait.exec();
    return result;
}

// "画矩形": the page takes one rectangle from the mouse; the dialog comes back with it.
void pickRectangle(CMapDlg& map, CTileService& service, int zoom)
{
    map.script().orvexPickBox();
    auto* poll = new QTimer(&map);
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(poll, &QTimer::timeout, &map, [&map, &service, poll, waited, zoom] {
        map.browser()->page()->runJavaScript(
            QStringLiteral("JSON.stringify(window.orvexPickedBox)"), [&map, &service, poll, waited, zoom](const QVariant& v) {
                if (!poll->isActive())
                    return;
                QJsonArray box = QJsonDocument::fromJson(v.toString().toUtf8()).array();
                // A reloaded page has forgotten the rectangle; the operator has five minutes.
                const bool gone = v.toString().isEmpty() || waited->elapsed() > 300000;
                if (box.size() != 4 && !gone)
                    return;
                poll->stop();
                poll->deleteLater();
                delete waited;
                if (box.size() == 4) {
                    box.append(zoom);
                    downloadDialog(map, service, box, true);
                }
            });
    });
    poll->start(250);
}

} // namespace

void downloadDialog(CMapDlg& map, CTileService& service, const QJsonArray& area, bool drawn)
{
    const double s = area[0].toDouble(), w = std::max(-180.0, area[1].toDouble()),
                 n = area[2].toDouble(), e = std::min(180.0, area[3].toDouble());
    const int zoom = area[4].toInt();
    CTileService* const svc = &service;

    QDialog dlg(&map);
    dlg.setObjectName(QStringLiteral("tileDownloadDlg"));
    dlg.setWindowTitle(QStringLiteral("下载离线地图"));
    auto* form = new QFormLayout(&dlg);
    form->addRow(new QLabel(QStringLiteral("范围：%5（纬度 %1 ~ %2，经度 %3 ~ %4）")
                                .arg(s, 0, 'f', 4).arg(n, 0, 'f', 4).arg(w, 0, 'f', 4).arg(e, 0, 'f', 4)
                                .arg(drawn ? QStringLiteral("所画矩形") : QStringLiteral("当前地图视图"))));
    auto* from = new QSpinBox;
    auto* to = new QSpinBox;
    from->setRange(0, 19);
    to->setRange(0, 19);
    from->setValue(zoom);
    to->setValue(std::min(19, zoom + 2));
    form->addRow(QStringLiteral("最小层级"), from);
    form->addRow(QStringLiteral("最大层级"), to);
    auto* summary = new QLabel;
    summary->setObjectName(QStringLiteral("tileCount"));
    form->addRow(summary);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("开始下载"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QPushButton* draw = buttons->addButton(QStringLiteral("画矩形"), QDialogButtonBox::ActionRole);
    draw->setObjectName(QStringLiteral("drawRectangle"));
    QObject::connect(draw, &QPushButton::clicked, &dlg, [&dlg] { dlg.done(kDrawRectangle); });
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    std::vector<STileId> tiles;
    auto update = [&] {
        tiles.clear();
        if (from->value() <= to->value())
            tiles = tilesInBox(s, w, n, e, from->value(), to->value());
        std::size_t stored = 0;
        for (const STileId& t : tiles)
            if (tiles.size() <= kMaxDownloadTiles && svc->store().has(t))
                ++stored;
        const bool ok = !tiles.empty() && tiles.size() <= kMaxDownloadTiles;
        summary->setText(tiles.size() > kMaxDownloadTiles
                             ? QStringLiteral("瓦片数：%1，超过 %2 块，请缩小范围或层级").arg(tiles.size()).arg(kMaxDownloadTiles)
                             : QStringLiteral("瓦片数：%1（已有 %2），估计大小：%3")
                                   .arg(tiles.size())
                                   .arg(stored)
                                   .arg(megabytes(estimatedDownloadBytes(*svc, tiles.size() - stored))));
        buttons->button(QDialogButtonBox::Ok)->setEnabled(ok);
    };
    QObject::connect(from, &QSpinBox::valueChanged, &dlg, update);
    QObject::connect(to, &QSpinBox::valueChanged, &dlg, update);
    update();
    const int answer = dlg.exec();
    if (answer == kDrawRectangle)
        pickRectangle(map, service, zoom);
    if (answer != QDialog::Accepted)
        return;

    CTileDownload download(*svc, svc->sourceTemplate(), tiles);
    QProgressDialog progress(QStringLiteral("正在下载离线地图…"), QStringLiteral("取消"), 0,
                             static_cast<int>(tiles.size()), &map);
    progress.setObjectName(QStringLiteral("tileDownloadProgress"));
    progress.setWindowTitle(QStringLiteral("下载离线地图"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    QEventLoop loop;
    QObject::connect(&download, &CTileDownload::progress, &progress, [&](int done, int) { progress.setValue(done); });
    QObject::connect(&progress, &QProgressDialog::canceled, &download, &CTileDownload::cancel);
    bool done = false;
    QObject::connect(&download, &CTileDownload::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    download.start();
    if (!done)
        loop.exec(); // after "取消" the requests under way finish first
    progress.close();
    const QString counts = QStringLiteral("新下载 %1 块，已有 %2 块，失败 %3 块")
                               .arg(download.fetched())
                               .arg(download.skipped())
                               .arg(download.failed());
    messageBox(&map, download.cancelled()
                         ? QStringLiteral("下载已取消：%1。再次下载同一区域会从中断处继续。").arg(counts)
                         : QStringLiteral("离线地图下载完成：%1。").arg(counts));
}

} // namespace orvex
