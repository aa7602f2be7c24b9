#pragma once
// Small operations on the program's UTF-8 texts that many parts need alike.
#include <string>
#include <string_view>

namespace virel {

// What is trimmed off a typed or stored text's ends unless a caller says otherwise: spaces,
// tabs and line breaks.
inline constexpr std::string_view kBlanks = " \t\r\n";

// The text without the characters of `blanks` at its ends.
std::string Trimmed(std::string_view text, std::string_view blanks = kBlanks);

}  // namespace virel
