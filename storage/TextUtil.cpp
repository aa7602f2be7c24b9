#include "storage/TextUtil.h"

#include "core/NumberText.h"
#include "core/Utf16.h"

namespace virel::storage_detail {
namespace {

// Names compare and fold without losing anything: a byte that starts no well-formed character
// stays itself, read as 0xDC80..0xDCFF (no character decodes to those), and the text after it is
// read afresh.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
    const std::size_t start = i;
    if (const std::optional<char32_t> c = NextUtf8Character(text, i)) return *c;
    i = start + 1;
    return 0xDC00 + static_cast<unsigned char>(text[start]);
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

// Stored integers may carry leading blanks (as older files wrote them).
std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
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
    return ParseDecimalInt32(SkipBlanks(text));
}

std::optional<std::int64_t> ParseInt64(std::string_view text) {
    return ParseDecimalInt64(SkipBlanks(text));
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
