#pragma once
// The real main screen on a line worker to the simulated bus, with scripted prompts, stand-in
// screens and a fixed log clock. The line runs on a clock ten times faster than the wall, so
// a failed poll costs 60 ms rather than 600.
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/virtualport.h"
#include "screens/main/frmMain.h"
#include "screens/prompts/scriptedprompts.h"
#include "sim/simbus.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

namespace fh::test {

// Line time that runs `factor` times faster than the wall clock, also while nobody sleeps
// (a line left alone for 150 ms of wall time has been quiet for 1.5 s).
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

// The bus, remembering every request it heard; BIT commands can be left unanswered.
class RecordingBus final : public LinePeer {
public:
    explicit RecordingBus(std::unique_ptr<SimBus> bus) : bus_(std::move(bus)) {}
    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        {
            std::lock_guard lock(mutex_);
            heard_.push_back(request);
        }
        if (dropBit && request.size() > 4 && quint8(request[1]) == 200 &&
            quint8(request[4]) == cmd::Bit)
            return {};
        return bus_->answer(request, endUs);
    }
    std::vector<QByteArray> heard() const {
        std::lock_guard lock(mutex_);
        return heard_;
    }
    SimBus& sim() { return *bus_; }
    std::atomic<bool> dropBit{false};

private:
    mutable std::mutex mutex_;
    std::unique_ptr<SimBus> bus_;
    std::vector<QByteArray> heard_;
};

inline bool isStatusTo(const QByteArray& request, int address) {
    return request == SendCommand(quint8(address), cmd::Status);
}

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

struct MainRig {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    AcceleratedClock clock{10};
    RecordingBus bus;
    VirtualPort* port = nullptr;
    std::unique_ptr<LineWorker> worker;
    std::unique_ptr<frmMain> main;
    int exits = 0;
    QByteArray setupReply;     // what the setup stand-in was given
    bool setupRefuses = false; // the setup stand-in refuses the reply (returns nullptr)
    QStringList opened;        // stand-ins opened, in order

    static LogClock fixedClock() {
        return LogClock([] { return QDateTime(QDate(2026, 5, 12), QTime(4, 27, 37)); },
                        QLocale(QLocale::English, QLocale::UnitedStates));
    }

    explicit MainRig(std::unique_ptr<SimBus> sim = steadyDefaultBus(),
                     const QByteArray& tuningFile = {})
        : bus(std::move(sim)) {
        if (!tuningFile.isEmpty()) {
            QFile f(dir.filePath("CommTune.txt"));
            if (f.open(QIODevice::WriteOnly))
                f.write(tuningFile);
        }
        worker = std::make_unique<LineWorker>(
            [this] {
                auto p = std::make_unique<VirtualPort>(clock, bus);
                port = p.get();
                return p;
            },
            clock);
        main = std::make_unique<frmMain>(*worker, prompts, dir.path(), fixedClock());
        main->exitProgram = [this] { ++exits; };
        auto stub = [this](const char* name) {
            return [this, name](ScreenContext& ctx) -> QWidget* {
                opened << name;
                return new StubScreen(ctx, name);
            };
        };
        main->openers.newAddress = stub("newAddress");
        main->openers.maintenance = stub("maintenance");
        main->openers.logViewer = stub("logViewer");
        main->openers.password = [this](ScreenContext& ctx, QWidget*) -> QWidget* {
            opened << "password";
            return new StubScreen(ctx, "password");
        };
        main->openers.setup = [this](ScreenContext& ctx, const QByteArray& reply) -> QWidget* {
            opened << "setup";
            setupReply = reply;
            if (setupRefuses)
                return nullptr;
            return new StubScreen(ctx, "setup");
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
    // Waits until the bus has heard `n` more requests matching `match`.
    bool waitHeard(const std::function<bool(const QByteArray&)>& match, int n = 1) {
        auto count = [&] {
            int c = 0;
            for (const QByteArray& r : bus.heard())
                c += match(r) ? 1 : 0;
            return c;
        };
        const int target = count() + n;
        return waitFor([&] { return count() >= target; });
    }
    QByteArray logFile() const {
        QFile f(QDir(dir.path()).filePath("Ir3Log.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray tuningFileBytes() const {
        QFile f(dir.filePath("CommTune.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace fh::test
