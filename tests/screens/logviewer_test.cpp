// The log viewer: what it loads, printing with copies, its keys, and the way back.
#include "hostrig.h"
#include "screens/charts/zoomchartview.h"
#include "screens/logviewer/logviewer.h"

#include <QChart>
#include <QComboBox>
#include <QLabel>

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

namespace fh::test {
namespace {

// A log line in the writer's columns, dates in the fallback form every locale reads.
QByteArray record(const char* address, const char* time, const char* status, const char* serial,
                  const char* sums = nullptr) {
    QByteArray line =
        QByteArray(address).leftJustified(6) + QByteArray("2026-05-12").leftJustified(12) +
        QByteArray(time).leftJustified(14) + QByteArray(status).leftJustified(9) + serial;
    if (sums)
        line = line.leftJustified(46) + sums;
    return line + "\r\n";
}

const QByteArray StatusHeader =
    "\r\nAddr. Date        Time          Status   Serial No.\r\n" + QByteArray(70, '-') + "\r\n";
const QByteArray SumsHeader = "\r\nAddr. Date        Time          Status   SerialNo.\r\n" +
                              QByteArray(46, ' ') + "Sum4      Sum45       Sum5\r\n" +
                              QByteArray(81, '-') + "\r\n";

TEST(LogViewer, ChartsEitherLogPerDetectorAndCountsTheLinesItCannotRead) {
    const QByteArray statusLog = StatusHeader + record("1", "04:27:37", "N", "4660") +
                                 record("1", "04:28:37", "W", "4660") +
                                 record("7", "04:28:40", "D", "") + "a line edited by hand\r\n" +
                                 record("1", "04:29:37", "A", "4660") + "1     2026-05-12  04:3";
    const QByteArray sumsLog =
        SumsHeader + record("5", "04:27:37", "NN", "1234", "1.2       22.5        333.3") +
        record("5", "04:28:37", "NN", "1234", "1.4       22.0        330.0") + SumsHeader +
        record("5", "05:00:00", "AN", "1234", "9.0       30.5        200.0") +
        record("5", "05:01:00", "AN", "4321", "2.0       3.0         4.0") + "5     x\r\n";
    // The log, then per detector (in file order) its label, records, runs and status changes,
    // and the count shown.
    struct Row {
        LogKind kind;
        QByteArray file;
        std::vector<std::tuple<QString, qint64, size_t, size_t>> detectors;
        QString unreadable;
    };
    for (const Row& row : {Row{LogKind::Status,
                               statusLog,
                               {{"1 (serial 4660)", 3, 0, 3}, {"7", 1, 0, 1}},
                               "2 lines could not be read"},
                           Row{LogKind::Sums,
                               sumsLog,
                               {{"5 (serial 1234)", 3, 2, 2}, {"5 (serial 4321)", 1, 1, 1}},
                               "1 line could not be read"}}) {
        ScreenRig ctx;
        ASSERT_TRUE(writeAll(
            ctx.dir.filePath(row.kind == LogKind::Status ? "Ir3Log.txt" : "Ir3SumsLog.txt"),
            row.file));
        QPointer<LogViewer> viewer = new LogViewer(ctx);
        viewer->showLog(row.kind);
        ASSERT_TRUE(WaitFor([&] { return viewer->digest() != nullptr; }));
        EXPECT_EQ(Find<QLabel>(viewer, "lblUnreadable")->text(), row.unreadable);
        const auto& traces = viewer->digest()->detectors();
        ASSERT_EQ(traces.size(), row.detectors.size());
        for (size_t i = 0; i < traces.size(); ++i) {
            const auto& [label, records, runs, changes] = row.detectors[i];
            EXPECT_EQ(traces[i].label(), label);
            EXPECT_EQ(traces[i].records, records) << label.toStdString();
            EXPECT_EQ(traces[i].runs.size(), runs) << label.toStdString();
            EXPECT_EQ(traces[i].changes.size(), changes) << label.toStdString();
        }
        // The first detector is drawn: three lines per run and a mark series per new status
        // in the sums log, the invisible anchor line of the timeline in the status log.
        const QChart* chart = Find<ZoomChartView>(viewer, "chtLog")->chart();
        EXPECT_EQ(chart->series().size(), row.kind == LogKind::Sums ? 2 * 3 + 2 : 1);
        EXPECT_EQ(Find<QComboBox>(viewer, "cmbDetector")->count(), int(row.detectors.size()));

        // The CSV of the second detector: the header and its records only.
        const QString csv = ctx.dir.filePath("out.csv");
        ctx.prompts.saveAnswers = {csv};
        viewer->showDetector(1);
        viewer->exportCsv();
        ASSERT_TRUE(WaitFor([&] {
            return Find<QLabel>(viewer, "lblChartNotice")->text().contains("records saved");
        }));
        EXPECT_EQ(readAll(csv).count('\n'), 2);
        viewer->close();
        EXPECT_TRUE(WaitFor([&] { return viewer.isNull(); }, 1000));
    }
}

TEST(LogViewer, HistoryDrawsOneSerialAcrossTheSiteRecords) {
    ScreenRig ctx;
    QTemporaryDir visits;
    ASSERT_TRUE(writeAll(visits.filePath("broken.json"), "{"));
    QPointer<LogViewer> viewer = new LogViewer(ctx);
    // Cancelled folder, cancelled serial, a serial that is none, then a folder with nothing.
    ctx.prompts.folderAnswers = {std::nullopt, visits.path(), visits.path(), visits.path()};
    ctx.prompts.inputAnswers = {std::nullopt, QString("70000"), QString("12")};
    auto* notice = Find<QLabel>(viewer, "lblChartNotice");
    const QString before = notice->text();
    viewer->showHistory();
    viewer->showHistory();
    EXPECT_EQ(notice->text(), before) << "a cancel says nothing";
    viewer->showHistory();
    EXPECT_TRUE(notice->text().contains("is not a serial number"));
    viewer->showHistory();
    EXPECT_TRUE(notice->text().startsWith("Serial 12: in 0 of 0 site records"));
    EXPECT_TRUE(notice->text().contains("broken.json"));
    viewer->close();
    EXPECT_TRUE(WaitFor([&] { return viewer.isNull(); }, 1000));
}

} // namespace
} // namespace fh::test
