#pragma once
// The windows are designed at 96 pixels per inch; on a monitor of more (125 to 200 % is what
// laptops come with) every position, size and font is scaled by the monitor's pixels per inch
// over 96. Rounding is the system's MulDiv rule, so a size computed here and one computed by
// Windows agree.
#include <cstdint>

namespace virel::dpi {

inline constexpr int kDesignDpi = 96;
// What a point is in pixels per inch: fonts are given in points.
inline constexpr int kPointsPerInch = 72;

// number * numerator / denominator, the product in 64 bits, rounded to the nearest whole number
// with halves away from zero; -1 for a zero denominator or a result beyond +-2147483647 (the
// system's MulDiv answers the same).
int MulDiv(int number, int numerator, int denominator);

// A design measure (at 96) at `dpi`. A dpi that is not positive is taken as 96: a failed query
// leaves the design as it is.
int Scale(int value, int dpi);

// A rectangle given as its left, top, width and height.
struct TBounds {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TBounds&, const TBounds&) = default;
};

// Design bounds at `dpi`. The edges are scaled, not the sizes: controls that touch at 96 touch
// at every dpi, and a control at the design's right or bottom edge ends at the scaled client
// area's edge.
TBounds ScaleBounds(TBounds design, int dpi);

// The character height (negative, as a font is asked for by) of a font of `points` at `dpi`:
// 8 points are 11 pixels at 96, 16 at 144 and 21 at 192.
int FontHeight(int points, int dpi);

}  // namespace virel::dpi
