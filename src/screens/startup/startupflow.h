#pragma once
// From the COM-port dialog to a running main screen: ask for the port (unless one is given),
// open it, and on failure say why and ask again. Cancel ends it with no port opened.
#include "link/linemode.h"

#include <functional>
#include <memory>
#include <optional>
#include <QString>

namespace fh {

class LineWorker;
class Prompts;
class ComPortDialog;
class HostModel;
class MainScreen;

class StartupFlow {
public:
    // Makes the (not yet opened) worker for a line; the flow sets its mode and echo.
    using WorkerFactory = std::function<std::unique_ptr<LineWorker>(const LineChoice& line)>;
    // Shows the dialog and returns its result; exec() unless a test drives it.
    using DialogRunner = std::function<int(ComPortDialog&)>;

    StartupFlow(Prompts& prompts, QString dataDir, WorkerFactory makeWorker,
                DialogRunner runDialog = {});
    ~StartupFlow(); // the main screen goes first, then the model, then the worker they used

    // --line-mode and --echo: they win over what was remembered, and are not remembered.
    void setLineOverrides(std::optional<LineMode> mode, bool echo);

    // presetDevice (--port, --simulate) is tried before asking. True once the main screen is
    // loaded; false when the operator cancelled the dialog. A line chosen in the dialog that
    // opens is remembered for the next start.
    bool run(const QString& presetDevice = QString());

    LineWorker* worker() const { return worker_.get(); }
    MainScreen* mainWindow() const { return main_.get(); }
    HostModel* model() const { return model_.get(); }

    static constexpr const char* OpenFailureTitle = "COMMUNICATION PORT";

private:
    Prompts& prompts_;
    QString dataDir_;
    WorkerFactory makeWorker_;
    DialogRunner runDialog_;
    std::optional<LineMode> modeOverride_;
    bool echoOverride_ = false;
    std::unique_ptr<ComPortDialog> dialog_;
    std::unique_ptr<LineWorker> worker_;
    std::unique_ptr<HostModel> model_;
    std::unique_ptr<MainScreen> main_;
};

} // namespace fh
