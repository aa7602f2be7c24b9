#pragma once
// UTF-8 (the program's texts) to UTF-16 (the system's wide texts) and back, in one place and
// without the system, so the windows, the log file, the settings stores and the spreadsheet
// automation all convert alike and the conversion is tested natively.
//
// Malformed input never fails and never vanishes: every malformed UTF-8 sequence and every
// unpaired surrogate becomes U+FFFD, as the system's own conversion does. A malformed UTF-8
// sequence is replaced as a whole up to its first wrong byte, which is then read afresh.
#include <optional>
#include <string>
#include <string_view>

namespace virel {

// What malformed input becomes.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Reads the UTF-8 character at text[i] (i < text.size()) and moves i past it. Nothing for a
// malformed sequence, i then past its malformed part as described above: what the caller puts
// in its place is the caller's rule (the program's is kReplacementCharacter).
std::optional<char32_t> NextUtf8Character(std::string_view text, std::size_t& i);

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-8 form of one character (code point up to U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// The same for wchar_t texts: UTF-16 where wchar_t has 16 bits (Windows), UTF-32 where it has
// 32 (the native test build); there a value that is no character also becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace virel
