#pragma once
// The application-wide keyboard pre-filter: it sees every key and mouse press before any window
// does, in this order (a handled event goes no further):
//   1. while the splash picture is up, a key press or mouse button press closes it (handled);
//   2. Ctrl+Z / Ctrl+Y: undo / redo the last route edit on the map, even while a box of a panel
//      has the focus (handled); other keys with Ctrl go on to step 5;
//   3. Alt held: the keyboard focus moves to the target-waypoint box of the flight control panel;
//      the key goes on to step 5;
//   4. with no Super (Windows) key held and no text entry in progress (map tool mode or text-entry
//      marker 100): Tab toggles the flight data bar and "C"/"c" centres the map on the aircraft
//      (handled);
//   5. everything else is processed normally (F2 is the shortcut of "打开串口(&R)").
// Steps 2 to 4 apply to the main window only: while a modal dialog is up its keys are its own.

#include <QObject>
#include <QPointer>

namespace orvex {

class CCommandTable;
class CGroundStation;
class CMainFrame;
class CSplash;

class CKeyboardFilter : public QObject {
    Q_OBJECT
public:
    CKeyboardFilter(CGroundStation& station, CCommandTable& commands, QObject* parent = nullptr);

    void setSplash(CSplash* splash) { m_splash = splash; }
    // The lock-key panes of the frame's status bar start from the keyboard's real indicators
    // (where the platform tells them) and are read again whenever the frame is activated.
    void setMainFrame(CMainFrame* frame);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void readLockKeys();

    CGroundStation& m_station;
    CCommandTable& m_commands;
    QPointer<CSplash> m_splash;
    QPointer<CMainFrame> m_frame;
    bool m_caps = false, m_num = false, m_scroll = false;
};

} // namespace orvex
