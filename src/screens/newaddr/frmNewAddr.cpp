#include "screens/newaddr/frmNewAddr.h"

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

const QString frmNewAddr::NotConfirmedTitle = QStringLiteral("Warning");
const QString frmNewAddr::NotConfirmedText =
    QStringLiteral("The detector did not confirm the new address.\rThe main screen now uses "
                   "address %1.");

frmNewAddr::frmNewAddr(ScreenContext& ctx, QWidget* parent)
    : QDialog(parent ? parent : ctx.mainWindow()), ctx_(ctx), write_(ctx) {
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    write_.lockWhileRunning({cmdSend, Command1});
    // Enter: the focused button, else SEND; Esc: CANCEL.
    auto* keys = new FormKeys(this);
    keys->setDefaultButton(cmdSend);
    keys->on(Qt::Key_Escape, [this] { Command1_Click(); });
    // The dialog as context: a result that arrives after it is gone goes nowhere.
    connect(&ctx_.worker(), &LineWorker::commandDone, this,
            [this](const Exchange& x) { writeDone(x); });
    FollowWriteAttempts(ctx_.worker(), lblWriting, [this] { return write_.writeId(); });
    Form_Load();
}

void frmNewAddr::build() {
    setObjectName(QStringLiteral("frmNewAddr"));
    InstallKeyHelp(this, QStringLiteral("New address"), NewAddrKeys());
    setWindowTitle(QStringLiteral("SET NEW ADDRESS"));
    setModal(false);

    lblHeadAddr = new QLabel(QStringLiteral("Set New Address (1..247)"), this);
    lblHeadAddr->setObjectName(QStringLiteral("lblHeadAddr"));
    SetTwipGeometry(lblHeadAddr, 360, 300, 3000, 375);

    txtNewAddr = new QLineEdit(this);
    txtNewAddr->setObjectName(QStringLiteral("txtNewAddr"));
    SetTwipGeometry(txtNewAddr, 3480, 285, 1200, 405);
    connect(txtNewAddr, &QLineEdit::textChanged, this, [this] { txtNewAddr_Change(); });

    cmdSend = new QPushButton(QStringLiteral("&SEND"), this);
    cmdSend->setObjectName(QStringLiteral("cmdSend"));
    SetTwipGeometry(cmdSend, 840, 1200, 1455, 555);
    cmdSend->setDefault(true); // Enter in the box sends
    connect(cmdSend, &QPushButton::clicked, this, [this] { cmdSend_Click(); });

    Command1 = new QPushButton(QStringLiteral("&CANCEL"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    SetTwipGeometry(Command1, 3000, 1200, 1455, 555);
    Command1->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    lblWriting = new QLabel(this);
    lblWriting->setObjectName(QStringLiteral("lblWriting"));
    SetTwipGeometry(lblWriting, 840, 1830, 3615, 315);
    lblWriting->hide();
}

void frmNewAddr::Form_Load() {
    move(Twips(FormLeft), Twips(FormTop));
    setFixedSize(Twips(FormWidth), Twips(FormHeight));
    txtNewAddr->setText(ctx_.addressText());
    txtNewAddr->setFocus();
}

void frmNewAddr::txtNewAddr_Change() {
    const QString text = txtNewAddr->text();
    if (!text.isEmpty() && !AddressIn(text))
        txtNewAddr->clear(); // runs this again with the empty text, which stays
}

void frmNewAddr::cmdSend_Click() {
    if (writePending())
        return;
    const std::optional<int> v = AddressIn(txtNewAddr->text());
    if (!v || *v < 1) {
        ctx_.prompts().message(this, QStringLiteral("Invalid Address.\rChange is not Saved!"),
                               QStringLiteral("Warning"), Prompts::Icon::Critical,
                               Prompts::Buttons::Ok);
        ctx_.prompts().beep();
        txtNewAddr->clear();
        txtNewAddr->setFocus();
        return;
    }
    // The detector is confirmed and the new address must be free before anything is written;
    // the worker lets the exchange in flight end first (the drain).
    const DetectorRecord& d = ctx_.detector();
    change_.emplace(d.Address, quint8(*v), d.MasterMode);
    write_.submit(*change_);
}

void frmNewAddr::writeDone(const Exchange& x) {
    if (!write_.finishes(x, this))
        return;
    lblWriting->hide();
    // The detector may have moved although it was not heard there: follow it all the same,
    // but never let an unconfirmed change pass for a success.
    ctx_.setAddress(change_->to());
    if (change_->result() == AddressChange::Result::Moved)
        ctx_.tell(change_->text());
    else
        ctx_.prompts().message(this, NotConfirmedText.arg(change_->to()), NotConfirmedTitle,
                               Prompts::Icon::Critical, Prompts::Buttons::Ok);
    close();
}

void frmNewAddr::Command1_Click() {
    if (writePending())
        return;
    close();
}

void frmNewAddr::reject() {
    Command1_Click();
}

void frmNewAddr::Form_Unload() {
    write_.leave();
}

void frmNewAddr::closeEvent(QCloseEvent* event) {
    // While the write runs the dialog stays: the main screen must still learn the address.
    write_.close(event);
}

} // namespace fh
