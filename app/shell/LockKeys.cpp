#include "app/shell/LockKeys.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#ifdef ORVEX_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace orvex {

namespace {

LockKeyReader& installedReader()
{
    static LockKeyReader reader;
    return reader;
}

#ifdef ORVEX_HAVE_X11
std::optional<SLockKeys> readIndicators(Display* display)
{
    unsigned int state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success)
        return std::nullopt; // a server without the keyboard extension
    // The indicators by name: their bit positions differ between keymaps.
    auto lit = [display](const char* name) {
        const Atom atom = XInternAtom(display, name, True);
        Bool on = False;
        return atom != 0 && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr) && on;
    };
    return SLockKeys{lit("Caps Lock"), lit("Num Lock"), lit("Scroll Lock")};
}

std::optional<SLockKeys> readX11LockKeys()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11)
        return std::nullopt; // not on X11 (Wayland, offscreen): the platform does not tell
    if (Display* display = x11->display())
        return readIndicators(display);
    // Qt built without its Xlib connection: ask the same server on a short connection of our own.
    Display* own = XOpenDisplay(nullptr);
    if (!own)
        return std::nullopt;
    const std::optional<SLockKeys> keys = readIndicators(own);
    XCloseDisplay(own);
    return keys;
}
#endif

} // namespace

void setLockKeyReader(LockKeyReader reader)
{
    installedReader() = std::move(reader);
}

std::optional<SLockKeys> readLockKeys()
{
    if (installedReader())
        return installedReader()();
#ifdef ORVEX_HAVE_X11
    return readX11LockKeys();
#else
    return std::nullopt; // built without X11: no platform here tells the indicator state
#endif
}

} // namespace orvex
