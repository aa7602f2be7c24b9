#include "core/widgets/DpiScale.h"

#include <cstdlib>

namespace virel::dpi {

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t divisor = std::llabs(denominator);
    const bool negative = (product < 0) != (denominator < 0);
    // |product| fits: at most 2^62. Half the divisor added before truncating rounds halves up,
    // which on the magnitude is away from zero.
    const std::int64_t magnitude = (std::llabs(product) + divisor / 2) / divisor;
    if (magnitude > 2147483647) return -1;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int Scale(int value, int dpi) {
    if (dpi <= 0 || dpi == kDesignDpi) return value;
    return MulDiv(value, dpi, kDesignDpi);
}

TBounds ScaleBounds(TBounds design, int dpi) {
    const int left = Scale(design.x, dpi);
    const int top = Scale(design.y, dpi);
    return {left, top, Scale(design.x + design.width, dpi) - left,
            Scale(design.y + design.height, dpi) - top};
}

int FontHeight(int points, int dpi) {
    return -MulDiv(points, dpi <= 0 ? kDesignDpi : dpi, kPointsPerInch);
}

}  // namespace virel::dpi
