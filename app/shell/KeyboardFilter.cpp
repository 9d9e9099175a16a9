#include "app/shell/KeyboardFilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "app/shell/Commands.h"
#include "station/GroundStation.h"
#include "app/shell/LockKeys.h"
#include "app/mainframe/MainFrame.h"
#include "app/mainframe/Splash.h"

namespace orvex {

CKeyboardFilter::CKeyboardFilter(CGroundStation& station, CCommandTable& commands, QObject* parent)
    : QObject(parent), m_station(station), m_commands(commands)
{
}

void CKeyboardFilter::setMainFrame(CMainFrame* frame)
{
    m_frame = frame;
    readLockKeys();
}

void CKeyboardFilter::readLockKeys()
{
    const std::optional<SLockKeys> keys = orvex::readLockKeys();
    if (!m_frame || !keys)
        return;
    m_caps = keys->caps;
    m_num = keys->num;
    m_scroll = keys->scroll;
    m_frame->setLockKeyState(m_caps, m_num, m_scroll);
}

bool CKeyboardFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // The lock keys may have changed while another program had the keyboard.
    if (type == QEvent::WindowActivate && m_frame && watched == m_frame)
        readLockKeys();
    const bool keyPress = type == QEvent::KeyPress;
    const bool mousePress = type == QEvent::MouseButtonPress || type == QEvent::NonClientAreaMouseButtonPress ||
                            type == QEvent::MouseButtonDblClick;
    if (!keyPress && !mousePress)
        return QObject::eventFilter(watched, event);

    // 1. Splash dismissal.
    if (m_splash && m_splash->isUp()) {
        m_splash->dismiss();
        return true;
    }
    if (!keyPress)
        return QObject::eventFilter(watched, event);

    auto* key = static_cast<QKeyEvent*>(event);
    // Lock-key indicators of the status bar follow the lock keys pressed while the program runs.
    if (m_frame && !key->isAutoRepeat()) {
        bool changed = true;
        switch (key->key()) {
        case Qt::Key_CapsLock: m_caps = !m_caps; break;
        case Qt::Key_NumLock: m_num = !m_num; break;
        case Qt::Key_ScrollLock: m_scroll = !m_scroll; break;
        default: changed = false; break;
        }
        if (changed)
            m_frame->setLockKeyState(m_caps, m_num, m_scroll);
    }

    // The shortcuts belong to the main window; a modal dialog keeps its keys.
    if (!m_frame || QApplication::activeModalWidget())
        return QObject::eventFilter(watched, event);
    // Keys are looked at when they reach a widget of the main window (not the window-system
    // window that forwards them).
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != m_frame)
        return QObject::eventFilter(watched, event);

    const Qt::KeyboardModifiers mods = key->modifiers();
    // 2. Undo / redo.
    if (mods & Qt::ControlModifier) {
        if (key->key() == Qt::Key_Z) {
            emit m_frame->undoRequested();
            return true;
        }
        if (key->key() == Qt::Key_Y) {
            emit m_frame->redoRequested();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    // 3. Alt: focus to the target-waypoint box.
    if ((mods & Qt::AltModifier) || key->key() == Qt::Key_Alt) {
        if (QWidget* box = m_frame->targetWaypointBox(); box && box->isVisible() && box->isEnabled())
            box->setFocus(Qt::ShortcutFocusReason);
        return QObject::eventFilter(watched, event);
    }
    // 4. Tab and C.
    const bool superHeld = (mods & Qt::MetaModifier) || key->key() == Qt::Key_Super_L ||
                           key->key() == Qt::Key_Super_R || key->key() == Qt::Key_Meta;
    if (!superHeld && !m_station.textEntryInProgress()) {
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            m_commands.invoke(cmd::kFlightDataBar);
            return true;
        }
        if (key->key() == Qt::Key_C) {
            m_commands.invoke(cmd::kLocateAircraft);
            return true;
        }
    }
    // 5. Normal processing.
    return QObject::eventFilter(watched, event);
}

} // namespace orvex
