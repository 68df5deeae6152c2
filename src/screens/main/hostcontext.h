#pragma once
// The screens' context over the host model: what a screen opened from the main screen may use
// of it, with the main screen (or, in tests, a window in its place) as the main window.
#include "screens/common/screencontext.h"

#include <QPointer>
#include <QWidget>

namespace fh {

class HostModel;

class HostContext final : public ScreenContext {
public:
    // The model and the prompts must outlive the context.
    HostContext(HostModel& model, Prompts& prompts, QWidget* mainWindow);

    LineWorker& worker() override;
    Prompts& prompts() override { return prompts_; }
    const DetectorRecord& detector() const override;
    QString addressText() const override;
    void setAddress(quint8 address) override;
    void tell(const QString& text) override;
    void holdLine(bool held) override;
    bool linkGood() const override;
    MaintenanceGate& maintenanceGate() override;
    MaintenanceModel& maintenance() override;
    QString dataDir() const override;
    void screenClosed() override;
    QWidget* mainWindow() override { return mainWindow_; }
    Clock& clock() override;

private:
    HostModel& model_;
    Prompts& prompts_;
    QPointer<QWidget> mainWindow_;
};

} // namespace fh
