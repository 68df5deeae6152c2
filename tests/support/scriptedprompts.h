#pragma once
// Prompts for tests: every call is recorded with its texts, answers come from queues the test
// fills beforehand, and printing goes to a PDF file the test names, so it can count pages.
#include "screens/prompts/prompts.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <iterator>
#include <vector>

namespace fh {

class ScriptedPrompts final : public Prompts {
public:
    struct Call {
        enum Kind { Message, Input, PrintDialog, Print, Beep, SaveFile, OpenFile, Preview, Folder };
        Kind kind = Message;
        QString text{}; // message text or input prompt; a file dialog's or preview's title
        QString title{};
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QString defaultText{}; // a file dialog's suggested path or folder
        int copies = 0;        // Print; Preview: the pages painted
    };

    // Answers, taken front first. When a queue is empty: a message gets its first button (Ok, Yes
    // or Retry; Cancel for Retry/Save/Discard, where Retry could go round for ever on a file that
    // stays broken), an input box its default text, the print and file dialogs Cancel.
    std::deque<Answer> messageAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<int>> printAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> openAnswers;
    // Where printImage and printPreview write; empty: printing is only recorded, and a
    // preview paints into memory.
    QString pdfPath;
    // Called with each call as it happens, e.g. to look at a screen while its message is "open".
    std::function<void(const Call&)> onCall;

    std::vector<Call> calls;
    std::vector<Call> callsOf(Call::Kind kind) const {
        std::vector<Call> v;
        std::ranges::copy_if(calls, std::back_inserter(v), [&](auto& c) { return c.kind == kind; });
        return v;
    }

    Answer message(QWidget*, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override {
        record({Call::Message, text, title, icon, buttons});
        const Answer first = buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel
                                 ? Answer::Yes
                             : buttons == Buttons::RetryCancel            ? Answer::Retry
                             : buttons == Buttons::RetrySaveDiscardCancel ? Answer::Cancel
                                                                          : Answer::Ok;
        return take(messageAnswers, first);
    }
    std::optional<QString> input(QWidget*, const QString& prompt, const QString& title,
                                 const QString& defaultText) override {
        record({.kind = Call::Input, .text = prompt, .title = title, .defaultText = defaultText});
        return take(inputAnswers, std::optional(defaultText));
    }
    std::optional<int> printDialog(QWidget*) override {
        record({.kind = Call::PrintDialog});
        return take(printAnswers, std::optional<int>());
    }
    bool printImage(QWidget* widget, int copies) override;
    void beep() override { record({.kind = Call::Beep}); }
    std::optional<QString> saveFileName(QWidget*, const QString& title,
                                        const QString& suggestedPath, const QString&) override {
        record({.kind = Call::SaveFile, .text = title, .defaultText = suggestedPath});
        return take(saveAnswers, std::optional<QString>());
    }
    std::optional<QString> chooseFolder(QWidget*, const QString& title,
                                        const QString& startDir) override {
        record({.kind = Call::Folder, .text = title, .defaultText = startDir});
        return take(folderAnswers, std::optional<QString>());
    }
    std::optional<QString> openFileName(QWidget*, const QString& title, const QString& folder,
                                        const QString&) override {
        record({.kind = Call::OpenFile, .text = title, .defaultText = folder});
        return take(openAnswers, std::optional<QString>());
    }
    void printPreview(QWidget* parent, const QString& title, const PagePainter& paint) override;

private:
    void record(const Call& call) {
        calls.push_back(call);
        if (onCall)
            onCall(call);
    }
    template <typename T> static T take(std::deque<T>& queue, T otherwise) {
        if (!queue.empty()) {
            otherwise = std::move(queue.front());
            queue.pop_front();
        }
        return otherwise;
    }
};

} // namespace fh
