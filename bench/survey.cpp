// A survey of 32 simulated detectors on the virtual line in real time, against the sum of its
// exchanges' line time: from keying the driver for a request to the last byte of its reply
// (or to the release, when nothing came). That sum is what the line itself needs for the same
// exchanges, key-up, turnaround and the detectors' latency included; the rest is waiting for
// replies of unknown length, windows of addresses nobody answers, and our own overhead.
#include "visit/survey.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/virtualport.h"
#include "sim/simbus.h"

#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>
#include <QElapsedTimer>

using namespace fh;

namespace {

constexpr int Detectors = 32;
// Two of each read length: a Zorvan A2 (one setup register, 15 input registers) and a
// Zorvan C1 (four, 22).
constexpr quint16 Models[] = {117, 358};

struct Figures {
    double seconds = 0, lineSeconds = 0;
    int exchanges = 0, detectors = 0, fullyRead = 0, faults = 0, lost = 0;
};

double lineTime(const std::vector<LineEvent>& events, int* exchanges) {
    double total = 0;
    qint64 keyed = -1, end = -1;
    auto close = [&] {
        if (keyed >= 0) {
            total += double(end - keyed);
            ++*exchanges;
        }
    };
    for (const LineEvent& e : events) {
        if (e.kind == LineEvent::RtsOn) {
            close();
            keyed = end = e.timeUs;
        } else if (e.kind == LineEvent::RtsOff || e.kind == LineEvent::RxByte) {
            end = std::max(end, e.timeUs);
        }
    }
    close();
    return total / 1e6;
}

Figures run(bool scan) {
    SimBus bus;
    for (int a = 1; a <= Detectors; ++a)
        bus.add(quint8(a), Models[a % 2], quint16(1000 + a));
    VirtualPort* port = nullptr;
    LineWorker worker(
        [&] {
            auto p = std::make_unique<VirtualPort>(SteadyClock::instance(), bus);
            port = p.get();
            port->setTracing(true);
            return p;
        },
        MakeReplyChecker());
    if (!worker.openPort()) {
        std::fprintf(stderr, "cannot open the virtual line\n");
        std::exit(2);
    }
    visit::SurveyPlan plan;
    if (!scan)
        for (int a = 1; a <= Detectors; ++a)
            plan.addresses.push_back(quint8(a));
    visit::Survey survey(worker, {}, plan);
    QObject::connect(&survey, &visit::Survey::finished, QCoreApplication::instance(),
                     &QCoreApplication::quit);
    QElapsedTimer wall;
    wall.start();
    survey.start();
    QCoreApplication::exec();
    Figures f;
    f.seconds = wall.nsecsElapsed() / 1e9;
    f.lineSeconds = lineTime(port->events(), &f.exchanges);
    f.lost = port->lostBytes();
    worker.stop();
    for (const visit::DetectorEntry& e : survey.record().detectors) {
        ++f.detectors;
        f.fullyRead += e.fullyRead();
        for (const auto& [key, count] : e.replyFaults)
            f.faults += int(count);
    }
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("survey: %d simulated detectors (Zorvan A2 and C1 in turn, 10 ms latency) on the "
                "virtual line, TurnaroundDelay 4000 us, real time\n",
                Detectors);
    std::printf("%-36s %10s %10s %10s %10s %10s\n", "", "detectors", "read", "exchanges", "seconds",
                "line s");
    for (bool scan : {false, true}) {
        const Figures f = run(scan);
        std::printf("%-34s %9d %6d %9d %7d %7d %7.2f %6.2f  ratio %.2f\n",
                    scan ? "scan 1-247, then read those found" : "--addresses 1-32 (reads only)",
                    f.detectors, f.fullyRead, f.exchanges, f.faults, f.lost, f.seconds,
                    f.lineSeconds, f.seconds / f.lineSeconds);
    }
    std::printf("line s: the sum over exchanges of key-up to the reply's last byte (to the "
                "release when none came).\nfaults: replies that failed the reply check and were "
                "asked again; lost: reply bytes that came\nwhile the driver was still keyed (a "
                "release held up by a busy machine).\n");
    return 0;
}
