#include "support/scriptedprompts.h"

#include "screens/prompts/printimage.h"

#include <QPrinter>

namespace fh {

bool ScriptedPrompts::printImage(QWidget* widget, int copies) {
    record({.kind = Call::Print, .copies = copies});
    if (pdfPath.isEmpty())
        return true;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    return PrintWidgetImage(printer, widget, copies);
}

} // namespace fh
