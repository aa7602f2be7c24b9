#include "core/widgets/SpinEditMath.h"

#include <cmath>
#include <limits>

#include "core/NumberText.h"

namespace virel::spin {

namespace {

constexpr double kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr double kIntMax = std::numeric_limits<std::int32_t>::max();

// Nearest whole number, halves to the even neighbour, independent of the FPU rounding mode
// that some other library may have changed.
double RoundToNearestEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    return ParseDecimalInt32(text);
}

double ReadValue(std::string_view text, double minValue) {
    const auto parsed = ParseInteger(text);
    if (!parsed) return minValue;
    return *parsed;
}

double LimitValue(double value, double minValue, double maxValue) {
    if (minValue == maxValue) return value;
    if (value < minValue) return minValue;
    if (value > maxValue) return maxValue;
    return value;
}

std::optional<std::string> WriteText(double value, double minValue, double maxValue) {
    if (std::isnan(value)) return std::nullopt;
    double rounded = RoundToNearestEven(LimitValue(value, minValue, maxValue));
    if (std::isnan(rounded)) return std::nullopt;  // a NaN bound
    if (rounded < kIntMin) rounded = kIntMin;
    if (rounded > kIntMax) rounded = kIntMax;
    return std::to_string(static_cast<long long>(rounded));
}

long long IntegerValue(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLow = -9223372036854775808.0;  // -2^63, exact in a double
    if (value <= kLow) return std::numeric_limits<long long>::min();
    if (value >= -kLow) return std::numeric_limits<long long>::max();
    return static_cast<long long>(std::trunc(value));
}

std::optional<std::string> LeaveFieldText(std::string_view text, double minValue, double maxValue) {
    const double value = ReadValue(text, minValue);
    const double limited = LimitValue(value, minValue, maxValue);
    if (limited == value) return std::nullopt;
    return WriteText(limited, minValue, maxValue);
}

std::optional<std::string> StepText(std::string_view text, int delta, double minValue,
                                    double maxValue) {
    auto next = WriteText(ReadValue(text, minValue) + delta, minValue, maxValue);
    if (!next || *next == text) return std::nullopt;
    return next;
}

bool IsAcceptedChar(char32_t c) {
    if (c < 0x20 || c == 0x7F) return true;
    if (c >= U'0' && c <= U'9') return true;
    return c == U'+' || c == U'-';
}

SpinHalf HalfAt(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return y * 2 < height ? SpinHalf::Up : SpinHalf::Down;
    // Pixel centres (x + 0.5, y + 0.5) against the line x / w + y / h = 1, in integers.
    const long long lhs =
        static_cast<long long>(2 * x + 1) * height + static_cast<long long>(2 * y + 1) * width;
    return lhs <= 2LL * width * height ? SpinHalf::Up : SpinHalf::Down;
}

int RepeatDelayMs(int stepsDone) {
    return stepsDone <= 1 ? kFirstRepeatMs : kRepeatMs;
}

}  // namespace virel::spin
