#include "core/Utf16.h"

namespace virel {

namespace {

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Reads one character from 16-bit units at text[i] and moves i past it.
template <class Char>
char32_t DecodeUtf16(std::basic_string_view<Char> text, std::size_t& i) {
    const char32_t unit = static_cast<char16_t>(text[i++]);
    if (!IsSurrogate(unit)) return unit;
    if (!IsHighSurrogate(unit) || i >= text.size()) return kReplacementCharacter;
    const char32_t next = static_cast<char16_t>(text[i]);
    if (!IsLowSurrogate(next)) return kReplacementCharacter;  // the next unit is read on its own
    ++i;
    return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
}

template <class String>
void AppendUtf16(String& out, char32_t c) {
    using Unit = typename String::value_type;
    if (c < 0x10000) {
        out.push_back(static_cast<Unit>(c));
        return;
    }
    c -= 0x10000;
    out.push_back(static_cast<Unit>(0xD800 + (c >> 10)));
    out.push_back(static_cast<Unit>(0xDC00 + (c & 0x3FF)));
}

template <class String>
String ToUtf16(std::string_view utf8) {
    String out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        AppendUtf16(out, NextUtf8Character(utf8, i).value_or(kReplacementCharacter));
    }
    return out;
}

template <class Char>
std::string FromUtf16(std::basic_string_view<Char> utf16) {
    std::string out;
    out.reserve(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size();) AppendUtf8(out, DecodeUtf16(utf16, i));
    return out;
}

}  // namespace

// The allowed range of the second byte depends on the first, which rules out overlong forms,
// encoded surrogates and values above U+10FFFF before they are assembled; such a first and
// second byte are malformed together, as the system sees them. A byte that is no continuation
// at all ends the sequence so far and starts the next character, so a broken sequence never
// eats the good text after it, not even at the end of the input.
std::optional<char32_t> NextUtf8Character(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int follow = 0;
    char32_t c = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1;
        c = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2;
        c = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3;
        c = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return std::nullopt;  // a continuation byte, C0, C1 or F5..FF: never a first byte
    }
    for (int k = 0; k < follow; ++k) {
        if (i >= text.size()) return std::nullopt;
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80 || b > 0xBF) return std::nullopt;
        c = (c << 6) | (b & 0x3Fu);
        ++i;
        if (b < low || b > high) return std::nullopt;  // the two bytes go together
        low = 0x80;
        high = 0xBF;
    }
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    return ToUtf16<std::u16string>(utf8);
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    return FromUtf16(utf16);
}

std::wstring Widen(std::string_view utf8) {
    if constexpr (sizeof(wchar_t) == 2) {
        return ToUtf16<std::wstring>(utf8);
    } else {
        std::wstring out;
        out.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size();) {
            out.push_back(
                static_cast<wchar_t>(NextUtf8Character(utf8, i).value_or(kReplacementCharacter)));
        }
        return out;
    }
}

std::string Narrow(std::wstring_view wide) {
    if constexpr (sizeof(wchar_t) == 2) {
        return FromUtf16(wide);
    } else {
        std::string out;
        out.reserve(wide.size() * 2);
        for (const wchar_t w : wide) {
            const auto c = static_cast<char32_t>(w);
            AppendUtf8(out, c > 0x10FFFF || IsSurrogate(c) ? kReplacementCharacter : c);
        }
        return out;
    }
}

}  // namespace virel
