#pragma once
// The real host model on a line worker to the simulated bus, all on virtual time, with
// scripted prompts and a fixed log clock. MainRig puts the real main screen on top, with
// stand-ins for the screens it opens; without it a plain window stands in for the main screen.
#include "common/bytes.h"
#include "detector/detectorrecord.h"
#include "detector/replycheck.h"
#include "linelog.h"
#include "link/virtualport.h"
#include "screens/host/hostmodel.h"
#include "screens/main/hostcontext.h"
#include "screens/main/mainscreen.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

namespace fh::test {

inline std::unique_ptr<SimBus> busWith(quint8 address, quint16 model, quint16 serial) {
    auto bus = std::make_unique<SimBus>();
    bus->add(address, model, serial);
    return bus;
}

// The default bus with steady statuses, so what the screens show is known.
inline std::unique_ptr<SimBus> steadyDefaultBus() {
    auto bus = makeDefaultBus();
    for (int i = 0; i < bus->count(); ++i)
        bus->detectorAt(i)->setStatusChar('N');
    return bus;
}

// Tells the status log whether a window standing in for the main screen is shown, as the main
// screen itself does.
class ShownWatch : public QObject {
public:
    ShownWatch(QWidget& window, StatusLogging& log) : log_(log) { window.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
            log_.setMainScreenShown(e->type() == QEvent::Show);
        return false;
    }

private:
    StatusLogging& log_;
};

struct HostRig {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    VirtualClock clock;
    RecordingBus bus;
    VirtualPort* port = nullptr; // made on the worker's thread when it opens
    std::unique_ptr<LineWorker> worker;
    std::unique_ptr<HostModel> model;
    QWidget standIn;                      // the main window when no main screen is made
    std::unique_ptr<HostContext> context; // the screens' context, with standIn as main window
    std::unique_ptr<ShownWatch> shownWatch;
    int returns = 0; // ways back from a screen

    explicit HostRig(std::unique_ptr<SimBus> sim = steadyDefaultBus(),
                     const QByteArray& tuningFile = {})
        : bus(std::move(sim)) {
        if (!tuningFile.isEmpty())
            writeAll(dir.filePath("CommTune.txt"), tuningFile);
        worker = std::make_unique<LineWorker>(
            [this] {
                auto p = std::make_unique<VirtualPort>(clock, bus);
                port = p.get();
                return p;
            },
            MakeReplyChecker(), clock);
        model = std::make_unique<HostModel>(
            *worker, dir.path(),
            LogClock([] { return QDateTime(QDate(2026, 5, 12), QTime(4, 27, 37)); },
                     QLocale(QLocale::English, QLocale::UnitedStates)),
            clock);
        context = std::make_unique<HostContext>(*model, prompts, &standIn);
        shownWatch = std::make_unique<ShownWatch>(standIn, model->statusLog());
        QObject::connect(model.get(), &HostModel::screenReturned, &standIn, [this] {
            ++returns;
            standIn.show();
        });
    }
    ~HostRig() {
        shownWatch.reset();
        context.reset();
        model.reset(); // before the worker it listens to
        worker.reset();
    }

    HostModel& m() { return *model; }
    HostContext& ctx() { return *context; }
    // Moves virtual time on (for waits while the line is held) and lets due timers fire.
    void advanceMs(int ms) {
        clock.advanceUs(qint64(ms) * 1000);
        WaitFor([] { return false; }, 5);
    }
    SimDetector& detector(quint8 address = 1) { return *bus.sim().detector(address); }
    void silence(bool on, quint8 address = 1) { detector(address).setFaults({.silent = on}); }
    bool waitLink(const QString& text) {
        return WaitFor([&] { return model->link().display().linkText == text; });
    }
    // Waits until the bus has heard `n` more requests matching `match`.
    bool waitHeard(const std::function<bool(const QByteArray&)>& match, int n = 1) {
        const int target = bus.count(match) + n;
        return WaitFor([&] { return bus.count(match) >= target; });
    }
    bool waitPolls(int n, int address = 1) {
        return waitHeard([address](const QByteArray& r) { return isStatusTo(r, address); }, n);
    }
    QByteArray file(const char* name) const { return readAll(dir.filePath(name)); }
};

// For the screens opened from the main screen: the model at `address` of the bus, loaded and
// polled once (the record then holds what the main screen would show), with a plain window
// standing in for the main screen. It passes as the screens' context.
struct ScreenRig : HostRig {
    explicit ScreenRig(std::unique_ptr<SimBus> sim = steadyDefaultBus(), quint8 address = 1)
        : HostRig(std::move(sim)) {
        model->link().setAddress(address);
        EXPECT_TRUE(model->load());
        model->activate();
        standIn.show();
        EXPECT_TRUE(WaitFor([&] { return model->link().polledOnce(); }))
            << "the first poll never ended";
    }
    operator ScreenContext&() { return *context; }
};

struct MainRig : HostRig {
    std::unique_ptr<MainScreen> main;
    int exits = 0;
    SetupOpening setupOpening; // what the setup stand-in was given
    bool setupRefuses = false; // the setup stand-in refuses its snapshot
    QStringList opened;        // stand-ins opened, in order

    explicit MainRig(std::unique_ptr<SimBus> sim = steadyDefaultBus(),
                     const QByteArray& tuningFile = {})
        : HostRig(std::move(sim), tuningFile) {
        main = std::make_unique<MainScreen>(*model, prompts);
        main->setExitProgram([this] { ++exits; });
        // Stand-ins for the screens it opens; the tests go back with screenClosed().
        auto stub = [this](ScreenContext&, const char* name) -> QWidget* {
            opened << name;
            auto* screen = new QWidget;
            screen->setObjectName(name);
            screen->setAttribute(Qt::WA_DeleteOnClose);
            screen->show();
            return screen;
        };
        for (auto [opener, name] : {std::pair{&ScreenOpeners::newAddress, "newAddress"},
                                    {&ScreenOpeners::maintenance, "maintenance"},
                                    {&ScreenOpeners::logViewer, "logViewer"},
                                    {&ScreenOpeners::overview, "overview"}})
            main->openers().*opener = [=](ScreenContext& c) { return stub(c, name); };
        main->openers().password = [=](ScreenContext& c, QWidget*) { return stub(c, "password"); };
        main->openers().setup = [=, this](ScreenContext& c, const SetupOpening& o) -> QWidget* {
            setupOpening = o;
            if (o.snapshot && !setupRefuses)
                return stub(c, "setup");
            opened << "setup";
            return nullptr;
        };
    }
    ~MainRig() { main.reset(); }

    bool load() { return main->load(); }
    // The main screen's controls by their form names.
    QPushButton* button(const char* name) const { return Find<QPushButton>(main.get(), name); }
    QLabel* label(const char* name) const { return Find<QLabel>(main.get(), name); }
    bool loadGood() { return load() && waitLink("GOOD"); }
    std::string log() const { return file("Ir3Log.txt").toStdString(); }
};

} // namespace fh::test
