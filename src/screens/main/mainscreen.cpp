#include "screens/main/mainscreen.h"

#include "link/clocktimer.h"
#include "link/tuningfile.h"
#include "logging/logperiod.h"
#include "screens/common/about.h"
#include "screens/common/formkeys.h"
#include "screens/common/keptentries.h"
#include "screens/common/keyhelp.h"
#include "screens/common/lampshape.h"
#include "screens/host/hostmodel.h"
#include "screens/main/mainlayout.h"
#include "screens/prompts/prompts.h"
#include "screens/traffic/trafficwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>

namespace fh {

MainScreen::MainScreen(HostModel& model, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), model_(model), prompts_(prompts), context_(model, prompts, this),
      openers_(DefaultScreenOpeners()), exitProgram_([] { QCoreApplication::exit(0); }) {
    build();

    blinkTimer_ = new ClockTimer(model_.clock(), this);
    blinkTimer_->setObjectName(QStringLiteral("Timer2"));
    blinkTimer_->setInterval(BlinkMs);
    connect(blinkTimer_, &ClockTimer::timeout, this, &MainScreen::blink);

    connect(viewLogButton_, &QPushButton::clicked, this, &MainScreen::onViewLogClicked);
    connect(masterModeButton_, &QPushButton::clicked, this, &MainScreen::onMasterModeClicked);
    connect(addressDownButton_, &QPushButton::clicked, this,
            [this] { model_.link().stepAddress(-1); });
    connect(addressUpButton_, &QPushButton::clicked, this,
            [this] { model_.link().stepAddress(1); });
    connect(maintenanceButton_, &QPushButton::clicked, this, &MainScreen::onMaintenanceClicked);
    connect(newAddressButton_, &QPushButton::clicked, this, &MainScreen::onNewAddressClicked);
    connect(bitButton_, &QPushButton::clicked, this, &MainScreen::onBitClicked);
    connect(setupButton_, &QPushButton::clicked, this, &MainScreen::onSetupClicked);
    connect(statusLogButton_, &QPushButton::clicked, this, &MainScreen::onStatusLogClicked);
    connect(exitButton_, &QPushButton::clicked, this, &MainScreen::onExitClicked);

    connect(&model_.link(), &DetectorLink::changed, this, &MainScreen::refresh);
    connect(&model_.commands(), &DetectorCommands::changed, this, &MainScreen::refresh);
    connect(&model_.tuning(), &LineTuning::changed, this, &MainScreen::refresh);
    connect(&model_.statusLog(), &TimedLog::changed, this, &MainScreen::refresh);
    connect(&model_.maintenanceGate(), &MaintenanceGate::changed, this, &MainScreen::refresh);
    connect(&model_.messages(), &MessageLine::changed, this, &MainScreen::refresh);
    connect(&model_.commands(), &DetectorCommands::setupRead, this, &MainScreen::openSetup);
    connect(&model_.commands(), &DetectorCommands::addressRead, this, &MainScreen::openNewAddress);
    connect(&model_, &HostModel::screenReturned, this, &MainScreen::cameBack);
    bindKeys();
    refresh();
}

void MainScreen::setExitProgram(std::function<void()> exitProgram) {
    exitProgram_ = std::move(exitProgram);
}

MainScreen::~MainScreen() {
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

void MainScreen::build() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString());
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("frmMainBody"));
    setCentralWidget(central);
    const MainControls c = BuildMainControls(central);
    viewLogButton_ = c.viewLogButton;
    masterModeButton_ = c.masterModeButton;
    addressDownButton_ = c.addressDownButton;
    addressUpButton_ = c.addressUpButton;
    maintenanceButton_ = c.maintenanceButton;
    newAddressButton_ = c.newAddressButton;
    bitButton_ = c.bitButton;
    setupButton_ = c.setupButton;
    statusLogButton_ = c.statusLogButton;
    exitButton_ = c.exitButton;
    address_ = c.address;
    modelName_ = c.model;
    serial_ = c.serial;
    status_ = c.status;
    linkText_ = c.linkText;
    linkLamp_ = c.linkLamp;
    bitMessage_ = c.bitMessage;
    logNotice_ = c.logNotice;
    tuningNotice_ = c.tuningNotice;
    for (QPushButton* b : {bitButton_, setupButton_, newAddressButton_})
        commandTips_ << b->toolTip();

    // The message line: the newest message word-wrapped on two lines inside the window.
    messageLine_ = new QLabel(this);
    messageLine_->setObjectName(QStringLiteral("lblNotice"));
    messageLine_->setWordWrap(true);
    messageLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    messageLine_->setContentsMargins(14, 0, 14, 0); // in line with the controls above
    statusBar()->addWidget(messageLine_, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setFixedHeight(2 * messageLine_->fontMetrics().lineSpacing() + 8);
    setFixedSize(central->size().width(), central->size().height() + statusBar()->height());
}

void MainScreen::bindKeys() {
    keys_ = new FormKeys(this);
    keys_->onLetter('b', [this] { onBitClicked(); })
        .onLetter('l', [this] { onStatusLogClicked(); })
        .onLetter('a', [this] { onNewAddressClicked(); })
        .onLetter('s', [this] { onSetupClicked(); })
        .onLetter('e', [this] { onExitClicked(); })
        .on(Qt::Key_Escape, [this] { onExitClicked(); })
        .onLetter('h', [this] { onMasterModeClicked(); })
        .onLetter('r', [this] { onMasterModeClicked(); })
        .onLetter('v', [this] { onViewLogClicked(); })
        .onIf(
            Qt::Key_M, [this] { return maintenanceButton_->isVisibleTo(this); },
            [this] { onMaintenanceClicked(); })
        .on(Qt::Key_F11, [this] { openPassword(); })
        .on(Qt::Key_F12, [this] { model_.tuning().start(); })
        .on(Qt::Key_F7, [this] { openInstead(openers_.overview); })
        .on(Qt::Key_F9, [this] { TrafficWindow::showFor(model_.worker(), this); })
        .on(Qt::Key_F1,
            [this] { ShowKeyHelp(this, QStringLiteral("Main screen"), MainKeys(), AboutText()); })
        .on(Qt::Key_Up, [this] { model_.link().stepAddress(1); })
        .on(Qt::Key_Down, [this] { model_.link().stepAddress(-1); })
        .on(Qt::Key_PageUp, [this] { model_.link().stepAddress(PageStep); })
        .on(Qt::Key_PageDown, [this] { model_.link().stepAddress(-PageStep); });
}

// --- start-up and activation -------------------------------------------------------------

bool MainScreen::load(QString* errorText) {
    if (!model_.load(errorText))
        return false;
    show();
    // Activation follows the load, never runs inside it.
    QTimer::singleShot(0, this, &MainScreen::activate);
    return true;
}

void MainScreen::activate() {
    if (model_.loaded() && isVisible())
        model_.activate();
}

void MainScreen::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // The window system's own show (a restore) changes nothing: a minimised screen counts as
    // shown.
    if (!e->spontaneous())
        model_.statusLog().setMainScreenShown(true);
}

void MainScreen::hideEvent(QHideEvent* e) {
    QMainWindow::hideEvent(e);
    if (!e->spontaneous())
        model_.statusLog().setMainScreenShown(false);
}

bool MainScreen::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && model_.loaded())
        activate();
    return QMainWindow::event(e);
}

void MainScreen::closeEvent(QCloseEvent* e) {
    // The close box is one more way to Exit: the same questions first.
    if (!mayExit())
        return e->ignore();
    e->accept();
    if (exitProgram_)
        exitProgram_();
}

bool MainScreen::mayExit() {
    // Log entries still kept after failed writes are never lost without a word.
    return prompts_.message(this, ExitQuestion, ExitTitle, Prompts::Icon::Critical,
                            Prompts::Buttons::YesNo) == Prompts::Answer::Yes &&
           MayExitWithKeptEntries(
               prompts_, this, {&model_.statusLog().log(), &model_.maintenance().sumsLog().log()});
}

// --- what the model shows ----------------------------------------------------------------

void MainScreen::refresh() {
    const DetectorLink& link = model_.link();
    const DetectorCommands& commands = model_.commands();
    const StatusDisplay& d = link.display();
    address_->setText(d.addressText);
    status_->setText(d.statusText);
    SetLabelColours(status_, d.statusCharColour, d.statusBackground);
    modelName_->setText(d.modelText);
    serial_->setText(d.serialText);
    linkLamp_->setFillColor(d.linkLamp);
    linkText_->setText(d.linkText);
    SetLabelColours(linkText_, d.linkTextColour, std::nullopt);
    QString comTip = QStringLiteral("Communication Status");
    if (!link.replyHex().isEmpty())
        comTip += QLatin1Char('\n') + link.replyHex();
    SetToolTip(linkText_, comTip);
    if (link.polledOnce())
        setWindowTitle(MainWindowTitle);

    masterModeButton_->setText(link.record().MasterMode ? QStringLiteral("maste&R is ON")
                                                        : QStringLiteral("maste&R is OFF"));
    bitMessage_->setText(commands.bitAnswer().isEmpty()
                             ? BitPerformedText
                             : BitPerformedText + QStringLiteral(" Answer: ") +
                                   commands.bitAnswer());
    bitMessage_->setVisible(commands.bitMessageShown());
    tuningNotice_->setVisible(model_.tuning().running());
    maintenanceButton_->setVisible(model_.maintenanceGate().unlocked());

    const StatusLogging& log = model_.statusLog();
    statusLogButton_->setText(log.running() ? QStringLiteral("stop &Loging")
                                            : QStringLiteral("start &Loging"));
    if (log.running()) {
        logNotice_->setText(StatusLogNotice(log.period()));
        if (!blinkTimer_->isActive())
            blinkTimer_->start();
    } else {
        blinkTimer_->stop();
    }
    logNotice_->setVisible(log.running());

    messageLine_->setText(model_.messages().newest());
    SetToolTip(messageLine_, model_.messages().older());
    showCommandState();
}

void MainScreen::showCommandState() {
    // Commands that cannot act now are disabled, and their tooltip says why.
    const QString why = model_.commands().refusal();
    int i = 0;
    for (QPushButton* b : {bitButton_, setupButton_, newAddressButton_}) {
        const QString& tip = commandTips_[i++];
        b->setEnabled(why.isEmpty());
        SetToolTip(b, why.isEmpty() ? tip : tip + QLatin1Char('\n') + why);
    }
}

void MainScreen::blink() {
    SetLabelColours(logNotice_, std::nullopt, blinkPhase_ ? colour::White : LightGreen);
    blinkPhase_ = !blinkPhase_;
}

// --- commands ----------------------------------------------------------------------------

void MainScreen::onBitClicked() {
    model_.commands().requestBit();
}

void MainScreen::onNewAddressClicked() {
    model_.commands().requestAddressRead();
}

void MainScreen::onSetupClicked() {
    model_.commands().requestSetupRead();
}

void MainScreen::onMasterModeClicked() {
    model_.link().toggleMasterMode();
}

void MainScreen::onStatusLogClicked() {
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

void MainScreen::onExitClicked() {
    if (mayExit() && exitProgram_)
        exitProgram_();
}

// --- other screens -----------------------------------------------------------------------

QWidget* MainScreen::track(QWidget* screen) {
    if (screen) {
        screens_.append(QPointer<QWidget>(screen));
        // The screen in front takes the keys, also where no window manager hands them over.
        screen->raise();
        screen->activateWindow();
    }
    screens_.removeAll(QPointer<QWidget>());
    return screen;
}

void MainScreen::openSetup(const SetupOpening& opening) {
    if (!openers_.setup)
        return;
    if (QWidget* screen = openers_.setup(context_, opening)) {
        track(screen);
        hide();
    }
}

void MainScreen::openInstead(const std::function<QWidget*(ScreenContext&)>& opener) {
    // The main screen hides behind the screen it opens.
    if (!opener)
        return;
    hide();
    track(opener(context_));
}

void MainScreen::openNewAddress() {
    openInstead(openers_.newAddress);
}

void MainScreen::openPassword() {
    if (openers_.password)
        track(openers_.password(context_, this));
}

void MainScreen::onMaintenanceClicked() {
    openInstead(openers_.maintenance);
}

void MainScreen::onViewLogClicked() {
    const QString path = QDir(model_.dataDir()).filePath(StatusLogFileName);
    if (!FileExists(path)) {
        prompts_.message(this, MissingLogText, MissingLogTitle, Prompts::Icon::Critical,
                         Prompts::Buttons::Ok);
        return;
    }
    openInstead(openers_.logViewer);
}

void MainScreen::cameBack() {
    if (destroying_)
        return;
    screens_.removeAll(QPointer<QWidget>());
    show();
    raise();
    activateWindow();
}

} // namespace fh
