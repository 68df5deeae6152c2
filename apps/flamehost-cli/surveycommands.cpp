// survey, survey restore, setup save, setup load: the visit library's steps over the run's line
// worker, driven from this thread's event loop.
#include "link/lineworker.h"
#include "visit/recordjson.h"
#include "visit/restore.h"
#include "visit/setupfile.h"
#include "visit/survey.h"
#include "visitcommands.h"

#include <csignal>
#include <cstdio>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace fh::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

visit::LineInfo lineInfo(const Session& s) {
    const Options& o = s.options;
    return {o.simulate ? QStringLiteral("simulated") : o.port, LineModeName(o.lineMode), o.echo,
            s.worker->turnaroundDelay()};
}

// Runs the survey to its end; Ctrl+C (or a TERM) cancels it, and the record is kept.
visit::SiteRecord runSurvey(const Session& s, visit::Visit v, const visit::SurveyPlan& plan) {
    visit::Survey survey(*s.worker, std::move(v), plan);
    QEventLoop loop;
    QObject::connect(&survey, &visit::Survey::finished, &loop, &QEventLoop::quit);
    if (s.progress)
        QObject::connect(&survey, &visit::Survey::progress, &loop,
                         [](bool scanning, int address, int index, int total) {
                             if (scanning)
                                 std::fprintf(stderr, "\rscanning address %d of %d      ", index,
                                              total);
                             else
                                 std::fprintf(stderr, "\rreading address %d: detector %d of %d ",
                                              address, index, total);
                         });
    interrupted = 0;
    auto* const oldInt = std::signal(SIGINT, onInterrupt);
    auto* const oldTerm = std::signal(SIGTERM, onInterrupt);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &survey, [&survey] {
        if (interrupted)
            survey.cancel();
    });
    watch.start(50);
    survey.start();
    if (survey.running())
        loop.exec();
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
    if (s.progress)
        std::fprintf(stderr, "\r%*s\r", 45, "");
    return survey.record();
}

QString notReadText(const visit::DetectorEntry& e) {
    QStringList parts;
    for (const visit::Unread& u : e.unread)
        parts << QStringLiteral("%1: %2").arg(u.part, u.reason);
    return QStringLiteral("address %1 (%2)").arg(e.address).arg(parts.join(QStringLiteral("; ")));
}

Outcome Survey(const Session& s) {
    const VisitOptions& o = s.options.visit;
    QString error;
    // An earlier record that cannot be read, or a folder that is not there, is refused before
    // the line is used rather than after the survey.
    if (!o.compare.isEmpty() && !visit::ReadRecordFile(o.compare, &error))
        return Outcome::failure(exitcode::Usage, error);
    for (const QString& file : {o.output, o.pdf})
        if (!file.isEmpty() && !QFileInfo(QFileInfo(file).absolutePath()).isDir())
            return Outcome::failure(exitcode::Usage,
                                    QStringLiteral("%1: cannot write: no such folder").arg(file));
    visit::Visit v;
    v.site = o.site;
    v.technician = o.technician;
    v.program = ProgramText();
    v.line = lineInfo(s);
    visit::SurveyPlan plan;
    plan.addresses = o.addresses;
    plan.bit = o.bit;
    plan.firstByteMs = s.options.timeoutMs;
    plan.scanWindowMs = std::min(s.options.timeoutMs, plan.scanWindowMs);
    const visit::SiteRecord record = runSurvey(s, v, plan);

    if (!visit::WriteRecordFile(o.output, record, &error))
        return Outcome::failure(exitcode::Usage, error + QStringLiteral(" (the survey is lost)"));
    if (!o.pdf.isEmpty())
        if (auto failed = WriteReport(record, o.pdf, o.compare, o.sumsThreshold)) {
            failed->message += QStringLiteral("; the record is in ") + o.output;
            return *failed;
        }

    QStringList notRead;
    for (const visit::DetectorEntry& e : record.detectors)
        if (!e.fullyRead())
            notRead << notReadText(e);
    Fields f;
    f.add("detectors", qint64(record.detectors.size()));
    f.add("fully_read", qint64(record.detectors.size()) - notRead.size());
    f.add("complete", record.visit.complete, record.visit.complete ? "yes" : "no");
    if (!o.pdf.isEmpty())
        f.add("pdf", o.pdf);
    Outcome out;
    out.show(f);
    // The record's path comes last, alone on its line, for scripts.
    QJsonObject json = out.json.toObject();
    json.insert(QStringLiteral("record"), o.output);
    out.json = json;
    out.text << o.output;
    QStringList problems;
    if (!record.visit.complete)
        problems << QStringLiteral("the survey was interrupted (%1)").arg(record.visit.interrupted);
    if (record.detectors.empty())
        problems << QStringLiteral("no detector answered");
    if (!notRead.isEmpty())
        problems << QStringLiteral("not read fully: ") + notRead.join(QStringLiteral(", "));
    if (!problems.isEmpty()) {
        out.exitCode = exitcode::NoAnswer;
        out.message = problems.join(QStringLiteral("; "));
    }
    return out;
}

Outcome SetupSave(const Session& s) {
    quint8 a = s.options.address;
    if (a == 0) {
        // Master mode: the lone detector answers, and its own address is the one saved.
        DetectorRecord record;
        if (auto failed = PollStatus(s, &record))
            return *failed;
        a = record.Address;
    }
    visit::Visit v;
    v.program = ProgramText();
    v.line = lineInfo(s);
    visit::SurveyPlan plan;
    plan.addresses = {a};
    plan.readings = false;
    plan.firstByteMs = s.options.timeoutMs;
    const visit::SiteRecord record = runSurvey(s, v, plan);
    if (record.detectors.empty())
        return Outcome::failure(exitcode::NoAnswer,
                                QStringLiteral("interrupted; nothing was saved"));
    const visit::DetectorEntry& e = record.detectors.front();
    if (!e.identity || !e.setup)
        return Outcome::failure(exitcode::NoAnswer,
                                QStringLiteral("the setup was not read, nothing was saved: ") +
                                    notReadText(e));
    QString error;
    const visit::SetupFile file{record.visit.ended, v.program, e};
    if (!visit::WriteSetupFile(s.options.visit.files.at(0), file, &error))
        return Outcome::failure(exitcode::Usage, error);
    Fields f;
    f.add("address", e.address);
    f.add("model", e.identity->model);
    f.add("serial", e.identity->serial);
    f.add("file", s.options.visit.files.at(0));
    Outcome out;
    out.show(f);
    return out;
}

int restoreExit(visit::SetupRestore::Result r) {
    using R = visit::SetupRestore::Result;
    switch (r) {
    case R::Pending:
    case R::Verified:
        return exitcode::Success;
    case R::Refused:
    case R::LineLost:
        return exitcode::Usage;
    default:
        return exitcode::NoAnswer;
    }
}

Outcome Restore(const Session& s, const visit::DetectorEntry& saved) {
    const bool dryRun = s.options.visit.dryRun;
    visit::SetupRestore restore(*s.worker, s.options.address, saved, s.options.timeoutMs);
    QEventLoop loop;
    bool ended = false, wrote = false;
    auto stop = [&] {
        ended = true;
        loop.quit();
    };
    QObject::connect(&restore, &visit::SetupRestore::finished, &loop, stop);
    QObject::connect(&restore, &visit::SetupRestore::checked, &loop, [&] {
        if (dryRun || restore.changes().empty())
            return stop();
        wrote = true;
        restore.write();
    });
    restore.check();
    if (!ended)
        loop.exec();

    Fields f;
    QJsonArray changes;
    QStringList changeTexts;
    for (const visit::SettingChange& c : restore.changes()) {
        changes.append(QJsonObject{{"setting", c.setting}, {"old", c.before}, {"new", c.after}});
        changeTexts << QStringLiteral("%1 %2 -> %3").arg(c.setting, c.before, c.after);
    }
    const bool checkedOk = restore.result() == visit::SetupRestore::Result::Pending || wrote;
    if (checkedOk) {
        f.add("address", restore.address());
        f.add("model", restore.detector().model);
        f.add("changes", changes,
              changeTexts.isEmpty() ? QStringLiteral("none: the detector holds this setup")
                                    : changeTexts.join(QStringLiteral(", ")));
        f.add("written", wrote, wrote ? "yes" : "no");
    }
    if (wrote) {
        f.add("attempts", restore.attempts());
        const bool verified = restore.result() == visit::SetupRestore::Result::Verified;
        f.add("verified", verified, verified ? "yes" : "no");
    }
    Outcome out;
    if (checkedOk)
        out.show(f);
    out.exitCode = restoreExit(restore.result());
    out.message = restore.message();
    return out;
}

Outcome SetupLoad(const Session& s) {
    QString error;
    const auto file = visit::ReadSetupFile(s.options.visit.files.at(0), &error);
    if (!file)
        return Outcome::failure(exitcode::Usage, error + QStringLiteral("; nothing was written"));
    return Restore(s, file->detector);
}

Outcome SurveyRestore(const Session& s) {
    QString error;
    const QString& path = s.options.visit.files.at(0);
    const auto record = visit::ReadRecordFile(path, &error);
    if (!record)
        return Outcome::failure(exitcode::Usage, error + QStringLiteral("; nothing was written"));
    const quint8 a = s.options.address;
    for (const visit::DetectorEntry& e : record->detectors)
        if (e.address == a)
            return Restore(s, e);
    return Outcome::failure(exitcode::Usage,
                            QStringLiteral("%1 holds no detector at address %2; nothing was "
                                           "written")
                                .arg(path)
                                .arg(a));
}

} // namespace

Outcome RunLineVisitCommand(const Session& s) {
    switch (s.options.visitCommand) {
    case VisitCommand::Survey:
        return Survey(s);
    case VisitCommand::SurveyRestore:
        return SurveyRestore(s);
    case VisitCommand::SetupSave:
        return SetupSave(s);
    case VisitCommand::SetupLoad:
        return SetupLoad(s);
    default:
        break;
    }
    return Outcome::failure(exitcode::Usage, QStringLiteral("unknown command"));
}

} // namespace fh::cli
