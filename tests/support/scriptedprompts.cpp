#include "support/scriptedprompts.h"

#include "screens/prompts/printimage.h"

#include <QPrinter>

namespace fh {

std::vector<ScriptedPrompts::Call> ScriptedPrompts::callsOf(Call::Kind kind) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

void ScriptedPrompts::record(const Call& call) {
    calls.push_back(call);
    if (onCall)
        onCall(call);
}

Prompts::Answer ScriptedPrompts::message(QWidget*, const QString& text, const QString& title,
                                         Icon icon, Buttons buttons) {
    Call c;
    c.kind = Call::Message;
    c.text = text;
    c.title = title;
    c.icon = icon;
    c.buttons = buttons;
    record(c);
    if (!messageAnswers.empty()) {
        const Answer a = messageAnswers.front();
        messageAnswers.pop_front();
        return a;
    }
    switch (buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::Yes;
    case Buttons::RetryCancel:
        return Answer::Retry;
    case Buttons::RetrySaveDiscardCancel:
        return Answer::Cancel; // Retry could go round for ever on a file that stays broken
    default:
        return Answer::Ok;
    }
}

std::optional<QString> ScriptedPrompts::input(QWidget*, const QString& prompt, const QString& title,
                                              const QString& defaultText) {
    Call c;
    c.kind = Call::Input;
    c.text = prompt;
    c.title = title;
    c.defaultText = defaultText;
    record(c);
    if (!inputAnswers.empty()) {
        const std::optional<QString> a = inputAnswers.front();
        inputAnswers.pop_front();
        return a;
    }
    return defaultText;
}

std::optional<int> ScriptedPrompts::printDialog(QWidget*) {
    Call c;
    c.kind = Call::PrintDialog;
    record(c);
    if (!printAnswers.empty()) {
        const std::optional<int> a = printAnswers.front();
        printAnswers.pop_front();
        return a;
    }
    return std::nullopt;
}

bool ScriptedPrompts::printImage(QWidget* widget, int copies) {
    Call c;
    c.kind = Call::Print;
    c.copies = copies;
    record(c);
    if (pdfPath.isEmpty())
        return true;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    return PrintWidgetImage(printer, widget, copies);
}

std::optional<QString> ScriptedPrompts::saveFileName(QWidget*, const QString& title,
                                                     const QString& suggestedPath) {
    Call c;
    c.kind = Call::SaveFile;
    c.text = title;
    c.defaultText = suggestedPath;
    record(c);
    if (saveAnswers.empty())
        return std::nullopt;
    const std::optional<QString> a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
}

void ScriptedPrompts::beep() {
    Call c;
    c.kind = Call::Beep;
    record(c);
}

} // namespace fh
