#pragma once
// Numbers in texts, read strictly: the whole text is the number or it is none. Portable and
// independent of the C locale.
#include <cstdint>
#include <optional>
#include <string_view>

namespace virel {

// The value of one hexadecimal digit (either case); -1 for any other character.
int HexDigitValue(char c);

// An optional sign followed by decimal digits, nothing before or after them; nothing when the
// value does not fit the type (the most negative value does).
std::optional<std::int32_t> ParseDecimalInt32(std::string_view text);
std::optional<std::int64_t> ParseDecimalInt64(std::string_view text);

}  // namespace virel
