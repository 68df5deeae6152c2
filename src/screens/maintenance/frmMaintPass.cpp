#include "screens/maintenance/frmMaintPass.h"

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

frmMaintPass::frmMaintPass(ScreenContext& ctx, QWidget* parent) : QDialog(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmMaintPass"));
    InstallKeyHelp(this, QStringLiteral("Maintenance password"), PasswordKeys());
    setWindowTitle(QStringLiteral("Password"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);
    setFixedSize(Twips(3840), Twips(1800));

    Label1 = new QLabel(QStringLiteral("Enter Password:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    SetTwipGeometry(Label1, 240, 240, 3360, 285);

    txtPass = new QLineEdit(this);
    txtPass->setObjectName(QStringLiteral("txtPass"));
    txtPass->setEchoMode(QLineEdit::Password);
    // Qt's own mask character depends on the style; the dialog shows "*".
    txtPass->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    SetTwipGeometry(txtPass, 240, 600, 3360, 375);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    SetTwipGeometry(cmdOK, 1320, 1140, 1200, 435);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    txtPass->setFocus();
}

void frmMaintPass::cmdOK_Click() {
    // The message box runs its own loop; the dialog may be gone when it returns.
    QPointer<frmMaintPass> self(this);
    Check_Pass();
    if (self)
        accept();
}

void frmMaintPass::done(int result) {
    QDialog::done(result);
    ReturnKeysTo(parentWidget());
}

void frmMaintPass::Check_Pass() {
    if (ctx_.maintenanceGate().enter(txtPass->text()) != MaintenanceGate::Entry::Wrong)
        return;
    ctx_.prompts().message(this, QStringLiteral("Wrong Password! - try again..."),
                           QCoreApplication::applicationName(), Prompts::Icon::Critical,
                           Prompts::Buttons::Ok);
}

} // namespace fh
