// The live readings chart: its data model on a plain time line (growth, gaps, the hour bound,
// pause, the window), the envelope it draws through, and the widget on virtual time.
#include "hostrig.h"
#include "screens/charts/envelope.h"
#include "screens/charts/logdigest.h"
#include "screens/charts/readingschart.h"

#include <cmath>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace fh::test {
namespace {

std::array<float, ReadingCount> values(float v) {
    return {v, v + 1, v + 2, 3, 4, 5};
}

// How many points of a reading the window holds, and in how many line pieces.
std::pair<qsizetype, qsizetype> drawn(const ReadingsSeries& s, Reading r = Reading::Sum4) {
    qsizetype points = 0;
    const auto pieces = s.lines(r, 1'000'000);
    for (const auto& p : pieces)
        points += p.size();
    return {points, pieces.size()};
}

TEST(ReadingsSeries, GapsBreakTheLinesAndAreNeverValues) {
    // Each step: 'r' a reading, 'g' a failed refresh, 'n' a reading whose SUM4 is no number;
    // 115 ms apart. Then the SUM4 points and pieces drawn, and the samples kept.
    using Case = std::tuple<const char*, qsizetype, qsizetype, size_t>;
    for (const auto& [steps, points, pieces, kept] :
         {Case{"rrr", 3, 1, 3}, Case{"rrgrr", 4, 2, 5}, Case{"rgggr", 2, 2, 3},
          Case{"ggg", 0, 0, 1}, Case{"rnr", 2, 2, 3}, Case{"grg", 1, 1, 3}}) {
        SCOPED_TRACE(steps);
        ReadingsSeries s;
        qint64 ms = 0;
        for (const char* c = steps; *c; ++c, ms += 115) {
            if (*c == 'g')
                s.addGap(ms);
            else {
                auto v = values(float(ms));
                if (*c == 'n')
                    v[0] = std::nanf("");
                s.addReading(ms, v);
            }
        }
        EXPECT_EQ(drawn(s), std::pair(points, pieces));
        EXPECT_EQ(s.samples().size(), kept);
        for (const auto& sample : s.samples())
            EXPECT_TRUE(sample.gap || std::isnan(sample.values[0]) ||
                        sample.values[0] == sample.ms);
        // The other readings of an 'n' step are drawn.
        const bool numberless = std::string(steps).find('n') != std::string::npos;
        EXPECT_EQ(drawn(s, Reading::Sum45).second, numberless ? 1 : pieces);
    }
}

TEST(ReadingsSeries, KeepsAtMostTheLastHour) {
    // Refresh period, how long, then the samples kept and the age of the oldest.
    using Case = std::tuple<qint64, qint64, size_t, qint64>;
    for (const auto& [period, total, kept, oldest] :
         {Case{115, 60'000, 522, 59'915}, Case{115, 2 * 3'600'000, 31'305, 3'599'960},
          Case{60, 2 * 3'600'000, 32'000, 1'919'940}}) {
        ReadingsSeries s;
        qint64 ms = 0;
        for (; ms < total; ms += period)
            s.addReading(ms, values(1));
        EXPECT_EQ(s.samples().size(), kept) << period;
        EXPECT_EQ(s.samples().back().ms - s.samples().front().ms, oldest) << period;
    }
}

TEST(ReadingsSeries, WindowAndPause) {
    ReadingsSeries s;
    qint64 ms = 0;
    auto run = [&](qint64 until) {
        for (; ms < until; ms += 1000)
            s.addReading(ms, values(1));
    };
    run(20 * 60'000); // 20 minutes, one a second
    // Window minutes, then the points in it: the window ends at the newest sample.
    for (const auto& [minutes, points] : {std::pair{1, 61}, {5, 301}, {15, 901}}) {
        EXPECT_TRUE(s.setWindowMinutes(minutes));
        EXPECT_EQ(drawn(s).first, points) << minutes;
    }
    EXPECT_EQ(s.nextWindowMinutes(), 1);
    EXPECT_FALSE(s.setWindowMinutes(2));
    EXPECT_EQ(s.windowMinutes(), 15);

    s.setWindowMinutes(1);
    s.setPaused(true);
    const qint64 frozen = s.viewEndMs();
    run(ms + 30'000);
    EXPECT_EQ(s.viewEndMs(), frozen) << "paused: the window stands still";
    EXPECT_EQ(s.samples().back().ms, ms - 1000) << "paused: collection goes on";
    s.setPaused(false);
    EXPECT_EQ(s.viewEndMs(), ms - 1000);
}

TEST(ReadingsSeries, CsvHasEveryKeptSampleAndEmptyGaps) {
    ReadingsSeries s;
    s.addReading(0, {1.5f, 2, 3.25f, 4, 5, 6});
    s.addGap(115);
    s.addReading(230, {-1, 0, 1e6f, 0, 0, 255});
    EXPECT_EQ(s.csv([](qint64 ms) { return QByteArray::number(ms); }),
              QByteArray("time,sum4,sum45,sum5,noise4,noise45,noise5\n"
                         "0,1.50,2.00,3.25,4,5,6\n115,,,,,,\n"
                         "230,-1.00,0.00,1000000.00,0,0,255\n"));
}

TEST(Envelope, KeepsTheBoundAndThePeaks) {
    // Points added, the bound, a spike's place (-1: none), then the points kept.
    using Case = std::tuple<int, int, int, qsizetype>;
    for (const auto& [count, bound, spike, kept] :
         {Case{10, 100, -1, 10}, Case{100, 100, 57, 52}, Case{100'000, 2000, 77'777, 2000},
          Case{1'000'003, 1000, 3, 1000}, Case{5, 2, -1, 4}}) {
        Envelope e(bound);
        for (int i = 0; i < count; ++i)
            e.add(QPointF(i, i == spike ? 1e9 : std::sin(i / 50.0)));
        const QList<QPointF> p = e.points();
        EXPECT_LE(p.size(), kept) << count;
        EXPECT_GE(p.size(), std::min<qsizetype>(kept, count) / 2) << count;
        EXPECT_TRUE(std::is_sorted(p.begin(), p.end(), [](QPointF a, QPointF b) {
            return a.x() < b.x();
        })) << count;
        if (spike >= 0) {
            EXPECT_TRUE(std::any_of(p.begin(), p.end(), [&](QPointF q) {
                return q.x() == spike && q.y() == 1e9;
            })) << count;
        }
        EXPECT_EQ(e.added(), count);
    }
}

TEST(ReadingsChart, DrawsOnItsTimerPausesAndExports) {
    VirtualClock clock;
    ScriptedPrompts prompts;
    QTemporaryDir dir;
    ReadingsChart chart(clock, prompts, dir.path());
    chart.show();
    for (int i = 0; i < 100; ++i) {
        clock.advanceUs(115'000);
        if (i % 10 == 9)
            chart.addGap();
        else
            chart.addReading(values(float(i)));
    }
    ASSERT_TRUE(WaitFor([&] { return chart.drawnLines(Reading::Sum5) > 0; }));
    EXPECT_EQ(chart.drawnLines(Reading::Sum5), 10);
    EXPECT_EQ(chart.drawnPoints(Reading::Noise5), 90);

    chart.togglePause();
    EXPECT_EQ(Find<QPushButton>(&chart, "cmdPause")->text(), QStringLiteral("Resume"));
    clock.advanceUs(115'000);
    chart.addReading(values(1));
    clock.advanceUs(1'000'000);
    WaitFor([] { return false; }, 5);
    EXPECT_EQ(chart.drawnPoints(Reading::Noise5), 90) << "paused: the chart stands still";
    EXPECT_EQ(chart.series().samples().size(), 101u);

    chart.stepWindow();
    EXPECT_EQ(Find<QComboBox>(&chart, "cmbWindow")->currentText(),
              QStringLiteral("last 5 minutes"));

    // Cancel saves nothing; a chosen file gets the CSV or the picture.
    const QString csv = dir.filePath("r.csv"), png = dir.filePath("r.png");
    prompts.saveAnswers = {std::nullopt, csv, png, dir.filePath("missing/r.png")};
    chart.exportCsv();
    chart.exportCsv();
    chart.exportPng();
    chart.exportPng();
    EXPECT_EQ(readAll(csv).count('\n'), 102);
    EXPECT_TRUE(readAll(png).startsWith("\x89PNG"));
    EXPECT_TRUE(Find<QLabel>(&chart, "lblChartNotice")->text().contains("could not be written"));
}

} // namespace
} // namespace fh::test

namespace fh::test {
namespace {

LogRecord logRecord(quint8 address, std::optional<quint16> serial, int run, int minute, char status,
                    double sum4 = 1) {
    LogRecord r;
    r.address = address;
    r.serial = serial;
    r.run = run;
    r.date = QDate(2026, 5, 12);
    r.time = QTime(0, 0).addSecs(minute * 60);
    r.status = status;
    r.sum4 = sum4;
    r.sum45 = 2;
    r.sum5 = 3;
    return r;
}

TEST(LogDigest, DetectorsRunsChangesAndWhatItLeavesOut) {
    // The log, its records, then per detector: records, runs, changes kept, changes left out.
    struct Row {
        LogKind kind;
        std::vector<LogRecord> records;
        std::vector<std::tuple<qint64, size_t, size_t, qint64>> detectors;
    };
    std::vector<LogRecord> flapping;
    for (int i = 0; i < int(LogDigest::MaxChanges) + 5; ++i)
        flapping.push_back(logRecord(1, 7, 1, i, i % 2 ? 'A' : 'N'));
    for (const Row& row : {
             // The status log: one detector per address, a lost link (no serial) included.
             Row{LogKind::Status,
                 {logRecord(1, 7, 1, 0, 'N'), logRecord(1, std::nullopt, 1, 1, 'D'),
                  logRecord(1, 7, 2, 2, 'N'), logRecord(2, 9, 2, 2, 'N')},
                 {{3, 0, 3, 0}, {1, 0, 1, 0}}},
             // The sums log: per address and serial, a run each, a sum that is no number skipped.
             Row{LogKind::Sums,
                 {logRecord(1, 7, 1, 0, 'N'), logRecord(1, 7, 2, 1, 'N', std::nan("")),
                  logRecord(1, 8, 2, 2, 'W')},
                 {{2, 2, 1, 0}, {1, 1, 1, 0}}},
             Row{LogKind::Sums, flapping, {{qint64(flapping.size()), 1, LogDigest::MaxChanges, 5}}},
         }) {
        LogDigest d;
        LogBatch batch;
        batch.records = row.records;
        batch.unreadable.resize(LogDigest::KeptUnreadable + 3);
        d.add(batch, row.kind);
        EXPECT_EQ(d.unreadableCount(), qint64(LogDigest::KeptUnreadable + 3));
        EXPECT_EQ(d.unreadable().size(), LogDigest::KeptUnreadable);
        ASSERT_EQ(d.detectors().size(), row.detectors.size());
        for (size_t i = 0; i < row.detectors.size(); ++i) {
            const DetectorTrace& t = d.detectors()[i];
            const auto& [records, runs, changes, leftOut] = row.detectors[i];
            EXPECT_EQ(t.records, records) << i;
            EXPECT_EQ(t.runs.size(), runs) << i;
            EXPECT_EQ(t.changes.size(), changes) << i;
            EXPECT_EQ(t.changesLeftOut, leftOut) << i;
        }
    }
    EXPECT_EQ(UnreadableText(0), QString());
    EXPECT_EQ(UnreadableText(1), QStringLiteral("1 line could not be read"));
    EXPECT_EQ(UnreadableText(3), QStringLiteral("3 lines could not be read"));
}

} // namespace
} // namespace fh::test
