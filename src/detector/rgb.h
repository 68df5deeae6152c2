#pragma once
// Colours as plain red, green, blue bytes, so the data code needs no GUI module.
#include <QtGlobal>

namespace fh {

struct Rgb {
    quint8 r = 0;
    quint8 g = 0;
    quint8 b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace colour {
inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb Green{0, 255, 0};
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb Blue{0, 0, 255};
inline constexpr Rgb LightPeach{255, 224, 192};
} // namespace colour

} // namespace fh
