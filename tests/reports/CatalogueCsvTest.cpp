#include <gtest/gtest.h>

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

}  // namespace
}  // namespace virel
