#pragma once
// A screen that writes to the detector and then closes: one write at a time, its buttons
// locked while it runs, closing refused until its outcome is in (the operator must still be
// told), and the way back to the main screen taken exactly once.
#include "link/exchange.h"

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

    bool pending() const { return id_ != 0; }
    // Sends the write; false (nothing sent) while one is still running.
    bool submit(const Transaction& t);
    // True once, for the result of this screen's write; the write is then over.
    bool finishes(const Exchange& x);
    // For closeEvent: refused while the write runs, else the way back.
    void close(QCloseEvent* event);
    // The way back to the main screen; only the first call counts.
    void leave();

private:
    ScreenContext& ctx_;
    QList<QPointer<QWidget>> locked_;
    quint64 id_ = 0;
    bool left_ = false;
};

} // namespace fh
