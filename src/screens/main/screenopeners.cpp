#include "screens/main/screenopeners.h"

#include "screens/logviewer/logviewer.h"
#include "screens/maintenance/maintenancescreen.h"
#include "screens/maintenance/passworddialog.h"
#include "screens/newaddr/newaddressdialog.h"
#include "screens/overview/busoverviewwindow.h"
#include "screens/setup/setupscreen.h"

namespace fh {

namespace {
template <typename Screen> QWidget* shown(Screen* screen) {
    screen->show();
    return screen;
}
} // namespace

ScreenOpeners DefaultScreenOpeners() {
    ScreenOpeners o;
    o.setup = [](ScreenContext& ctx, const SetupOpening& opening) -> QWidget* {
        return SetupScreen::open(ctx, opening); // shows itself, or says why not
    };
    o.newAddress = [](ScreenContext& ctx) -> QWidget* { return shown(new NewAddressDialog(ctx)); };
    o.password = [](ScreenContext& ctx, QWidget* parent) -> QWidget* {
        return shown(new MaintenancePasswordDialog(ctx, parent));
    };
    o.maintenance = [](ScreenContext& ctx) -> QWidget* {
        return shown(new MaintenanceScreen(ctx));
    };
    o.maintenance = [](ScreenContext& ctx) -> QWidget* {
        return shown(new MaintenanceScreen(ctx));
    };
    o.logViewer = [](ScreenContext& ctx) -> QWidget* { return shown(new LogViewer(ctx)); };
    o.overview = [](ScreenContext& ctx) -> QWidget* { return shown(new BusOverviewWindow(ctx)); };
    return o;
}

} // namespace fh
