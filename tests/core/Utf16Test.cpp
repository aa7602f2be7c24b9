// UTF-8 <-> UTF-16 of every text that crosses into the system: the characters the program
// shows, characters outside the 16-bit range, and malformed input from files, the registry
// and the automation server. Under Wine the results are also checked against the system's
// own conversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Utf16.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace virel {
namespace {

const std::string kBad = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr char16_t kBad16 = 0xFFFD;

TEST(Utf16, ProgramTextsCrossBothWays) {
    const std::string text = "Обмен прерван пользователем, №42 от 06.12.2026 Ёё";
    const std::u16string utf16 = u"Обмен прерван пользователем, №42 от 06.12.2026 Ёё";
    EXPECT_EQ(Utf8ToUtf16(text), utf16);
    EXPECT_EQ(Utf16ToUtf8(utf16), text);
    EXPECT_EQ(Widen(text), L"Обмен прерван пользователем, №42 от 06.12.2026 Ёё");
    EXPECT_EQ(Narrow(Widen(text)), text);

    // № is U+2116, three bytes; the Cyrillic letters take two.
    EXPECT_EQ(Utf16ToUtf8(u"№"), "\xE2\x84\x96");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x84\x96"), std::u16string(1, char16_t{0x2116}));
    EXPECT_EQ(Utf16ToUtf8(u"Яа"), "\xD0\xAF\xD0\xB0");
}

TEST(Utf16, EmptyAndNulCharactersAreKept) {
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    EXPECT_EQ(Widen(""), L"");
    EXPECT_EQ(Narrow(L""), "");
    // A NUL inside the text is a character like any other, not the end.
    EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(Narrow(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf16, EncodingLengthChangesAtEachBoundary) {
    struct Case {
        char32_t c;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(static_cast<unsigned>(k.c));
        const std::u16string utf16 = Utf8ToUtf16(k.utf8);
        ASSERT_EQ(utf16.size(), k.c < 0x10000 ? 1u : 2u);
        EXPECT_EQ(Utf16ToUtf8(utf16), k.utf8);
    }
}

TEST(Utf16, FourByteCharactersBecomeSurrogatePairs) {
    const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600
    EXPECT_EQ(Utf8ToUtf16(smile), (std::u16string{char16_t{0xD83D}, char16_t{0xDE00}}));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"),
              (std::u16string{char16_t{0xDBFF}, char16_t{0xDFFF}}));
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), smile);
    EXPECT_EQ(Utf16ToUtf8(u"x\U00010000y"), "x\xF0\x90\x80\x80y");
    // wchar_t holds a pair on Windows and one unit in the native build: the literal matches both.
    EXPECT_EQ(Widen("Доза " + smile), L"Доза \U0001F600");
    EXPECT_EQ(Narrow(L"Доза \U0001F600"), "Доза " + smile);
}

// Every character from U+0000 to U+10FFFF in UTF-16, and its length in UTF-8.
std::u16string AllCharacters(std::size_t& utf8Length) {
    std::u16string all;
    utf8Length = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        if (c < 0x10000) {
            all.push_back(static_cast<char16_t>(c));
        } else {
            all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
        utf8Length += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }
    return all;
}

TEST(Utf16, EveryCharacterSurvivesTheRoundTrip) {
    std::size_t utf8Length = 0;
    const std::u16string all = AllCharacters(utf8Length);
    const std::string utf8 = Utf16ToUtf8(all);
    EXPECT_EQ(utf8.size(), utf8Length);
    EXPECT_TRUE(Utf8ToUtf16(utf8) == all);
    EXPECT_TRUE(Narrow(Widen(utf8)) == utf8);
}

// Malformed UTF-8: a byte that cannot continue the sequence ends it with one U+FFFD and is
// read afresh; a second byte out of range for its first byte makes one U+FFFD with it.
struct BadUtf8 {
    const char* name;
    std::string bytes;
    std::u16string expected;
};

std::vector<BadUtf8> BadUtf8Cases() {
    const char16_t r = kBad16;
    return {
        {"stray continuation byte",
         "a\x80"
         "b",
         {u'a', r, u'b'}},
        {"two stray continuation bytes", "\xBF\x80", {r, r}},
        {"lead byte never used", "\xC0\x80\xC1\xBF", {r, r, r, r}},
        {"bytes above F4", "\xF5\x80\xFF", {r, r, r}},
        {"overlong three-byte form", "\xE0\x80\xAF", {r, r}},
        {"overlong four-byte form", "\xF0\x8F\xBF\xBF", {r, r, r}},
        {"encoded surrogate", "\xED\xA0\x80", {r, r}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {r, r, r}},
        {"sequence cut short by a letter",
         "\xE2\x84"
         "A",
         {r, u'A'}},
        {"four-byte sequence cut short",
         "\xF0\x9F\x98"
         "x",
         {r, u'x'}},
        {"sequence cut short by a new lead", "\xD0\xD0\xAF", {r, u'Я'}},
        {"sequence cut at the end", "ok\xE2\x84", {u'o', u'k', r}},
        {"lead byte alone at the end", "\xF0", {r}},
        {"overlong start at the end", "\xE0\x80", {r}},
        {"too large start at the end", "\xF4\x90", {r}},
        {"too large start then letters",
         "\xF4\x90"
         "AB",
         {r, u'A', u'B'}},
    };
}

TEST(Utf16, MalformedUtf8BecomesReplacementCharacters) {
    for (const BadUtf8& k : BadUtf8Cases()) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(Utf8ToUtf16(k.bytes), k.expected);
        EXPECT_EQ(Narrow(Widen(k.bytes)), Utf16ToUtf8(k.expected));
    }
}

// Wine's conversion drops everything after a sequence cut short near the end of the input; a
// letter that follows is kept here, as anywhere else in the text.
TEST(Utf16, TextAfterASequenceCutShortNearTheEndIsKept) {
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F"
                          "A"),
              (std::u16string{kBad16, u'A'}));
    EXPECT_EQ(Utf8ToUtf16("\xE2"
                          "A"),
              (std::u16string{kBad16, u'A'}));
    EXPECT_EQ(Utf8ToUtf16("Доза\xF0\x9F\x98"
                          "Гр"),
              u"Доза\uFFFDГр");
}

TEST(Utf16, UnpairedSurrogatesBecomeReplacementCharacters) {
    const char16_t high = 0xD83D, low = 0xDE00;
    EXPECT_EQ(Utf16ToUtf8(std::u16string{high}), kBad);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{low}), kBad);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', high, u'b'}), "a" + kBad + "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{low, high}), kBad + kBad);
    // The unit after a lone high surrogate is kept: here it starts a proper pair.
    EXPECT_EQ(Utf16ToUtf8(std::u16string{high, high, low}), kBad + "\xF0\x9F\x98\x80");

    EXPECT_EQ(Narrow(std::wstring{static_cast<wchar_t>(high)}), kBad);
    EXPECT_EQ(Narrow(std::wstring{L'x', static_cast<wchar_t>(low)}), "x" + kBad);
}

#if WCHAR_MAX > 0xFFFF
TEST(Utf16, WideValuesThatAreNoCharacterBecomeReplacementCharacters) {
    EXPECT_EQ(Narrow(std::wstring{static_cast<wchar_t>(0x110000)}), kBad);
    EXPECT_EQ(Narrow(std::wstring{static_cast<wchar_t>(-1), L'a'}), kBad + "a");
    EXPECT_EQ(Widen("\xF0\x9F\x98\x80"), std::wstring(1, static_cast<wchar_t>(0x1F600)));
}
#endif

#ifdef _WIN32
// The system's own conversion is what every copy of this code used before.
std::wstring SystemWiden(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string SystemNarrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

TEST(Utf16, AgreesWithTheSystemConversion) {
    for (const BadUtf8& k : BadUtf8Cases()) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(Widen(k.bytes), SystemWiden(k.bytes));
    }
    const std::string text = "Архив ВИРЕЛ1 №42 \xF0\x9F\x98\x80 Гр*см^2";
    EXPECT_EQ(Widen(text), SystemWiden(text));

    const wchar_t high = 0xD83D, low = 0xDE00;
    for (const std::wstring& wide :
         {std::wstring{high}, std::wstring{low, high}, std::wstring{L'a', high, L'b'},
          std::wstring{high, high, low}, std::wstring(L"Доза \U0001F600")}) {
        EXPECT_EQ(Narrow(wide), SystemNarrow(wide));
    }

    std::size_t utf8Length = 0;
    const std::u16string all16 = AllCharacters(utf8Length);
    const std::wstring all(all16.begin(), all16.end());
    const std::string utf8 = SystemNarrow(all);
    EXPECT_TRUE(Narrow(all) == utf8);
    EXPECT_TRUE(Widen(utf8) == all);
}
#endif

}  // namespace
}  // namespace virel
