#include "screens/host/maintenancegate.h"

namespace fh {

MaintenanceGate::Entry MaintenanceGate::enter(const QString& entry) {
    if (!unlocked_)
        entered_ = entry;
    if (entered_.isEmpty())
        return Entry::Nothing;
    if (entered_ != MaintenancePassword)
        return Entry::Wrong;
    unlocked_ = true;
    emit changed();
    return Entry::Right;
}

} // namespace fh
