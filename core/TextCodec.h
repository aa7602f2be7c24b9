#pragma once
// Conversion between the program's UTF-8 texts and single-byte code page 1251, the encoding of
// the log file. Portable, so the exact bytes of a log line are tested natively.
#include <string>

namespace virel {

// Every character without a code page 1251 byte, and every malformed UTF-8 sequence, becomes
// one "?".
std::string Utf8ToCp1251(const std::string& text);

// Every byte has a character (0x98, unassigned, maps to U+0098 and back).
std::string Cp1251ToUtf8(const std::string& bytes);

}  // namespace virel
