#pragma once
// Everything a screen asks of the operator outside its own window: message boxes, the input
// box, the print dialog, printing a window's image, the beep. Screens talk to this seam only,
// so tests can answer in their place.
#include <functional>
#include <optional>
#include <QString>

class QPagedPaintDevice;
class QWidget;

namespace fh {

class Prompts {
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, RetrySaveDiscardCancel };
    enum class Answer { Ok, Cancel, Yes, No, Retry, Save, Discard };

    virtual ~Prompts() = default;

    // A modal message box; gives the button that closed it (closing it otherwise counts as
    // Cancel, or No where there is no Cancel, or Ok for a lone Ok).
    virtual Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                           Buttons buttons) = 0;
    // A modal input box; nullopt when cancelled.
    virtual std::optional<QString> input(QWidget* parent, const QString& prompt,
                                         const QString& title, const QString& defaultText) = 0;
    // The print dialog; the number of copies, nullopt when cancelled.
    virtual std::optional<int> printDialog(QWidget* parent) = 0;
    // Prints the widget's image once per copy on the printer the dialog chose. False when the
    // printer could not be used.
    virtual bool printImage(QWidget* widget, int copies) = 0;
    virtual void beep() = 0;
    // The save-file dialog, opening at suggestedPath and listing the files `filter` names
    // ("Site records (*.json)"); the chosen path, nullopt when cancelled.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                                const QString& suggestedPath,
                                                const QString& filter) = 0;
    // The open-file dialog, opening in folder; the chosen path, nullopt when cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& title,
                                                const QString& folder, const QString& filter) = 0;
    // A print preview of pages that `paint` draws on the device it is given (and again on the
    // printer the operator prints to from there), giving the number of pages. Returns once
    // the preview is closed.
    using PagePainter = std::function<int(QPagedPaintDevice*)>;
    virtual void printPreview(QWidget* parent, const QString& title, const PagePainter& paint) = 0;
    // The folder dialog, opening at startDir; the chosen folder, nullopt when cancelled.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& title,
                                                const QString& startDir) = 0;
};

} // namespace fh
