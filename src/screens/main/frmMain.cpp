#include "screens/main/frmMain.h"

#include "link/lineworker.h"
#include "link/requests.h"
#include "link/tuningfile.h"
#include "screens/prompts/prompts.h"

#include <QEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace fh {

frmMain::frmMain(LineWorker& worker, Prompts& prompts, QString dataDir, QWidget* parent)
    : QMainWindow(parent), worker_(worker), prompts_(prompts), dataDir_(std::move(dataDir)) {
    setObjectName(QStringLiteral("frmMain"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    lblCom = new QLabel(central);
    lblCom->setObjectName(QStringLiteral("lblCom"));
    lblReply = new QLabel(central);
    lblReply->setObjectName(QStringLiteral("lblReply"));
    lblReply->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lblCom);
    layout->addWidget(lblReply);
    layout->addStretch();
    setCentralWidget(central);
    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    statusBar()->addWidget(lblNotice, 1);
    resize(480, 200);

    connect(&worker_, &LineWorker::cycleDone, this, &frmMain::showPoll);
    connect(&worker_, &LineWorker::notice, this, &frmMain::addNotice);
    connect(&worker_, &LineWorker::portStateChanged, this, [this](bool open, QString message) {
        addNotice(message);
        if (!open) {
            lblCom->setText(QStringLiteral("BAD"));
        }
    });
}

frmMain::~frmMain() = default;

bool frmMain::Form_Load(QString* errorText) {
    // 1-4: the worker opens the chosen device at 9600 8N1 and reports every transmission's end
    // by itself.
    QString why;
    if (!worker_.openPort(&why)) {
        if (errorText)
            *errorText = why;
        return false;
    }
    // 5: status log off, sums log off, maintenance password not yet accepted.
    LoggingOn = false;
    // 6-7
    TuningFile = TuningFilePath(dataDir_);
    TurnaroundDelay = DefaultTurnaroundDelay;
    TuningFailures = 0;
    MasterMode = false;
    TuningMode = false;
    // 8
    show();
    // 9: the line's microsecond clock needs no initialising.
    // 10
    const TuningLoad tuning = LoadTuningFile(TuningFile);
    TurnaroundDelay = qint16(tuning.delayUs);
    worker_.setTurnaroundDelay(TurnaroundDelay);
    if (!tuning.warning.isEmpty())
        addNotice(tuning.warning);
    loaded_ = true;
    // Activation follows the load, never runs inside it.
    QTimer::singleShot(0, this, &frmMain::Form_Activate);
    return true;
}

void frmMain::Form_Activate() {
    if (!loaded_ || activated_)
        return;
    activated_ = true;
    Transaction first;
    first.pattern = Pattern::SendOnly;
    first.frame = SendCommand(Address, cmd::Status);
    worker_.submit(first);
    Transaction poll;
    poll.pattern = Pattern::Poll;
    poll.frame = SendCommand(Address, cmd::Status);
    worker_.setCycle(poll);
}

bool frmMain::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        Form_Activate();
    return QMainWindow::event(e);
}

void frmMain::addNotice(const QString& text) {
    if (text.isEmpty() || notices_.contains(text))
        return;
    notices_ << text;
    lblNotice->setText(notices_.join(QStringLiteral("  |  ")));
    lblNotice->setToolTip(notices_.join(QLatin1Char('\n')));
}

void frmMain::showPoll(const Exchange& x) {
    const bool good = x.collected && StatusReplyComplete(x.reply);
    lblCom->setText(good ? QStringLiteral("GOOD") : QStringLiteral("BAD"));
    if (x.collected)
        lblReply->setText(QString::fromLatin1(x.reply.toHex(' ').toUpper()));
}

} // namespace fh
