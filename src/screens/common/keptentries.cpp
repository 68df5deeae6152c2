#include "screens/common/keptentries.h"

#include "logging/periodiclog.h"
#include "logging/wholefile.h"
#include "screens/prompts/prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
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

// The user's own folder, for when the data folder cannot take the entries.
QString userFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// Where the entries are proposed: beside the log, unless that folder has no room left for
// them (the log failed because the disk is full, most likely) or a save there failed.
QString proposedFolder(const QString& logFolder, qint64 bytes, const QSet<QString>& failed) {
    const QStorageInfo disk(logFolder);
    const bool full = disk.isValid() && disk.bytesAvailable() < bytes + 64 * 1024;
    return full || failed.contains(logFolder) ? userFolder() : logFolder;
}

// Asks where each log's kept entries go and writes them there; those saved are forgotten.
// False when the operator cancelled a dialog or a file could not be written whole (its folder
// then goes into `failed`).
bool saveKept(Prompts& prompts, QWidget* parent, std::initializer_list<PeriodicLog*> logs,
              QSet<QString>* failed) {
    for (PeriodicLog* log : logs) {
        LogFile& file = log->file();
        if (file.pendingBlocks() == 0)
            continue;
        const QFileInfo info(file.path());
        const QString folder =
            proposedFolder(info.absolutePath(), file.pendingBytes().size(), *failed);
        const QString suggested =
            QDir(folder).filePath(info.completeBaseName() + QStringLiteral("-kept.txt"));
        const auto path = prompts.saveFileName(
            parent, QStringLiteral("Save the entries kept for %1").arg(file.fileName()), suggested,
            QStringLiteral("Text files (*.txt)"));
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
        // Counted as saved only once every byte is on the disk; the entries stay kept otherwise.
        QString why;
        if (!SaveWholeFile(*path, file.pendingBytes(), &why)) {
            failed->insert(QFileInfo(*path).absolutePath());
            prompts.message(parent,
                            QStringLiteral("%1 could not be written: %2. The entries are still "
                                           "kept; save them somewhere else.")
                                .arg(QDir::toNativeSeparators(*path), why),
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
    QSet<QString> failedFolders; // where a save did not get through: not proposed again
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
                log->retryKept();
            break;
        case Prompts::Answer::Save:
            saveKept(prompts, parent, logs, &failedFolders);
            break;
        case Prompts::Answer::Discard:
            return true;
        default:
            return false; // stay: the entries are still kept and the logs go on
        }
    }
}

} // namespace fh
