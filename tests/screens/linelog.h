#pragma once
// Shared by the screen tests: a bus that records what it heard, what the line worker hands
// back, one command run to its end, the message box shown, a screen's controls by name and
// disposing of a screen.
#include "common/waitfor.h"
#include "link/exchange.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "operations/lineoperation.h"
#include "sim/simbus.h"
#include "support/scriptedprompts.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QTest>
#include <stdexcept>
#include <vector>

namespace fh::test {

// BIT commands, or any requests a test picks, can be left unanswered.
class RecordingBus final : public LinePeer {
public:
    explicit RecordingBus(std::unique_ptr<SimBus> bus) : bus_(std::move(bus)) {}
    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        {
            std::lock_guard lock(mutex_);
            heard_.push_back(request);
            if (unanswered && unanswered(request))
                return {};
        }
        if (dropBit && request.size() > 4 && quint8(request[1]) == 200 &&
            quint8(request[4]) == cmd::Bit)
            return {};
        return bus_->answer(request, endUs);
    }
    // Requests the bus hears but nobody answers.
    void leaveUnanswered(std::function<bool(const QByteArray&)> match) {
        std::lock_guard lock(mutex_);
        unanswered = std::move(match);
    }
    std::vector<QByteArray> heard() const {
        std::lock_guard lock(mutex_);
        return heard_;
    }
    int count(const std::function<bool(const QByteArray&)>& match) const {
        const auto all = heard();
        return int(std::count_if(all.begin(), all.end(), match));
    }
    SimBus& sim() { return *bus_; }
    std::atomic<bool> dropBit{false};

private:
    mutable std::mutex mutex_;
    std::unique_ptr<SimBus> bus_;
    std::vector<QByteArray> heard_;
    std::function<bool(const QByteArray&)> unanswered;
};

inline bool isStatusTo(const QByteArray& request, int address) {
    return request == SendCommand(quint8(address), cmd::Status);
}

// What the worker hands back from now on. Queued and made after a screen, its slots run after
// the screen's: once a result is counted here, the screen has handled it.
class LineWatch : public QObject {
public:
    explicit LineWatch(LineWorker& w) {
        connect(&w, &LineWorker::cycleDone, this,
                [this](const Exchange& x) { cycles.push_back(x); });
        connect(&w, &LineWorker::commandDone, this,
                [this](const Exchange& x) { commands.push_back(x); });
        connect(&w, &LineWorker::traffic, this, [this](const Traffic& t) {
            if (t.direction == Traffic::Sent)
                sent.push_back(t.bytes);
        });
    }
    int count(const QByteArray& frame) const {
        return int(std::count(sent.begin(), sent.end(), frame));
    }
    std::vector<Exchange> cycles, commands;
    std::vector<QByteArray> sent;
};

// Submits one command and waits for its own result.
inline Exchange RunCommand(LineWorker& worker, const Transaction& t) {
    std::optional<Exchange> result;
    quint64 id = 0;
    QObject context;
    QObject::connect(&worker, &LineWorker::commandDone, &context, [&](const Exchange& x) {
        if (x.id == id)
            result = x;
    });
    id = worker.submit(t);
    WaitFor([&] { return result.has_value(); });
    return result.value_or(Exchange{});
}

// Runs an operation to its end, one command after the other.
inline void RunToEnd(LineWorker& worker, LineOperation& op) {
    RunOperation(op, [&](const Transaction& t) { return RunCommand(worker, t); });
}

// Exactly one message box was shown, and it is this one.
inline testing::AssertionResult OneMessage(const ScriptedPrompts& p, const QString& text,
                                           const QString& title,
                                           Prompts::Icon icon = Prompts::Icon::Critical,
                                           Prompts::Buttons buttons = Prompts::Buttons::Ok) {
    const auto shown = p.callsOf(ScriptedPrompts::Call::Message);
    if (shown.size() != 1)
        return testing::AssertionFailure() << shown.size() << " message boxes";
    const ScriptedPrompts::Call& m = shown[0];
    if (m.text != text || m.title != title || m.icon != icon || m.buttons != buttons)
        return testing::AssertionFailure()
               << '"' << m.text.toStdString() << "\" titled \"" << m.title.toStdString()
               << "\" icon " << int(m.icon) << " buttons " << int(m.buttons);
    return testing::AssertionSuccess();
}

// A screen's control by its form name (its objectName). A name that is not there fails the
// test that asked for it (gtest reports the exception) instead of crashing the program.
template <class Control = QWidget> Control* Find(const QObject* screen, const QString& name) {
    Control* c = screen ? screen->findChild<Control*>(name) : nullptr;
    if (!c)
        throw std::runtime_error("no control " + name.toStdString());
    return c;
}

// Closes the screen if it is still open and lets it be deleted.
template <class Screen> void Dispose(QPointer<Screen>& screen) {
    if (screen)
        screen->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace fh::test
