#pragma once
#include <QString>

class QPagedPaintDevice;
class QWidget;

namespace fh {

// Renders the widget's current image on a printer (or any paged device, such as a PDF
// writer), one page per copy, scaled to fit the page and keeping its proportions. False when
// the device cannot be opened.
bool PrintWidgetImage(QPagedPaintDevice& device, QWidget* widget, int copies);

} // namespace fh
