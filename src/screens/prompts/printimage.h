#pragma once
#include <QString>

class QPrinter;
class QWidget;

namespace fh {

// Renders the widget's current image on the printer, one page per copy, scaled to fit the page
// and keeping its proportions. False when the printer cannot be opened.
bool PrintWidgetImage(QPrinter& printer, QWidget* widget, int copies);

} // namespace fh
