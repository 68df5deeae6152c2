#pragma once
// The operator's commands on the detector the main screen shows: BIT and its message, the
// setup screen's opening read, the presence read before the new-address dialog, and the gate
// that says whether any of them may go on the line now.
#include "link/exchange.h"
#include "operations/lineoperation.h"
#include "operations/setupopen.h"

#include <optional>
#include <QObject>
#include <QString>

namespace fh {

class Clock;
class ClockTimer;
class DetectorLink;
class LineTuning;
class LineWorker;
class MessageLine;

class DetectorCommands : public QObject {
    Q_OBJECT
public:
    static constexpr int BitMessageMs = 4000;

    // Everything given must outlive the commands; the clock runs the BIT message's timer.
    DetectorCommands(LineWorker& worker, DetectorLink& link, const LineTuning& tuning,
                     MessageLine& messages, Clock& clock, QObject* parent = nullptr);
    ~DetectorCommands() override;

    // Each goes out only when refusal() is empty; otherwise the message line says why.
    void requestBit();
    void requestAddressRead();
    void requestSetupRead();

    // A command, its BIT message or a tuning poll is under way: nothing else may start.
    bool busy() const;
    // Why BIT, Setup and new Address cannot act now; "" when they can.
    QString refusal() const;
    bool bitMessageShown() const { return bitShown_; }
    // What the detector answered after its command code, when it showed a fault ("" else).
    QString bitAnswer() const { return bitAnswer_; }

signals:
    void changed();
    // The setup screen's opening is over: it opens with the snapshot, or says why not.
    void setupRead(const fh::SetupOpening& opening);
    // The presence read was answered: time for the new-address dialog.
    void addressRead();

private:
    void commandResult(const Exchange& x);
    void bitResult(const Exchange& x);
    void bitMessageOver();
    bool refused(const QString& command);

    LineWorker& worker_;
    DetectorLink& link_;
    const LineTuning& tuning_;
    MessageLine& messages_;
    ClockTimer* bitTimer_;
    std::optional<SetupOpen> setupOpen_;
    OperationDriver setupRun_;
    QString bitAnswer_;
    quint64 bitId_ = 0;
    quint64 addrId_ = 0;
    quint64 writeId_ = 0;   // a confirmed write some screen has on the line
    quint8 bitAddress_ = 0; // where the BIT went
    bool bitShown_ = false;
};

} // namespace fh
