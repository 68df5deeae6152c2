// Printing through the scripted prompts: one PDF page per copy, so screen tests can count them.
#include "screens/prompts/scriptedprompts.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

TEST(ScriptedPrompts, PrintsOnePagePerCopy) {
    QTemporaryDir dir;
    fh::ScriptedPrompts p;
    p.pdfPath = QDir(dir.path()).filePath("print.pdf");
    QLabel window("Setup table");
    window.resize(200, 100);

    for (int copies : {1, 3}) {
        ASSERT_TRUE(p.printImage(&window, copies));
        QFile pdf(p.pdfPath);
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(pdf.readAll());
        EXPECT_EQ(text.count(QRegularExpression("/Type\\s*/Page\\b(?!s)")), copies);
    }
    EXPECT_EQ(p.calls.back().copies, 3);
}

} // namespace
