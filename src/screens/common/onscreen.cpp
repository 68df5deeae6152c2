#include "screens/common/onscreen.h"

#include <algorithm>
#include <QScreen>
#include <QWidget>

namespace fh {

QRect FitWithin(const QRect& frame, const QRect& room) {
    QRect fit(frame.topLeft(), frame.size().boundedTo(room.size()));
    fit.moveLeft(std::clamp(fit.left(), room.left(), room.right() + 1 - fit.width()));
    fit.moveTop(std::clamp(fit.top(), room.top(), room.bottom() + 1 - fit.height()));
    return fit;
}

void KeepOnScreen(QWidget* window) {
    const QScreen* where = window->screen();
    if (!where)
        return;
    // A window's move() places its frame, resize() its inside: the frame's margins count too.
    const QRect frame = window->frameGeometry();
    const QSize margins = frame.size() - window->size();
    const QRect fit = FitWithin(frame, where->availableGeometry());
    if (fit.size() != frame.size())
        window->resize((fit.size() - margins).expandedTo(window->minimumSizeHint()));
    // What the layout could not give up still starts at the screen's top left corner.
    const QRect now(fit.topLeft(), window->size() + margins);
    const QPoint place = FitWithin(now, where->availableGeometry()).topLeft();
    if (place != frame.topLeft())
        window->move(place);
}

} // namespace fh
