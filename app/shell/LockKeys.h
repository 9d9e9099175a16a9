#pragma once
// The state of the keyboard's Caps Lock, Num Lock and Scroll Lock indicators, for the status bar
// panes "大写", "数字", "滚动".

#include <functional>
#include <optional>

namespace orvex {

struct SLockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The indicators as the window system reports them: read from the X server's keyboard extension
// when the program runs on X11. Nothing on platforms that do not tell (Wayland, offscreen): the
// panes then start off and follow the lock keys pressed while the program runs.
std::optional<SLockKeys> readLockKeys();

// Replaces the platform's answer (tests); an empty function restores it.
using LockKeyReader = std::function<std::optional<SLockKeys>()>;
void setLockKeyReader(LockKeyReader reader);

} // namespace orvex
