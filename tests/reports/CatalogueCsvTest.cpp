#include <gtest/gtest.h>

#include "core/TextCodec.h"
#include "reports/CatalogueCsv.h"

namespace virel {
namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader = kBom + "Вид исследования;K для взрослых;K для детей\r\n";

TEST(CatalogueCsv, TheHeaderIsTheOneAgreedOnByteForByte) {
    EXPECT_EQ(std::string(kCatalogueHeader), "Вид исследования;K для взрослых;K для детей");
    EXPECT_EQ(CatalogueCsv({}), kHeader);
}

TEST(CatalogueCsv, ARoundTripKeepsNamesWithQuotesAndSemicolonsAndEmptyK) {
    const std::vector<TExamKind> kinds = {
        {0, "Рентгенография грудной клетки", 0.18, 0.3},
        {0, "Снимок \"в двух проекциях\"; с нагрузкой", std::nullopt, 0.000001},
        {0, "Урография", 1.25, std::nullopt},
        {0, "Без K", std::nullopt, std::nullopt},
        {0, "Большой K", 123456.5, 0.123456},
    };
    const std::string csv = CatalogueCsv(kinds);
    EXPECT_NE(csv.find("Рентгенография грудной клетки;0,18;0,3\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\"Снимок \"\"в двух проекциях\"\"; с нагрузкой\";;0,000001\r\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("Без K;;\r\n"), std::string::npos);
    const TCatalogueParse parsed = ParseCatalogueCsv(csv);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.kinds.size(), kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(parsed.kinds[i].name, kinds[i].name);
        EXPECT_EQ(parsed.kinds[i].kAdult, kinds[i].kAdult) << i;
        EXPECT_EQ(parsed.kinds[i].kChild, kinds[i].kChild) << i;
    }
    EXPECT_EQ(CatalogueCsv(parsed.kinds), csv);
}

TEST(CatalogueCsv, WhatASpreadsheetProgramWritesIsTaken) {
    // No byte-order mark, LF only, a point in one K, spaces, an empty row, trailing separators.
    const TCatalogueParse parsed = ParseCatalogueCsv(
        "Вид исследования;K для взрослых;K для детей;;\n"
        " Череп ; 0,05 ;0.07;;\n"
        ";;\n"
        "\"Кисть;\nстопа\";;\n"
        "Стопа;1;\n");
    ASSERT_FALSE(parsed.ok) << "a line break inside a name";
    EXPECT_EQ(parsed.line, 4);
    const TCatalogueParse good = ParseCatalogueCsv(
        "Вид исследования;K для взрослых;K для детей;;\n"
        " Череп ; 0,05 ;0.07;;\n"
        ";;\n"
        "Стопа;1;\n");
    ASSERT_TRUE(good.ok) << good.error;
    ASSERT_EQ(good.kinds.size(), 2u);
    EXPECT_EQ(good.kinds[0].name, "Череп");
    EXPECT_EQ(good.kinds[0].kAdult, 0.05);
    EXPECT_EQ(good.kinds[0].kChild, 0.07);
    EXPECT_EQ(good.kinds[1].kAdult, 1.0);
    EXPECT_FALSE(good.kinds[1].kChild);
}

TEST(CatalogueCsv, AJunkLineFailsTheWholeFileWithItsNumber) {
    struct TJunk {
        std::string line;
        std::string says;
    };
    const std::vector<TJunk> junk = {
        {"Череп;0,05x;", "K для взрослых «0,05x»: не число"},
        {"Череп;-0,05;", "отрицательным"},
        {"Череп;0,05;0,1234567", "больше 6 знаков"},
        {";0,05;0,1", "пустое название"},
        {"Череп;0,05", "ожидается 3 поля"},
        {"Череп;0,05;0,1;7", "ожидается 3 поля"},
        {"Череп;0,1,2;", "не число"},
        {"\"Череп;0,1;", "кавычка не закрыта"},
        {"Грудная клетка;0,2;0,2", "уже был выше"},
    };
    for (const TJunk& j : junk) {
        const TCatalogueParse parsed = ParseCatalogueCsv(
            kHeader + "Грудная клетка;0,18;0,3\r\n\r\n" + j.line + "\r\nСтопа;;\r\n");
        EXPECT_FALSE(parsed.ok) << j.line;
        EXPECT_TRUE(parsed.kinds.empty()) << "nothing half-taken";
        EXPECT_EQ(parsed.line, 4) << j.line;
        EXPECT_EQ(parsed.error.rfind("Строка 4: ", 0), 0u) << parsed.error;
        EXPECT_NE(parsed.error.find(j.says), std::string::npos) << parsed.error;
    }
    EXPECT_EQ(ParseCatalogueCsv(kBom + "Вид;K взрослых;K детей\r\n").line, 1);
    EXPECT_FALSE(ParseCatalogueCsv("").ok);
}

// A Russian spreadsheet program saves "CSV (разделители - запятые)" in Windows-1251, with ";":
// the same catalogue is taken whether it came as UTF-8 with or without a byte-order mark or as
// code page 1251.
TEST(CatalogueCsv, UnicodeOrRussianWindowsTextIsTakenAlike) {
    const std::string utf8 =
        "Вид исследования;K для взрослых;K для детей\r\nЧереп «прямой»;0,05;0,07\r\n"
        "Грудная клетка №2;0,18;\r\n";
    for (const std::string& file : {kBom + utf8, utf8, Utf8ToCp1251(utf8)}) {
        const TCatalogueParse parsed = ParseCatalogueCsv(file);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        ASSERT_EQ(parsed.kinds.size(), 2u);
        EXPECT_EQ(parsed.kinds[0].name, "Череп «прямой»");
        EXPECT_EQ(parsed.kinds[0].kChild, 0.07);
        EXPECT_EQ(parsed.kinds[1].name, "Грудная клетка №2");
    }
}

// A line that cannot be read as text is named by its own number, and why.
TEST(CatalogueCsv, ALineThatIsNoTextIsNamedWithWhy) {
    struct TUnreadable {
        std::string file;
        int line;
        std::string says;
    };
    const std::string header = "Вид исследования;K для взрослых;K для детей\r\n";
    const std::vector<TUnreadable> unreadable = {
        {kBom + header + "Череп;0,05;\r\nСто" + '\0' + "па;0,1;\r\n", 3, "нулевой байт"},
        {header + "Череп" + '\0' + ";0,05;\n", 2, "нулевой байт"},
        {Utf8ToCp1251(header) + std::string(3, '\0') + "\r\n", 2, "нулевой байт"},
        // Marked as UTF-8, yet a line is not.
        {kBom + header + "Череп;0,05;\r\n" + Utf8ToCp1251("Стопа;0,1;\r\n"), 3, "UTF-8"},
        // Neither UTF-8 nor Windows-1251: 0x98 is no character there.
        {Utf8ToCp1251(header + "Череп;0,05;\r\n") + "\x98\xC0;0,1;\r\n", 3, "Windows-1251"},
        {"\xFF\xFE" + std::string("\x12\x04\x38\x04", 4), 1, "UTF-16"},
    };
    for (const TUnreadable& u : unreadable) {
        const TCatalogueParse parsed = ParseCatalogueCsv(u.file);
        EXPECT_FALSE(parsed.ok) << u.says;
        EXPECT_TRUE(parsed.kinds.empty());
        EXPECT_EQ(parsed.line, u.line) << parsed.error;
        EXPECT_EQ(parsed.error.rfind("Строка " + std::to_string(u.line) + ": ", 0), 0u)
            << parsed.error;
        EXPECT_NE(parsed.error.find(u.says), std::string::npos) << parsed.error;
    }
}

}  // namespace
}  // namespace virel
