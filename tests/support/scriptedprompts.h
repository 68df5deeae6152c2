#pragma once
// Prompts for tests: every call is recorded with its texts, answers come from queues the test
// fills beforehand, and printing goes to a PDF file the test names, so it can count pages.
#include "screens/prompts/prompts.h"

#include <deque>
#include <functional>
#include <vector>

namespace fh {

class ScriptedPrompts final : public Prompts {
public:
    struct Call {
        enum Kind { Message, Input, PrintDialog, Print, Beep, SaveFile };
        Kind kind = Message;
        QString text; // message text or input prompt
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QString defaultText;
        int copies = 0; // Print
    };

    // Answers, taken front first. When a queue is empty: a message gets its first button
    // (Ok, Yes or Retry; Cancel for Retry/Save/Discard), an input box its default text, the
    // print and save dialogs Cancel.
    // A save-file call records its title as text and the suggested path as defaultText.
    std::deque<Answer> messageAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<int>> printAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    // Where printImage writes; empty: printing is only recorded.
    QString pdfPath;
    // Called with each call as it happens, e.g. to look at a screen while its message is "open".
    std::function<void(const Call&)> onCall;

    std::vector<Call> calls;
    std::vector<Call> callsOf(Call::Kind kind) const;

    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    std::optional<int> printDialog(QWidget* parent) override;
    bool printImage(QWidget* widget, int copies) override;
    void beep() override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                        const QString& suggestedPath) override;

private:
    void record(const Call& call);
};

} // namespace fh
