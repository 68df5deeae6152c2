#include "screens/setup/frmSetup.h"

#include "detector/detectorrecord.h"
#include "detector/setupverify.h"
#include "link/lineworker.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/common/writeprogress.h"
#include "screens/prompts/prompts.h"
#include "screens/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace fh {

namespace {

constexpr int FormWidth = 7080, FormHeight = 5700;
constexpr int LabelLeft = 240, LabelWidth = 1440;
constexpr int ListLeft = 1800, ListWidth = 1800, ListHeight = 375;
constexpr int RightLabelLeft = 3720, RightLabelWidth = 1020;
constexpr int RightListLeft = 4800;
constexpr int SensTop = 1320, DelayTop = 1800;
constexpr int FlagTop = 2400, FlagStep = 375, FlagWidth = 6600, FlagHeight = 330;
constexpr int ButtonTop = 4920, ButtonWidth = 1335, ButtonHeight = 495;

// Shows a list's text: its item when it has one, else (typed lists only) the text itself.
void SetListText(QComboBox* list, const QString& text) {
    const int index = text.isEmpty() ? -1 : list->findText(text, Qt::MatchExactly);
    list->setCurrentIndex(index);
    if (index < 0 && list->isEditable())
        list->setEditText(text);
}

} // namespace

const QString frmSetup::CouldNotReadText = QString::fromLatin1(SetupCouldNotReadText);

frmSetup* frmSetup::open(ScreenContext& ctx, const SetupOpening& opening) {
    const SetupSnapshot* s = opening.snapshot ? &*opening.snapshot : nullptr;
    if (!s || !DecodeSetupReply(s->reply, s->detector.modelName)) {
        // Never a screen of stale values, or of a model nobody confirmed, that OK would write.
        ctx.prompts().message(
            ctx.mainWindow(), s || opening.refusal.isEmpty() ? CouldNotReadText : opening.refusal,
            QStringLiteral("Warning"), Prompts::Icon::Critical, Prompts::Buttons::Ok);
        return nullptr;
    }
    auto* screen = new frmSetup(ctx, *s, ctx.mainWindow());
    screen->show();
    return screen;
}

frmSetup::frmSetup(ScreenContext& ctx, const SetupSnapshot& snapshot, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), snapshot_(snapshot), write_(ctx) {
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    write_.lockWhileRunning({cmdOK, cmdExit});
    write_.refused = [this] { lblWarn->setVisible(!lblWarn->text().isEmpty()); };
    // Enter: the focused button, else OK; Esc: Cancel.
    auto* keys = new FormKeys(this);
    keys->setDefaultButton(cmdOK);
    keys->on(Qt::Key_Escape, [this] { cmdExit->click(); });
    // The screen as context: a result that arrives after it is gone goes nowhere.
    connect(&ctx_.worker(), &LineWorker::commandDone, this,
            [this](const Exchange& x) { writeDone(x); });
    FollowWriteAttempts(ctx_.worker(), lblWriting, [this] { return write_.writeId(); });
    Form_Load();
}

void frmSetup::build() {
    setObjectName(QStringLiteral("frmSetup"));
    InstallKeyHelp(this, QStringLiteral("Setup"), SetupKeys());
    setWindowTitle(QStringLiteral("SETUP TABLE"));
    setFixedSize(Twips(FormWidth), Twips(FormHeight));

    auto label = [this](QLabel*& member, const char* name, const QString& caption, int left,
                        int top, int width, int height) {
        member = new QLabel(caption, this);
        member->setObjectName(QLatin1String(name));
        SetTwipGeometry(member, left, top, width, height);
        member->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    // The copied identity sits in framed boxes, the headings beside them.
    auto value = [&label](QLabel*& member, const char* name, int left, int top, int width) {
        label(member, name, QString(), left, top, width, 315);
        member->setFrameStyle(QFrame::Box | QFrame::Plain);
        member->setIndent(4);
    };
    label(lblType, "lblType", QStringLiteral("Model No."), LabelLeft, 240, LabelWidth, 315);
    value(lblDetType, "lblDetType", ListLeft, 240, ListWidth);
    label(lblSerial, "lblSerial", QStringLiteral("Serial No."), LabelLeft, 720, LabelWidth, 315);
    value(lblserNum, "lblserNum", ListLeft, 720, ListWidth);
    label(lblAddr, "lblAddr", QStringLiteral("Address"), RightLabelLeft, 240, RightLabelWidth, 315);
    value(lblAddress, "lblAddress", RightListLeft, 240, 1200);

    auto list = [this](QComboBox*& member, const char* name, bool editable, int left, int top) {
        member = new QComboBox(this);
        member->setObjectName(QLatin1String(name));
        member->setEditable(editable);
        member->setInsertPolicy(QComboBox::NoInsert); // typed text is a value, not a new item
        SetTwipGeometry(member, left, top, ListWidth, ListHeight);
    };
    label(lblSens, "lblSens", QStringLiteral("Sensitivity"), LabelLeft, SensTop, LabelWidth,
          ListHeight);
    // One place for all six: the decode leaves exactly one of them shown.
    list(cmbSens, "cmbSens", false, ListLeft, SensTop);
    list(cmbSensFast, "cmbSensFast", true, ListLeft, SensTop);
    list(cmbMI, "cmbMI", true, ListLeft, SensTop);
    list(cmbMI3, "cmbMI3", true, ListLeft, SensTop);
    list(cmbSensSingle, "cmbSensSingle", true, ListLeft, SensTop);
    list(cmbUVIR, "cmbUVIR", true, ListLeft, SensTop);
    for (QComboBox* hidden : {cmbSensFast, cmbMI, cmbMI3, cmbSensSingle, cmbUVIR})
        hidden->hide();
    label(lblDelay, "lblDelay", QStringLiteral("Delay"), LabelLeft, DelayTop, LabelWidth,
          ListHeight);
    list(cmbDelay, "cmbDelay", false, ListLeft, DelayTop);
    label(lblHM, "lblHM", QStringLiteral("Heat Mode"), RightLabelLeft, SensTop, RightLabelWidth,
          ListHeight);
    list(cmbHeatMode, "cmbHeatMode", false, RightListLeft, SensTop);
    label(lblHO, "lblHO", QStringLiteral("Heat On"), RightLabelLeft, DelayTop, RightLabelWidth,
          ListHeight);
    list(cmbHeatOn, "cmbHeatOn", false, RightListLeft, DelayTop);

    // The three flags every model shows come first, so models with three leave no gaps.
    int row = 0;
    auto flag = [this, &row](QCheckBox*& member, const char* name, const QString& caption) {
        member = new QCheckBox(caption, this);
        member->setObjectName(QLatin1String(name));
        SetTwipGeometry(member, LabelLeft, FlagTop + row++ * FlagStep, FlagWidth, FlagHeight);
    };
    flag(chkAutoBit, "chkAutoBit", QStringLiteral("Enable Automatic BIT"));
    flag(chkAccBit, "chkAccBit", QStringLiteral("Activate Alarm on successfull manual BIT"));
    flag(chkAlarmL, "chkAlarmL", QStringLiteral("Enable Alarm Latch"));
    flag(chkRBit, "chkRBit", QStringLiteral("Activate Accessory Relay on successful manual BIT"));
    flag(chkEOL, "chkEOL", QStringLiteral("Accessory Relay as EOL"));
    flag(chkAccOnWarn, "chkAccOnWarn", QStringLiteral("Activate Accessory Relay on Warning"));

    auto button = [this](QPushButton*& member, const char* name, const QString& caption, int left) {
        member = new QPushButton(caption, this);
        member->setObjectName(QLatin1String(name));
        SetTwipGeometry(member, left, ButtonTop, ButtonWidth, ButtonHeight);
    };
    label(lblWarn, "lblWarn", QString(), LabelLeft, ButtonTop - 300, FormWidth - 2 * LabelLeft,
          270);
    lblWarn->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0)"));
    lblWarn->hide();
    button(cmdOK, "cmdOK", QStringLiteral("&OK"), 840);
    button(cmdExit, "cmdExit", QStringLiteral("&Cancel"), 2880);
    button(cmdPrint, "cmdPrint", QStringLiteral("&Print"), 4920);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(cmdPrint, &QPushButton::clicked, this, [this] { cmdPrint_Click(); });
    // In the warning's place: once OK is pressed, how the write goes is the news.
    label(lblWriting, "lblWriting", QString(), LabelLeft, ButtonTop - 300,
          FormWidth - 2 * LabelLeft, 270);
    lblWriting->hide();
}

QComboBox* frmSetup::sensitivityList(SensitivityList list) const {
    switch (list) {
    case SensitivityList::Sens:
        return cmbSens;
    case SensitivityList::SensFast:
        return cmbSensFast;
    case SensitivityList::MI:
        return cmbMI;
    case SensitivityList::MI3:
        return cmbMI3;
    case SensitivityList::SensSingle:
        return cmbSensSingle;
    case SensitivityList::UVIR:
        return cmbUVIR;
    }
    return cmbSens;
}

void frmSetup::Form_Load() {
    for (SensitivityList list :
         {SensitivityList::Sens, SensitivityList::SensFast, SensitivityList::MI,
          SensitivityList::MI3, SensitivityList::SensSingle, SensitivityList::UVIR}) {
        QComboBox* box = sensitivityList(list);
        box->addItems(SensitivityItems(list));
        box->setCurrentIndex(-1);
    }
    cmbDelay->addItems(DelayItems());
    cmbHeatMode->addItems(HeatModeItems());
    cmbHeatOn->addItems(HeatOnItems());
    for (QComboBox* box : {cmbDelay, cmbHeatMode, cmbHeatOn})
        box->setCurrentIndex(-1);
    GetSetio();
}

bool frmSetup::GetSetio() {
    const ConfirmedDetector& d = snapshot_.detector;
    lblAddress->setText(QString::number(d.address));
    lblDetType->setText(d.modelName);
    lblserNum->setText(QString::number(d.serial));

    const QString& model = d.modelName;
    const QByteArray& reply = snapshot_.reply;
    const std::optional<SetupValue> v = DecodeSetupReply(reply, model);
    if (!v)
        return false;
    const SetupRow row = SetupRowFor(model);

    for (SensitivityList list :
         {SensitivityList::Sens, SensitivityList::SensFast, SensitivityList::MI,
          SensitivityList::MI3, SensitivityList::SensSingle, SensitivityList::UVIR})
        sensitivityList(list)->setVisible(list == row.sensitivity);
    SetListText(sensitivityList(row.sensitivity), v->sensitivity);

    for (QWidget* w : {static_cast<QWidget*>(lblHM), static_cast<QWidget*>(cmbHeatMode),
                       static_cast<QWidget*>(lblHO), static_cast<QWidget*>(cmbHeatOn)})
        w->setVisible(row.heatShown);
    if (row.heatShown) {
        SetListText(cmbHeatMode, v->heatMode);
        SetListText(cmbHeatOn, v->heatOn);
    }

    lblDelay->setVisible(row.delayShown);
    cmbDelay->setVisible(row.delayShown);
    if (row.delayShown)
        SetListText(cmbDelay, v->delay);

    for (QCheckBox* extra : {chkAccOnWarn, chkRBit, chkEOL})
        extra->setVisible(row.allFlagsShown);
    // Hidden boxes are set too, so the write keeps their bits.
    chkAlarmL->setChecked(v->flags.alarmL);
    chkAccOnWarn->setChecked(v->flags.accOnWarn);
    chkAutoBit->setChecked(v->flags.autoBit);
    chkAccBit->setChecked(v->flags.accBit);
    chkRBit->setChecked(v->flags.rBit);
    chkEOL->setChecked(v->flags.eol);
    const QString warning = SetupDriftWarning(SetupDrifts(reply, model, *v));
    lblWarn->setText(warning);
    lblWarn->setVisible(!warning.isEmpty());
    return true;
}

SetupValue frmSetup::currentValue() const {
    SetupValue v;
    v.sensitivity =
        sensitivityList(SetupRowFor(snapshot_.detector.modelName).sensitivity)->currentText();
    v.delay = cmbDelay->currentText();
    v.heatMode = cmbHeatMode->currentText();
    v.heatOn = cmbHeatOn->currentText();
    v.flags.alarmL = chkAlarmL->isChecked();
    v.flags.accOnWarn = chkAccOnWarn->isChecked();
    v.flags.autoBit = chkAutoBit->isChecked();
    v.flags.accBit = chkAccBit->isChecked();
    v.flags.rBit = chkRBit->isChecked();
    v.flags.eol = chkEOL->isChecked();
    return v;
}

void frmSetup::cmdOK_Click() {
    // One write at a time: a second click while the attempts run changes nothing.
    if (writePending())
        return;
    const SensitivityList list = SetupRowFor(snapshot_.detector.modelName).sensitivity;
    if (!SensitivityTextWritable(list, currentValue().sensitivity)) {
        // Refused before anything is sent: text that is no list value would write the first code.
        ctx_.prompts().message(
            this,
            QStringLiteral("\"%1\" is not a sensitivity. Choose one of: %2.")
                .arg(currentValue().sensitivity, SensitivityItems(list).join(QStringLiteral(", "))),
            QStringLiteral("SETUP SCREEN"), Prompts::Icon::Exclamation, Prompts::Buttons::Ok);
        sensitivityList(list)->setFocus();
        return;
    }
    // To the confirmed detector's own address; in master mode after the master-mode check.
    // The worker lets the exchange in flight end first (the drain) and runs all six attempts
    // before the next poll.
    writeOp_.emplace(snapshot_.detector, currentValue(), ctx_.detector().MasterMode);
    lblWarn->hide();
    write_.submit(*writeOp_);
}

void frmSetup::writeDone(const Exchange& x) {
    if (!write_.finishes(x, this))
        return;
    lblWriting->hide();
    if (writeOp_->result() == SetupWrite::Result::Verified)
        ctx_.tell(writeOp_->text(SetupSettingCaption));
    else
        ctx_.prompts().message(this, writeOp_->text(SetupSettingCaption), QStringLiteral("Warning"),
                               Prompts::Icon::Critical, Prompts::Buttons::Ok);
    close(); // deleted later, on return to the event loop
    ctx_.prompts().beep();
}

void frmSetup::cmdExit_Click() {
    if (writePending())
        return;
    ctx_.prompts().message(this, QStringLiteral("Changes were not saved!"),
                           QStringLiteral("SETUP SCREEN"), Prompts::Icon::Critical,
                           Prompts::Buttons::Ok);
    close();
}

void frmSetup::cmdPrint_Click() {
    const std::optional<int> copies = ctx_.prompts().printDialog(this);
    if (!copies || *copies < 1)
        return;
    // A printer that fails ends the command silently, like a cancelled dialog.
    ctx_.prompts().printImage(this, *copies);
}

void frmSetup::Form_Unload() {
    write_.leave();
}

void frmSetup::closeEvent(QCloseEvent* event) {
    write_.close(event);
}

} // namespace fh
