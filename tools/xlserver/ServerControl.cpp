#include "tools/xlserver/ServerControl.h"

#include <charconv>
#include <utility>

namespace virel::xl {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Non-negative decimal number, the whole text.
std::optional<int> Count(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return {};
    return value;
}

std::optional<std::uint32_t> Code(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    return value;
}

}  // namespace

TServerOptions ParseOptions(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    TServerOptions options;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (SameKey(key, "RefuseAdd")) {
            options.refuseAdd = std::string(value);
        } else if (SameKey(key, "FailDescription")) {
            options.failDescription = std::string(value);
        } else if (SameKey(key, "FailHResult")) {
            if (const auto code = Code(value)) options.failHResult = *code;
        } else if (SameKey(key, "FailCellsAfterRow")) {
            if (const auto n = Count(value)) options.failCellsAfterRow = *n;
        } else if (SameKey(key, "ExitAfterCalls")) {
            if (const auto n = Count(value)) options.exitAfterCalls = *n;
        } else if (SameKey(key, "ExitAtRow")) {
            if (const auto n = Count(value)) options.exitAtRow = *n;
        } else if (SameKey(key, "DelayMs")) {
            if (const auto n = Count(value)) options.delayMs = *n;
        }
    }
    return options;
}

std::string KindText(unsigned flags) {
    static constexpr std::pair<unsigned, const char*> kNames[] = {
        {kKindMethod, "method"}, {kKindGet, "get"}, {kKindPut, "put"}, {kKindPutRef, "putref"}};
    std::string text;
    for (const auto& [flag, name] : kNames) {
        if ((flags & flag) == 0) continue;
        if (!text.empty()) text += '|';
        text += name;
    }
    return text.empty() ? "none" : text;
}

std::string QuoteText(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\':
                quoted += "\\\\";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                quoted += c;
        }
    }
    quoted += '"';
    return quoted;
}

std::string JournalLine(long long ms, std::string_view object, std::string_view member,
                        std::string_view kind, std::string_view args) {
    std::string line = std::to_string(ms);
    for (const std::string_view field : {object, member, kind}) {
        line += ' ';
        line += field;
    }
    line += ' ';
    line += args.empty() ? std::string_view("-") : args;
    line += '\n';
    return line;
}

}  // namespace virel::xl
