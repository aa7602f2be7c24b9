#include "core/meter/PortChoice.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace virel {

namespace {

constexpr int kListedPorts = 4;  // COM1..COM4 are always listed

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Plain decimal without sign or leading zero, at most `limit`; nothing otherwise.
std::optional<std::uint32_t> PlainNumber(std::string_view digits, std::uint32_t limit) {
    if (digits.empty() || digits.front() == '0') return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::optional<int> PortNumberFromText(std::string_view text) {
    text = Trimmed(text);
    if (text.size() < 4 || Upper(text[0]) != 'C' || Upper(text[1]) != 'O' ||
        Upper(text[2]) != 'M') {
        return std::nullopt;
    }
    const auto number = PlainNumber(text.substr(3), kHighestPortNumber);
    if (!number) return std::nullopt;
    return static_cast<int>(*number);
}

namespace {

// Why a text that names no port names none.
std::string RefusalOf(std::string_view text) {
    text = Trimmed(text);
    if (text.empty()) return "имя порта не указано";
    const bool com =
        text.size() >= 4 && Upper(text[0]) == 'C' && Upper(text[1]) == 'O' && Upper(text[2]) == 'M';
    const std::string_view digits = com ? text.substr(3) : std::string_view();
    const bool allDigits = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (allDigits && digits.front() == '0' && digits.size() > 1)
        return "номер порта с ведущим нулём";
    if (allDigits) return "номер порта вне 1–255";
    return "не имя порта вида COM1–COM255";
}

}  // namespace

std::string PortTextRefusal(std::string_view text) {
    return PortNumberFromText(text) ? std::string() : RefusalOf(text);
}

TLinePort::TLinePort(std::string text)
    : text_(std::move(text)), number_(PortNumberFromText(text_)) {
    if (!number_) refusal_ = RefusalOf(text_);
}

std::string ComPortName(int number) {
    return "COM" + std::to_string(number);
}

std::vector<std::string> PortList(const std::vector<std::string>& present) {
    std::vector<int> numbers;
    for (const std::string& name : present) {
        const auto number = PortNumberFromText(name);
        if (number && *number > kListedPorts) numbers.push_back(*number);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());

    std::vector<std::string> list;
    list.reserve(kListedPorts + numbers.size());
    for (int n = 1; n <= kListedPorts; ++n) list.push_back(ComPortName(n));
    for (const int n : numbers) list.push_back(ComPortName(n));
    return list;
}

std::optional<std::uint32_t> SpeedFromText(std::string_view text) {
    const auto value = PlainNumber(Trimmed(text), 0xFFFF'FFFFu);
    if (!value || SpeedItemIndex(*value) < 0) return std::nullopt;
    return value;
}

int SpeedItemIndex(std::uint32_t speed) {
    const auto* found = std::find(std::begin(kKnownSpeeds), std::end(kKnownSpeeds), speed);
    if (found == std::end(kKnownSpeeds)) return -1;
    return static_cast<int>(found - std::begin(kKnownSpeeds));
}

TLineChoice LineSettingsFromTexts(const std::string& portText, const std::string& speedText) {
    const auto speed = SpeedFromText(speedText);
    return {{TLinePort(portText), speed.value_or(kDefaultSpeed)}, !speed.has_value()};
}

}  // namespace virel
