#pragma once
// The files a visit leaves, as the screens save them: the site record and its report, each
// where the operator chooses, in the folder chosen last time (remembered between runs), and
// the report shown in a print preview.
#include "report/pdfreport.h"
#include "visit/record.h"

#include <optional>
#include <QString>

class QWidget;

namespace fh {

class Prompts;

inline constexpr const char* RecordFilter = "Site records (*.json)";
inline constexpr const char* ReportFilter = "PDF files (*.pdf)";

// The folder the visit's files were last saved in or read from; the user's documents folder
// before the first time.
QString VisitFolder();
// Remembers the folder of this file for the next time.
void RememberVisitFolder(const QString& file);

// A file name for the visit without its suffix: the site and the start time, with characters
// that file systems refuse replaced ("North hall 2026-03-04 1015").
QString VisitFileBase(const visit::Visit& visit);
// The path with the suffix added when it has none.
QString WithSuffix(const QString& path, const QString& suffix);

// Asks where to save the record and writes it there. A cancelled dialog asks whether to
// discard the visit before it is given up; a failed write is told and asked again. The
// path written, or nothing when the operator chose to discard it.
std::optional<QString> SaveRecord(Prompts& prompts, QWidget* parent,
                                  const visit::SiteRecord& record);
// Asks where to save the report (beside `near`, with its name) and writes it; nothing when
// cancelled or not written (*error then says why, empty for a cancel).
std::optional<QString> SaveReport(Prompts& prompts, QWidget* parent,
                                  const report::ReportInput& input, const QString& near,
                                  QString* error);
void PreviewReport(Prompts& prompts, QWidget* parent, const report::ReportInput& input);

} // namespace fh
