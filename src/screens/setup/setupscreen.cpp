#include "screens/setup/setupscreen.h"

#include "detector/detectorrecord.h"
#include "detector/setupverify.h"
#include "link/lineworker.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/common/writeprogress.h"
#include "screens/prompts/prompts.h"
#include "screens/setup/setupfiles.h"
#include "screens/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace fh {

namespace {

constexpr int FormWidth = 7080, FormHeight = 6240;
constexpr int LabelLeft = 240, LabelWidth = 1440;
constexpr int ListLeft = 1800, ListWidth = 1800, ListHeight = 375;
constexpr int RightLabelLeft = 3720, RightLabelWidth = 1020;
constexpr int RightListLeft = 4800;
constexpr int SensTop = 1320, DelayTop = 1800;
constexpr int FlagTop = 2400, FlagStep = 375, FlagWidth = 6600, FlagHeight = 330;
constexpr int ButtonTop = 4920, ButtonWidth = 1335, ButtonHeight = 495;
constexpr int FileTop = 680, FileLeft = 3720, FileWidth = 1080, FileGap = 120;

constexpr SensitivityList AllSensitivityLists[] = {
    SensitivityList::Sens, SensitivityList::SensFast,   SensitivityList::MI,
    SensitivityList::MI3,  SensitivityList::SensSingle, SensitivityList::UVIR};

// Shows a list's text: its item when it has one, else (typed lists only) the text itself.
void SetListText(QComboBox* list, const QString& text) {
    const int index = text.isEmpty() ? -1 : list->findText(text, Qt::MatchExactly);
    list->setCurrentIndex(index);
    if (index < 0 && list->isEditable())
        list->setEditText(text);
}

} // namespace

SetupScreen* SetupScreen::open(ScreenContext& ctx, const SetupOpening& opening) {
    const SetupSnapshot* s = opening.snapshot ? &*opening.snapshot : nullptr;
    if (!s || !DecodeSetupReply(s->reply, s->detector.modelName)) {
        // Never a screen of stale values, or of a model nobody confirmed, that OK would write.
        ctx.prompts().message(
            ctx.mainWindow(),
            s || opening.refusal.isEmpty() ? QString::fromLatin1(SetupCouldNotReadText)
                                           : opening.refusal,
            QStringLiteral("Warning"), Prompts::Icon::Critical, Prompts::Buttons::Ok);
        return nullptr;
    }
    auto* screen = new SetupScreen(ctx, *s, ctx.mainWindow());
    screen->show();
    return screen;
}

SetupScreen::SetupScreen(ScreenContext& ctx, const SetupSnapshot& snapshot, QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(ctx), snapshot_(snapshot), write_(ctx) {
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    write_.lockWhileRunning({okButton_, cancelButton_, saveButton_, loadButton_});
    files_ = new SetupFiles(ctx, snapshot_.detector, this);
    connect(files_, &SetupFiles::busyChanged, this, [this](bool busy) {
        for (QPushButton* b : {okButton_, cancelButton_, printButton_, saveButton_, loadButton_})
            b->setEnabled(!busy);
        if (busy) {
            fileLabel_->setText(QStringLiteral("Working with the detector..."));
            fileLabel_->show();
        }
    });
    connect(files_, &SetupFiles::told, this, &SetupScreen::onFileTold);
    write_.refused = [this] {
        outOfListWarning_->setVisible(!outOfListWarning_->text().isEmpty());
    };
    // Enter: the focused button, else OK; Esc: Cancel.
    auto* keys = new FormKeys(this);
    keys->setDefaultButton(okButton_);
    keys->on(Qt::Key_Escape, [this] { cancelButton_->click(); });
    // The screen as context: a result that arrives after it is gone goes nowhere.
    connect(&ctx_.worker(), &LineWorker::commandDone, this,
            [this](const Exchange& x) { writeDone(x); });
    // OK's write and Load's write each show their attempts.
    FollowWriteAttempts(ctx_.worker(), writingLabel_, [this] {
        return write_.writeId() != 0 ? write_.writeId() : files_->writeId();
    });
    fillLists();
    showSnapshot();
}

void SetupScreen::build() {
    setObjectName(QStringLiteral("frmSetup"));
    InstallKeyHelp(this, QStringLiteral("Setup"), SetupKeys());
    setWindowTitle(QStringLiteral("SETUP TABLE"));
    setFixedSize(Twips(FormWidth), Twips(FormHeight));

    auto label = [this](const char* name, const QString& caption, int left, int top, int width,
                        int height) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        SetTwipGeometry(l, left, top, width, height);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    // The copied identity sits in framed boxes, the headings beside them.
    auto value = [&label](const char* name, int left, int top, int width) {
        QLabel* l = label(name, QString(), left, top, width, 315);
        l->setFrameStyle(QFrame::Box | QFrame::Plain);
        l->setIndent(4);
        return l;
    };
    label("lblType", QStringLiteral("Model No."), LabelLeft, 240, LabelWidth, 315);
    modelValue_ = value("lblDetType", ListLeft, 240, ListWidth);
    label("lblSerial", QStringLiteral("Serial No."), LabelLeft, 720, LabelWidth, 315);
    serialValue_ = value("lblserNum", ListLeft, 720, ListWidth);
    label("lblAddr", QStringLiteral("Address"), RightLabelLeft, 240, RightLabelWidth, 315);
    addressValue_ = value("lblAddress", RightListLeft, 240, 1200);

    auto list = [this](const QString& name, bool editable, int left, int top) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->setEditable(editable);
        box->setInsertPolicy(QComboBox::NoInsert); // typed text is a value, not a new item
        SetTwipGeometry(box, left, top, ListWidth, ListHeight);
        return box;
    };
    label("lblSens", QStringLiteral("Sensitivity"), LabelLeft, SensTop, LabelWidth, ListHeight);
    // One place for all six: the decode leaves exactly one of them shown.
    for (SensitivityList l : AllSensitivityLists) {
        QComboBox* box =
            list(SensitivityListName(l), l != SensitivityList::Sens, ListLeft, SensTop);
        if (l != SensitivityList::Sens)
            box->hide();
        sensitivityLists_[size_t(l)] = box;
    }
    delayHeading_ =
        label("lblDelay", QStringLiteral("Delay"), LabelLeft, DelayTop, LabelWidth, ListHeight);
    delayList_ = list(QStringLiteral("cmbDelay"), false, ListLeft, DelayTop);
    heatModeHeading_ = label("lblHM", QStringLiteral("Heat Mode"), RightLabelLeft, SensTop,
                             RightLabelWidth, ListHeight);
    heatModeList_ = list(QStringLiteral("cmbHeatMode"), false, RightListLeft, SensTop);
    heatOnHeading_ = label("lblHO", QStringLiteral("Heat On"), RightLabelLeft, DelayTop,
                           RightLabelWidth, ListHeight);
    heatOnList_ = list(QStringLiteral("cmbHeatOn"), false, RightListLeft, DelayTop);

    // The three flags every model shows come first, so models with three leave no gaps.
    int row = 0;
    auto flag = [this, &row](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(QLatin1String(name));
        SetTwipGeometry(box, LabelLeft, FlagTop + row++ * FlagStep, FlagWidth, FlagHeight);
        return box;
    };
    autoBitBox_ = flag("chkAutoBit", QStringLiteral("Enable Automatic BIT"));
    alarmOnBitBox_ = flag("chkAccBit", QStringLiteral("Activate Alarm on successfull manual BIT"));
    alarmLatchBox_ = flag("chkAlarmL", QStringLiteral("Enable Alarm Latch"));
    relayOnBitBox_ =
        flag("chkRBit", QStringLiteral("Activate Accessory Relay on successful manual BIT"));
    relayAsEolBox_ = flag("chkEOL", QStringLiteral("Accessory Relay as EOL"));
    relayOnWarningBox_ =
        flag("chkAccOnWarn", QStringLiteral("Activate Accessory Relay on Warning"));

    auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        SetTwipGeometry(b, left, ButtonTop, ButtonWidth, ButtonHeight);
        return b;
    };
    outOfListWarning_ =
        label("lblWarn", QString(), LabelLeft, ButtonTop - 300, FormWidth - 2 * LabelLeft, 270);
    outOfListWarning_->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0)"));
    outOfListWarning_->hide();
    okButton_ = button("cmdOK", QStringLiteral("&OK"), 840);
    cancelButton_ = button("cmdExit", QStringLiteral("&Cancel"), 2880);
    printButton_ = button("cmdPrint", QStringLiteral("&Print"), 4920);
    connect(okButton_, &QPushButton::clicked, this, &SetupScreen::onOkClicked);
    connect(cancelButton_, &QPushButton::clicked, this, &SetupScreen::onCancelClicked);
    connect(printButton_, &QPushButton::clicked, this, &SetupScreen::onPrintClicked);
    // Beside the identity: the setup file is the detector's, not the form's.
    saveButton_ = button("cmdSave", QStringLiteral("&Save..."), FileLeft);
    SetTwipGeometry(saveButton_, FileLeft, FileTop, FileWidth, ListHeight);
    loadButton_ = button("cmdLoad", QStringLiteral("&Load..."), FileLeft);
    SetTwipGeometry(loadButton_, FileLeft + FileWidth + FileGap, FileTop, FileWidth, ListHeight);
    connect(saveButton_, &QPushButton::clicked, this, [this] { files_->save(); });
    connect(loadButton_, &QPushButton::clicked, this, [this] { files_->load(); });
    fileLabel_ = label("lblFile", QString(), LabelLeft, ButtonTop + ButtonHeight + 90,
                       FormWidth - 2 * LabelLeft, 600);
    fileLabel_->setWordWrap(true);
    fileLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fileLabel_->hide();
    // In the warning's place: once OK is pressed, how the write goes is the news.
    writingLabel_ =
        label("lblWriting", QString(), LabelLeft, ButtonTop - 300, FormWidth - 2 * LabelLeft, 270);
    writingLabel_->hide();
}

QComboBox* SetupScreen::sensitivityList(SensitivityList list) const {
    return sensitivityLists_[size_t(list)];
}

void SetupScreen::fillLists() {
    for (SensitivityList list : AllSensitivityLists) {
        QComboBox* box = sensitivityList(list);
        box->addItems(SensitivityItems(list));
        box->setCurrentIndex(-1);
    }
    delayList_->addItems(DelayItems());
    heatModeList_->addItems(HeatModeItems());
    heatOnList_->addItems(HeatOnItems());
    for (QComboBox* box : {delayList_, heatModeList_, heatOnList_})
        box->setCurrentIndex(-1);
}

void SetupScreen::showSnapshot() {
    const ConfirmedDetector& d = snapshot_.detector;
    addressValue_->setText(QString::number(d.address));
    modelValue_->setText(d.modelName);
    serialValue_->setText(QString::number(d.serial));

    const QString& model = d.modelName;
    const QByteArray& reply = snapshot_.reply;
    const std::optional<SetupValue> v = DecodeSetupReply(reply, model);
    if (!v)
        return; // open() lets no such snapshot through
    const SetupRow row = SetupRowFor(model);

    for (SensitivityList list : AllSensitivityLists)
        sensitivityList(list)->setVisible(list == row.sensitivity);
    SetListText(sensitivityList(row.sensitivity), v->sensitivity);

    for (QWidget* w : std::initializer_list<QWidget*>{heatModeHeading_, heatModeList_,
                                                      heatOnHeading_, heatOnList_})
        w->setVisible(row.heatShown);
    if (row.heatShown) {
        SetListText(heatModeList_, v->heatMode);
        SetListText(heatOnList_, v->heatOn);
    }

    delayHeading_->setVisible(row.delayShown);
    delayList_->setVisible(row.delayShown);
    if (row.delayShown)
        SetListText(delayList_, v->delay);

    for (QCheckBox* extra : {relayOnWarningBox_, relayOnBitBox_, relayAsEolBox_})
        extra->setVisible(row.allFlagsShown);
    // Hidden boxes are set too, so the write keeps their bits.
    alarmLatchBox_->setChecked(v->flags.alarmL);
    relayOnWarningBox_->setChecked(v->flags.accOnWarn);
    autoBitBox_->setChecked(v->flags.autoBit);
    alarmOnBitBox_->setChecked(v->flags.accBit);
    relayOnBitBox_->setChecked(v->flags.rBit);
    relayAsEolBox_->setChecked(v->flags.eol);
    const QString warning = SetupDriftWarning(SetupDrifts(reply, model, *v));
    outOfListWarning_->setText(warning);
    outOfListWarning_->setVisible(!warning.isEmpty());
}

SetupValue SetupScreen::currentValue() const {
    SetupValue v;
    v.sensitivity =
        sensitivityList(SetupRowFor(snapshot_.detector.modelName).sensitivity)->currentText();
    v.delay = delayList_->currentText();
    v.heatMode = heatModeList_->currentText();
    v.heatOn = heatOnList_->currentText();
    v.flags.alarmL = alarmLatchBox_->isChecked();
    v.flags.accOnWarn = relayOnWarningBox_->isChecked();
    v.flags.autoBit = autoBitBox_->isChecked();
    v.flags.accBit = alarmOnBitBox_->isChecked();
    v.flags.rBit = relayOnBitBox_->isChecked();
    v.flags.eol = relayAsEolBox_->isChecked();
    return v;
}

void SetupScreen::onOkClicked() {
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
    outOfListWarning_->hide();
    write_.submit(*writeOp_);
}

void SetupScreen::writeDone(const Exchange& x) {
    if (!write_.finishes(x, this))
        return;
    writingLabel_->hide();
    if (writeOp_->result() == SetupWrite::Result::Verified)
        ctx_.tell(writeOp_->text(SetupSettingCaption));
    else
        ctx_.prompts().message(this, writeOp_->text(SetupSettingCaption), QStringLiteral("Warning"),
                               Prompts::Icon::Critical, Prompts::Buttons::Ok);
    close(); // deleted later, on return to the event loop
    ctx_.prompts().beep();
}

void SetupScreen::onCancelClicked() {
    if (writePending())
        return;
    ctx_.prompts().message(this, QStringLiteral("Changes were not saved!"),
                           QStringLiteral("SETUP SCREEN"), Prompts::Icon::Critical,
                           Prompts::Buttons::Ok);
    close();
}

void SetupScreen::onPrintClicked() {
    const std::optional<int> copies = ctx_.prompts().printDialog(this);
    if (!copies || *copies < 1)
        return;
    // A printer that fails ends the command silently, like a cancelled dialog.
    ctx_.prompts().printImage(this, *copies);
}

void SetupScreen::onFileTold(const QString& text, bool written) {
    writingLabel_->hide();
    fileLabel_->setText(text);
    fileLabel_->show();
    if (written) {
        // What the screen shows is no longer what the detector holds: it closes, as after OK.
        close();
        ctx_.prompts().beep();
    }
}

void SetupScreen::closeEvent(QCloseEvent* event) {
    // A file's read or write on the line ends first: its outcome must still be told.
    if (files_ && files_->busy()) {
        event->ignore();
        return;
    }
    // Every way out (OK's end, Cancel, Esc, the close box) passes here: refused while the
    // write runs, else the way back to the main screen, once.
    write_.close(event);
}

} // namespace fh
