#include "screens/logviewer/frmCusLog.h"

#include "detector/detectorrecord.h"
#include "logging/statuslog.h"
#include "screens/common/formkeys.h"
#include "screens/common/keyhelp.h"
#include "screens/common/screencontext.h"
#include "screens/prompts/prompts.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>

namespace fh {

frmCusLog::frmCusLog(ScreenContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmCusLog"));
    InstallKeyHelp(this, QStringLiteral("Status log"), LogViewerKeys());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LogViewerTitle);
    if (parent)
        setWindowFlags(Qt::Window);

    txtLog = new QPlainTextEdit(this);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    txtLog->setReadOnly(true);
    txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log is laid out in columns: a fixed-pitch font keeps them straight.
    txtLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtLog->setGeometry(8, 8, 624, 380);

    cmdExit = new QPushButton(QStringLiteral("&Close"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(8, 398, 110, 32);
    cmdPrint = new QPushButton(QStringLiteral("&Print"), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdPrint->setGeometry(128, 398, 110, 32);
    for (QPushButton* b : {cmdExit, cmdPrint})
        b->setAutoDefault(false);
    setFixedSize(640, 440);

    connect(cmdExit, &QPushButton::clicked, this, &frmCusLog::cmdExit_Click);
    connect(cmdPrint, &QPushButton::clicked, this, &frmCusLog::cmdPrint_Click);

    // The form sees every key first, also while the text box has the focus; Esc is Close.
    auto* keys = new FormKeys(this);
    keys->onLetter('c', [this] { cmdExit_Click(); })
        .onLetter('p', [this] { cmdPrint_Click(); })
        .on(Qt::Key_Escape, [this] { cmdExit_Click(); });

    Form_Load();
}

void frmCusLog::Form_Load() {
    GetTextFromFile(QDir(ctx_.dataDir()).filePath(StatusLogFileName), txtLog);
}

void frmCusLog::GetTextFromFile(const QString& txtFile, QPlainTextEdit* txtopen) {
    QFile file(txtFile);
    if (!txtopen || !file.open(QIODevice::ReadOnly))
        return;
    if (file.atEnd() || StatusText(ctx_.detector()) == QStringLiteral(" "))
        return; // an empty file ends before any read; QFile closes on the way out
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    loaded_ = QString::fromLatin1(bytes) + QStringLiteral("\r\n");
    QString shown = loaded_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtopen->setPlainText(shown);
}

void frmCusLog::cmdPrint_Click() {
    // Cancel in the dialog ends the command quietly; so does a printer that fails.
    const std::optional<int> copies = ctx_.prompts().printDialog(this);
    if (!copies || *copies < 1)
        return;
    ctx_.prompts().printImage(this, *copies);
}

void frmCusLog::cmdExit_Click() {
    close();
}

void frmCusLog::closeEvent(QCloseEvent* e) {
    e->accept();
    if (!unloaded_) {
        unloaded_ = true;
        ctx_.screenClosed();
    }
}

} // namespace fh
