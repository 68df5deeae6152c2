#pragma once
// An operation of several exchanges with one detector (confirm who answers, check, write,
// read back), written once for the screens and the command-line tool. It never touches the
// line: it hands out the next request and judges each result, so the screens drive it from
// their commandDone handler and the command-line tool from its run loop.
#include "link/exchange.h"

#include <functional>
#include <optional>
#include <QString>

namespace fh {

class LineWorker;

class LineOperation {
public:
    // A request met by silence is asked once more before it counts as unanswered: a
    // detector may miss one request now and then.
    static constexpr int SilenceTries = 2;

    virtual ~LineOperation() = default;
    // The first exchange to run.
    virtual Transaction start() = 0;
    // The result of the exchange handed out last; the next exchange to run, or nothing once
    // the operation is over.
    virtual std::optional<Transaction> next(const Exchange& result) = 0;

    // Once over: set when the operation ended before anything was written, with the
    // operator's words for why.
    const QString& refusal() const { return refusal_; }
    bool refused() const { return !refusal_.isEmpty(); }

protected:
    std::nullopt_t refuse(const QString& why) {
        refusal_ = why;
        return std::nullopt;
    }

private:
    QString refusal_;
};

// Runs the operation to its end, one blocking exchange after the other.
void RunOperation(LineOperation& op, const std::function<Exchange(const Transaction&)>& run);

// Runs an operation on the line worker for a screen, which feeds it every commandDone result.
// The screen holds the poll cycle meanwhile, so the steps follow each other on the line: with
// polls between them, the requests a detector misses now and then could all be the steps.
class OperationDriver {
public:
    // False (nothing submitted) while another operation runs. The operation must live until
    // it is over or the driver is gone.
    bool start(LineWorker& worker, LineOperation& op);
    // True when x was the operation's last exchange: it is over now.
    bool feed(LineWorker& worker, const Exchange& x);
    bool running() const { return id_ != 0; }
    // The command id of the confirmed write on the line, else 0 (for its progress).
    quint64 writeId() const { return writing_ ? id_ : 0; }

private:
    void submit(LineWorker& worker, const Transaction& t);

    LineOperation* op_ = nullptr;
    quint64 id_ = 0;
    bool writing_ = false;
};

} // namespace fh
