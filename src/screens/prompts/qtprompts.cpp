#include "screens/prompts/qtprompts.h"

#include "screens/common/keyfocus.h"
#include "screens/prompts/printimage.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrintPreviewDialog>

namespace fh {

QtPrompts::QtPrompts() = default;
QtPrompts::~QtPrompts() = default;

static QMessageBox::Icon boxIcon(Prompts::Icon icon) {
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Exclamation:
        return QMessageBox::Warning;
    case Prompts::Icon::Critical:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

Prompts::Answer QtPrompts::message(QWidget* parent, const QString& text, const QString& title,
                                   Icon icon, Buttons buttons) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::NoButton, parent);
    QMessageBox::StandardButtons set;
    QMessageBox::StandardButton escape = QMessageBox::Cancel;
    switch (buttons) {
    case Buttons::Ok:
        set = QMessageBox::Ok;
        escape = QMessageBox::Ok;
        break;
    case Buttons::OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
        break;
    case Buttons::YesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case Buttons::RetryCancel:
        set = QMessageBox::Retry | QMessageBox::Cancel;
        break;
    case Buttons::RetrySaveDiscardCancel:
        set = QMessageBox::Retry | QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(set);
    box.setEscapeButton(escape);
    const int chosen = box.exec();
    ReturnKeysTo(parent);
    switch (chosen) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Save:
        return Answer::Save;
    case QMessageBox::Discard:
        return Answer::Discard;
    default:
        break;
    }
    return escape == QMessageBox::Ok   ? Answer::Ok
           : escape == QMessageBox::No ? Answer::No
                                       : Answer::Cancel;
}

std::optional<QString> QtPrompts::input(QWidget* parent, const QString& prompt,
                                        const QString& title, const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    ReturnKeysTo(parent);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<int> QtPrompts::printDialog(QWidget* parent) {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setCopyCount(1);
    QPrintDialog dialog(printer_.get(), parent);
    const int result = dialog.exec();
    ReturnKeysTo(parent);
    if (result != QDialog::Accepted)
        return std::nullopt;
    // We print each copy ourselves, so the driver must not multiply them again.
    const int copies = std::max(1, printer_->copyCount());
    printer_->setCopyCount(1);
    return copies;
}

bool QtPrompts::printImage(QWidget* widget, int copies) {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return PrintWidgetImage(*printer_, widget, copies);
}

void QtPrompts::beep() {
    QApplication::beep();
}

std::optional<QString> QtPrompts::saveFileName(QWidget* parent, const QString& title,
                                               const QString& suggestedPath,
                                               const QString& filter) {
    const QString path = QFileDialog::getSaveFileName(parent, title, suggestedPath,
                                                      filter + QStringLiteral(";;All files (*)"));
    ReturnKeysTo(parent);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPrompts::openFileName(QWidget* parent, const QString& title,
                                               const QString& folder, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(parent, title, folder,
                                                      filter + QStringLiteral(";;All files (*)"));
    ReturnKeysTo(parent);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

void QtPrompts::printPreview(QWidget* parent, const QString& title, const PagePainter& paint) {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setCopyCount(1);
    QPrintPreviewDialog preview(printer_.get(), parent);
    preview.setWindowTitle(title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter* printer) { paint(printer); });
    preview.resize(900, 1000);
    preview.exec();
    ReturnKeysTo(parent);
}

std::optional<QString> QtPrompts::chooseFolder(QWidget* parent, const QString& title,
                                               const QString& startDir) {
    const QString path = QFileDialog::getExistingDirectory(parent, title, startDir);
    ReturnKeysTo(parent);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace fh
