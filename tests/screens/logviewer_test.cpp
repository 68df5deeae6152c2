// The log viewer: what it loads, printing with copies, its keys, and the way back.
#include "hostrig.h"
#include "screens/logviewer/logviewer.h"

#include <QKeyEvent>
#include <QPlainTextEdit>

namespace fh::test {
namespace {

using Call = ScriptedPrompts::Call;

void writeLog(ScreenRig& ctx, const QByteArray& bytes) {
    ASSERT_TRUE(writeAll(ctx.dir.filePath("Ir3Log.txt"), bytes));
}

TEST(LogViewer, LoadsTheWholeFileAndOneMoreLineEnd) {
    // The file (nullptr: none; read as Latin-1), the main screen's status character, and the
    // text loaded and shown.
    using Case = std::tuple<const char*, char, const char*, const char*>;
    for (const auto& [file, status, loaded, shown] :
         {Case{"a 1\r\nb \xdf\r\nc 3\r\n", 'N', "a 1\r\nb \xdf\r\nc 3\r\n\r\n",
               "a 1\nb \xdf\nc 3\n\n"},
          Case{"", 'N', "", ""}, Case{nullptr, 'N', "", ""}, Case{"a\r\n", ' ', "", ""}}) {
        SCOPED_TRACE(file ? file : "<none>");
        ScreenRig ctx;
        ctx.detector().setStatusChar(status);
        ASSERT_TRUE(WaitFor([&] { return ctx.m().link().record().StatusChar == quint8(status); }));
        if (file)
            writeLog(ctx, file);
        QPointer<LogViewer> viewer = new LogViewer(ctx);
        EXPECT_EQ(viewer->loadedText(), QString::fromLatin1(loaded));
        EXPECT_EQ(Find<QPlainTextEdit>(viewer, "txtLog")->toPlainText(),
                  QString::fromLatin1(shown));
        viewer->close();
        EXPECT_EQ(ctx.returns, 1);
        EXPECT_TRUE(WaitFor([&] { return viewer.isNull(); }, 1000));
    }
}

TEST(LogViewer, KeysWorkWhileTheTextBoxHasTheFocusAndEnterPressesTheFocusedButton) {
    for (const auto& [key, text, prints, closes, focus] :
         {std::tuple{int(Qt::Key_P), "p", true, false, "txtLog"},
          {int(Qt::Key_C), "C", false, true, "txtLog"},
          {int(Qt::Key_Escape), "", false, true, "txtLog"},
          {int(Qt::Key_X), "x", false, false, "txtLog"},
          {int(Qt::Key_Return), "\r", false, false, "txtLog"},
          {int(Qt::Key_Return), "\r", false, true, "cmdExit"},
          {int(Qt::Key_Enter), "\r", true, false, "cmdPrint"}}) {
        ScreenRig ctx;
        writeLog(ctx, "a\r\n");
        QPointer<LogViewer> viewer = new LogViewer(ctx);
        viewer->show();
        auto* target = viewer->findChild<QWidget*>(focus);
        target->setFocus();
        // Pages per copy are the setup screen's test of the shared print path; here "p" asks
        // for two copies and Enter on Print cancels in the dialog.
        const bool copies = key == Qt::Key_P;
        ctx.prompts.printAnswers = {copies ? std::optional(2) : std::nullopt};
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QCoreApplication::sendEvent(target, &press);
        EXPECT_EQ(ctx.prompts.callsOf(Call::PrintDialog).size(), prints ? 1u : 0u) << text;
        const auto printed = ctx.prompts.callsOf(Call::Print);
        EXPECT_EQ(printed.size(), copies ? 1u : 0u);
        EXPECT_TRUE(printed.empty() || printed[0].copies == 2);
        EXPECT_EQ(ctx.returns, closes ? 1 : 0) << text;
        if (viewer)
            viewer->close();
        EXPECT_TRUE(WaitFor([&] { return viewer.isNull(); }, 1000));
        EXPECT_EQ(ctx.returns, 1) << "closing twice counts once";
    }
}

} // namespace
} // namespace fh::test
