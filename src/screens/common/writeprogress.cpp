#include "screens/common/writeprogress.h"

#include "link/lineworker.h"

#include <QLabel>

namespace fh {

QString WritingText(int attempt, int attempts) {
    return QStringLiteral("Writing... attempt %1 of %2").arg(attempt).arg(attempts);
}

void FollowWriteAttempts(LineWorker& worker, QLabel* label, std::function<quint64()> pendingId) {
    QObject::connect(&worker, &LineWorker::writeAttempt, label,
                     [label, pendingId = std::move(pendingId)](quint64 id, int n, int of) {
                         if (id == 0 || id != pendingId())
                             return;
                         label->setText(WritingText(n, of));
                         label->show();
                     });
}

} // namespace fh
