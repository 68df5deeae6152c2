#include "support/scriptedprompts.h"

#include "screens/prompts/printimage.h"

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

} // namespace fh
