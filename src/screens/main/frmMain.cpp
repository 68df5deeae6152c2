#include "screens/main/frmMain.h"

#include "link/clocktimer.h"
#include "link/tuningfile.h"
#include "logging/logperiod.h"
#include "screens/common/about.h"
#include "screens/common/formkeys.h"
#include "screens/common/keptentries.h"
#include "screens/common/keyhelp.h"
#include "screens/host/hostmodel.h"
#include "screens/main/mainlayout.h"
#include "screens/maintenance/lampshape.h"
#include "screens/prompts/prompts.h"
#include "screens/traffic/frmTraffic.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>

namespace fh {

frmMain::frmMain(HostModel& model, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), openers(DefaultScreenOpeners()),
      exitProgram([] { QCoreApplication::exit(0); }), model_(model), prompts_(prompts),
      context_(model, prompts, this) {
    build();

    Timer2 = new ClockTimer(model_.clock(), this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(BlinkMs);
    connect(Timer2, &ClockTimer::timeout, this, &frmMain::Timer2_Timer);

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

    connect(&model_.link(), &DetectorLink::changed, this, &frmMain::refresh);
    connect(&model_.commands(), &DetectorCommands::changed, this, &frmMain::refresh);
    connect(&model_.tuning(), &LineTuning::changed, this, &frmMain::refresh);
    connect(&model_.statusLog(), &TimedLog::changed, this, &frmMain::refresh);
    connect(&model_.maintenanceGate(), &MaintenanceGate::changed, this, &frmMain::refresh);
    connect(&model_.messages(), &MessageLine::changed, this, &frmMain::refresh);
    connect(&model_.commands(), &DetectorCommands::setupRead, this, &frmMain::openSetup);
    connect(&model_.commands(), &DetectorCommands::addressRead, this, &frmMain::openNewAddress);
    connect(&model_, &HostModel::screenReturned, this, &frmMain::cameBack);
    bindKeys();
    refresh();
}

frmMain::~frmMain() {
    // Screens still open go with the main screen; their way back must not lead here.
    destroying_ = true;
    for (QObject* part : std::initializer_list<QObject*>{
             &model_, &model_.link(), &model_.commands(), &model_.tuning(), &model_.statusLog(),
             &model_.maintenanceGate(), &model_.messages()})
        disconnect(part, nullptr, this, nullptr);
    model_.statusLog().setMainScreenShown(false);
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
    for (QPushButton* b : {cmdBIT, cmdSetio, cmdChangeAddr})
        b->setProperty("baseToolTip", b->toolTip());

    // The message line: the newest message word-wrapped on two lines inside the window.
    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setWordWrap(true);
    lblNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusBar()->addWidget(lblNotice, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFixedHeight(2 * lblNotice->fontMetrics().lineSpacing() + 8);
    setFixedSize(central->size().width(), central->size().height() + statusBar()->height());
}

void frmMain::bindKeys() {
    keys_ = new FormKeys(this);
    keys_->onLetter('b', [this] { cmdBIT_Click(); })
        .onLetter('l', [this] { cmdLog_Click(); })
        .onLetter('a', [this] { cmdChangeAddr_Click(); })
        .onLetter('s', [this] { cmdSetio_Click(); })
        .onLetter('e', [this] { cmdE_Click(); })
        .on(Qt::Key_Escape, [this] { cmdE_Click(); })
        .onLetter('h', [this] { cmdSearch_Click(); })
        .onLetter('r', [this] { cmdSearch_Click(); })
        .onLetter('v', [this] { cmdShowLog_Click(); })
        .onIf(
            Qt::Key_M, [this] { return cmdMaintenance->isVisibleTo(this); },
            [this] { cmdMaintenance_Click(); })
        .on(Qt::Key_F11, [this] { openPassword(); })
        .on(Qt::Key_F12, [this] { model_.tuning().start(); })
        .on(Qt::Key_F7, [this] { openInstead(openers.overview); })
        .on(Qt::Key_F9, [this] { frmTraffic::showFor(model_.worker(), this); })
        .on(Qt::Key_F1,
            [this] { ShowKeyHelp(this, QStringLiteral("Main screen"), MainKeys(), AboutText()); })
        .on(Qt::Key_Up, [this] { cmdUp_Click(); })
        .on(Qt::Key_Down, [this] { cmdDown_Click(); })
        .on(Qt::Key_PageUp, [this] { model_.link().stepAddress(PageStep); })
        .on(Qt::Key_PageDown, [this] { model_.link().stepAddress(-PageStep); });
}

// --- start-up and activation -------------------------------------------------------------

bool frmMain::Form_Load(QString* errorText) {
    if (!model_.load(errorText))
        return false;
    show();
    // Activation follows the load, never runs inside it.
    QTimer::singleShot(0, this, &frmMain::Form_Activate);
    return true;
}

void frmMain::Form_Activate() {
    if (model_.loaded() && isVisible())
        model_.activate();
}

void frmMain::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // The window system's own show (a restore) changes nothing: a minimised screen counts as
    // shown.
    if (!e->spontaneous())
        model_.statusLog().setMainScreenShown(true);
}

void frmMain::hideEvent(QHideEvent* e) {
    QMainWindow::hideEvent(e);
    if (!e->spontaneous())
        model_.statusLog().setMainScreenShown(false);
}

bool frmMain::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && model_.loaded())
        Form_Activate();
    return QMainWindow::event(e);
}

void frmMain::closeEvent(QCloseEvent* e) {
    // The close box is one more way to Exit: the same questions first.
    if (!mayExit())
        return e->ignore();
    e->accept();
    if (exitProgram)
        exitProgram();
}

bool frmMain::mayExit() {
    // Log entries still kept after failed writes are never lost without a word.
    return prompts_.message(this, ExitQuestion, ExitTitle, Prompts::Icon::Critical,
                            Prompts::Buttons::YesNo) == Prompts::Answer::Yes &&
           MayExitWithKeptEntries(
               prompts_, this, {&model_.statusLog().log(), &model_.maintenance().sumsLog().log()});
}

// --- what the model shows ----------------------------------------------------------------

void frmMain::refresh() {
    const DetectorLink& link = model_.link();
    const DetectorCommands& commands = model_.commands();
    const StatusDisplay& d = link.display();
    lblChooseAddr->setText(d.addressText);
    lblDetStatus->setText(d.statusText);
    SetLabelColours(lblDetStatus, d.statusCharColour, d.statusBackground);
    lblDetType->setText(d.modelText);
    lblserNum->setText(d.serialText);
    Shape1->setFillColor(d.linkLamp);
    lblCom->setText(d.linkText);
    SetLabelColours(lblCom, d.linkTextColour, std::nullopt);
    QString comTip = QStringLiteral("Communication Status");
    if (!link.replyHex().isEmpty())
        comTip += QLatin1Char('\n') + link.replyHex();
    lblCom->setToolTip(comTip);
    if (link.polledOnce())
        setWindowTitle(MainWindowTitle);

    cmdSearch->setText(link.record().MasterMode ? QStringLiteral("maste&R is ON")
                                                : QStringLiteral("maste&R is OFF"));
    lblBit->setText(commands.bitAnswer().isEmpty()
                        ? BitPerformedText
                        : BitPerformedText + QStringLiteral(" Answer: ") + commands.bitAnswer());
    lblBit->setVisible(commands.bitMessageShown());
    lblF12->setVisible(model_.tuning().running());
    cmdMaintenance->setVisible(model_.maintenanceGate().unlocked());

    const StatusLogging& log = model_.statusLog();
    cmdLog->setText(log.running() ? QStringLiteral("stop &Loging")
                                  : QStringLiteral("start &Loging"));
    if (log.running()) {
        lblLogOn->setText(StatusLogNotice(log.period()));
        if (!Timer2->isActive())
            Timer2->start();
    } else {
        Timer2->stop();
    }
    lblLogOn->setVisible(log.running());

    lblNotice->setText(model_.messages().newest());
    lblNotice->setToolTip(model_.messages().older());
    showCommandState();
}

void frmMain::showCommandState() {
    // Commands that cannot act now are disabled, and their tooltip says why.
    const QString why = model_.commands().refusal();
    for (QPushButton* b : {cmdBIT, cmdSetio, cmdChangeAddr}) {
        const QString tip = b->property("baseToolTip").toString();
        b->setEnabled(why.isEmpty());
        b->setToolTip(why.isEmpty() ? tip : tip + QLatin1Char('\n') + why);
    }
}

void frmMain::Timer2_Timer() {
    SetLabelColours(lblLogOn, std::nullopt, BlinkPhase ? colour::White : LightGreen);
    BlinkPhase = !BlinkPhase;
}

// --- commands ----------------------------------------------------------------------------

void frmMain::cmdBIT_Click() {
    model_.commands().requestBit();
}

void frmMain::cmdChangeAddr_Click() {
    model_.commands().requestAddressRead();
}

void frmMain::cmdSetio_Click() {
    model_.commands().requestSetupRead();
}

void frmMain::cmdSearch_Click() {
    model_.link().toggleMasterMode();
}

void frmMain::cmdUp_Click() {
    model_.link().stepAddress(1);
}

void frmMain::cmdDown_Click() {
    model_.link().stepAddress(-1);
}

void frmMain::cmdLog_Click() {
    if (model_.statusLog().running()) {
        model_.statusLog().stop();
        return;
    }
    Prompts& prompts = prompts_;
    const std::optional<QString> answer =
        prompts.input(this, LogPeriodPrompt, ProgramTitle, QStringLiteral("15"));
    const PeriodAnswer period = ReadPeriodAnswer(answer.value_or(QString()), !answer);
    if (period.kind == PeriodAnswer::Kind::Refused) {
        prompts.message(this, period.message, ProgramTitle, Prompts::Icon::Exclamation,
                        Prompts::Buttons::Ok);
        return;
    }
    if (period.kind == PeriodAnswer::Kind::Start)
        model_.statusLog().start(period.period);
}

void frmMain::cmdE_Click() {
    if (mayExit() && exitProgram)
        exitProgram();
}

// --- other screens -----------------------------------------------------------------------

QWidget* frmMain::track(QWidget* screen) {
    if (screen) {
        screens_.append(QPointer<QWidget>(screen));
        // The screen in front takes the keys, also where no window manager hands them over.
        screen->raise();
        screen->activateWindow();
    }
    screens_.removeAll(QPointer<QWidget>());
    return screen;
}

void frmMain::openSetup(const SetupOpening& opening) {
    if (!openers.setup)
        return;
    if (QWidget* screen = openers.setup(context_, opening)) {
        track(screen);
        hide();
    }
}

void frmMain::openInstead(const std::function<QWidget*(ScreenContext&)>& opener) {
    // The main screen hides behind the screen it opens.
    if (!opener)
        return;
    hide();
    track(opener(context_));
}

void frmMain::openNewAddress() {
    openInstead(openers.newAddress);
}

void frmMain::openPassword() {
    if (openers.password)
        track(openers.password(context_, this));
}

void frmMain::cmdMaintenance_Click() {
    openInstead(openers.maintenance);
}

void frmMain::cmdShowLog_Click() {
    const QString path = QDir(model_.dataDir()).filePath(StatusLogFileName);
    if (!FileExists(path)) {
        prompts_.message(this, MissingLogText, MissingLogTitle, Prompts::Icon::Critical,
                         Prompts::Buttons::Ok);
        return;
    }
    openInstead(openers.logViewer);
}

void frmMain::cameBack() {
    if (destroying_)
        return;
    screens_.removeAll(QPointer<QWidget>());
    show();
    raise();
    activateWindow();
}

} // namespace fh
