#include "app/map/MapDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QMenu>
#include <QResizeEvent>
#include <QTimer>
#include <QUrl>


#include "app/shell/MessageBox.h"
#include "app/map/HtmlCtrl.h"
#include "app/map/PlaceMarkDlg.h"
#include "app/map/PositionPanel.h"
#include "app/map/TileService.h"

namespace orvex {

namespace {

QString jsonString(const std::string& s)
{
    // A JSON array of one string gives a correctly escaped literal.
    const QByteArray a = QJsonDocument(QJsonArray{QString::fromStdString(s)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(a.mid(1, a.size() - 2));
}

// Events that open windows of their own are handled after the navigation check has returned.
bool opensWindow(const QString& code)
{
    return code == QLatin1String("3001;") || code == QLatin1String("5003;") || code == QLatin1String("6001;") ||
           code == QLatin1String("6002;") || code == QLatin1String("1003;");
}

} // namespace

CMapDlg::CMapDlg(CSkyWay& route, CSettings& settings, const QString& programDir, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_programDir(programDir), m_browser(new CHtmlCtrl(this)),
      m_handler(std::make_unique<CMapEventHandler>(route, *this, settings, *this)), m_script(*this)
{
    setObjectName(QStringLiteral("mapDlg"));
    m_panel = new CPositionPanel(*m_handler);
    m_handler->setToolModeSink([this](int mode) {
        if (m_hooks.toolModeChanged)
            m_hooks.toolModeChanged(mode);
    });
    m_handler->loadHistory();
    connect(m_browser, &CHtmlCtrl::mapEvent, this, &CMapDlg::onMapEvent);
    connect(m_browser, &CHtmlCtrl::firstDocumentCompleted, this, &CMapDlg::restoreCamera);
}

CMapDlg::~CMapDlg()
{
    // The panel lives in the navigation bar when attached; otherwise it is ours.
    if (m_panel && !m_panel->parent())
        delete m_panel;
}

void CMapDlg::setHooks(SMapDlgHooks hooks)
{
    m_hooks = std::move(hooks);
}

void CMapDlg::start(const QString& pageQuery)
{
    QUrl url = QUrl::fromLocalFile(QDir(m_programDir).filePath(QStringLiteral("html/earth.htm")));
    url.setQuery(pageQueryWithStore(pageQuery));
    m_browser->load(url);
}

QString CMapDlg::pageQueryWithStore(const QString& query) const
{
    // "store=1": the page takes its tiles through the program's tile store.
    if (!CTileService::of(m_browser->page()->profile()))
        return query;
    return query.isEmpty() ? QStringLiteral("store=1") : query + QStringLiteral("&store=1");
}

void CMapDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isMinimized())
        return;
    m_browser->setGeometry(0, 0, qMax(0, event->size().width() - 2), event->size().height());
    m_browser->show();
}

QString CMapDlg::scriptFor(const std::string& fn, const std::vector<std::string>& args)
{
    QString list;
    for (const std::string& a : args) {
        if (!list.isEmpty())
            list += QLatin1Char(',');
        list += jsonString(a);
    }
    return QStringLiteral("(function(){try{var f=window[%1];if(typeof f==='function')f.apply(window,[%2]);}"
                          "catch(e){}})();")
        .arg(jsonString(fn), list);
}

void CMapDlg::call(const std::string& fn, const std::vector<std::string>& args)
{
    if (!m_handler->pageReady())
        return;
    m_browser->page()->runJavaScript(scriptFor(fn, args));
}

void CMapDlg::onMapEvent(const QString& text)
{
    if (opensWindow(text.left(5)))
        QTimer::singleShot(0, this, [this, text] { handleNow(text); });
    else
        handleNow(text);
}

void CMapDlg::handleNow(const QString& text)
{
    m_handler->handle(text.toStdString());
    // The camera restore waits for the page if its load notification came first.
    if (text.startsWith(QLatin1String("1000;")) && m_cameraRestorePending)
        restoreCamera();
    emit mapEventHandled(text);
}

void CMapDlg::restoreCamera()
{
    if (m_cameraRestored)
        return;
    if (!m_handler->pageReady()) {
        m_cameraRestorePending = true;
        return;
    }
    m_cameraRestored = true;
    m_cameraRestorePending = false;
    m_script.restoreLookAt(m_settings.getText(keys::kLastMap));
}

void CMapDlg::showTelemetry(const QByteArray&, const SAircraftMarker& marker, const QList<SAircraftMarker>& track)
{
    // The track's last position is the marker itself.
    std::vector<SMapPoint> earlier;
    for (qsizetype i = 0; i + 1 < track.size(); ++i)
        earlier.push_back({track[i].latitude, track[i].longitude});
    m_script.setplane(marker.latitude, marker.longitude, double(marker.altitudeM), marker.targetWaypoint,
                      marker.headingDeg, earlier);
}

void CMapDlg::saveCameraBeforeClose(int timeoutMs)
{
    if (!m_handler->pageReady())
        return;
    bool answered = false;
    QEventLoop loop;
    auto c = connect(this, &CMapDlg::mapEventHandled, &loop, [&](const QString& text) {
        if (text.startsWith(QLatin1String("2001;"))) {
            answered = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    m_script.getLookAt();
    if (!answered)
        loop.exec();
    disconnect(c);
}

void CMapDlg::requestOfflinePage()
{
    if (m_offlineScheduled || m_handler->offline())
        return;
    m_offlineScheduled = true;
    QTimer::singleShot(kOfflineDelayMs, this, &CMapDlg::switchToOffline);
}

void CMapDlg::switchToOffline()
{
    if (m_handler->offline())
        return;
    m_offlineScheduled = true;
    if (m_hooks.setWindowTitle)
        m_hooks.setWindowTitle(kOfflineTitle);
    else if (window() != this)
        window()->setWindowTitle(kOfflineTitle);
    m_handler->setOffline();
    // The offline page shows the stored view too, once it has reported "1000;".
    m_cameraRestored = false;
    m_cameraRestorePending = true;
    QUrl offlineUrl = QUrl::fromLocalFile(QDir(m_programDir).filePath(QStringLiteral("OffLine/earth.htm")));
    offlineUrl.setQuery(pageQueryWithStore({}));
    m_browser->load(offlineUrl);
    emit offlineSwitched();
}

void CMapDlg::positionSearch()
{
    CPlaceMarkDlg dlg(this, CPlaceMarkDlg::kSearchMode);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_handler->search(dlg.name().toStdString());
}

// ------------------------------------------------------------------------------ IMapUi

void CMapDlg::setStatusText(const std::string& text)
{
    if (m_hooks.setStatusText)
        m_hooks.setStatusText(QString::fromStdString(text));
}

void CMapDlg::showMessage(const std::string& text)
{
    messageBox(this, QString::fromStdString(text));
}

std::optional<std::string> CMapDlg::askName(EMapNameDialog mode, const std::string& initial)
{
    CPlaceMarkDlg dlg(this, mode == EMapNameDialog::Search ? CPlaceMarkDlg::kSearchMode : 0);
    dlg.setName(QString::fromStdString(initial));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.name().toStdString();
}

void CMapDlg::openRouteEditor(int row)
{
    if (m_hooks.openRouteEditor)
        m_hooks.openRouteEditor(row);
}

int CMapDlg::popup(const QStringList& items, int x, int y, const QStringList& disabled)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mapPopup"));
    for (const QString& item : items)
        menu.addAction(item)->setEnabled(!disabled.contains(item));
    QAction* chosen = menu.exec(m_browser->mapToGlobal(QPoint(x, y)));
    return chosen ? static_cast<int>(menu.actions().indexOf(chosen)) + 1 : 0;
}

EWaypointMenuChoice CMapDlg::waypointMenu(int x, int y)
{
    const QString upload = QStringLiteral("上传");
    const bool uploadEnabled = !m_hooks.waypointUploadEnabled || m_hooks.waypointUploadEnabled();
    switch (popup({upload, QStringLiteral("删除"), QStringLiteral("编辑")}, x, y,
                  uploadEnabled ? QStringList() : QStringList{upload})) {
    case 1:
        return EWaypointMenuChoice::Upload;
    case 2:
        return EWaypointMenuChoice::Delete;
    case 3:
        return EWaypointMenuChoice::Edit;
    default:
        return EWaypointMenuChoice::None;
    }
}

EPlaceMarkMenuChoice CMapDlg::placeMarkMenu(int x, int y)
{
    switch (popup({QStringLiteral("删除"), QStringLiteral("编辑")}, x, y)) {
    case 1:
        return EPlaceMarkMenuChoice::Delete;
    case 2:
        return EPlaceMarkMenuChoice::Edit;
    default:
        return EPlaceMarkMenuChoice::None;
    }
}

bool CMapDlg::editWaypoint(int index)
{
    return m_hooks.editWaypoint ? m_hooks.editWaypoint(index) : false;
}

void CMapDlg::uploadWaypoint(int index)
{
    if (m_hooks.uploadWaypoint)
        m_hooks.uploadWaypoint(index);
}

void CMapDlg::placeMarksChanged()
{
    if (m_panel)
        m_panel->refreshPlaceMarks();
}

void CMapDlg::historyChanged()
{
    if (m_panel)
        m_panel->refreshHistory();
}

} // namespace orvex
