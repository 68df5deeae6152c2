#pragma once
// The screens the main screen opens, as replaceable entry points: the program uses the real
// screens, tests may put stand-ins in their place to watch the hand-over.
#include "operations/setupopen.h"

#include <functional>

class QWidget;

namespace fh {

class ScreenContext;

struct ScreenOpeners {
    // After the setup screen's opening: the setup screen, or nullptr when there is nothing to
    // open it with (it has then told the operator why).
    std::function<QWidget*(ScreenContext&, const SetupOpening& opening)> setup;
    // After a successful presence read: the new-address dialog.
    std::function<QWidget*(ScreenContext&)> newAddress;
    // F11: the maintenance password dialog (modal).
    std::function<QWidget*(ScreenContext&, QWidget* parent)> password;
    // cmdMaintenance: the maintenance screen.
    std::function<QWidget*(ScreenContext&)> maintenance;
    // cmdShowLog: the log viewer.
    std::function<QWidget*(ScreenContext&)> logViewer;
    // F7: the bus overview.
    std::function<QWidget*(ScreenContext&)> overview;
};

// The program's own screens. Each one shows itself, deletes itself when closed and calls
// ScreenContext::screenClosed() on the way out.
ScreenOpeners DefaultScreenOpeners();

} // namespace fh
