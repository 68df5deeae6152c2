#pragma once
// Screen positions are given in twips (1/1440 inch); we place them at 15 twips per logical
// pixel, the scale the layouts were drawn at.
#include <QWidget>

namespace fh {

constexpr int TwipsPerPixel = 15;
constexpr int Twips(int twips) {
    return twips / TwipsPerPixel;
}

inline void SetTwipGeometry(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Twips(left), Twips(top), Twips(width), Twips(height));
}

} // namespace fh
