// Starts flamehost on a simulated bus served on a pseudo-terminal and prints how long it takes
// from the program's start to its first request on the line, and how much memory and CPU the
// program uses while its main screen polls.
#include <algorithm>
#include <cstdio>
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

// CPU seconds the process has used so far (user + system).
double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (f.size() < 13)
        return 0;
    return (f[11].toDouble() + f[12].toDouble()) / sysconf(_SC_CLK_TCK);
}

// One run: milliseconds to the first request, then resident memory and CPU while polling.
bool runOnce(int pollSeconds, double* firstMs, long* rss, double* cpuPercent) {
    QProcess sim;
    sim.start(binDir() + "/flamehost-sim", {"--trace"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000))
        return false;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
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
    while (!heard.contains("request ") && clock.elapsed() < 10000) {
        sim.waitForReadyRead(1);
        heard += sim.readAllStandardError();
    }
    *firstMs = clock.nsecsElapsed() / 1e6;
    QThread::sleep(1); // past the start-up work
    const double cpu0 = cpuSeconds(host.processId());
    QElapsedTimer polling;
    polling.start();
    QThread::sleep(pollSeconds);
    *cpuPercent = 100.0 * (cpuSeconds(host.processId()) - cpu0) / (polling.nsecsElapsed() / 1e9);
    *rss = rssKb(host.processId());
    host.terminate();
    host.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
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
    std::printf("startup: %d runs of flamehost --port <pty> --no-splash\n", runs);
    std::printf("  start to first request  median %.0f ms, max %.0f ms\n",
                firsts[firsts.size() / 2], firsts.back());
    std::printf("  resident memory polling %.1f MB (largest of the runs)\n", maxRss / 1024.0);
    std::printf("  CPU while polling       %.2f %% of one core (20 s, main screen offscreen)\n",
                pollCpu);
    return 0;
}
