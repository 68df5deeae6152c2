// Starts flamehost on a simulated bus served on a pseudo-terminal and prints how long it takes
// from the program's start to its first request on the line, and how much memory and CPU the
// program uses while its main screen polls.
//
// The simulator is listening before the program starts: the bench holds the device open
// itself (the simulator looks at a device nobody holds only every 50 ms), and waits for the
// simulator's trace of the first request in one blocking wait.
#include "procstats.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <unistd.h>
#include <vector>

namespace {

QString binDir() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin"));
}

long rssKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// One run: milliseconds to the first request, then resident memory and CPU while polling.
bool runOnce(int pollSeconds, double* firstMs, long* rss, double* cpuPercent) {
    QProcess sim;
    sim.start(binDir() + "/flamehost-sim", {"--trace"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000))
        return false;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const int hold = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    QThread::msleep(200); // the simulator's next look finds the device held: it listens
    sim.setReadChannel(QProcess::StandardError);
    sim.readAllStandardError();

    QTemporaryDir data;
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains("DISPLAY"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    host.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    host.start(binDir() + "/flamehost",
               {"--port", device, "--no-splash", "--data-dir", data.path()});
    QByteArray heard;
    while (!heard.contains("request ")) {
        const qint64 left = 10000 - clock.elapsed();
        if (left <= 0 || !sim.waitForReadyRead(int(left)))
            break;
        *firstMs = clock.nsecsElapsed() / 1e6;
        heard += sim.readAllStandardError();
    }
    QThread::sleep(1); // past the start-up work
    const qint64 cpu0 = fh::bench::processStat(host.processId()).cpuNs;
    QElapsedTimer polling;
    polling.start();
    QThread::sleep(pollSeconds);
    *cpuPercent = 100.0 * (fh::bench::processStat(host.processId()).cpuNs - cpu0) / 1e9 /
                  (polling.nsecsElapsed() / 1e9);
    *rss = rssKb(host.processId());
    host.terminate();
    host.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
    if (hold >= 0)
        ::close(hold);
    return heard.contains("request ");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    std::vector<double> firsts;
    long maxRss = 0;
    double pollCpu = 0;
    for (int i = 0; i < runs; ++i) {
        double first = 0, cpu = 0;
        long rss = 0;
        if (!runOnce(i == 0 ? 20 : 2, &first, &rss, &cpu)) {
            std::fprintf(stderr, "startup: run %d saw no request\n", i + 1);
            return 1;
        }
        firsts.push_back(first);
        maxRss = std::max(maxRss, rss);
        if (i == 0)
            pollCpu = cpu;
    }
    std::sort(firsts.begin(), firsts.end());
    std::printf("startup: %d runs of flamehost --port <pty> --no-splash (load average %.2f)\n",
                runs, fh::bench::loadAverage());
    std::printf("  start to first request  median %.0f ms, max %.0f ms\n",
                firsts[firsts.size() / 2], firsts.back());
    std::printf("  resident memory polling %.1f MB (largest of the runs)\n", maxRss / 1024.0);
    std::printf("  CPU while polling       %.2f %% of one core (20 s, main screen offscreen)\n",
                pollCpu);
    return 0;
}
