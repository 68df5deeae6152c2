#include "operations/lineoperation.h"

#include "link/lineworker.h"

namespace fh {

void RunOperation(LineOperation& op, const std::function<Exchange(const Transaction&)>& run) {
    for (std::optional<Transaction> t = op.start(); t; t = op.next(run(*t))) {
    }
}

bool OperationDriver::start(LineWorker& worker, LineOperation& op) {
    if (running())
        return false;
    op_ = &op;
    submit(worker, op.start());
    return true;
}

bool OperationDriver::feed(LineWorker& worker, const Exchange& x) {
    if (!running() || x.id != id_)
        return false;
    id_ = 0;
    writing_ = false;
    if (const std::optional<Transaction> t = op_->next(x)) {
        submit(worker, *t);
        return false;
    }
    op_ = nullptr;
    return true;
}

void OperationDriver::submit(LineWorker& worker, const Transaction& t) {
    writing_ = t.pattern == Pattern::ConfirmedWrite;
    id_ = worker.submit(t);
}

} // namespace fh
