#include "app/map/HtmlCtrl.h"

#include <QUrl>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

namespace orvex {

CMapPage::CMapPage(QObject* parent) : QWebEnginePage(parent)
{
}

QString CMapPage::eventText(const QUrl& url)
{
    const QString address = url.toString(QUrl::FullyEncoded);
    if (address.size() < 4 || address.left(4).compare(QLatin1String("app:"), Qt::CaseInsensitive) != 0)
        return {};
    return QUrl::fromPercentEncoding(address.mid(4).toUtf8());
}

namespace {

// The engine lets a page navigate only to schemes that have a handler. Event addresses never get
// this far (the navigation check cancels them); anything that does is refused.
class CAppSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    void requestStarted(QWebEngineUrlRequestJob* job) override { job->fail(QWebEngineUrlRequestJob::RequestDenied); }
};

// ORVEX_MAP_DEBUG=1 prints the page's navigations and console messages (for page developers).
bool mapDebug()
{
    static const bool on = qEnvironmentVariableIntValue("ORVEX_MAP_DEBUG") != 0;
    return on;
}

} // namespace

bool CMapPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (mapDebug())
        qInfo("map navigation %s (main frame %d)", qPrintable(url.toString()), int(isMainFrame));
    const QString text = eventText(url);
    if (text.isNull())
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    emit mapEvent(text);
    return false;
}

void CMapPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int line,
                                        const QString& source)
{
    // Script errors of the page are silent, as every failed script call is.
    if (mapDebug())
        qInfo("map page %s:%d: %s", qPrintable(source), line, qPrintable(message));
}

CHtmlCtrl::CHtmlCtrl(QWidget* parent) : QWebEngineView(parent), m_page(new CMapPage(this))
{
    setPage(m_page);
    QWebEngineProfile* profile = m_page->profile();
    if (!profile->urlSchemeHandler("app"))
        profile->installUrlSchemeHandler("app", new CAppSchemeHandler(profile));
    // Right clicks belong to the page (waypoint and placemark menus), not to the browser.
    setContextMenuPolicy(Qt::NoContextMenu);
    QWebEngineSettings* s = m_page->settings();
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    // Online tiles and the address search from a page loaded from a local file.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    connect(m_page, &CMapPage::mapEvent, this, &CHtmlCtrl::mapEvent);
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        if (m_firstComplete)
            return;
        m_firstComplete = true;
        emit firstDocumentCompleted();
    });
}

} // namespace orvex
