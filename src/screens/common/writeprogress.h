#pragma once
// "Writing... attempt n of 6" on a screen while its confirmed write runs: six unanswered
// attempts take about seven seconds, too long for greyed buttons alone.
#include <functional>
#include <QString>

class QLabel;

namespace fh {

class LineWorker;

QString WritingText(int attempt, int attempts);

// Shows the attempts of the write whose id pendingId() gives (0: none) in label; the label
// is the connection's context, so nothing arrives once it is gone.
void FollowWriteAttempts(LineWorker& worker, QLabel* label, std::function<quint64()> pendingId);

} // namespace fh
