#pragma once
// The line for a command-line run: a line worker on a real or simulated port, and one
// exchange at a time run to its end while the caller waits.
#include "link/exchange.h"
#include "link/linemode.h"
#include "link/lineworker.h"

#include <memory>
#include <QString>

namespace fh {
class SimBus;
}

namespace fh::cli {

class LineClient {
public:
    // line.device: the port to open (tcp://HOST:PORT for a device server); ignored when bus
    // is given (the simulated line, whose adapter then suits the line mode and echo).
    LineClient(const LineChoice& line, SimBus* bus, ReplyChecker check);
    ~LineClient();
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    // False with *error set when the port cannot be opened.
    bool open(QString* error);
    // Submits the transaction and waits, in a local event loop, for its result.
    Exchange run(const Transaction& t);
    ReplyFaultCounts replyFaults() const { return worker_->replyFaults(); }
    LineWorker& worker() { return *worker_; }

private:
    std::unique_ptr<LineWorker> worker_;
};

} // namespace fh::cli
