#pragma once
// The commissioning report of a visit, for a site manager to file: a first page with the visit
// and a table of every detector (what needs attention shaded, bold and named in words, so it
// reads in black and white), the comparison with an earlier visit when one is given, then a
// page per detector with its settings and readings. Page numbers and the visit's date on
// every page; a signature line under the table.
#include "visit/diff.h"
#include "visit/record.h"

#include <optional>
#include <QString>

class QPagedPaintDevice;

namespace fh::report {

struct ReportInput {
    visit::SiteRecord record;
    // The comparison with an earlier visit, and that visit, when the report includes one.
    std::optional<visit::VisitDiff> comparison;
    visit::Visit earlier;
};

// Paints the report on a paged device (a PDF writer, or a printer from a print preview) that
// a painter can open; the number of pages, or 0 when the device cannot be painted on.
int PaintReport(const ReportInput& input, QPagedPaintDevice* device);

// The report as a PDF file made with Qt's own writer, replacing the file whole. Needs a
// QGuiApplication (any platform, offscreen too). False with *error when it cannot be written.
bool WriteReportPdf(const ReportInput& input, const QString& path, QString* error);

} // namespace fh::report
