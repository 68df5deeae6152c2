// flamehost: the operator program. Asks for the COM port (unless told), opens it and runs the
// main screen; --simulate puts a built-in bus of simulated detectors on the line instead.
#include "detector/replycheck.h"
#include "flamehost/version.h"
#include "hostargs.h"
#include "link/datadir.h"
#include "link/linemode.h"
#include "link/lineworker.h"
#include "link/portfactory.h"
#include "screens/main/mainscreen.h"
#include "screens/prompts/qtprompts.h"
#include "screens/startup/splashscreen.h"
#include "screens/startup/startupflow.h"
#include "sim/simbus.h"

#include <cstdio>
#include <QApplication>

namespace {

// --help and --version print and leave; they must work without a display.
bool onlyPrints(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" ||
            a == "-v")
            return true;
    }
    return false;
}

void nameProgram() {
    QCoreApplication::setApplicationName(QStringLiteral("flamehost"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FLAMEHOST_VERSION));
}

} // namespace

int main(int argc, char** argv) {
    if (onlyPrints(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameProgram();
        fh::HostCommandLine options;
        options.parser.process(app); // prints and exits
        return 0;
    }
    QApplication app(argc, argv);
    nameProgram();
    fh::HostCommandLine options;
    if (const QString problem = options.read(app.arguments()); !problem.isEmpty()) {
        std::fprintf(stderr, "flamehost: %s\n", qPrintable(problem));
        return 2;
    }
    const QCommandLineParser& parser = options.parser;
    const QCommandLineOption& simulate = options.simulate;
    const QCommandLineOption& port = options.port;
    const QCommandLineOption& dataDir = options.dataDir;

    QString why;
    const QString dir = fh::DataDirectory(parser.value(dataDir), &why);
    if (dir.isEmpty()) {
        std::fprintf(stderr, "flamehost: %s\n", qPrintable(why));
        return 2;
    }

    fh::QtPrompts prompts;
    // Declared before the flow: the bus outlives the worker that talks to it.
    std::unique_ptr<fh::SimBus> bus;
    if (parser.isSet(simulate))
        bus = fh::makeDefaultBus();

    const bool fast = parser.isSet(options.fastReplies);
    fh::CheckOptions check;
    check.acceptBadCheck = parser.isSet(options.acceptBadCheck);
    auto makeWorker = [&bus, fast, check](const fh::LineChoice& line) {
        auto worker = std::make_unique<fh::LineWorker>(fh::MakePortFactory(line, bus.get()),
                                                       fh::MakeReplyChecker(check));
        worker->setFastCycle(fast);
        worker->setLineName(bus ? QStringLiteral("simulated") : line.device);
        return worker;
    };

    fh::StartupFlow flow(prompts, dir, makeWorker);
    QString preset = parser.isSet(simulate) ? QStringLiteral("simulated bus") : parser.value(port);
    std::optional<fh::LineMode> mode;
    if (parser.isSet(options.lineMode)) {
        mode = fh::ParseLineMode(parser.value(options.lineMode));
        if (!mode) {
            // A word the program does not know: say so, then let the operator choose.
            prompts.message(nullptr,
                            QStringLiteral("\"%1\" is not a line driver mode; the modes are %2.")
                                .arg(parser.value(options.lineMode),
                                     fh::LineModeNames().join(QStringLiteral(", "))),
                            QLatin1String(fh::StartupFlow::OpenFailureTitle),
                            fh::Prompts::Icon::Critical, fh::Prompts::Buttons::Ok);
            preset.clear();
        }
    }
    flow.setLineOverrides(mode, parser.isSet(options.echo));
    if (parser.isSet(options.noSplash)) {
        if (!flow.run(preset))
            return 0; // cancelled in the COM-port dialog: nothing opened, nothing written
        return app.exec();
    }
    // The splash closes before the dialog opens: that gap must not end the program.
    app.setQuitOnLastWindowClosed(false);
    fh::SplashScreen splash(fh::SplashPicturePath(dir, QCoreApplication::applicationDirPath()));
    QObject::connect(
        &splash, &fh::SplashScreen::finished, &app,
        [&] {
            if (!flow.run(preset)) {
                QCoreApplication::exit(0);
                return;
            }
            app.setQuitOnLastWindowClosed(true);
        },
        Qt::QueuedConnection);
    splash.show();
    splash.activateWindow(); // a key skips it, so it takes the keyboard
    return app.exec();
}
