#pragma once
// CHtmlCtrl: the browser that shows the map page. Navigations to "app:" addresses (in any
// letter case) are the page's events: they are cancelled and their percent-decoded rest is
// emitted as mapEvent(). Other addresses navigate normally.

#include <QString>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace orvex {

class CMapPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit CMapPage(QObject* parent = nullptr);

    // The event text of an address, or a null string when it is not an "app:" address.
    static QString eventText(const QUrl& url);

signals:
    void mapEvent(const QString& text);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;
};

class CHtmlCtrl : public QWebEngineView {
    Q_OBJECT
public:
    explicit CHtmlCtrl(QWidget* parent = nullptr);

    CMapPage* mapPage() const { return m_page; }
    // Set once the first document has completed loading.
    bool firstDocumentComplete() const { return m_firstComplete; }

signals:
    void mapEvent(const QString& text);
    // Emitted once, when the first document has completed loading.
    void firstDocumentCompleted();

private:
    CMapPage* m_page;
    bool m_firstComplete = false;
};

} // namespace orvex
