#include "screens/maintenance/maintenancescreen.h"

#include "detector/detectorrecord.h"
#include "detector/maintenance.h"
#include "detector/models.h"
#include "link/clocktimer.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "logging/logperiod.h"
#include "screens/charts/readingschart.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/lampshape.h"
#include "screens/common/screencontext.h"
#include "screens/host/commandgate.h"
#include "screens/host/maintenancemodel.h"
#include "screens/prompts/prompts.h"
#include "screens/traffic/trafficwindow.h"
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
// The chart stands to the right of the readings, so they keep their places.
constexpr int ChartWidth = 7800;
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

MaintenanceScreen::MaintenanceScreen(ScreenContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx) {
    build();
    MaintenanceModel& model = ctx_.maintenance();
    connect(&model, &MaintenanceModel::changed, this, &MaintenanceScreen::showRefresh);
    // Only a refresh that carried all six values is a point; any other leaves a gap rather
    // than a value from an earlier reply.
    connect(&model, &MaintenanceModel::refreshed, this, [this](bool carriedAll) {
        if (unloaded_)
            return;
        const MaintenanceReadings& r = ctx_.maintenance().readings();
        if (carriedAll)
            chart_->addReading(
                {r.Sum4, r.Sum45, r.Sum5, float(r.Noise4), float(r.Noise45), float(r.Noise5)});
        else
            chart_->addGap();
    });
    connect(&model.sumsLog(), &TimedLog::changed, this, &MaintenanceScreen::showLogState);
    connect(&model.sumsLog(), &TimedLog::warning, this, &MaintenanceScreen::showNotice);
    connect(&model.sumsLog(), &TimedLog::recovered, this, &MaintenanceScreen::showNotice);
    connect(&ctx_.worker(), &LineWorker::commandDone, this, &MaintenanceScreen::commandDone);
    connect(&ctx_.worker(), &LineWorker::portStateChanged, this, [this] {
        if (!unloaded_)
            showBitState();
    });
}

MaintenanceScreen::~MaintenanceScreen() = default;

void MaintenanceScreen::build() {
    setObjectName(QStringLiteral("frmMaintenance"));
    InstallKeyHelp(this, QStringLiteral("Maintenance"), MaintenanceKeys());
    setWindowTitle(QStringLiteral("MAINTENANCE SCREEN"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips(FormWidth + ChartWidth), Twips(FormHeight));

    modelName_ = makeLabel(this, "lblDetM", QString(), 240, 120, FormWidth - 480, 375);
    modelName_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    modelName_->setIndent(Twips(120));
    setBackground(modelName_, 255, 224, 192);

    const char* titleNames[6] = {"lblSta",    "lblgain",    "lblA",
                                 "lblSerial", "lblVoltage", "lblTempe"};
    const char* titles[6] = {"Status", "Gain", "Addr.", "Serial No.", "Voltage", "Temp."};
    for (int i = 0; i < 6; ++i)
        makeLabel(this, titleNames[i], QLatin1String(titles[i]), ColumnLefts[i], TitleTop,
                  ColumnWidths[i] - 120)
            ->setAlignment(Qt::AlignCenter);
    // The status column holds two values: the status character and "F"/"N".
    const int halfStatus = (ColumnWidths[0] - 120) / 2;
    status_ = makeValue(this, "lblDetS", ColumnLefts[0], ValueTop, halfStatus - 30);
    fault_ =
        makeValue(this, "lblDetS2", ColumnLefts[0] + halfStatus + 30, ValueTop, halfStatus - 30);
    gain_ = makeValue(this, "lblDetGain", ColumnLefts[1], ValueTop, ColumnWidths[1] - 120);
    address_ = makeValue(this, "lblAddr", ColumnLefts[2], ValueTop, ColumnWidths[2] - 120);
    serial_ = makeValue(this, "lblserNum", ColumnLefts[3], ValueTop, ColumnWidths[3] - 120);
    voltage_ = makeValue(this, "lblVol", ColumnLefts[4], ValueTop, ColumnWidths[4] - 120);
    temperature_ = makeValue(this, "lblTemp", ColumnLefts[5], ValueTop, ColumnWidths[5] - 120);

    auto* sums = new QGroupBox(QStringLiteral("INPUT REGISTERS"), this);
    sums->setObjectName(QStringLiteral("FrSums"));
    SetTwipGeometry(sums, SumsLeft, SumsTop, SumsWidth, SumsHeight);
    struct SumRow {
        const char* labelName;
        const char* title;
        QLineEdit** box;
        const char* boxName;
        const char* initial;
    };
    // The titles' form names cross their captions (lblSum45 says "SUM4"); the forms have
    // always been so and the names are kept.
    const SumRow rows[6] = {
        {"lblSum45", "SUM4", &sum4_, "txtSum4Val", "0.00"},
        {"lblSum5", "SUM45", &sum45_, "txtSum45Val", "0.00"},
        {"lblSum4", "SUM5", &sum5_, "txtSum5Val", "0.00"},
        {"lblN4", "NOISE4", &noise4_, "txtN4Val", "0.0"},
        {"lblN45", "NOISE45", &noise45_, "txtN45Val", "0.0"},
        {"lblN5", "NOISE5", &noise5_, "txtN5Val", "0.0"},
    };
    for (int i = 0; i < 6; ++i) {
        const int top = SumRowTop + i * SumRowStep;
        makeLabel(sums, rows[i].labelName, QLatin1String(rows[i].title), 240, top, 1320,
                  SumRowHeight);
        *rows[i].box = makeBox(sums, rows[i].boxName, QLatin1String(rows[i].initial), 1680, top);
    }

    bitSumsFrame_ = new QGroupBox(QStringLiteral("BIT Sum Values"), this);
    bitSumsFrame_->setObjectName(QStringLiteral("FrBit"));
    SetTwipGeometry(bitSumsFrame_, BitLeft, SumsTop, BitWidth, BitHeight);
    bitSum4_ = makeValue(bitSumsFrame_, "lblBitSum4", 240, 360, BitWidth - 480);
    bitSum45_ = makeValue(bitSumsFrame_, "lblBitSum45", 240, 780, BitWidth - 480);
    bitSum5_ = makeValue(bitSumsFrame_, "lblBitSum5", 240, 1200, BitWidth - 480);
    bitSumsFrame_->hide();

    const int logOnLeft = BitLeft + BitWidth + 120;
    logNotice_ = makeLabel(this, "lblLogOn", QString(), logOnLeft, SumsTop + 120,
                           FormWidth - 240 - logOnLeft, BitHeight - 120);
    logNotice_->setWordWrap(true);
    logNotice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logNotice_->hide();

    versionText_ = makeLabel(this, "lblVer", QString(), BitLeft, SumsTop + BitHeight + 240,
                             FormWidth - 240 - BitLeft, 375);
    versionText_->setIndent(Twips(120));
    setBackground(versionText_, 192, 192, 192);
    versionText_->hide();

    bitButton_ = makeButton(this, "cmdBIT", QStringLiteral("&BIT"), 0);
    sumsLogButton_ = makeButton(this, "cmdLogSums", QStringLiteral("start &Log"), 1);
    versionButton_ = makeButton(this, "cmdV", QStringLiteral("&Version"), 2);
    closeButton_ = makeButton(this, "cmdClose", QStringLiteral("&Close"), 3);
    // Sums logging outlives this screen: it opens showing whether it runs.
    if (ctx_.maintenance().sumsLog().running())
        showLogState();
    connect(bitButton_, &QPushButton::clicked, this, [this] { onBitClicked(); });
    connect(sumsLogButton_, &QPushButton::clicked, this, [this] { onSumsLogClicked(); });
    connect(versionButton_, &QPushButton::clicked, this, [this] { onVersionClicked(); });
    connect(closeButton_, &QPushButton::clicked, this, [this] { close(); });

    linkText_ = makeLabel(this, "lblCom", QString(), 6840, ButtonTop - 240, 1200);
    linkText_->setAlignment(Qt::AlignCenter);
    linkLamp_ = new LampShape(this);
    linkLamp_->setObjectName(QStringLiteral("Shape2"));
    SetTwipGeometry(linkLamp_, 7200, ButtonTop + 120, 480, 480);

    notice_ = makeLabel(this, "lblNotice", QString(), 240, ButtonTop + ButtonHeight + 120,
                        FormWidth - 480, 600);
    notice_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    notice_->setWordWrap(true);
    notice_->hide();

    lastHeard_ = makeLabel(this, "lblHeard", QString(), BitLeft, ButtonTop - 600,
                           FormWidth - 240 - BitLeft, RowHeight);
    lastHeard_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lastHeard_->hide();
    showBitState();

    chart_ = new ReadingsChart(ctx_.clock(), ctx_.prompts(), ctx_.dataDir(), this);
    SetTwipGeometry(chart_, FormWidth, 120, ChartWidth - 120, FormHeight - 240);

    versionTimer_ = new ClockTimer(ctx_.clock(), this);
    versionTimer_->setObjectName(QStringLiteral("tmrVersion"));
    versionTimer_->setSingleShot(true);
    connect(versionTimer_, &ClockTimer::timeout, versionText_, &QLabel::hide);
    bindKeys();
}

void MaintenanceScreen::bindKeys() {
    auto* keys = new FormKeys(this);
    keys->active = [this] { return !unloaded_; };
    keys->onLetter('b', [this] { onBitClicked(); })
        .onLetter('l', [this] { onSumsLogClicked(); })
        .onLetter('v', [this] { onVersionClicked(); })
        .onLetter('c', [this] { close(); })
        .onLetter('w', [this] { chart_->stepWindow(); })
        .onLetter('p', [this] { chart_->togglePause(); })
        .on(Qt::Key_F9, [this] { TrafficWindow::showFor(ctx_.worker(), ctx_.mainWindow()); })
        .on(Qt::Key_Escape, [this] { close(); });
}

void MaintenanceScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!activated_)
        activate();
}

void MaintenanceScreen::activate() {
    if (activated_ || unloaded_)
        return;
    activated_ = true;
    // Its refresh takes the line until unload hands it back.
    ctx_.maintenance().open(this);
}

void MaintenanceScreen::showRefresh() {
    if (unloaded_)
        return;
    const MaintenanceModel& m = ctx_.maintenance();
    if (m.refresh() != MaintenanceModel::Refresh::NotYet) {
        const bool answered = m.refresh() == MaintenanceModel::Refresh::Answered;
        linkText_->setText(answered ? QStringLiteral("GOOD") : QStringLiteral("BAD"));
        linkLamp_->setFillColor(answered ? colour::Green : colour::Red);
    }
    showStale(m.refresh() == MaintenanceModel::Refresh::Failed, m.lineLost());
    const MaintenanceDisplay& d = m.texts();
    modelName_->setText(d.model);
    for (const auto& [label, text] : {std::pair{status_, d.status},
                                      {fault_, d.fault},
                                      {address_, d.address},
                                      {serial_, d.serial},
                                      {bitSum4_, d.bitSum4},
                                      {bitSum45_, d.bitSum45},
                                      {bitSum5_, d.bitSum5},
                                      {gain_, d.gain},
                                      {temperature_, d.temperature},
                                      {voltage_, d.voltage}})
        label->setText(text.value_or(QString()));
    for (const auto& [box, text] : {std::pair{sum4_, d.sum4},
                                    {sum45_, d.sum45},
                                    {sum5_, d.sum5},
                                    {noise4_, d.noise4},
                                    {noise45_, d.noise45},
                                    {noise5_, d.noise5}})
        box->setText(text.value_or(QString()));
}

void MaintenanceScreen::showLogState() {
    const TimedLog& log = ctx_.maintenance().sumsLog();
    sumsLogButton_->setText(log.running() ? QStringLiteral("stop &Loging")
                                          : QStringLiteral("start &Loging"));
    logNotice_->setText(SumsLogNotice(log.period()));
    logNotice_->setVisible(log.running());
}

void MaintenanceScreen::onBitClicked() {
    // The main screen's lamp as it was when this screen opened: BIT only on a good link.
    if (unloaded_ || !bitButton_->isEnabled())
        return;
    Transaction t{Pattern::ButtonRead, SendCommand(ctx_.detector().Address, cmd::Bit)};
    t.holdAfterMs = BitSettleMs;
    bitId_ = ctx_.worker().submit(t);
    showBitState();
}

void MaintenanceScreen::showBitState() {
    QString why;
    if (!ctx_.linkGood())
        why = QStringLiteral("BIT needs the main screen's lamp green: close this screen and "
                             "open it again once the detector answers there.");
    else if (bitId_)
        why = QStringLiteral("The BIT is running.");
    bitButton_->setEnabled(why.isEmpty());
    bitButton_->setToolTip(why.isEmpty() ? QStringLiteral("Perform manual BIT")
                                         : QStringLiteral("Perform manual BIT\n") + why);
}

void MaintenanceScreen::showStale(bool stale, const QString& portGone) {
    // Values that no longer come from the latest reply stay readable but grey.
    for (QWidget* w : std::initializer_list<QWidget*>{
             status_, fault_, gain_, address_, serial_, voltage_, temperature_, sum4_, sum45_,
             sum5_, noise4_, noise45_, noise5_, bitSum4_, bitSum45_, bitSum5_})
        w->setEnabled(!stale);
    const QString lastHeard = ctx_.maintenance().lastHeard();
    const QString heard = lastHeard.isEmpty() ? QStringLiteral("not heard yet")
                                              : QStringLiteral("last heard %1").arg(lastHeard);
    lastHeard_->setText(portGone.isEmpty() ? heard : QStringLiteral("line lost, ") + heard);
    lastHeard_->setToolTip(portGone);
    lastHeard_->setVisible(stale);
}

void MaintenanceScreen::onVersionClicked() {
    if (unloaded_)
        return;
    versionId_ = ctx_.worker().submit(
        Transaction{Pattern::Poll, SendCommand(ctx_.detector().Address, cmd::Version)});
}

void MaintenanceScreen::commandDone(const Exchange& x) {
    if (unloaded_ || x.id == 0)
        return;
    if (x.id == bitId_) {
        bitId_ = 0;
        showBitState();
        // Only this exchange's own echo counts; bitSumsFrame_ then stays up until the screen
        // closes.
        if (x.answered && BitPerformed(x.reply))
            bitSumsFrame_->show();
        else
            showNotice(UnansweredText(QStringLiteral("BIT"), x));
    } else if (x.id == versionId_) {
        versionId_ = 0;
        versionText_->setText(x.answered ? VersionText(x.reply) : QString());
        versionText_->show();
        versionTimer_->start(VersionShowMs);
        if (!x.answered)
            showNotice(UnansweredText(QStringLiteral("Version"), x));
    }
}

void MaintenanceScreen::onSumsLogClicked() {
    if (unloaded_)
        return;
    TimedLog& log = ctx_.maintenance().sumsLog();
    if (log.running()) {
        log.stop();
        return;
    }
    QPointer<MaintenanceScreen> self(this);
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

void MaintenanceScreen::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void MaintenanceScreen::unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    // Sums logging goes on, but records only while the screen is open.
    ctx_.maintenance().close();
    versionTimer_->stop();
    hide();
    ctx_.screenClosed();
}

void MaintenanceScreen::showNotice(const QString& text) {
    notice_->setText(text);
    notice_->show();
}

} // namespace fh
