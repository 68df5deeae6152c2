// Leaving with log entries that failed to reach the file: the count is told, and retry, save
// to a file, discard and stay each do what they say.
#include "common/diskroom.h"
#include "logging/loghelpers.h"
#include "logging/statuslog.h"
#include "logging/sumslog.h"
#include "screens/common/keptentries.h"
#include "support/scriptedprompts.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace fh::test {
namespace {

using Answer = Prompts::Answer;
using Call = ScriptedPrompts::Call;

TEST(KeptEntriesAtExit, CountIsToldAndEachChoiceDoesWhatItSays) {
    enum Where { InTheLog, InTheSavedFile, StillKept };
    struct Case {
        const char* name;
        std::vector<Answer> answers;                // one per message box shown
        std::vector<std::optional<QString>> saveAs; // "LOG": the log itself, else kept.txt
        bool mayExit;
        Where entries;
        bool diskFull = false; // no file can grow past a few bytes while the question is open
    };
    const Case cases[] = {
        {"stay", {Answer::Cancel}, {}, false, StillKept},
        {"retry succeeds", {Answer::Retry}, {}, true, InTheLog},
        {"retry fails, then discard", {Answer::Retry, Answer::Discard}, {}, true, StillKept},
        {"save", {Answer::Save}, {"kept"}, true, InTheSavedFile},
        {"save cancelled, stay", {Answer::Save, Answer::Cancel}, {std::nullopt}, false, StillKept},
        {"save over log", {Answer::Save, Answer::Ok, Answer::Discard}, {"LOG"}, true, StillKept},
        // Told, asked again, and the user's own folder proposed next.
        {"save on a full disk",
         {Answer::Save, Answer::Ok, Answer::Save, Answer::Discard},
         {"kept", std::nullopt},
         true,
         StillKept,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString logPath = dir.filePath("Ir3Log.txt");
        ASSERT_TRUE(QDir().mkdir(logPath)); // a folder in the log's place: no write gets in
        StatusLog status(dir.path(), fixedClock());
        SumsLog sums(dir.path(), fixedClock());
        DetectorRecord d;
        d.StatusChar = 'N';
        status.start(1, d, 'N');
        const int kept = status.file().pendingBlocks();
        ASSERT_GT(kept, 0);
        // Where a retry is to get through, the log's folder is gone by then.
        ASSERT_TRUE(c.entries != InTheLog || QDir().rmdir(logPath));

        ScriptedPrompts prompts;
        prompts.messageAnswers.assign(c.answers.begin(), c.answers.end());
        for (const auto& path : c.saveAs)
            prompts.saveAnswers.push_back(
                path ? std::optional(QString(*path == "LOG" ? logPath : dir.filePath("kept.txt")))
                     : std::nullopt);
        const QByteArray keptBytes = status.file().pendingBytes();

        const auto exit = [&] {
            return MayExitWithKeptEntries(prompts, nullptr, {&status, &sums});
        };
        EXPECT_EQ(c.diskFull ? WithRoomFor(10, exit) : exit(), c.mayExit);

        const auto shown = prompts.callsOf(Call::Message);
        ASSERT_EQ(shown.size(), c.answers.size());
        EXPECT_TRUE(shown[0].text.startsWith(
            QString("%1 log entries could not be written to Ir3Log.txt and will be lost")
                .arg(kept)))
            << qPrintable(shown[0].text);
        EXPECT_EQ(shown[0].buttons, Prompts::Buttons::RetrySaveDiscardCancel);
        EXPECT_EQ(readAll(logPath) == keptBytes, c.entries == InTheLog);
        EXPECT_EQ(readAll(dir.filePath("kept.txt")) == keptBytes, c.entries == InTheSavedFile);
        EXPECT_EQ(status.file().pendingBlocks() > 0, c.entries == StillKept);
        const auto saves = prompts.callsOf(Call::SaveFile);
        ASSERT_EQ(saves.size(), c.saveAs.size());
        for (size_t i = 0; i < saves.size(); ++i) {
            const QString folder = QFileInfo(saves[i].defaultText).absolutePath();
            EXPECT_EQ(folder == QFileInfo(dir.path()).absoluteFilePath(), i == 0) << i;
        }
    }
}

} // namespace
} // namespace fh::test
