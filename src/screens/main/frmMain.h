#pragma once
// The main screen. For now it loads the link (port, tuning file), starts the status poll and
// shows the last status reply; its full set of controls comes with the main-screen work.
#include "link/exchange.h"

#include <QMainWindow>
#include <QStringList>

class QLabel;

namespace fh {

class LineWorker;
class Prompts;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // The worker is opened by Form_Load and must outlive this screen.
    frmMain(LineWorker& worker, Prompts& prompts, QString dataDir, QWidget* parent = nullptr);
    ~frmMain() override;

    // The start-up steps: opens the port, sets the start values, shows the screen and reads or
    // creates the tuning file. False when the port cannot be opened (errorText says why); the
    // screen then stays hidden and the tuning file untouched.
    bool Form_Load(QString* errorText = nullptr);
    // First activation: one status command without waiting for its reply, then the poll cycle.
    void Form_Activate();

    // Shared start values.
    quint8 Address = 1;
    bool MasterMode = false;
    bool LoggingOn = false;
    bool TuningMode = false;
    quint8 TuningFailures = 0;
    qint16 TurnaroundDelay = 4000;
    QString TuningFile;

    QLabel* lblCom = nullptr;    // "GOOD" / "BAD"
    QLabel* lblReply = nullptr;  // the last status reply in hex
    QLabel* lblNotice = nullptr; // the program's own warnings, in the status line

    // Warnings shown in the status line (tuning file, port without RTS, device gone).
    const QStringList& notices() const { return notices_; }

protected:
    bool event(QEvent* e) override;

private:
    void addNotice(const QString& text);
    void showPoll(const Exchange& x);

    LineWorker& worker_;
    [[maybe_unused]] Prompts& prompts_; // message boxes of the full main screen
    QString dataDir_;
    bool loaded_ = false;
    bool activated_ = false;
    QStringList notices_;
};

} // namespace fh
