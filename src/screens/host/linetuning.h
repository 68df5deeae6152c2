#pragma once
// The turnaround delay and its tuning (F12): the delay the tuning file CommTune.txt holds, and
// the walk through the delays, one status poll each, until the detector answers.
#include "link/exchange.h"
#include "link/tuningfile.h"

#include <QObject>
#include <QString>

namespace fh {

class DetectorLink;
class LineWorker;
class MessageLine;

class LineTuning : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxFailures = 22; // tuning ends on the failure after this many

    // The worker and the link must outlive the tuning.
    LineTuning(LineWorker& worker, DetectorLink& link, MessageLine& messages, QString dataDir,
               QObject* parent = nullptr);

    // Reads the tuning file, or creates it with the default delay; the line takes the delay.
    void load();
    // F12: tuning starts again from the delay in use.
    void start();

    bool running() const { return running_; }
    // A tuning poll is on the line.
    bool polling() const { return pollId_ != 0; }
    int failures() const { return failures_; }
    int delay() const { return delayUs_; }

signals:
    void changed();

private:
    void commandResult(const Exchange& x);
    void submitPoll();
    void note(const QString& text);

    LineWorker& worker_;
    DetectorLink& link_;
    MessageLine& messages_;
    QString dataDir_;
    QString file_;
    int delayUs_ = DefaultTurnaroundDelay;
    int failures_ = 0;
    quint64 pollId_ = 0;
    bool running_ = false;
};

} // namespace fh
