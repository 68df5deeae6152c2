#pragma once
// A screen that writes to the detector and then closes: one write at a time (in master mode
// only once the line is clear), its buttons locked while it runs, closing refused until its
// outcome is in (the operator must still be told), and the way back to the main screen taken
// exactly once.
#include "detector/masterguard.h"
#include "link/exchange.h"

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
    // The controls disabled from the write's start (the screen closes when it ends).
    void lockWhileRunning(std::initializer_list<QWidget*> controls);

    bool pending() const { return guard_.pending(); }
    // The id of the write on the line (0 before and after), for its progress.
    quint64 writeId() const { return guard_.writeId(); }
    // Runs after a master-mode refusal has been told.
    std::function<void()> refused;
    // Sends the write (after the master-mode check when the main screen is in master mode);
    // false (nothing sent) while one is still running.
    bool submit(const Transaction& t);
    // True once, for the write's own result; the write is then over. A master-mode refusal
    // is told here (nothing was written, the controls unlock again) and gives false.
    bool finishes(const Exchange& x, QWidget* parent);
    // For closeEvent: refused while the write runs, else the way back.
    void close(QCloseEvent* event);
    // The way back to the main screen; only the first call counts.
    void leave();

private:
    ScreenContext& ctx_;
    void lock(bool locked);

    QList<QPointer<QWidget>> locked_;
    GuardedWrite guard_;
    bool left_ = false;
};

} // namespace fh
