#include "core/NumberText.h"

#include <charconv>
#include <limits>

namespace virel {

namespace {

template <typename T>
std::optional<T> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would take a second sign; only digits may follow the first.
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    // The magnitude unsigned, so that the most negative value is accepted.
    std::uint64_t magnitude = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, magnitude, 10);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    const auto maxPositive = static_cast<std::uint64_t>(std::numeric_limits<T>::max());
    if (negative) {
        if (magnitude > maxPositive + 1) return std::nullopt;
        if (magnitude == maxPositive + 1) return std::numeric_limits<T>::min();
        return static_cast<T>(-static_cast<T>(magnitude));
    }
    if (magnitude > maxPositive) return std::nullopt;
    return static_cast<T>(magnitude);
}

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> ParseDecimalInt32(std::string_view text) {
    return ParseDecimal<std::int32_t>(text);
}

std::optional<std::int64_t> ParseDecimalInt64(std::string_view text) {
    return ParseDecimal<std::int64_t>(text);
}

}  // namespace virel
