#include "core/TextCodec.h"

#include <cstdint>

#include "core/Utf16.h"

namespace virel {

namespace {

// Characters of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::uint16_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

int ByteOf(char32_t c) {
    if (c < 0x80) return static_cast<int>(c);
    if (c >= 0x0410 && c <= 0x044F) return static_cast<int>(c - 0x0410 + 0xC0);
    for (int i = 0; i < 64; ++i) {
        if (kUpperHalf[i] == c) return 0x80 + i;
    }
    return -1;
}

}  // namespace

std::string Utf8ToCp1251(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const int byte = ByteOf(NextUtf8Character(text, i).value_or(kReplacementCharacter));
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

std::string Cp1251ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out += ch;
        } else if (b < 0xC0) {
            AppendUtf8(out, kUpperHalf[b - 0x80]);
        } else {
            AppendUtf8(out, static_cast<char32_t>(0x0410 + b - 0xC0));
        }
    }
    return out;
}

}  // namespace virel
