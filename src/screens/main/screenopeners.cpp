#include "screens/main/screenopeners.h"

#include "screens/logviewer/frmCusLog.h"
#include "screens/maintenance/maintenancescreen.h"
#include "screens/maintenance/passworddialog.h"
#include "screens/newaddr/frmNewAddr.h"
#include "screens/overview/frmOverview.h"
#include "screens/setup/frmSetup.h"

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
        return frmSetup::open(ctx, opening); // shows itself, or says why not
    };
    o.newAddress = [](ScreenContext& ctx) -> QWidget* { return shown(new frmNewAddr(ctx)); };
    o.password = [](ScreenContext& ctx, QWidget* parent) -> QWidget* {
        return shown(new MaintenancePasswordDialog(ctx, parent));
    };
    o.maintenance = [](ScreenContext& ctx) -> QWidget* {
        return shown(new MaintenanceScreen(ctx));
    };
    o.logViewer = [](ScreenContext& ctx) -> QWidget* { return shown(new frmCusLog(ctx)); };
    o.overview = [](ScreenContext& ctx) -> QWidget* { return shown(new frmOverview(ctx)); };
    return o;
}

} // namespace fh
