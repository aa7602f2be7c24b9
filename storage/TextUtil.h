#pragma once
// Small text helpers of the settings storage: case-insensitive names, trimming, strict integer
// parsing and word splitting. UTF-8 throughout; nothing here depends on the C locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace virel::storage_detail {

// Compares names without regard to case. Latin and Cyrillic letters fold; other characters
// compare as they are (names and value names are Latin or Russian).
bool SameText(std::string_view a, std::string_view b);
// The folded form used by SameText, for ordering and lookups.
std::string FoldCase(std::string_view text);

// Removes leading and trailing spaces and control characters (codes up to 0x20).
std::string Trim(std::string_view text);

// Decimal integers: optional leading blanks, optional sign, digits, nothing after them.
std::optional<std::int32_t> ParseInt32(std::string_view text);
std::optional<std::int64_t> ParseInt64(std::string_view text);

// Splits text into words at any of the delimiter characters; runs of delimiters count as
// one, so no word is empty.
std::vector<std::string> SplitWords(std::string_view text, std::string_view delimiters);

// Joins texts by appending (a literal followed by a std::string temporary trips a false
// -Wrestrict in GCC 12 at -O3).
template <typename... Parts>
std::string Concat(const Parts&... parts) {
    std::string out;
    (out.append(std::string_view(parts)), ...);
    return out;
}

}  // namespace virel::storage_detail
