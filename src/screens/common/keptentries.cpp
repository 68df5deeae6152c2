#include "screens/common/keptentries.h"

#include "logging/periodiclog.h"
#include "screens/prompts/prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace fh {

namespace {

int keptCount(std::initializer_list<PeriodicLog*> logs, QStringList* names) {
    int n = 0;
    for (PeriodicLog* log : logs) {
        if (log->file().pendingBlocks() == 0)
            continue;
        n += log->file().pendingBlocks();
        *names << log->file().fileName();
    }
    return n;
}

// Asks where each log's kept entries go and writes them there; those saved are forgotten.
// False when the operator cancelled a dialog or a file could not be written.
bool saveKept(Prompts& prompts, QWidget* parent, std::initializer_list<PeriodicLog*> logs) {
    for (PeriodicLog* log : logs) {
        LogFile& file = log->file();
        if (file.pendingBlocks() == 0)
            continue;
        const QFileInfo info(file.path());
        const QString suggested =
            info.dir().filePath(info.completeBaseName() + QStringLiteral("-kept.txt"));
        const auto path = prompts.saveFileName(
            parent, QStringLiteral("Save the entries kept for %1").arg(file.fileName()), suggested);
        if (!path)
            return false;
        for (PeriodicLog* other : logs) {
            if (QFileInfo(*path).absoluteFilePath() ==
                QFileInfo(other->file().path()).absoluteFilePath()) {
                // Saving over a log would replace it with the kept entries alone.
                prompts.message(parent,
                                QStringLiteral("%1 is a log file. Choose another file.")
                                    .arg(other->file().fileName()),
                                QLatin1String(KeptEntriesTitle), Prompts::Icon::Critical,
                                Prompts::Buttons::Ok);
                return false;
            }
        }
        QSaveFile out(*path); // written whole or not at all, and synced before it counts
        const QByteArray bytes = file.pendingBytes();
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            prompts.message(parent,
                            QStringLiteral("%1 could not be written: %2.")
                                .arg(QDir::toNativeSeparators(*path), out.errorString()),
                            QLatin1String(KeptEntriesTitle), Prompts::Icon::Critical,
                            Prompts::Buttons::Ok);
            return false;
        }
        file.forgetPending();
    }
    return true;
}

} // namespace

bool MayExitWithKeptEntries(Prompts& prompts, QWidget* parent,
                            std::initializer_list<PeriodicLog*> logs) {
    for (;;) {
        QStringList names;
        const int kept = keptCount(logs, &names);
        if (kept == 0)
            return true;
        const QString entries =
            kept == 1 ? QStringLiteral("1 log entry") : QStringLiteral("%1 log entries").arg(kept);
        const QString text =
            QStringLiteral("%1 could not be written to %2 and will be lost when the program "
                           "ends.\r\rRetry writes them to the log again; Save puts them in a file "
                           "you choose; Discard ends without them.")
                .arg(entries, names.join(QStringLiteral(" and ")));
        switch (prompts.message(parent, text, QLatin1String(KeptEntriesTitle),
                                Prompts::Icon::Exclamation,
                                Prompts::Buttons::RetrySaveDiscardCancel)) {
        case Prompts::Answer::Retry:
            for (PeriodicLog* log : logs)
                log->RetryPendingWrites();
            break;
        case Prompts::Answer::Save:
            saveKept(prompts, parent, logs);
            break;
        case Prompts::Answer::Discard:
            return true;
        default:
            return false; // stay: the entries are still kept and the logs go on
        }
    }
}

} // namespace fh
