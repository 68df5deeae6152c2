#include "screens/host/hostmodel.h"

namespace fh {

namespace {
const QString LogTopic = QStringLiteral("log");
const QString SumsTopic = QStringLiteral("sums");
} // namespace

HostModel::HostModel(LineWorker& worker, QString dataDir, LogClock logClock, Clock& clock,
                     QObject* parent)
    : QObject(parent), worker_(worker), dataDir_(std::move(dataDir)), clock_(clock),
      messages_(logClock), link_(worker_, messages_), tuning_(worker_, link_, messages_, dataDir_),
      commands_(worker_, link_, tuning_, messages_, clock_),
      statusLog_(link_, dataDir_, logClock, clock_),
      maintenance_(worker_, link_, dataDir_, logClock, clock_) {
    // Both logs' write failures, and their end, are one state on the message line.
    auto logMessage = [this](const QString& text) { messages_.note(text, LogTopic); };
    for (TimedLog* log :
         {static_cast<TimedLog*>(&statusLog_), static_cast<TimedLog*>(&maintenance_.sumsLog())}) {
        connect(log, &TimedLog::warning, this, logMessage);
        connect(log, &TimedLog::recovered, this, logMessage);
    }
}

HostModel::~HostModel() = default;

bool HostModel::load(QString* errorText) {
    if (!link_.openPort(errorText))
        return false;
    // Both logs start off and the maintenance gate closed (as constructed), master mode off;
    // the delay is the tuning file's.
    tuning_.load();
    loaded_ = true;
    return true;
}

void HostModel::activate() {
    if (loaded_)
        link_.activate();
}

void HostModel::screenClosed() {
    // The sums log records from the maintenance screen only: closed, it waits for it.
    messages_.noteState(maintenance_.sumsLog().running()
                            ? QStringLiteral("Sums logging to %1 is paused until the "
                                             "maintenance screen reopens.")
                                  .arg(SumsLogFileName)
                            : QString(),
                        SumsTopic);
    link_.restartCycle();
    emit screenReturned();
}

} // namespace fh
