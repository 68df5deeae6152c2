#pragma once
// Windows that open within the screen they open on. Sizes chosen for a 1x screen run off a
// small one at high scaling (2x on 1280x1024 leaves 640x512 logical pixels): the window is
// made smaller, as far as its layout allows, and moved back inside the screen's free area.
#include <QRect>

class QWidget;

namespace fh {

// The frame `frame` moved (and shrunk to room's size at most) so that it lies within `room`;
// a frame that fits stays where it is.
QRect FitWithin(const QRect& frame, const QRect& room);

// Applies FitWithin to a shown top-level window against the available area of its screen.
void KeepOnScreen(QWidget* window);

} // namespace fh
