#include "screens/common/pendingwrite.h"

#include "link/lineworker.h"
#include "screens/common/screencontext.h"
#include "screens/prompts/prompts.h"

#include <QCloseEvent>

namespace fh {

PendingWrite::~PendingWrite() {
    if (pending())
        ctx_.holdLine(false);
}

void PendingWrite::lockWhileRunning(std::initializer_list<QWidget*> locked) {
    for (QWidget* w : locked)
        locked_ << QPointer<QWidget>(w);
}

void PendingWrite::lock(bool locked) {
    for (const QPointer<QWidget>& w : locked_)
        if (w)
            w->setEnabled(!locked);
}

bool PendingWrite::submit(LineOperation& op) {
    if (pending())
        return false;
    lock(true);
    op_ = &op;
    ctx_.holdLine(true);
    run_.start(ctx_.worker(), op);
    return true;
}

bool PendingWrite::finishes(const Exchange& x, QWidget* parent) {
    if (!run_.feed(ctx_.worker(), x))
        return false;
    ctx_.holdLine(false);
    if (!op_->refused())
        return true;
    lock(false);
    ctx_.prompts().message(parent, op_->refusal(), QStringLiteral("Warning"),
                           Prompts::Icon::Critical, Prompts::Buttons::Ok);
    if (refused)
        refused();
    return false;
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
