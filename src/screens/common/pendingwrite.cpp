#include "screens/common/pendingwrite.h"

#include "link/lineworker.h"
#include "screens/common/screencontext.h"

#include <QCloseEvent>

namespace fh {

void PendingWrite::lockWhileRunning(std::initializer_list<QWidget*> locked) {
    for (QWidget* w : locked)
        locked_ << QPointer<QWidget>(w);
}

bool PendingWrite::submit(const Transaction& t) {
    if (pending())
        return false;
    for (const QPointer<QWidget>& w : locked_)
        if (w)
            w->setEnabled(false);
    id_ = ctx_.worker().submit(t);
    return true;
}

bool PendingWrite::finishes(const Exchange& x) {
    if (id_ == 0 || x.id != id_)
        return false;
    id_ = 0;
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
