#include "storage/TextUtil.h"

#include <charconv>
#include <limits>

#include "core/Utf16.h"

namespace virel::storage_detail {
namespace {

// Decodes one UTF-8 sequence at text[i]; a malformed byte comes back as itself.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    auto cont = [&](std::size_t k) -> int {
        if (i + k >= text.size()) return -1;
        const auto b = static_cast<unsigned char>(text[i + k]);
        return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
    };
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0) {
        const int c1 = cont(1);
        if (c1 >= 0) {
            i += 2;
            return static_cast<char32_t>(((b0 & 0x1F) << 6) | c1);
        }
    } else if ((b0 & 0xF0) == 0xE0) {
        const int c1 = cont(1), c2 = cont(2);
        if (c1 >= 0 && c2 >= 0) {
            i += 3;
            return static_cast<char32_t>(((b0 & 0x0F) << 12) | (c1 << 6) | c2);
        }
    } else if ((b0 & 0xF8) == 0xF0) {
        const int c1 = cont(1), c2 = cont(2), c3 = cont(3);
        if (c1 >= 0 && c2 >= 0 && c3 >= 0) {
            i += 4;
            return static_cast<char32_t>(((b0 & 0x07) << 18) | (c1 << 12) | (c2 << 6) | c3);
        }
    }
    ++i;
    return 0xDC00 + b0;  // keeps malformed bytes distinct from every valid character
}

char32_t FoldChar(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // А..Я
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;  // Ѐ..Џ, Ё among them
    return c;
}

// Malformed bytes were read as 0xDC80..0xDCFF (see NextCodePoint): they go back as themselves.
void AppendFolded(std::string& out, char32_t c) {
    if (c >= 0xDC80 && c <= 0xDCFF) {
        out.push_back(static_cast<char>(c - 0xDC00));
        return;
    }
    AppendUtf8(out, c);
}

template <typename T>
std::optional<T> ParseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    // Parse the magnitude unsigned so that the most negative value is accepted.
    std::uint64_t magnitude = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, magnitude, 10);
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

std::string FoldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) AppendFolded(out, FoldChar(NextCodePoint(text, i)));
    return out;
}

bool SameText(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldChar(NextCodePoint(a, i)) != FoldChar(NextCodePoint(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

std::string Trim(std::string_view text) {
    std::size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return std::string(text.substr(first, last - first));
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    return ParseInteger<std::int32_t>(text);
}

std::optional<std::int64_t> ParseInt64(std::string_view text) {
    return ParseInteger<std::int64_t>(text);
}

std::vector<std::string> SplitWords(std::string_view text, std::string_view delimiters) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = text.find_first_not_of(delimiters, i);
        if (start == std::string_view::npos) break;
        std::size_t end = text.find_first_of(delimiters, start);
        if (end == std::string_view::npos) end = text.size();
        words.emplace_back(text.substr(start, end - start));
        i = end;
    }
    return words;
}

}  // namespace virel::storage_detail
