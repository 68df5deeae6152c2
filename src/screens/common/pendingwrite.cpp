#include "screens/common/pendingwrite.h"

#include "detector/detectorrecord.h"
#include "link/lineworker.h"
#include "screens/common/screencontext.h"
#include "screens/prompts/prompts.h"

#include <QCloseEvent>

namespace fh {

void PendingWrite::lockWhileRunning(std::initializer_list<QWidget*> locked) {
    for (QWidget* w : locked)
        locked_ << QPointer<QWidget>(w);
}

void PendingWrite::lock(bool locked) {
    for (const QPointer<QWidget>& w : locked_)
        if (w)
            w->setEnabled(!locked);
}

bool PendingWrite::submit(const Transaction& t) {
    if (pending())
        return false;
    lock(true);
    guard_.start(ctx_.worker(), t, ctx_.detector().MasterMode);
    return true;
}

bool PendingWrite::finishes(const Exchange& x, QWidget* parent) {
    QString refusal;
    switch (guard_.onResult(ctx_.worker(), x, &refusal)) {
    case GuardedWrite::Step::NotMine:
    case GuardedWrite::Step::Waiting:
        return false;
    case GuardedWrite::Step::Refused:
        lock(false);
        ctx_.prompts().message(parent, refusal, QStringLiteral("Warning"), Prompts::Icon::Critical,
                               Prompts::Buttons::Ok);
        if (refused)
            refused();
        return false;
    case GuardedWrite::Step::Done:
        break;
    }
    return true;
}

void PendingWrite::close(QCloseEvent* event) {
    if (pending()) {
        event->ignore();
        return;
    }
    leave();
    event->accept();
}

void PendingWrite::leave() {
    if (left_)
        return;
    left_ = true;
    ctx_.screenClosed();
}

} // namespace fh
