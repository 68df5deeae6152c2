#include "screens/startup/startupflow.h"

#include "link/lineworker.h"
#include "screens/host/hostmodel.h"
#include "screens/main/mainscreen.h"
#include "screens/prompts/prompts.h"
#include "screens/startup/comportdialog.h"

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

void StartupFlow::setLineOverrides(std::optional<LineMode> mode, bool echo) {
    modeOverride_ = mode;
    echoOverride_ = echo;
}

bool StartupFlow::run(const QString& presetDevice) {
    LineChoice line = LoadLineChoice();
    line.mode = modeOverride_.value_or(line.mode);
    line.echo = line.echo || echoOverride_;
    LineChoice shown = line; // what the dialog opens with
    line.device = presetDevice;
    for (;;) {
        const bool fromDialog = line.device.isEmpty();
        if (fromDialog) {
            // A fresh dialog each time, so adapters plugged in meanwhile are listed; it opens
            // with the last line that opened, or the one that just failed.
            dialog_ = std::make_unique<ComPortDialog>();
            dialog_->selectLine(shown);
            const int result = runDialog_ ? runDialog_(*dialog_) : dialog_->exec();
            if (result != QDialog::Accepted)
                return false;
            line = dialog_->selectedLine();
        }
        const QString device = line.device;
        worker_ = makeWorker_(line);
        QString why;
        if (worker_) {
            worker_->setLineMode(line.mode);
            worker_->setEcho(line.echo);
            model_ = std::make_unique<HostModel>(*worker_, dataDir_);
            main_ = std::make_unique<MainScreen>(*model_, prompts_);
            if (main_->load(&why)) {
                if (fromDialog)
                    SaveLineChoice(line);
                return true;
            }
        }
        main_.reset();
        model_.reset();
        worker_.reset();
        if (!why.contains(device))
            why = QStringLiteral("Cannot open %1. %2").arg(device, why).trimmed();
        prompts_.message(nullptr, why, QLatin1String(OpenFailureTitle), Prompts::Icon::Critical,
                         Prompts::Buttons::Ok);
        shown = line;
        line.device.clear();
    }
}

} // namespace fh
