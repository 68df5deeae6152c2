#pragma once
// The real main screen on a line worker to the simulated bus, with scripted prompts, stand-in
// screens and a fixed log clock. The line runs ten times faster than the wall, so a failed
// poll costs 60 ms rather than 600.
#include "detector/replycheck.h"
#include "linelog.h"
#include "link/virtualport.h"
#include "screens/main/frmMain.h"

#include <chrono>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <thread>

namespace fh::test {

// Runs on also while nobody sleeps: a line left alone for 150 ms of wall time has been quiet
// for 1.5 s.
class AcceleratedClock final : public Clock {
public:
    explicit AcceleratedClock(int factor) : factor_(factor) {}
    qint64 nowUs() const override {
        const auto wall = std::chrono::steady_clock::now() - start_;
        return 1'000'000 +
               std::chrono::duration_cast<std::chrono::microseconds>(wall).count() * factor_;
    }
    void sleepUntilUs(qint64 t) override {
        for (qint64 now = nowUs(); now < t; now = nowUs())
            std::this_thread::sleep_for(std::chrono::microseconds((t - now) / factor_ + 1));
    }

private:
    int factor_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A stand-in for a screen opened from the main screen: closing it is the way back.
class StubScreen : public QWidget {
public:
    StubScreen(ScreenContext& ctx, QString name) : ctx_(ctx) {
        setObjectName(name);
        setAttribute(Qt::WA_DeleteOnClose);
        show();
    }

protected:
    void closeEvent(QCloseEvent*) override { ctx_.screenClosed(); }

private:
    ScreenContext& ctx_;
};

inline std::unique_ptr<SimBus> busWith(quint8 address, quint16 model, quint16 serial) {
    auto bus = std::make_unique<SimBus>();
    if (address != 0)
        bus->add(address, model, serial);
    return bus;
}

// The default bus with steady statuses, so what the screen shows is known.
inline std::unique_ptr<SimBus> steadyDefaultBus() {
    auto bus = makeDefaultBus();
    for (int i = 0; i < bus->count(); ++i)
        bus->detectorAt(i)->setStatusChar('N');
    return bus;
}

// The line runs ten times faster than the wall, so every margin shrinks tenfold: a detector
// answering 10 ms after a request leaves a 7000 us turnaround only 0.3 ms of wall time before
// its reply meets our still-keyed driver, and a reply that loses its first bytes fails the
// reply check. Answering after 150 ms keeps a busy machine's scheduling out of the results.
inline std::unique_ptr<SimBus> roomyLatency(std::unique_ptr<SimBus> bus) {
    for (int i = 0; i < bus->count(); ++i)
        bus->detectorAt(i)->setLatencyUs(150'000);
    return bus;
}

struct MainRig {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    AcceleratedClock clock{10};
    RecordingBus bus;
    std::unique_ptr<LineWorker> worker;
    std::unique_ptr<frmMain> main;
    int exits = 0;
    QByteArray setupReply;     // what the setup stand-in was given
    bool setupRefuses = false; // the setup stand-in refuses the reply
    QStringList opened;        // stand-ins opened, in order

    explicit MainRig(std::unique_ptr<SimBus> sim = steadyDefaultBus(),
                     const QByteArray& tuningFile = {})
        : bus(roomyLatency(std::move(sim))) {
        if (!tuningFile.isEmpty()) {
            QFile f(dir.filePath("CommTune.txt"));
            if (f.open(QIODevice::WriteOnly))
                f.write(tuningFile);
        }
        worker = std::make_unique<LineWorker>(
            [this] { return std::make_unique<VirtualPort>(clock, bus); }, MakeReplyChecker(),
            clock);
        main = std::make_unique<frmMain>(
            *worker, prompts, dir.path(),
            LogClock([] { return QDateTime(QDate(2026, 5, 12), QTime(4, 27, 37)); },
                     QLocale(QLocale::English, QLocale::UnitedStates)));
        main->exitProgram = [this] { ++exits; };
        auto stub = [this](ScreenContext& ctx, const char* name) -> QWidget* {
            opened << name;
            return new StubScreen(ctx, name);
        };
        main->openers.newAddress = [=](ScreenContext& c) { return stub(c, "newAddress"); };
        main->openers.maintenance = [=](ScreenContext& c) { return stub(c, "maintenance"); };
        main->openers.logViewer = [=](ScreenContext& c) { return stub(c, "logViewer"); };
        main->openers.password = [=](ScreenContext& c, QWidget*) { return stub(c, "password"); };
        main->openers.setup = [=, this](ScreenContext& c, const QByteArray& reply) -> QWidget* {
            setupReply = reply;
            if (!setupRefuses)
                return stub(c, "setup");
            opened << "setup";
            return nullptr;
        };
    }
    ~MainRig() {
        main.reset(); // before the worker it listens to
        worker.reset();
    }

    bool load() { return main->Form_Load(); }
    bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
        return QTest::qWaitFor(condition, ms);
    }
    bool waitLink(const QString& text) {
        return waitFor([&] { return main->lblCom->text() == text; });
    }
    bool loadGood() { return load() && waitLink("GOOD"); }
    void silence(bool on) {
        if (on)
            bus.sim().detector(1)->setFaults({.silent = true});
        else
            bus.sim().detector(1)->clearFaults();
    }
    // Waits until the bus has heard `n` more requests matching `match`.
    bool waitHeard(const std::function<bool(const QByteArray&)>& match, int n = 1) {
        const int target = bus.count(match) + n;
        return waitFor([&] { return bus.count(match) >= target; });
    }
    bool waitPolls(int n) {
        return waitHeard([](const QByteArray& r) { return isStatusTo(r, 1); }, n);
    }
    QByteArray file(const char* name) const {
        QFile f(QDir(dir.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::string log() const { return file("Ir3Log.txt").toStdString(); }
};

} // namespace fh::test
