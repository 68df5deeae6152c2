// flamehost-cli: the detector protocol from the command line, for scripted checks,
// commissioning and tests. Same link and detector code as the program, no GUI.
#include "cliargs.h"
#include "commands.h"
#include "detector/replycheck.h"
#include "flamehost/version.h"
#include "lineclient.h"
#include "logcommand.h"
#include "monitor.h"
#include "sim/simbus.h"
#include "visitcommands.h"

#include <cstdio>
#include <QCoreApplication>
#include <unistd.h>

int main(int argc, char** argv) {
    const std::unique_ptr<QCoreApplication> app = fh::cli::MakeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flamehost-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FLAMEHOST_VERSION));

    const fh::cli::ParsedArgs parsed = fh::cli::ParseArguments(QCoreApplication::arguments());
    if (parsed.help) {
        std::fputs(qPrintable(parsed.helpText), stdout);
        return fh::cli::exitcode::Success;
    }
    if (parsed.version) {
        std::printf("flamehost-cli %s\n", FLAMEHOST_VERSION);
        return fh::cli::exitcode::Success;
    }
    if (!parsed.options)
        return fh::cli::Print(fh::cli::Outcome::failure(fh::cli::exitcode::Usage, parsed.error),
                              false);
    const fh::cli::Options& options = *parsed.options;
    if (options.command == fh::cli::Command::Monitor)
        return fh::cli::RunMonitor(options);
    if (options.command == fh::cli::Command::LogCsv)
        return fh::cli::RunLogCsv(options);
    if (options.command == fh::cli::Command::Visit && fh::cli::FilesOnly(options.visitCommand))
        return fh::cli::Print(fh::cli::RunFileCommand(options), options.json);

    // The bus outlives the line that talks to it.
    std::unique_ptr<fh::SimBus> bus = options.simulate ? fh::makeDefaultBus() : nullptr;
    fh::CheckOptions check;
    check.acceptBadCheck = options.acceptBadCheck;
    fh::cli::LineClient line({options.port, options.lineMode, options.echo}, bus.get(),
                             fh::MakeReplyChecker(check));
    QString error;
    if (!line.open(&error)) {
        // The port's own text already names the device and says what to do.
        if (error.trimmed().isEmpty())
            error = QStringLiteral("cannot open %1").arg(options.port);
        return fh::cli::Print(fh::cli::Outcome::failure(fh::cli::exitcode::Usage, error.trimmed()),
                              false);
    }

    fh::cli::Session session;
    session.options = options;
    session.run = [&line](const fh::Transaction& t) { return line.run(t); };
    session.progress = ::isatty(STDERR_FILENO) == 1;
    session.worker = &line.worker();
    fh::cli::Outcome outcome = options.command == fh::cli::Command::Visit
                                   ? fh::cli::RunLineVisitCommand(session)
                                   : fh::cli::RunCommand(session);
    fh::cli::AddReplyFaults(outcome, line.replyFaults());
    return fh::cli::Print(outcome, options.json);
}
