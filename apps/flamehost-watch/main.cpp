// flamehost-watch: a service without a screen that watches the detectors of several lines and
// hands their health to Prometheus and MQTT. The work is in src/watch; here are the command
// line, the signals and the exit codes.
#include "flamehost/version.h"
#include "watch/log.h"
#include "watch/watch.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <unistd.h>

using namespace fh::watch;

namespace {

constexpr int UsageOrConfig = 2;
constexpr int CannotServe = 1;
// SIGTERM ends the service within a second, the broker's "offline" included.
constexpr int StopMs = 900;

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const char c = char(number);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

bool catchSignals() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP})
        if (sigaction(s, &action, nullptr) != 0)
            return false;
    std::signal(SIGPIPE, SIG_IGN); // a scraper that hangs up is not a reason to end
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flamehost-watch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FLAMEHOST_VERSION));

    const ParsedWatchArgs parsed = ParseWatchArgs(app.arguments());
    if (parsed.help) {
        std::fputs(qPrintable(parsed.helpText), stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("flamehost-watch %s\n", FLAMEHOST_VERSION);
        return 0;
    }
    if (!parsed.options) {
        LogError(parsed.error + QStringLiteral(" (see --help)"));
        return UsageOrConfig;
    }
    const WatchOptions& options = *parsed.options;
    // The whole config is read and checked before any port opens.
    QString error;
    const auto config = LoadWatchConfig(options.configPath, &error);
    if (config)
        error = CheckAgainstOptions(options, *config);
    if (!config || !error.isEmpty()) {
        LogError(error);
        return UsageOrConfig;
    }
    if (options.checkOnly) {
        std::printf("%s: good, %lld line(s)\n", qPrintable(options.configPath),
                    static_cast<long long>(config->lines.size()));
        return 0;
    }
    if (!catchSignals()) {
        LogError(QStringLiteral("cannot catch signals: %1").arg(qt_error_string(errno)));
        return CannotServe;
    }

    Watch watch(options);
    if (!watch.start(*config, &error)) {
        LogError(error);
        return CannotServe;
    }
    QSocketNotifier caught(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&caught, &QSocketNotifier::activated, &app, [&watch] {
        char c = 0;
        while (::read(signalPipe[0], &c, 1) == 1) {
            if (c == SIGHUP) {
                LogInfo(QStringLiteral("SIGHUP: reading the config again"));
                watch.reload();
            } else {
                QCoreApplication::exit(0);
            }
        }
    });
    app.exec();
    if (!watch.stop(QDeadlineTimer(StopMs))) {
        // A thread stuck in a connection attempt (a device server or broker that does not
        // answer) would hold the exit for seconds; nothing is left to save.
        LogWarning(QStringLiteral("a connection attempt was still running; leaving without it"));
        std::_Exit(0);
    }
    LogInfo(QStringLiteral("stopped"));
    return 0;
}
