#pragma once
// The visit commands of flamehost-cli: survey, survey restore, setup save and setup load run
// over the line worker from the program's event loop; report and survey diff read files alone.
#include "commands.h"

#include <memory>
#include <QCoreApplication>

namespace fh::visit {
struct SiteRecord;
}

namespace fh::cli {

// The application a run needs: painting a report takes a QGuiApplication, run on the
// offscreen platform so no display is needed; everything else a QCoreApplication.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv);

// report and survey diff.
Outcome RunFileCommand(const Options& options);
// survey, survey restore, setup save, setup load.
Outcome RunLineVisitCommand(const Session& session);

// Writes the report of a record as PDF, with the changes since the record at compareWith when
// that is given; the outcome on failure (exit 2), nothing on success.
std::optional<Outcome> WriteReport(const visit::SiteRecord& record, const QString& pdfPath,
                                   const QString& compareWith, double sumsThreshold);

// "flamehost-cli 0.1.0", for what the files say made them.
QString ProgramText();

} // namespace fh::cli
