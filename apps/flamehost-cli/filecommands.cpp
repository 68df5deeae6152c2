// report, survey diff and survey history: the visit records on their own, without a line.
#include "flamehost/version.h"
#include "report/pdfreport.h"
#include "visit/atomicfile.h"
#include "visit/diff.h"
#include "visit/history.h"
#include "visit/recordjson.h"
#include "visit/table.h"
#include "visitcommands.h"

#include <cstdio>
#include <cstring>
#include <QGuiApplication>

namespace fh::cli {

namespace {

Outcome unreadable(const QString& error) {
    return Outcome::failure(exitcode::Usage, error);
}

Outcome Diff(const Options& o) {
    QString error;
    const auto older = visit::ReadRecordFile(o.visit.files.at(0), &error);
    if (!older)
        return unreadable(error);
    const auto newer = visit::ReadRecordFile(o.visit.files.at(1), &error);
    if (!newer)
        return unreadable(error);
    const visit::VisitDiff diff = visit::CompareVisits(*older, *newer, o.visit.sumsThreshold);
    Outcome out;
    out.hasOutput = true;
    out.json = visit::DiffJson(diff);
    out.text = visit::DiffLines(diff);
    if (diff.empty())
        out.text << QStringLiteral("no differences");
    out.exitCode = diff.empty() ? exitcode::Success : exitcode::NoAnswer;
    return out;
}

Outcome Report(const Options& o) {
    QString error;
    const QString& path = o.visit.files.at(0);
    const auto record = visit::ReadRecordFile(path, &error);
    if (!record)
        return unreadable(error);
    Fields f;
    if (!o.visit.output.isEmpty()) {
        if (auto failed =
                WriteReport(*record, o.visit.output, o.visit.compare, o.visit.sumsThreshold))
            return *failed;
        f.add("pdf", o.visit.output);
    }
    if (!o.visit.csv.isEmpty()) {
        if (!visit::WriteFileAtomically(o.visit.csv, visit::DetectorTableCsv(*record), &error))
            return unreadable(error);
        f.add("csv", o.visit.csv);
    }
    Outcome out;
    out.show(f);
    return out;
}

// The CSV goes to stdout as it is; the files that could not be read are named on stderr.
Outcome History(const Options& o) {
    QString error;
    const auto history = visit::ReadHistory(o.visit.files.at(0), o.visit.serial, &error);
    if (!history)
        return unreadable(error);
    const QByteArray csv = visit::HistoryCsv(*history);
    std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
    std::fflush(stdout);
    for (const QString& file : history->unreadable)
        std::fprintf(stderr, "flamehost-cli: cannot read %s\n", qPrintable(TerminalSafe(file)));
    Outcome out;
    if (history->rows.empty())
        out.message = QStringLiteral("serial %1 is in none of the %2 site records read")
                          .arg(o.visit.serial)
                          .arg(history->recordsRead);
    if (!history->unreadable.isEmpty()) {
        out.exitCode = exitcode::NoAnswer;
        out.message =
            QStringLiteral("%1 of the files could not be read").arg(history->unreadable.size());
    }
    return out;
}

} // namespace

QString ProgramText() {
    return QStringLiteral("flamehost-cli %1").arg(QLatin1String(FLAMEHOST_VERSION));
}

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
    bool paints = false;
    for (int i = 1; i < argc; ++i)
        paints = paints || std::strcmp(argv[i], "report") == 0 ||
                 std::strcmp(argv[i], "--pdf") == 0 || std::strncmp(argv[i], "--pdf=", 6) == 0;
    if (!paints)
        return std::make_unique<QCoreApplication>(argc, argv);
    // The report is painted, never shown: no display is needed, and none is used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

std::optional<Outcome> WriteReport(const visit::SiteRecord& record, const QString& pdfPath,
                                   const QString& compareWith, double sumsThreshold) {
    report::ReportInput input;
    input.record = record;
    QString error;
    if (!compareWith.isEmpty()) {
        const auto earlier = visit::ReadRecordFile(compareWith, &error);
        if (!earlier)
            return unreadable(error);
        input.comparison = visit::CompareVisits(*earlier, record, sumsThreshold);
        input.earlier = earlier->visit;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return unreadable(QStringLiteral("the report needs the program's painting, which did not "
                                         "start"));
    if (!report::WriteReportPdf(input, pdfPath, &error))
        return unreadable(error);
    return std::nullopt;
}

Outcome RunFileCommand(const Options& o) {
    switch (o.visitCommand) {
    case VisitCommand::SurveyDiff:
        return Diff(o);
    case VisitCommand::SurveyHistory:
        return History(o);
    default:
        return Report(o);
    }
}

} // namespace fh::cli
