#include "screens/main/hostcontext.h"

#include "screens/host/hostmodel.h"

namespace fh {

HostContext::HostContext(HostModel& model, Prompts& prompts, QWidget* mainWindow)
    : model_(model), prompts_(prompts), mainWindow_(mainWindow) {}

LineWorker& HostContext::worker() {
    return model_.worker();
}

const DetectorRecord& HostContext::detector() const {
    return model_.link().record();
}

QString HostContext::addressText() const {
    return model_.link().display().addressText;
}

void HostContext::setAddress(quint8 address) {
    model_.link().setAddress(address);
}

void HostContext::tell(const QString& text) {
    model_.messages().note(text);
}

void HostContext::holdLine(bool held) {
    model_.link().holdLine(held);
}

bool HostContext::linkGood() const {
    return model_.link().record().LinkGood;
}

MaintenanceGate& HostContext::maintenanceGate() {
    return model_.maintenanceGate();
}

MaintenanceModel& HostContext::maintenance() {
    return model_.maintenance();
}

QString HostContext::dataDir() const {
    return model_.dataDir();
}

void HostContext::screenClosed() {
    model_.screenClosed();
}

Clock& HostContext::clock() {
    return model_.clock();
}

} // namespace fh
