// flamehost-sim: simulated detectors on a pseudo-terminal. Prints the device path, then
// answers requests until SIGINT or SIGTERM.
#include "flamehost/version.h"
#include "sim/ptyserver.h"
#include "sim/scenario.h"
#include "sim/simbus.h"
#include "sim/tcpserver.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <unistd.h>

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "flamehost-sim: %s\n", qPrintable(message));
    return 1;
}

// A symlink from an earlier run that did not end cleanly is replaced; anything else at the
// path is left alone.
bool makeLink(const QString& linkPath, const QString& target, QString* error) {
    const QByteArray link = QFile::encodeName(linkPath);
    const QFileInfo info(linkPath);
    if (info.isSymLink()) {
        if (::unlink(link.constData()) != 0) {
            *error = QStringLiteral("cannot replace %1: %2").arg(linkPath, qt_error_string(errno));
            return false;
        }
    } else if (info.exists()) {
        *error =
            QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
        return false;
    }
    if (::symlink(QFile::encodeName(target).constData(), link.constData()) != 0) {
        *error = QStringLiteral("cannot create %1: %2").arg(linkPath, qt_error_string(errno));
        return false;
    }
    return true;
}

// Writes every request the bus hears to stderr, one hex line each, before answering it.
class TracingPeer final : public fh::LinePeer {
public:
    explicit TracingPeer(fh::LinePeer& inner) : inner_(inner) {}
    std::vector<fh::ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        std::fprintf(stderr, "request %s\n", request.toHex(' ').toUpper().constData());
        std::fflush(stderr);
        return inner_.answer(request, endUs);
    }

private:
    fh::LinePeer& inner_;
};

} // namespace

int main(int argc, char** argv) {
    // Block the stop signals before any thread starts, so only sigwait below receives them.
    // A shell starts background jobs with SIGINT ignored; undo that so Ctrl-C and kill -INT
    // still end the simulator cleanly.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("flamehost-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FLAMEHOST_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated flame detectors on a pseudo-terminal. Prints the device "
                       "path to open, then answers until interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(
        QStringLiteral("link"),
        QStringLiteral("Also make a symbolic link at <path> to the device."),
        QStringLiteral("path"));
    const QCommandLineOption scenarioOption(
        QStringLiteral("scenario"),
        QStringLiteral("Read the bus and its faults from a JSON <file> (see docs/simulator.md)."),
        QStringLiteral("file"));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Print every request heard on stderr as a line \"request <hex>\"."));
    const QCommandLineOption tcpOption(
        QStringLiteral("tcp"),
        QStringLiteral("Serve the bus on TCP <port> of 127.0.0.1 instead of a pseudo-terminal, as "
                       "a serial device server in raw TCP mode (0: any free port). Prints "
                       "tcp://127.0.0.1:<port>."),
        QStringLiteral("port"));
    parser.addOption(tcpOption);
    parser.addOption(linkOption);
    parser.addOption(traceOption);
    parser.addOption(scenarioOption);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1 (see --help)")
                        .arg(parser.positionalArguments().first()));

    std::unique_ptr<fh::SimBus> bus;
    if (parser.isSet(scenarioOption)) {
        QString error;
        bus = fh::loadScenario(parser.value(scenarioOption), &error);
        if (!bus)
            return fail(error);
    } else {
        bus = fh::makeDefaultBus();
    }

    TracingPeer tracing(*bus);
    fh::LinePeer& peer = parser.isSet(traceOption) ? static_cast<fh::LinePeer&>(tracing)
                                                   : static_cast<fh::LinePeer&>(*bus);
    QString error;
    // Prints where to connect, then serves until SIGINT or SIGTERM.
    auto serveUntilStopped = [&stopSignals](auto& server, const QString& where) {
        std::printf("%s\n", qPrintable(where));
        std::fflush(stdout);
        server.start();
        int received = 0;
        sigwait(&stopSignals, &received);
        server.stop();
    };
    if (parser.isSet(tcpOption)) {
        bool ok = false;
        const uint port = parser.value(tcpOption).toUInt(&ok);
        if (!ok || port > 65535)
            return fail(QStringLiteral("--tcp takes a port number from 0 to 65535, not \"%1\"")
                            .arg(parser.value(tcpOption)));
        fh::TcpServer server(peer);
        if (!server.listen(quint16(port), &error))
            return fail(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(error));
        serveUntilStopped(server, QStringLiteral("tcp://127.0.0.1:%1").arg(server.port()));
        return 0;
    }
    fh::PtyServer server(peer);
    if (!server.open(&error))
        return fail(QStringLiteral("cannot create a pseudo-terminal: %1").arg(error));
    const QString linkPath = parser.value(linkOption);
    if (!linkPath.isEmpty() && !makeLink(linkPath, server.devicePath(), &error))
        return fail(error);

    serveUntilStopped(server, server.devicePath());
    // Remove the link only while it still points at this run's device.
    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == server.devicePath())
        ::unlink(QFile::encodeName(linkPath).constData());
    return 0;
}
