#pragma once
// A stand-in for the main screen, for tests of the screens opened from it: a line worker on
// the virtual line to the simulated bus (real time), scripted prompts, and the state the
// main screen would hold.
#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "detector/replycheck.h"
#include "linelog.h"
#include "link/virtualport.h"
#include "logging/sumslog.h"
#include "screens/common/screencontext.h"

#include <QTemporaryDir>
#include <QWidget>

namespace fh::test {

class FakeMain : public ScreenContext {
public:
    // The bus's detector at `address` becomes the one on the main screen; its status is
    // read once over the line so the record holds what the real main screen would.
    explicit FakeMain(std::unique_ptr<SimBus> bus = makeDefaultBus(), quint8 address = 1)
        : bus_(std::move(bus)), sums_(dir_.path()) {
        // Wide of the 4 ms turnaround, so a busy machine's late release of the line never
        // makes the reply meet our still-keyed driver (and fail the reply check).
        for (int i = 0; i < bus_->count(); ++i)
            bus_->detectorAt(i)->setLatencyUs(60'000);
        worker_ = std::make_unique<LineWorker>(
            [this] { return std::make_unique<VirtualPort>(SteadyClock::instance(), *bus_); },
            MakeReplyChecker());
        worker_->openPort();
        record.Address = address;
        QSignalSpy done(worker_.get(), &LineWorker::commandDone);
        worker_->submit({Pattern::Poll, SendCommand(address, cmd::Status)});
        if (done.wait(5000)) {
            const Exchange x = done.at(0).at(0).value<Exchange>();
            if (StatusReplyComplete(x.reply))
                DecodeStatusReply(x.reply, record);
            else
                BadLinkState(record);
        }
        resumeMainCycle();
    }

    SimBus& bus() { return *bus_; }

    // ScreenContext
    LineWorker& worker() override { return *worker_; }
    Prompts& prompts() override { return prompts_; }
    const DetectorRecord& detector() const override { return record; }
    QString addressText() const override { return QString::number(record.Address); }
    void setAddress(quint8 address) override {
        record.Address = address;
        resumeMainCycle();
    }
    bool linkGood() const override { return record.LinkGood; }
    void unlockMaintenance() override { unlocked = true; }
    bool maintenanceUnlocked() const override { return unlocked; }
    MaintenanceReadings& maintenanceReadings() override { return readings; }
    SumsLog& sumsLog() override { return sums_; }
    QString dataDir() const override { return dir_.path(); }
    void screenClosed() override {
        ++closed;
        mainWindow_.show();
        resumeMainCycle();
    }
    QWidget* mainWindow() override { return &mainWindow_; }

    void resumeMainCycle() {
        worker_->setCycle(Transaction{Pattern::Poll, SendCommand(record.Address, cmd::Status)});
    }

    DetectorRecord record;
    MaintenanceReadings readings;
    ScriptedPrompts prompts_;
    bool unlocked = false;
    int closed = 0;

private:
    QTemporaryDir dir_;
    std::unique_ptr<SimBus> bus_;
    std::unique_ptr<LineWorker> worker_;
    SumsLog sums_;
    QWidget mainWindow_;
};

} // namespace fh::test
