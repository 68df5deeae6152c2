#include "logcommand.h"

#include "logging/logcsv.h"
#include "report.h"

#include <cstdio>
#include <QFile>
#include <QFileInfo>

namespace fh::cli {

namespace {

void write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int cannotRead(const QString& file, const QString& why) {
    std::fprintf(stderr, "flamehost-cli: cannot read %s: %s\n", qPrintable(TerminalSafe(file)),
                 qPrintable(TerminalSafe(why)));
    return exitcode::Usage;
}

} // namespace

int RunLogCsv(const Options& o) {
    if (QFileInfo(o.logFile).isDir())
        return cannotRead(o.logFile, QStringLiteral("it is a folder"));
    QFile file(o.logFile);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(o.logFile, file.errorString());

    const QByteArray name = TerminalSafe(o.logFile).toLocal8Bit();
    LogReader reader(&file);
    bool headerWritten = false;
    auto header = [&] {
        if (!headerWritten)
            write(LogCsvHeader(reader.kind()));
        headerWritten = true;
    };
    auto inRange = [&o](const LogRecord& r) {
        const QDateTime at(r.date, r.time, Qt::UTC);
        return (!o.logFrom.isValid() || at >= o.logFrom) && (!o.logTo.isValid() || at <= o.logTo);
    };
    while (!reader.atEnd()) {
        const LogBatch batch = reader.read();
        for (const UnreadableLine& u : batch.unreadable)
            std::fprintf(stderr, "%s:%lld: %s\n", name.constData(), u.line,
                         qPrintable(TerminalSafe(u.reason)));
        for (const LogRecord& r : batch.records) {
            if (!inRange(r))
                continue;
            header();
            write(LogCsvRow(r, reader.kind()));
        }
    }
    if (!reader.error().isEmpty())
        return cannotRead(o.logFile, reader.error());
    header();
    std::fflush(stdout);
    if (reader.unreadableLines() == 0)
        return exitcode::Success;
    std::fprintf(stderr, "flamehost-cli: %lld of %lld lines could not be read\n",
                 reader.unreadableLines(), reader.linesRead());
    return exitcode::NoAnswer;
}

} // namespace fh::cli
