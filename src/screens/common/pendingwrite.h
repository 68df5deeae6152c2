#pragma once
// A screen that writes to the detector and then closes: one write operation at a time, its
// buttons locked while it runs, closing refused until its outcome is in (the operator must
// still be told), and the way back to the main screen taken exactly once.
#include "link/exchange.h"
#include "operations/lineoperation.h"

#include <functional>
#include <initializer_list>
#include <QList>
#include <QPointer>
#include <QWidget>

class QCloseEvent;

namespace fh {

class ScreenContext;

class PendingWrite {
public:
    explicit PendingWrite(ScreenContext& ctx) : ctx_(ctx) {}
    ~PendingWrite(); // a screen gone mid-operation gives the line back
    // The controls disabled from the write's start (the screen closes when it ends).
    void lockWhileRunning(std::initializer_list<QWidget*> controls);

    bool pending() const { return run_.running(); }
    // The id of the write on the line (0 before and after), for its progress.
    quint64 writeId() const { return run_.writeId(); }
    // Runs after a refusal has been told.
    std::function<void()> refused;
    // Runs the operation, which must live as long as the screen, with the poll cycle held;
    // false (nothing sent) while one is still running.
    bool submit(LineOperation& op);
    // True once, when the operation is over having written; its result is the screen's to
    // tell. An operation refused before writing is told here (nothing was written, the
    // controls unlock again) and gives false.
    bool finishes(const Exchange& x, QWidget* parent);
    // For closeEvent: refused while the write runs, else the way back.
    void close(QCloseEvent* event);
    // The way back to the main screen; only the first call counts.
    void leave();

private:
    ScreenContext& ctx_;
    void lock(bool locked);

    QList<QPointer<QWidget>> locked_;
    OperationDriver run_;
    LineOperation* op_ = nullptr;
    bool left_ = false;
};

} // namespace fh
