#pragma once
// The prompts as real dialogs.
#include "screens/prompts/prompts.h"

#include <memory>

class QPrinter;

namespace fh {

class QtPrompts final : public Prompts {
public:
    QtPrompts();
    ~QtPrompts() override;

    Answer message(QWidget* parent, const QString& text, const QString& title, Icon icon,
                   Buttons buttons) override;
    std::optional<QString> input(QWidget* parent, const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    std::optional<int> printDialog(QWidget* parent) override;
    bool printImage(QWidget* widget, int copies) override;
    void beep() override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& title,
                                        const QString& suggestedPath,
                                        const QString& filter) override;
    std::optional<QString> openFileName(QWidget* parent, const QString& title,
                                        const QString& folder, const QString& filter) override;
    void printPreview(QWidget* parent, const QString& title, const PagePainter& paint) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& title,
                                        const QString& startDir) override;

private:
    std::unique_ptr<QPrinter> printer_; // keeps the operator's choice for the next print
};

} // namespace fh
