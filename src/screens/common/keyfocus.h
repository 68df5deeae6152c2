#pragma once
// Giving the keys back to a screen once a dialog in front of it has gone. A window manager
// usually does it; without one (a bare X server, a kiosk session) the keys would go nowhere
// until a click, so the program does it itself.
#include <QWidget>

namespace fh {

inline void ReturnKeysTo(QWidget* screen) {
    if (screen && screen->window()->isVisible())
        screen->window()->activateWindow();
}

} // namespace fh
