#include "support/scriptedprompts.h"

#include "screens/prompts/printimage.h"

#include <QBuffer>
#include <QPdfWriter>

namespace fh {

bool ScriptedPrompts::printImage(QWidget* widget, int copies) {
    record({.kind = Call::Print, .copies = copies});
    if (pdfPath.isEmpty())
        return true;
    // A PDF writer, not a printer: a printer object loads the system's print plugin and its
    // libraries, which tests must not depend on.
    QPdfWriter pdf(pdfPath);
    pdf.setResolution(96);
    return PrintWidgetImage(pdf, widget, copies);
}

void ScriptedPrompts::printPreview(QWidget*, const QString& title, const PagePainter& paint) {
    // The pages are painted as the preview would paint them, on a PDF writer in place of the
    // printer; the call records how many there were.
    QBuffer memory;
    memory.open(QIODevice::WriteOnly);
    auto pdf = pdfPath.isEmpty() ? std::make_unique<QPdfWriter>(&memory)
                                 : std::make_unique<QPdfWriter>(pdfPath);
    pdf->setResolution(96);
    const int pages = paint(pdf.get());
    pdf.reset();
    record({.kind = Call::Preview, .text = title, .copies = pages});
}

} // namespace fh
