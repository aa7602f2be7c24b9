// Text conversions of outside bytes: UTF-8 (registry and window texts as the program keeps
// them), UTF-16 (what Windows hands over) and code page 1251 (the log file). Any input.
#include <cstdint>
#include <string>

#include "core/TextCodec.h"
#include "core/Utf16.h"
#include "fuzz/FuzzInput.h"

using namespace virel;
using virel::fuzz::Check;

namespace {

// Well-formed UTF-8 by the standard's table of byte ranges; counts the characters.
bool WellFormedUtf8(const std::string& s, std::size_t* characters = nullptr) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        const auto b = static_cast<unsigned char>(s[i]);
        int follow = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (b < 0x80) {
        } else if (b >= 0xC2 && b <= 0xDF) {
            follow = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            follow = 2;
            if (b == 0xE0) low = 0xA0;
            if (b == 0xED) high = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            follow = 3;
            if (b == 0xF0) low = 0x90;
            if (b == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        ++i;
        for (int k = 0; k < follow; ++k, ++i) {
            if (i >= s.size()) return false;
            const auto c = static_cast<unsigned char>(s[i]);
            if (c < low || c > high) return false;
            low = 0x80;
            high = 0xBF;
        }
    }
    if (characters) *characters = count;
    return true;
}

bool PairedSurrogates(const std::u16string& u) {
    for (std::size_t i = 0; i < u.size(); ++i) {
        if (u[i] >= 0xD800 && u[i] <= 0xDBFF) {
            if (i + 1 >= u.size() || u[i + 1] < 0xDC00 || u[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (u[i] >= 0xDC00 && u[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8192) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // UTF-8 -> UTF-16 -> UTF-8: exact for good text, always good text afterwards.
    const std::u16string wide = Utf8ToUtf16(bytes);
    const std::string back = Utf16ToUtf8(wide);
    std::size_t characters = 0;
    const bool good = WellFormedUtf8(bytes, &characters);
    Check(WellFormedUtf8(back), "UTF-16 to UTF-8 gives well-formed UTF-8");
    Check(PairedSurrogates(wide), "UTF-8 to UTF-16 gives no unpaired surrogate");
    Check((back == bytes) == good, "only well-formed UTF-8 survives the round trip unchanged");
    Check(Utf16ToUtf8(Utf8ToUtf16(back)) == back, "a repaired text stays as it is");
    Check(wide.size() <= bytes.size(), "never more UTF-16 units than UTF-8 bytes");
    Check(Narrow(Widen(bytes)) == back, "wide texts convert as UTF-16 does");

    // Any 16-bit units, as a window or the registry may hold them.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    const std::string narrow = Utf16ToUtf8(units);
    Check(WellFormedUtf8(narrow), "any UTF-16 gives well-formed UTF-8");
    Check((Utf8ToUtf16(narrow) == units) == PairedSurrogates(units),
          "only well-paired UTF-16 survives the round trip unchanged");

    // Code page 1251: every byte has a character and comes back as itself.
    const std::string utf8 = Cp1251ToUtf8(bytes);
    Check(WellFormedUtf8(utf8), "code page 1251 gives well-formed UTF-8");
    Check(Utf8ToCp1251(utf8) == bytes, "code page 1251 round trip");
    // One byte (or "?") per character of good UTF-8.
    if (good) Check(Utf8ToCp1251(bytes).size() == characters, "one log byte per character");
    return 0;
}
