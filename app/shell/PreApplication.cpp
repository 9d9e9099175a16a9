#include "app/shell/PreApplication.h"

#include <QByteArray>
#include <QWebEngineUrlScheme>

namespace {

constexpr const char* kFloodingSwitch = "--disable-ipc-flooding-protection";

} // namespace

void orvexPreApplicationSetup()
{
    // The map page reports its events by navigating to "app:..." addresses. The scheme must be
    // known to the engine so that those navigations reach the page's navigation check, where
    // they are cancelled and handed to the map event handler.
    static bool registered = false;
    if (!registered) {
        registered = true;
        QWebEngineUrlScheme scheme("app");
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
        QWebEngineUrlScheme::registerScheme(scheme);
        // The map pages' tiles ("orvextile:/Z/X/Y"), answered by the program from its tile store.
        QWebEngineUrlScheme tiles("orvextile");
        tiles.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        tiles.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                       QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(tiles);
    }

    // Mouse-move events arrive as rapid navigations; the engine must not throttle them. Switches
    // that are already set (by the operator or a test) are kept.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains(kFloodingSwitch)) {
        if (!flags.isEmpty())
            flags += ' ';
        flags += kFloodingSwitch;
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
}
