#include "screens/maintenance/frmMaintenance.h"

#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "detector/models.h"
#include "link/clocktimer.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "logging/logperiod.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/host/commandgate.h"
#include "screens/host/maintenancemodel.h"
#include "screens/maintenance/lampshape.h"
#include "screens/prompts/prompts.h"
#include "screens/traffic/frmTraffic.h"
#include "screens/twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace fh {

namespace {

// The detector gets one reply window of quiet after a BIT before the refresh asks again.
constexpr int BitSettleMs = 600;
constexpr int VersionShowMs = 4000;

constexpr int FormWidth = 8400, FormHeight = 6120;
// Column titles and the value row under them: left and width of each column.
constexpr int ColumnLefts[6] = {240, 1560, 2760, 3960, 5400, 6720};
constexpr int ColumnWidths[6] = {1200, 1080, 1080, 1320, 1200, 1440};
constexpr int TitleTop = 600, ValueTop = 900, RowHeight = 315;
// FrSums rows: title and text box.
constexpr int SumsLeft = 240, SumsTop = 1440, SumsWidth = 3600, SumsHeight = 3000;
constexpr int SumRowTop = 360, SumRowStep = 420, SumRowHeight = 345;
constexpr int BitLeft = 4080, BitWidth = 2280, BitHeight = 1620;
constexpr int ButtonTop = 4800, ButtonWidth = 1335, ButtonHeight = 495, ButtonStep = 1455;

QString appTitle() {
    return QCoreApplication::applicationName();
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                  int width, int height = RowHeight) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    SetTwipGeometry(l, left, top, width, height);
    return l;
}

// A value display: a sunken box, as the values stand apart from their titles.
QLabel* makeValue(QWidget* parent, const char* name, int left, int top, int width) {
    QLabel* l = makeLabel(parent, name, QString(), left, top, width);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QLineEdit* makeBox(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* t = new QLineEdit(text, parent);
    t->setObjectName(QLatin1String(name));
    // Every refresh overwrites them; typing into them would only be lost.
    t->setReadOnly(true);
    t->setAlignment(Qt::AlignRight);
    SetTwipGeometry(t, left, top, 1680, SumRowHeight);
    return t;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int index) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    SetTwipGeometry(b, 240 + index * ButtonStep, ButtonTop, ButtonWidth, ButtonHeight);
    return b;
}

void setBackground(QLabel* l, int r, int g, int b) {
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, QColor(r, g, b));
    l->setPalette(p);
}

} // namespace

frmMaintenance::frmMaintenance(ScreenContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
    build();
    MaintenanceModel& model = ctx_.maintenance();
    connect(&model, &MaintenanceModel::changed, this, &frmMaintenance::showRefresh);
    connect(&model.sumsLog(), &TimedLog::changed, this, &frmMaintenance::showLogState);
    connect(&model.sumsLog(), &TimedLog::warning, this, &frmMaintenance::showNotice);
    connect(&model.sumsLog(), &TimedLog::recovered, this, &frmMaintenance::showNotice);
    connect(&ctx_.worker(), &LineWorker::commandDone, this, &frmMaintenance::commandDone);
    connect(&ctx_.worker(), &LineWorker::portStateChanged, this, [this] {
        if (!unloaded_)
            showBitState();
    });
}

frmMaintenance::~frmMaintenance() = default;

void frmMaintenance::build() {
    setObjectName(QStringLiteral("frmMaintenance"));
    InstallKeyHelp(this, QStringLiteral("Maintenance"), MaintenanceKeys());
    setWindowTitle(QStringLiteral("MAINTENANCE SCREEN"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips(FormWidth), Twips(FormHeight));

    lblDetM = makeLabel(this, "lblDetM", QString(), 240, 120, FormWidth - 480, 375);
    lblDetM->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lblDetM->setIndent(Twips(120));
    setBackground(lblDetM, 255, 224, 192);

    const char* titleNames[6] = {"lblSta",    "lblgain",    "lblA",
                                 "lblSerial", "lblVoltage", "lblTempe"};
    const char* titles[6] = {"Status", "Gain", "Addr.", "Serial No.", "Voltage", "Temp."};
    QLabel** titleLabels[6] = {&lblSta, &lblgain, &lblA, &lblSerial, &lblVoltage, &lblTempe};
    for (int i = 0; i < 6; ++i) {
        *titleLabels[i] = makeLabel(this, titleNames[i], QLatin1String(titles[i]), ColumnLefts[i],
                                    TitleTop, ColumnWidths[i] - 120);
        (*titleLabels[i])->setAlignment(Qt::AlignCenter);
    }
    // The status column holds two values: the status character and "F"/"N".
    const int halfStatus = (ColumnWidths[0] - 120) / 2;
    lblDetS = makeValue(this, "lblDetS", ColumnLefts[0], ValueTop, halfStatus - 30);
    lblDetS2 =
        makeValue(this, "lblDetS2", ColumnLefts[0] + halfStatus + 30, ValueTop, halfStatus - 30);
    lblDetGain = makeValue(this, "lblDetGain", ColumnLefts[1], ValueTop, ColumnWidths[1] - 120);
    lblAddr = makeValue(this, "lblAddr", ColumnLefts[2], ValueTop, ColumnWidths[2] - 120);
    lblserNum = makeValue(this, "lblserNum", ColumnLefts[3], ValueTop, ColumnWidths[3] - 120);
    lblVol = makeValue(this, "lblVol", ColumnLefts[4], ValueTop, ColumnWidths[4] - 120);
    lblTemp = makeValue(this, "lblTemp", ColumnLefts[5], ValueTop, ColumnWidths[5] - 120);

    FrSums = new QGroupBox(QStringLiteral("INPUT REGISTERS"), this);
    FrSums->setObjectName(QStringLiteral("FrSums"));
    SetTwipGeometry(FrSums, SumsLeft, SumsTop, SumsWidth, SumsHeight);
    struct SumRow {
        QLabel** label;
        const char* labelName;
        const char* title;
        QLineEdit** box;
        const char* boxName;
        const char* initial;
    };
    // The captions cross the control names (lblSum45 says "SUM4"): meant so, keep them.
    const SumRow rows[6] = {
        {&lblSum45, "lblSum45", "SUM4", &txtSum4Val, "txtSum4Val", "0.00"},
        {&lblSum5, "lblSum5", "SUM45", &txtSum45Val, "txtSum45Val", "0.00"},
        {&lblSum4, "lblSum4", "SUM5", &txtSum5Val, "txtSum5Val", "0.00"},
        {&lblN4, "lblN4", "NOISE4", &txtN4Val, "txtN4Val", "0.0"},
        {&lblN45, "lblN45", "NOISE45", &txtN45Val, "txtN45Val", "0.0"},
        {&lblN5, "lblN5", "NOISE5", &txtN5Val, "txtN5Val", "0.0"},
    };
    for (int i = 0; i < 6; ++i) {
        const int top = SumRowTop + i * SumRowStep;
        *rows[i].label = makeLabel(FrSums, rows[i].labelName, QLatin1String(rows[i].title), 240,
                                   top, 1320, SumRowHeight);
        *rows[i].box = makeBox(FrSums, rows[i].boxName, QLatin1String(rows[i].initial), 1680, top);
    }

    FrBit = new QGroupBox(QStringLiteral("BIT Sum Values"), this);
    FrBit->setObjectName(QStringLiteral("FrBit"));
    SetTwipGeometry(FrBit, BitLeft, SumsTop, BitWidth, BitHeight);
    lblBitSum4 = makeValue(FrBit, "lblBitSum4", 240, 360, BitWidth - 480);
    lblBitSum45 = makeValue(FrBit, "lblBitSum45", 240, 780, BitWidth - 480);
    lblBitSum5 = makeValue(FrBit, "lblBitSum5", 240, 1200, BitWidth - 480);
    FrBit->hide();

    const int logOnLeft = BitLeft + BitWidth + 120;
    lblLogOn = makeLabel(this, "lblLogOn", QString(), logOnLeft, SumsTop + 120,
                         FormWidth - 240 - logOnLeft, BitHeight - 120);
    lblLogOn->setWordWrap(true);
    lblLogOn->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblLogOn->hide();

    lblVer = makeLabel(this, "lblVer", QString(), BitLeft, SumsTop + BitHeight + 240,
                       FormWidth - 240 - BitLeft, 375);
    lblVer->setIndent(Twips(120));
    setBackground(lblVer, 192, 192, 192);
    lblVer->hide();

    cmdBIT = makeButton(this, "cmdBIT", QStringLiteral("&BIT"), 0);
    cmdLogSums = makeButton(this, "cmdLogSums", QStringLiteral("start &Log"), 1);
    cmdV = makeButton(this, "cmdV", QStringLiteral("&Version"), 2);
    cmdClose = makeButton(this, "cmdClose", QStringLiteral("&Close"), 3);
    // Sums logging outlives this screen: it opens showing whether it runs.
    if (ctx_.maintenance().sumsLog().running())
        showLogState();
    connect(cmdBIT, &QPushButton::clicked, this, [this] { cmdBIT_Click(); });
    connect(cmdLogSums, &QPushButton::clicked, this, [this] { cmdLogSums_Click(); });
    connect(cmdV, &QPushButton::clicked, this, [this] { cmdV_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });

    lblCom = makeLabel(this, "lblCom", QString(), 6840, ButtonTop - 240, 1200);
    lblCom->setAlignment(Qt::AlignCenter);
    Shape2 = new LampShape(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    SetTwipGeometry(Shape2, 7200, ButtonTop + 120, 480, 480);

    lblNotice = makeLabel(this, "lblNotice", QString(), 240, ButtonTop + ButtonHeight + 120,
                          FormWidth - 480, 600);
    lblNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblNotice->setWordWrap(true);
    lblNotice->hide();

    lblHeard = makeLabel(this, "lblHeard", QString(), BitLeft, ButtonTop - 600,
                         FormWidth - 240 - BitLeft, RowHeight);
    lblHeard->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblHeard->hide();
    showBitState();

    verTimer_ = new ClockTimer(ctx_.clock(), this);
    verTimer_->setObjectName(QStringLiteral("tmrVersion"));
    verTimer_->setSingleShot(true);
    connect(verTimer_, &ClockTimer::timeout, lblVer, &QLabel::hide);

    auto* keys = new FormKeys(this);
    keys->active = [this] { return !unloaded_; };
    keys->onLetter('b', [this] { cmdBIT_Click(); })
        .onLetter('l', [this] { cmdLogSums_Click(); })
        .onLetter('v', [this] { cmdV_Click(); })
        .onLetter('c', [this] { cmdClose_Click(); })
        .on(Qt::Key_F9, [this] { frmTraffic::showFor(ctx_.worker(), ctx_.mainWindow()); })
        .on(Qt::Key_Escape, [this] { cmdClose_Click(); });
}

void frmMaintenance::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!activated_)
        Form_Activate();
}

void frmMaintenance::Form_Activate() {
    if (activated_ || unloaded_)
        return;
    activated_ = true;
    // Its refresh takes the line until Form_Unload hands it back.
    ctx_.maintenance().open(this);
}

void frmMaintenance::showRefresh() {
    if (unloaded_)
        return;
    const MaintenanceModel& m = ctx_.maintenance();
    if (m.refresh() != MaintenanceModel::Refresh::NotYet) {
        const bool answered = m.refresh() == MaintenanceModel::Refresh::Answered;
        lblCom->setText(answered ? QStringLiteral("GOOD") : QStringLiteral("BAD"));
        Shape2->setFillColor(answered ? colour::Green : colour::Red);
    }
    showStale(m.refresh() == MaintenanceModel::Refresh::Failed, m.lineLost());
    const MaintenanceDisplay& d = m.texts();
    lblDetM->setText(d.model);
    for (const auto& [label, text] : {std::pair{lblDetS, d.status},
                                      {lblDetS2, d.fault},
                                      {lblAddr, d.address},
                                      {lblserNum, d.serial},
                                      {lblBitSum4, d.bitSum4},
                                      {lblBitSum45, d.bitSum45},
                                      {lblBitSum5, d.bitSum5},
                                      {lblDetGain, d.gain},
                                      {lblTemp, d.temperature},
                                      {lblVol, d.voltage}})
        label->setText(text.value_or(QString()));
    for (const auto& [box, text] : {std::pair{txtSum4Val, d.sum4},
                                    {txtSum45Val, d.sum45},
                                    {txtSum5Val, d.sum5},
                                    {txtN4Val, d.noise4},
                                    {txtN45Val, d.noise45},
                                    {txtN5Val, d.noise5}})
        box->setText(text.value_or(QString()));
}

void frmMaintenance::showLogState() {
    const TimedLog& log = ctx_.maintenance().sumsLog();
    cmdLogSums->setText(log.running() ? QStringLiteral("stop &Loging")
                                      : QStringLiteral("start &Loging"));
    lblLogOn->setText(SumsLogNotice(log.period()));
    lblLogOn->setVisible(log.running());
}

void frmMaintenance::cmdBIT_Click() {
    // The main screen's lamp as it was when this screen opened: BIT only on a good link.
    if (unloaded_ || !cmdBIT->isEnabled())
        return;
    Transaction t{Pattern::ButtonRead, SendCommand(ctx_.detector().Address, cmd::Bit)};
    t.holdAfterMs = BitSettleMs;
    bitId_ = ctx_.worker().submit(t);
    showBitState();
}

void frmMaintenance::showBitState() {
    QString why;
    if (!ctx_.linkGood())
        why = QStringLiteral("BIT needs the main screen's lamp green: close this screen and "
                             "open it again once the detector answers there.");
    else if (bitId_)
        why = QStringLiteral("The BIT is running.");
    cmdBIT->setEnabled(why.isEmpty());
    cmdBIT->setToolTip(why.isEmpty() ? QStringLiteral("Perform manual BIT")
                                     : QStringLiteral("Perform manual BIT\n") + why);
}

void frmMaintenance::showStale(bool stale, const QString& portGone) {
    // Values that no longer come from the latest reply stay readable but grey.
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblDetS, lblDetS2, lblDetGain, lblAddr, lblserNum, lblVol,
                                         lblTemp, txtSum4Val, txtSum45Val, txtSum5Val, txtN4Val,
                                         txtN45Val, txtN5Val, lblBitSum4, lblBitSum45, lblBitSum5})
        w->setEnabled(!stale);
    const QString lastHeard = ctx_.maintenance().lastHeard();
    const QString heard = lastHeard.isEmpty() ? QStringLiteral("not heard yet")
                                              : QStringLiteral("last heard %1").arg(lastHeard);
    lblHeard->setText(portGone.isEmpty() ? heard : QStringLiteral("line lost, ") + heard);
    lblHeard->setToolTip(portGone);
    lblHeard->setVisible(stale);
}

void frmMaintenance::cmdV_Click() {
    if (unloaded_)
        return;
    versionId_ = ctx_.worker().submit(
        Transaction{Pattern::Poll, SendCommand(ctx_.detector().Address, cmd::Version)});
}

void frmMaintenance::commandDone(const Exchange& x) {
    if (unloaded_ || x.id == 0)
        return;
    if (x.id == bitId_) {
        bitId_ = 0;
        showBitState();
        // Only this exchange's own echo counts; FrBit then stays up until the screen closes.
        if (x.answered && BitPerformed(x.reply))
            FrBit->show();
        else
            showNotice(UnansweredText(QStringLiteral("BIT"), x));
    } else if (x.id == versionId_) {
        versionId_ = 0;
        lblVer->setText(x.answered ? VersionText(x.reply) : QString());
        lblVer->show();
        verTimer_->start(VersionShowMs);
        if (!x.answered)
            showNotice(UnansweredText(QStringLiteral("Version"), x));
    }
}

void frmMaintenance::cmdLogSums_Click() {
    if (unloaded_)
        return;
    TimedLog& log = ctx_.maintenance().sumsLog();
    if (log.running()) {
        log.stop();
        return;
    }
    QPointer<frmMaintenance> self(this);
    const std::optional<QString> answer = ctx_.prompts().input(
        this, QStringLiteral("Enter LogFile Period in minutes"), appTitle(), QStringLiteral("15"));
    if (!self || unloaded_)
        return;
    const PeriodAnswer period = ReadPeriodAnswer(answer.value_or(QString()), !answer);
    if (period.kind == PeriodAnswer::Kind::Nothing)
        return;
    if (period.kind == PeriodAnswer::Kind::Refused) {
        ctx_.prompts().message(this, period.message, appTitle(), Prompts::Icon::Exclamation,
                               Prompts::Buttons::Ok);
        return;
    }
    log.start(period.period);
}

void frmMaintenance::cmdClose_Click() {
    close();
}

void frmMaintenance::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMaintenance::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    // Sums logging goes on, but records only while the screen is open.
    ctx_.maintenance().close();
    verTimer_->stop();
    hide();
    ctx_.screenClosed();
}

void frmMaintenance::showNotice(const QString& text) {
    lblNotice->setText(text);
    lblNotice->show();
}

} // namespace fh
