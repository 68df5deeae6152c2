// The PDF report as a reader gets it: its text taken out again with pdftotext.
#include "report/pdfreport.h"
#include "samples.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace fh;
using namespace fh::visit;

namespace {

// The text of the PDF in drawing order, blanks and line ends folded to single spaces.
QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {"-raw", path, "-"});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed>");
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

TEST(PdfReport, HoldsTheVisitTheTableWhatNeedsAttentionAndAPagePerDetector) {
    ASSERT_FALSE(QStandardPaths::findExecutable("pdftotext").isEmpty())
        << "pdftotext (poppler-utils, scripts/setup.sh) is needed";
    SiteRecord earlier = test::SampleRecord();
    earlier.visit.started = test::At("2025-09-01T09:00:00+02:00");
    earlier.detectors[0].firmware = "C1 FW 2.99";
    SiteRecord empty = test::SampleRecord();
    empty.detectors.clear();
    empty.visit.complete = false;
    empty.visit.interrupted = "cancelled";

    const struct {
        const char* name;
        report::ReportInput input;
        int pages;
        QStringList says;
    } cases[] = {
        {"Visit",
         {test::SampleRecord(), CompareVisits(earlier, test::SampleRecord()), earlier.visit},
         4,
         {"Site North hall", "Technician A. Tech",
          "Date 2026-03-04 10:15:02 (UTC+01:00) to 2026-03-04 10:21:40 (UTC+01:00)",
          "Survey complete",
          // Rows that need attention are marked and say why in words.
          "! 3 Zorvan C1 31208 C1 FW 3.00 N performed 24.1 -5 1 reply fault",
          "! 5 Zorvan A1 1203 A1 FW 2.07 W no answer 24.1 -5 fault 1; status W; BIT not "
          "performed; sensitivity outside its list",
          "! 8 - - - - not run - - 3 reply faults; not read: status, firmware",
          "3 detectors; 3 need attention", "Signature:",
          "Changes since the visit of 2025-09-01 (North hall) • firmware changed: Zorvan C1 "
          "serial 31208 at address 3: C1 FW 2.99 -> C1 FW 3.00",
          "Address 3: Zorvan C1, serial 31208", "Heat on 30",
          "Activate Alarm on successfull manual BIT off",
          "SUM4 / SUM45 / SUM5 1520.50 / 1480.00 / nan",
          "BIT SUM4 / SUM45 / SUM5 -inf / 4100.00 / 0.10", "Supply voltage 24.1 V",
          "Address 5: Zorvan A1, serial 1203", "Sensitivity raw 2 (outside its list)",
          "Gain unknown", "no answer 2026-03-04 10:17:00 (UTC+01:00)", "Address 8: not identified",
          "Not read status bad check bytes", "bad check 3"}},
        {"NothingFound",
         {empty, std::nullopt, {}},
         1,
         {"Survey INCOMPLETE (cancelled)", "No detector answered.",
          "0 detectors; 0 need attention"}},
    };
    const QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString pdf = dir.filePath(QString::fromLatin1(c.name) + ".pdf");
        QString error;
        ASSERT_TRUE(report::WriteReportPdf(c.input, pdf, &error)) << qPrintable(error);
        const QString text = pdfText(pdf);
        for (const QString& s : c.says)
            EXPECT_TRUE(text.contains(s)) << qPrintable(s) << "\n in: " << qPrintable(text);
        // Every page says which it is, of how many, and of which visit.
        for (int page = 1; page <= c.pages; ++page)
            EXPECT_TRUE(
                text.contains(QStringLiteral("North hall - visit of 2026-03-04 Page %1 of %2")
                                  .arg(page)
                                  .arg(c.pages)))
                << page;
        EXPECT_FALSE(text.contains(QStringLiteral("Page %1 of").arg(c.pages + 1)));
    }
}

} // namespace
