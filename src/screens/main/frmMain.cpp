#include "screens/main/frmMain.h"

#include "detector/models.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/tuningfile.h"
#include "logging/logperiod.h"
#include "screens/common/keptentries.h"
#include "screens/main/mainlayout.h"
#include "screens/maintenance/lampshape.h"
#include "screens/prompts/prompts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace fh {

frmMain::frmMain(LineWorker& worker, Prompts& prompts, QString dataDir, QWidget* parent)
    : frmMain(worker, prompts, std::move(dataDir), LogClock{}, parent) {}

frmMain::frmMain(LineWorker& worker, Prompts& prompts, QString dataDir, LogClock logClock,
                 QWidget* parent)
    : QMainWindow(parent), openers(DefaultScreenOpeners()),
      exitProgram([] { QCoreApplication::exit(0); }), worker_(worker), prompts_(prompts),
      dataDir_(std::move(dataDir)), statusLog_(dataDir_, logClock), sumsLog_(dataDir_, logClock) {
    build();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(LogMinuteMs);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(BlinkMs);
    Timer2->setTimerType(Qt::PreciseTimer);
    connect(Timer2, &QTimer::timeout, this, &frmMain::Timer2_Timer);
    tmrBit = new QTimer(this);
    tmrBit->setObjectName(QStringLiteral("tmrBit"));
    tmrBit->setSingleShot(true);
    tmrBit->setInterval(BitMessageMs);
    tmrBit->setTimerType(Qt::PreciseTimer);
    connect(tmrBit, &QTimer::timeout, this, &frmMain::bitMessageOver);
    tmrLogRetry_ = new QTimer(this);
    tmrLogRetry_->setInterval(5000);
    connect(tmrLogRetry_, &QTimer::timeout, this, [this] {
        statusLog_.RetryPendingWrites();
        afterLogWrite();
    });

    connect(cmdShowLog, &QPushButton::clicked, this, &frmMain::cmdShowLog_Click);
    connect(cmdSearch, &QPushButton::clicked, this, &frmMain::cmdSearch_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmMain::cmdDown_Click);
    connect(cmdUp, &QPushButton::clicked, this, &frmMain::cmdUp_Click);
    connect(cmdMaintenance, &QPushButton::clicked, this, &frmMain::cmdMaintenance_Click);
    connect(cmdChangeAddr, &QPushButton::clicked, this, &frmMain::cmdChangeAddr_Click);
    connect(cmdBIT, &QPushButton::clicked, this, &frmMain::cmdBIT_Click);
    connect(cmdSetio, &QPushButton::clicked, this, &frmMain::cmdSetio_Click);
    connect(cmdLog, &QPushButton::clicked, this, &frmMain::cmdLog_Click);
    connect(cmdE, &QPushButton::clicked, this, &frmMain::cmdE_Click);

    connect(&worker_, &LineWorker::cycleDone, this, &frmMain::cycleResult);
    connect(&worker_, &LineWorker::commandDone, this, &frmMain::commandResult);
    connect(&worker_, &LineWorker::notice, this, &frmMain::addNotice);
    connect(&worker_, &LineWorker::portStateChanged, this, [this](bool open, QString message) {
        addNotice(message);
        if (!open)
            showDisplay(BadLinkState(record_));
    });
    connect(&statusLog_, &StatusLog::warning, this, &frmMain::setLogNotice);
    connect(&statusLog_, &StatusLog::recovered, this, &frmMain::setLogNotice);
    connect(&sumsLog_, &SumsLog::warning, this, &frmMain::setLogNotice);
    connect(&sumsLog_, &SumsLog::recovered, this, &frmMain::setLogNotice);
}

frmMain::~frmMain() {
    // Screens still open go with the main screen; their way back must not lead here.
    destroying_ = true;
    for (const QPointer<QWidget>& s : screens_)
        delete s.data();
}

void frmMain::build() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString());
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("frmMainBody"));
    setCentralWidget(central);
    const MainControls c = BuildMainControls(central);
    cmdShowLog = c.cmdShowLog;
    cmdSearch = c.cmdSearch;
    cmdDown = c.cmdDown;
    cmdUp = c.cmdUp;
    cmdMaintenance = c.cmdMaintenance;
    cmdChangeAddr = c.cmdChangeAddr;
    cmdBIT = c.cmdBIT;
    cmdSetio = c.cmdSetio;
    cmdLog = c.cmdLog;
    cmdE = c.cmdE;
    lblChooseAddr = c.lblChooseAddr;
    lblDetType = c.lblDetType;
    lblserNum = c.lblserNum;
    lblDetStatus = c.lblDetStatus;
    lblCom = c.lblCom;
    Shape1 = c.Shape1;
    lblBit = c.lblBit;
    lblLogOn = c.lblLogOn;
    lblF12 = c.lblF12;
    lblType = c.lblType;
    lblSta = c.lblSta;
    Label1 = c.Label1;
    lblSerial = c.lblSerial;

    lblReply = new QLabel(central);
    lblReply->setObjectName(QStringLiteral("lblReply"));
    lblReply->hide();

    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    statusBar()->addWidget(lblNotice, 1);
    statusBar()->setSizeGripEnabled(false);
    setFixedSize(central->size().width(),
                 central->size().height() + statusBar()->sizeHint().height());

    // The form sees every key before its controls.
    installEventFilter(this);
    for (QWidget* w : central->findChildren<QWidget*>())
        w->installEventFilter(this);
}

// --- start-up and activation -------------------------------------------------------------

bool frmMain::Form_Load(QString* errorText) {
    // 1-4: the worker opens the chosen device at 9600 8N1 and reports every transmission's end
    // by itself.
    QString why;
    if (!worker_.openPort(&why)) {
        if (errorText)
            *errorText = why;
        return false;
    }
    // 5: status log and sums log start off; the maintenance gate starts closed.
    // 6-7
    TuningFile = TuningFilePath(dataDir_);
    TurnaroundDelay = DefaultTurnaroundDelay;
    TuningFailures = 0;
    record_.MasterMode = false;
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
    if (!loaded_)
        return;
    if (activated_) {
        // Coming back from another screen: the cycle polls the current target at once.
        if (isVisible())
            restartCycle();
        return;
    }
    activated_ = true;
    // The first command goes out unanswered; its reply is left to die away before the first
    // poll, which would otherwise collect the tail of it as the start of its own reply.
    Transaction first{Pattern::SendOnly, SendCommand(record_.Address, cmd::Status)};
    first.holdAfterMs = FirstReplySettleMs;
    worker_.submit(first);
    restartCycle();
}

bool frmMain::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !activated_)
        Form_Activate();
    return QMainWindow::event(e);
}

void frmMain::closeEvent(QCloseEvent* e) {
    if (!MayExitWithKeptEntries(prompts_, this, {&statusLog_, &sumsLog_}))
        return e->ignore();
    e->accept();
    if (exitProgram)
        exitProgram();
}

// --- the poll cycle ----------------------------------------------------------------------

QByteArray frmMain::pollFrame() const {
    return SendCommand(record_.MasterMode ? 0 : record_.Address, cmd::Status);
}

void frmMain::restartCycle() {
    if (!activated_)
        return;
    worker_.setCycle(Transaction{Pattern::Poll, pollFrame()});
}

void frmMain::cycleResult(const Exchange& x) {
    // Only our own status poll for the current target counts: the maintenance screen's
    // refresh, and a poll sent before the target changed, are not ours to show.
    if (x.request != pollFrame())
        return;
    applyPoll(x, false);
}

void frmMain::applyPoll(const Exchange& x, bool tuningPoll) {
    const bool good = x.answered && StatusReplyComplete(x.reply);
    if (!good) {
        showDisplay(BadLinkState(record_));
        if (tuningPoll && TuningMode) {
            TurnaroundDelay = qint16(NextTuningDelay(TurnaroundDelay));
            ++TuningFailures;
            if (TuningFailures > TuningMaxFailures) {
                TuningMode = false;
                lblF12->hide();
            }
        }
    } else {
        showDisplay(DecodeStatusReply(x.reply, record_));
        lblReply->setText(QString::fromLatin1(x.reply.toHex(' ').toUpper()));
        lblCom->setToolTip(QStringLiteral("Communication Status\n") + lblReply->text());
        if (DetectStatusChange(record_, x.reply))
            writeLogRecord();
        if (tuningPoll) {
            if (TuningMode) {
                QString why;
                if (!SaveTuningFile(TuningFile, TurnaroundDelay, &why))
                    addNotice(why);
            }
            lblF12->hide();
            TuningMode = false;
        }
    }
    setWindowTitle(MainWindowTitle);
}

void frmMain::showDisplay(const StatusDisplay& d) {
    lblChooseAddr->setText(d.addressText);
    lblDetStatus->setText(d.statusText);
    SetLabelColours(lblDetStatus, d.statusCharColour, d.statusBackground);
    lblDetType->setText(d.modelText);
    lblserNum->setText(d.serialText);
    Shape1->setFillColor(d.linkLamp);
    lblCom->setText(d.linkText);
    SetLabelColours(lblCom, d.linkTextColour, std::nullopt);
}

// --- commands on the line ----------------------------------------------------------------

bool frmMain::commandBusy() const {
    return bitId_ || addrId_ || setupId_ || tuningId_ || tmrBit->isActive();
}

void frmMain::hold() {
    if (holdCount_++ == 0)
        worker_.setHeld(true);
}

void frmMain::release() {
    if (holdCount_ > 0 && --holdCount_ == 0)
        worker_.setHeld(false);
}

void frmMain::cmdBIT_Click() {
    if (!record_.LinkGood || commandBusy())
        return;
    // The line stays free of polls from here until the message has gone.
    hold();
    bitId_ =
        worker_.submit(Transaction{Pattern::ButtonRead, SendCommand(record_.Address, cmd::Bit)});
}

void frmMain::cmdChangeAddr_Click() {
    if (!record_.LinkGood || commandBusy())
        return;
    addrId_ = worker_.submit(Transaction{Pattern::ButtonRead, ReadAddr(record_.Address)});
}

void frmMain::cmdSetio_Click() {
    if (!record_.LinkGood || commandBusy())
        return;
    setupId_ = worker_.submit(
        Transaction{Pattern::ButtonRead, ReadSetup(record_.Address, record_.ModelName)});
}

void frmMain::commandResult(const Exchange& x) {
    if (x.id == 0)
        return;
    if (x.id == bitId_) {
        bitId_ = 0;
        // Only this exchange's own echo counts: an older reply never reports a BIT.
        if (x.answered && BitPerformed(x.reply)) {
            lblBit->setText(BitPerformedText);
            lblBit->show();
            tmrBit->start();
        } else {
            release();
        }
    } else if (x.id == addrId_) {
        addrId_ = 0;
        if (x.answered && openers.newAddress) {
            hide();
            track(openers.newAddress(*this));
        }
    } else if (x.id == setupId_) {
        setupId_ = 0;
        // A reply that failed the check opens nothing but "could not be read"; silence, nothing.
        if (x.collected && openers.setup) {
            if (QWidget* screen = openers.setup(*this, x.answered ? x.reply : QByteArray())) {
                track(screen);
                hide();
            }
        }
    } else if (x.id == tuningId_) {
        tuningId_ = 0;
        applyPoll(x, true);
        if (TuningMode) {
            submitTuningPoll();
        } else {
            // The polls after tuning use the delay it ended with.
            worker_.setTurnaroundDelay(TurnaroundDelay);
            release();
        }
    }
}

void frmMain::bitMessageOver() {
    lblBit->hide();
    release();
}

void frmMain::submitTuningPoll() {
    // The delay is set before the poll is queued, so the poll runs with it.
    worker_.setTurnaroundDelay(TurnaroundDelay);
    tuningId_ = worker_.submit(Transaction{Pattern::Poll, pollFrame()});
}

// --- master mode and address stepping ----------------------------------------------------

void frmMain::setMasterMode(bool on) {
    record_.MasterMode = on;
    cmdSearch->setText(on ? QStringLiteral("maste&R is ON") : QStringLiteral("maste&R is OFF"));
}

void frmMain::showAddress() {
    lblChooseAddr->setText(QString::number(record_.Address));
}

void frmMain::cmdSearch_Click() {
    setMasterMode(!record_.MasterMode);
    restartCycle();
}

void frmMain::cmdUp_Click() {
    setMasterMode(false);
    if (record_.Address < MaxAddress)
        ++record_.Address;
    showAddress();
    restartCycle();
}

void frmMain::cmdDown_Click() {
    setMasterMode(false);
    if (record_.Address > 1)
        --record_.Address;
    showAddress();
    restartCycle();
}

// --- other screens -----------------------------------------------------------------------

QWidget* frmMain::track(QWidget* screen) {
    if (screen)
        screens_.append(QPointer<QWidget>(screen));
    screens_.removeAll(QPointer<QWidget>());
    return screen;
}

void frmMain::cmdMaintenance_Click() {
    if (!openers.maintenance)
        return;
    hide();
    track(openers.maintenance(*this));
}

void frmMain::cmdShowLog_Click() {
    const QString path = QDir(dataDir_).filePath(StatusLogFileName);
    if (!FileExists(path)) {
        prompts_.message(this, MissingLogText, MissingLogTitle, Prompts::Icon::Critical,
                         Prompts::Buttons::Ok);
        return;
    }
    if (!openers.logViewer)
        return;
    hide();
    track(openers.logViewer(*this));
}

void frmMain::cmdE_Click() {
    if (prompts_.message(this, ExitQuestion, ExitTitle, Prompts::Icon::Critical,
                         Prompts::Buttons::YesNo) == Prompts::Answer::Yes &&
        MayExitWithKeptEntries(prompts_, this, {&statusLog_, &sumsLog_}) && exitProgram)
        exitProgram();
}

QString frmMain::addressText() const {
    return lblChooseAddr->text();
}

void frmMain::setAddress(quint8 address) {
    record_.Address = address;
    showAddress();
    restartCycle();
}

void frmMain::unlockMaintenance() {
    maintenanceUnlocked_ = true;
    cmdMaintenance->show();
}

void frmMain::screenClosed() {
    if (destroying_)
        return;
    screens_.removeAll(QPointer<QWidget>());
    show();
    raise();
    activateWindow();
    restartCycle();
}

// --- status log --------------------------------------------------------------------------

void frmMain::cmdLog_Click() {
    if (statusLog_.LoggingOn()) {
        cmdLog->setText(QStringLiteral("start &Loging"));
        lblLogOn->hide();
        Timer1->stop();
        Timer2->stop();
        statusLog_.Stop();
        return;
    }
    const std::optional<QString> answer =
        prompts_.input(this, LogPeriodPrompt, ProgramTitle, QStringLiteral("15"));
    const PeriodAnswer period = ReadPeriodAnswer(answer.value_or(QString()), !answer);
    if (period.kind == PeriodAnswer::Kind::Refused) {
        prompts_.message(this, period.message, ProgramTitle, Prompts::Icon::Exclamation,
                         Prompts::Buttons::Ok);
        return;
    }
    if (period.kind != PeriodAnswer::Kind::Start)
        return;
    cmdLog->setText(QStringLiteral("stop &Loging"));
    lblLogOn->setText(StatusLogNotice(period.period));
    lblLogOn->show();
    // Header, count and switch, and a record at once when the last status was a letter.
    statusLog_.Start(period.period, record_, record_.StatusChar);
    Timer1->start();
    Timer2->start();
    afterLogWrite();
}

void frmMain::Timer1_Timer() {
    statusLog_.Timer1Tick(record_, isVisible());
    afterLogWrite();
}

void frmMain::Timer2_Timer() {
    SetLabelColours(lblLogOn, std::nullopt, BlinkPhase ? colour::White : LightGreen);
    BlinkPhase = !BlinkPhase;
}

void frmMain::writeLogRecord() {
    statusLog_.WriteLogRecord(record_, isVisible());
    afterLogWrite();
}

void frmMain::afterLogWrite() {
    // Records kept after a failed write go out as soon as the file takes them again.
    if (statusLog_.file().pendingBlocks() > 0) {
        if (!tmrLogRetry_->isActive())
            tmrLogRetry_->start();
    } else {
        tmrLogRetry_->stop();
    }
}

// --- notices -----------------------------------------------------------------------------

void frmMain::addNotice(const QString& text) {
    if (text.isEmpty() || notices_.contains(text))
        return;
    notices_ << text;
    lblNotice->setText(notices_.join(QStringLiteral("  |  ")));
    lblNotice->setToolTip(notices_.join(QLatin1Char('\n')));
}

void frmMain::setLogNotice(const QString& text) {
    // One line for the logs: the latest failure or recovery replaces the one before.
    if (!logNotice_.isEmpty())
        notices_.removeAll(logNotice_);
    logNotice_ = text;
    if (!text.isEmpty() && !notices_.contains(text))
        notices_ << text;
    lblNotice->setText(notices_.join(QStringLiteral("  |  ")));
    lblNotice->setToolTip(notices_.join(QLatin1Char('\n')));
}

// --- keyboard ----------------------------------------------------------------------------

bool frmMain::Form_KeyDown(int key) {
    switch (key) {
    case Qt::Key_F12:
        TuningMode = true;
        TuningFailures = 0;
        lblF12->show();
        // The tuning polls run one by one as commands, so each uses the delay just set.
        if (!tuningId_) {
            hold();
            submitTuningPoll();
        }
        return true;
    case Qt::Key_F11:
        if (openers.password)
            track(openers.password(*this, this));
        return true;
    case Qt::Key_M:
        if (cmdMaintenance->isVisibleTo(this)) {
            cmdMaintenance_Click();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool frmMain::Form_KeyPress(QChar c) {
    switch (c.toLower().unicode()) {
    case 'b':
        cmdBIT_Click();
        return true;
    case 'l':
        cmdLog_Click();
        return true;
    case 'a':
        cmdChangeAddr_Click();
        return true;
    case 's':
        cmdSetio_Click();
        return true;
    case 'e':
    case 27:
        cmdE_Click();
        return true;
    case 'h':
    case 'r':
        cmdSearch_Click();
        return true;
    case 'v':
        cmdShowLog_Click();
        return true;
    default:
        return false;
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        // Accelerators (Alt+letter) stay with the buttons' own shortcuts.
        if (k->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
            return QMainWindow::eventFilter(watched, e);
        bool taken = Form_KeyDown(k->key());
        if (!taken) {
            QChar typed = k->text().isEmpty() ? QChar() : k->text().at(0);
            if (k->key() == Qt::Key_Escape)
                typed = QChar(27);
            if (!typed.isNull())
                taken = Form_KeyPress(typed);
        }
        if (taken)
            return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

} // namespace fh
