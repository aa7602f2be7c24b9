#include "core/widgets/GaugeMath.h"

#include <cstdint>

namespace virel::gauge {

int PercentDone(int minValue, int maxValue, int progress) {
    const std::int64_t span = std::int64_t{maxValue} - minValue;
    if (span == 0) return 0;
    return static_cast<int>((std::int64_t{progress} - minValue) * 100 / span);
}

int LimitProgress(int progress, int minValue, int maxValue) {
    if (progress < minValue) return minValue;
    if (progress > maxValue) return maxValue;
    return progress;
}

bool IsValidMaxValue(int maxValue, int minValue) {
    return maxValue >= minValue;
}

std::string MaxValueErrorText(int minValue) {
    // MinValue + 1 computed in 64 bits: the text must not wrap for the lowest minimum.
    return "Value must be between " + std::to_string(std::int64_t{minValue} + 1) + " and " +
           std::to_string(INT_MAX);
}

int BarWidth(int percent, int innerWidth) {
    if (percent <= 0 || innerWidth <= 0) return 0;
    const std::int64_t width = std::int64_t{percent} * (std::int64_t{innerWidth} + 1) / 100;
    return width > innerWidth ? innerWidth : static_cast<int>(width);
}

std::string PercentText(int percent) {
    return std::to_string(percent) + "%";
}

}  // namespace virel::gauge
