#include "screens/maintenance/passworddialog.h"

#include "screens/common/keyfocus.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/host/maintenancegate.h"
#include "screens/prompts/prompts.h"
#include "screens/twips.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace fh {

MaintenancePasswordDialog::MaintenancePasswordDialog(ScreenContext& ctx, QWidget* parent)
    : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmMaintPass"));
    InstallKeyHelp(this, QStringLiteral("Maintenance password"), PasswordKeys());
    setWindowTitle(QStringLiteral("Password"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setFixedSize(Twips(3840), Twips(1800));

    auto* prompt = new QLabel(QStringLiteral("Enter Password:"), this);
    prompt->setObjectName(QStringLiteral("Label1"));
    SetTwipGeometry(prompt, 240, 240, 3360, 285);

    passwordBox_ = new QLineEdit(this);
    passwordBox_->setObjectName(QStringLiteral("txtPass"));
    passwordBox_->setEchoMode(QLineEdit::Password);
    // Qt's own mask character depends on the style; the dialog shows "*".
    passwordBox_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    SetTwipGeometry(passwordBox_, 240, 600, 3360, 375);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    SetTwipGeometry(ok, 1320, 1140, 1200, 435);
    connect(ok, &QPushButton::clicked, this, &MaintenancePasswordDialog::onOkClicked);

    passwordBox_->setFocus();
}

void MaintenancePasswordDialog::onOkClicked() {
    // The message box runs its own loop; the dialog may be gone when it returns.
    QPointer<MaintenancePasswordDialog> self(this);
    checkPassword();
    if (self)
        accept();
}

void MaintenancePasswordDialog::done(int result) {
    QDialog::done(result);
    ReturnKeysTo(parentWidget());
}

void MaintenancePasswordDialog::checkPassword() {
    if (ctx_.maintenanceGate().enter(passwordBox_->text()) != MaintenanceGate::Entry::Wrong)
        return;
    ctx_.prompts().message(this, QStringLiteral("Wrong Password! - try again..."),
                           QCoreApplication::applicationName(), Prompts::Icon::Critical,
                           Prompts::Buttons::Ok);
}

} // namespace fh
