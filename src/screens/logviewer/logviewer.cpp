#include "screens/logviewer/logviewer.h"

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

LogViewer::LogViewer(ScreenContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("frmCusLog"));
    InstallKeyHelp(this, QStringLiteral("Status log"), LogViewerKeys());
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(LogViewerTitle);
    if (parent)
        setWindowFlags(Qt::Window);

    textBox_ = new QPlainTextEdit(this);
    textBox_->setObjectName(QStringLiteral("txtLog"));
    textBox_->setReadOnly(true);
    textBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log is laid out in columns: a fixed-pitch font keeps them straight.
    textBox_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    textBox_->setGeometry(8, 8, 624, 380);

    auto* closeButton = new QPushButton(QStringLiteral("&Close"), this);
    closeButton->setObjectName(QStringLiteral("cmdExit"));
    closeButton->setGeometry(8, 398, 110, 32);
    auto* printButton = new QPushButton(QStringLiteral("&Print"), this);
    printButton->setObjectName(QStringLiteral("cmdPrint"));
    printButton->setGeometry(128, 398, 110, 32);
    for (QPushButton* b : {closeButton, printButton})
        b->setAutoDefault(false);
    setFixedSize(640, 440);

    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(printButton, &QPushButton::clicked, this, &LogViewer::onPrintClicked);

    // The form sees every key first, also while the text box has the focus; Esc is Close.
    auto* keys = new FormKeys(this);
    keys->onLetter('c', [this] { close(); })
        .onLetter('p', [this] { onPrintClicked(); })
        .on(Qt::Key_Escape, [this] { close(); });

    load(QDir(ctx_.dataDir()).filePath(StatusLogFileName));
}

void LogViewer::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    if (file.atEnd() || StatusText(ctx_.detector()) == QStringLiteral(" "))
        return; // an empty file ends before any read; QFile closes on the way out
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return;
    loaded_ = QString::fromLatin1(bytes) + QStringLiteral("\r\n");
    QString shown = loaded_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    textBox_->setPlainText(shown);
}

void LogViewer::onPrintClicked() {
    // Cancel in the dialog ends the command quietly; so does a printer that fails.
    const std::optional<int> copies = ctx_.prompts().printDialog(this);
    if (!copies || *copies < 1)
        return;
    ctx_.prompts().printImage(this, *copies);
}

void LogViewer::closeEvent(QCloseEvent* e) {
    e->accept();
    if (!closed_) {
        closed_ = true;
        ctx_.screenClosed();
    }
}

} // namespace fh
