#include "screens/startup/startupflow.h"

#include "link/lineworker.h"
#include "screens/host/hostmodel.h"
#include "screens/main/frmMain.h"
#include "screens/prompts/prompts.h"
#include "screens/startup/frmComsetup.h"

namespace fh {

StartupFlow::StartupFlow(Prompts& prompts, QString dataDir, WorkerFactory makeWorker,
                         DialogRunner runDialog)
    : prompts_(prompts), dataDir_(std::move(dataDir)), makeWorker_(std::move(makeWorker)),
      runDialog_(std::move(runDialog)) {}

StartupFlow::~StartupFlow() {
    main_.reset();
    model_.reset();
    worker_.reset();
}

bool StartupFlow::run(const QString& presetDevice) {
    QString device = presetDevice;
    int lastPort = 1;
    for (;;) {
        if (device.isEmpty()) {
            // A fresh dialog each time, so adapters plugged in meanwhile are listed; the Com
            // choice of the failed attempt stays selected.
            comsetup_ = std::make_unique<frmComsetup>();
            comsetup_->optPort1_Click(lastPort);
            const int result = runDialog_ ? runDialog_(*comsetup_) : comsetup_->exec();
            if (result != QDialog::Accepted)
                return false;
            lastPort = comsetup_->SelectedPort;
            device = comsetup_->SelectedDevice();
        }
        worker_ = makeWorker_(device);
        QString why;
        if (worker_) {
            model_ = std::make_unique<HostModel>(*worker_, prompts_, dataDir_);
            main_ = std::make_unique<frmMain>(*model_);
            if (main_->Form_Load(&why))
                return true;
        }
        main_.reset();
        model_.reset();
        worker_.reset();
        if (!why.contains(device))
            why = QStringLiteral("Cannot open %1. %2").arg(device, why).trimmed();
        prompts_.message(nullptr, why, QLatin1String(OpenFailureTitle), Prompts::Icon::Critical,
                         Prompts::Buttons::Ok);
        device.clear();
    }
}

} // namespace fh
