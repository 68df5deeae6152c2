#include "screens/newaddr/newaddressdialog.h"

#include "detector/detectorrecord.h"
#include "link/lineworker.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/common/writeprogress.h"
#include "screens/prompts/prompts.h"
#include "screens/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace fh {

namespace {

constexpr int FormLeft = 3000, FormTop = 2000, FormWidth = 5300, FormHeight = 2200;
constexpr int MaxAddress = 247;

// The box's whole text as an address: digits only (no sign, point or exponent, so the caption
// and the request can never disagree), at most 247. Nothing otherwise.
std::optional<int> AddressIn(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const uint v = text.toUInt(&ok);
    if (!ok || v > MaxAddress)
        return std::nullopt;
    return int(v);
}

} // namespace

NewAddressDialog::NewAddressDialog(ScreenContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow()), ctx_(ctx), write_(ctx) {
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    write_.lockWhileRunning({sendButton_, cancelButton_});
    // Enter: the focused button, else SEND; Esc: CANCEL.
    auto* keys = new FormKeys(this);
    keys->setDefaultButton(sendButton_);
    keys->on(Qt::Key_Escape, [this] { onCancelClicked(); });
    // The dialog as context: a result that arrives after it is gone goes nowhere.
    connect(&ctx_.worker(), &LineWorker::commandDone, this,
            [this](const Exchange& x) { writeDone(x); });
    FollowWriteAttempts(ctx_.worker(), writingLabel_, [this] { return write_.writeId(); });

    move(Twips(FormLeft), Twips(FormTop));
    setFixedSize(Twips(FormWidth), Twips(FormHeight));
    // The box opens with the address the main screen works with.
    addressEdit_->setText(ctx_.addressText());
    addressEdit_->setFocus();
}

void NewAddressDialog::build() {
    setObjectName(QStringLiteral("frmNewAddr"));
    InstallKeyHelp(this, QStringLiteral("New address"), NewAddrKeys());
    setWindowTitle(QStringLiteral("SET NEW ADDRESS"));
    setModal(false);

    auto* heading = new QLabel(QStringLiteral("Set New Address (1..247)"), this);
    heading->setObjectName(QStringLiteral("lblHeadAddr"));
    SetTwipGeometry(heading, 360, 300, 3000, 375);

    addressEdit_ = new QLineEdit(this);
    addressEdit_->setObjectName(QStringLiteral("txtNewAddr"));
    SetTwipGeometry(addressEdit_, 3480, 285, 1200, 405);
    connect(addressEdit_, &QLineEdit::textChanged, this, &NewAddressDialog::onAddressEdited);

    sendButton_ = new QPushButton(QStringLiteral("&SEND"), this);
    sendButton_->setObjectName(QStringLiteral("cmdSend"));
    SetTwipGeometry(sendButton_, 840, 1200, 1455, 555);
    sendButton_->setDefault(true); // Enter in the box sends
    connect(sendButton_, &QPushButton::clicked, this, &NewAddressDialog::onSendClicked);

    cancelButton_ = new QPushButton(QStringLiteral("&CANCEL"), this);
    cancelButton_->setObjectName(QStringLiteral("Command1"));
    SetTwipGeometry(cancelButton_, 3000, 1200, 1455, 555);
    cancelButton_->setAutoDefault(false);
    connect(cancelButton_, &QPushButton::clicked, this, &NewAddressDialog::onCancelClicked);

    writingLabel_ = new QLabel(this);
    writingLabel_->setObjectName(QStringLiteral("lblWriting"));
    SetTwipGeometry(writingLabel_, 840, 1830, 3615, 315);
    writingLabel_->hide();
}

void NewAddressDialog::onAddressEdited() {
    const QString text = addressEdit_->text();
    if (!text.isEmpty() && !AddressIn(text))
        addressEdit_->clear(); // runs this again with the empty text, which stays
}

void NewAddressDialog::onSendClicked() {
    if (writePending())
        return;
    const std::optional<int> v = AddressIn(addressEdit_->text());
    if (!v || *v < 1) {
        ctx_.prompts().message(this, QStringLiteral("Invalid Address.\rChange is not Saved!"),
                               QStringLiteral("Warning"), Prompts::Icon::Critical,
                               Prompts::Buttons::Ok);
        ctx_.prompts().beep();
        addressEdit_->clear();
        addressEdit_->setFocus();
        return;
    }
    // The detector is confirmed and the new address must be free before anything is written;
    // the worker lets the exchange in flight end first (the drain).
    const DetectorRecord& d = ctx_.detector();
    change_.emplace(d.Address, quint8(*v), d.MasterMode);
    write_.submit(*change_);
}

void NewAddressDialog::writeDone(const Exchange& x) {
    if (!write_.finishes(x, this))
        return;
    writingLabel_->hide();
    // The detector may have moved although it was not heard there: follow it all the same,
    // but never let an unconfirmed change pass for a success.
    ctx_.setAddress(change_->to());
    if (change_->result() == AddressChange::Result::Moved)
        ctx_.tell(change_->text());
    else
        ctx_.prompts().message(this, AddressNotConfirmedText.arg(change_->to()),
                               QStringLiteral("Warning"), Prompts::Icon::Critical,
                               Prompts::Buttons::Ok);
    close();
}

void NewAddressDialog::onCancelClicked() {
    if (writePending())
        return;
    close();
}

void NewAddressDialog::reject() {
    onCancelClicked();
}

void NewAddressDialog::closeEvent(QCloseEvent* event) {
    // While the write runs the dialog stays: the main screen must still learn the address.
    write_.close(event);
}

} // namespace fh
