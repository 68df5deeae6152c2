#pragma once
// The main screen's controls as drawn: names, captions, tooltips, colours, fonts, places and
// their state at start. MainScreen takes them over and gives them their behaviour.
#include "detector/rgb.h"

#include <optional>

class QLabel;
class QPushButton;
class QWidget;

namespace fh {

class LampShape;

inline constexpr Rgb LightGreen{192, 255, 192};
inline constexpr Rgb LightPink{255, 192, 192};
inline constexpr Rgb LightYellow{255, 255, 192};
inline constexpr Rgb TitleGrey{192, 192, 192};
inline constexpr Rgb Black{0, 0, 0};

// The controls the main screen gives behaviour to; the column titles only stand there.
struct MainControls {
    QPushButton *viewLogButton, *masterModeButton, *addressDownButton, *addressUpButton,
        *maintenanceButton, *newAddressButton, *bitButton, *setupButton, *statusLogButton,
        *exitButton;
    QLabel *address, *model, *serial, *status, *linkText, *bitMessage, *logNotice, *tuningNotice;
    LampShape* linkLamp;
};

// Creates the controls on `body` and gives `body` its fixed size.
MainControls BuildMainControls(QWidget* body);

// Text and background colours of a label; nullopt leaves that colour as it is.
void SetLabelColours(QLabel* label, std::optional<Rgb> text, std::optional<Rgb> background);

// A tooltip set anew sends an event even when it is the same text: set only a changed one.
void SetToolTip(QWidget* widget, const QString& tip);

// The colours a label shows now.
Rgb LabelTextColour(const QLabel* label);
Rgb LabelBackground(const QLabel* label);

} // namespace fh
