// The catalogue file's optional columns after today's three: the reference and alert levels in
// the unit their header names, the check-up flag, K in the unit its header names, a K that
// looks ten times off questioned with its line.
#include <gtest/gtest.h>

#include <cmath>

#include "reports/CatalogueCsv.h"

namespace virel {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

TCatalogueParse Parse(const std::string& header, const std::string& lines) {
    return ParseCatalogueCsv(kBom + header + "\r\n" + lines);
}

TEST(CatalogueLevelsCsv, EachUnitAHeaderNamesIsConvertedToTheCatalogues) {
    const struct {
        const char* header;  // the column after today's three
        const char* value;
        double reference;  // Gy·cm²; 0: the column is the alert level's
        double alert;
    } cases[] = {
        {"РДУ, Гр·см²", "0,8", 0.8, 0},
        {"РДУ, мГр·см²", "800", 0.8, 0},
        {"РДУ, мГр·см²", "1,5", 0.0015, 0},
        {"РДУ, сГр·см²", "80", 0.8, 0},
        {"РДУ, мкГр·м²", "80", 0.8, 0},
        {"РДУ, сГр·см² (= мкГр·м²)", "80", 0.8, 0},
        {"РДУ,мГр*см^2", "250", 0.25, 0},
        {"РДУ, мГр.см2", "250", 0.25, 0},
        {"Порог оповещения, Гр·см²", "200", 0, 200},
        {"Порог оповещения, сГр·см²", "20000", 0, 200},
        {"Порог оповещения, мГр·см²", "200000", 0, 200},
        {"Порог оповещения, Гр*см2", "12.5", 0, 12.5},
    };
    for (const auto& c : cases) {
        const TCatalogueParse parsed =
            Parse(std::string(kCatalogueHeader) + ";" + c.header,
                  std::string("Грудная клетка;0,18;;") + c.value + "\r\n");
        ASSERT_TRUE(parsed.ok) << c.header << ": " << parsed.error;
        ASSERT_EQ(parsed.kinds.size(), 1u);
        const TExamKind& kind = parsed.kinds[0];
        if (c.reference > 0) {
            ASSERT_TRUE(kind.referenceLevel) << c.header;
            EXPECT_DOUBLE_EQ(*kind.referenceLevel, c.reference) << c.header;
            EXPECT_FALSE(kind.alertLevel);
            EXPECT_TRUE(parsed.columns.referenceLevel);
            EXPECT_FALSE(parsed.columns.alertLevel);
        } else {
            ASSERT_TRUE(kind.alertLevel) << c.header;
            EXPECT_DOUBLE_EQ(*kind.alertLevel, c.alert) << c.header;
            EXPECT_FALSE(kind.referenceLevel);
            EXPECT_TRUE(parsed.columns.alertLevel);
        }
        EXPECT_FALSE(parsed.columns.preventive);
    }
}

TEST(CatalogueLevelsCsv, KInTheUnitOfTheGuidelinesTablesIsATenth) {
    const struct {
        const char* adultHeader;
        const char* childHeader;
        const char* adult;
        const char* child;
        double kAdult, kChild;
    } cases[] = {
        {"K для взрослых", "K для детей", "0,18", "0,3", 0.18, 0.3},
        {"K для взрослых, мЗв/(Гр·см²)", "K для детей, мЗв/(Гр·см²)", "0,18", "0,3", 0.18, 0.3},
        {"K для взрослых, мкЗв/(сГр·см²)", "K для детей, мкЗв/(сГр·см²)", "1,8", "3", 0.18, 0.3},
        {"K для взрослых, мкЗв/(сГр*см2)", "K для детей", "0,000001", "0,3", 0.0000001, 0.3},
    };
    for (const auto& c : cases) {
        const TCatalogueParse parsed =
            Parse(std::string("Вид исследования;") + c.adultHeader + ";" + c.childHeader,
                  std::string("Таз;") + c.adult + ";" + c.child + "\r\n");
        ASSERT_TRUE(parsed.ok) << c.adultHeader << ": " << parsed.error;
        EXPECT_DOUBLE_EQ(*parsed.kinds[0].kAdult, c.kAdult) << c.adultHeader;
        EXPECT_DOUBLE_EQ(*parsed.kinds[0].kChild, c.kChild) << c.childHeader;
        EXPECT_TRUE(parsed.questioned.empty());
    }
}

TEST(CatalogueLevelsCsv, AKAboveThreeIsQuestionedWithItsLinesAfterTheConversion) {
    const TCatalogueParse parsed =
        Parse("Вид исследования;K для взрослых;K для детей, мкЗв/(сГр·см²)",
              "Грудная клетка;1,8;3\r\n"  // 1.8 and 0.3: both sound
              "Таз;3;\r\n"                // exactly 3: not above
              "Позвоночник;3,1;\r\n"      // line 4
              "Урография;18;35\r\n"       // line 5, both K: the line once
              "Череп;;31\r\n");           // 3.1: line 6
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.kinds.size(), 5u) << "questioned, not refused: the caller asks";
    EXPECT_EQ(parsed.questioned, (std::vector<int>{4, 5, 6}));
    EXPECT_EQ(QuestionedKText(parsed).rfind("K больше 3 мЗв/(Гр·см²) в строках 4, 5, 6", 0), 0u)
        << QuestionedKText(parsed);
    TCatalogueParse one;
    one.questioned = {7};
    EXPECT_EQ(QuestionedKText(one).rfind("K больше 3 мЗв/(Гр·см²) в строке 7 ", 0), 0u);
    EXPECT_EQ(QuestionedKText({}), "");
}

TEST(CatalogueLevelsCsv, TheOptionalColumnsInAnyOrderTheFlagAndShortRows) {
    const TCatalogueParse parsed = Parse(
        "Вид исследования;K для взрослых;K для детей;Профилактическое;"
        "Порог оповещения, Гр·см²;РДУ, мГр·см²",
        "Флюорография;0,02;;да;1;150\r\n"
        "Грудная клетка;0,18;;нет;;\r\n"
        "Таз;0,29;;Да\r\n"  // a spreadsheet program leaves the empty cells at the end out
        "Череп;0,05;;1;;\r\n"
        "Кисть;0,01;;0;;\r\n"
        "Стопа;;;;\r\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_TRUE(parsed.columns.referenceLevel && parsed.columns.alertLevel &&
                parsed.columns.preventive);
    ASSERT_EQ(parsed.kinds.size(), 6u);
    EXPECT_TRUE(parsed.kinds[0].preventive);
    EXPECT_DOUBLE_EQ(*parsed.kinds[0].alertLevel, 1);
    EXPECT_DOUBLE_EQ(*parsed.kinds[0].referenceLevel, 0.15);
    for (std::size_t i : {1u, 4u, 5u}) EXPECT_FALSE(parsed.kinds[i].preventive) << i;
    for (std::size_t i : {2u, 3u}) EXPECT_TRUE(parsed.kinds[i].preventive) << i;
    EXPECT_FALSE(parsed.kinds[1].alertLevel) << "an empty level is none";
    EXPECT_FALSE(parsed.kinds[2].referenceLevel);
}

TEST(CatalogueLevelsCsv, JunkInTheHeaderOrALineIsNamed) {
    const std::string three = kCatalogueHeader;
    const struct {
        std::string header;
        std::string line;
        int at;
        const char* says;
    } junk[] = {
        {three + ";РДУ", "Таз;;;1", 1, "укажите единицу"},
        {three + ";РДУ, Зв", "Таз;;;1", 1, "единица не известна"},
        {three + ";Порог оповещения, мГр/см²", "Таз;;;1", 1, "единица не известна"},
        {"Вид исследования;K для взрослых, мЗв;K для детей", "Таз;;", 1, "единица не известна"},
        {three + ";Доза", "Таз;;;1", 1, "столбец «Доза» не известен"},
        {three + ";РДУ, Гр·см²;РДУ, мГр·см²", "Таз;;;1;1", 1, "указан дважды"},
        {"Вид исследования;K для детей;K для взрослых", "Таз;;", 1, "заголовок должен"},
        {"Вид исследования;РДУ, Гр·см²;K для взрослых;K для детей", "Таз;1;;", 1,
         "заголовок должен"},
        {three + ";РДУ, Гр·см²", "Таз;;;0", 2, "РДУ «0»: уровень должен быть больше нуля"},
        {three + ";РДУ, Гр·см²", "Таз;;;-1", 2, "не может быть отрицательным"},
        {three + ";Порог оповещения, Гр·см²", "Таз;;;много", 2,
         "Порог оповещения «много»: не число"},
        {three + ";Порог оповещения, Гр·см²", "Таз;;;1234567890", 2, "слишком большое"},
        {three + ";Профилактическое", "Таз;;;может быть", 2, "нужно «да», «нет» или пусто"},
        {three + ";Профилактическое", "Таз;;;да;лишнее", 2, "ожидается 4 поля"},
        {"Вид исследования;K для взрослых, мкЗв/(сГр·см²);K для детей", "Таз;-1;", 2,
         "K для взрослых «-1»: K не может быть отрицательным"},
    };
    for (const auto& j : junk) {
        const TCatalogueParse parsed = Parse(j.header, "Грудная клетка;0,18;;\r\n" + j.line);
        EXPECT_FALSE(parsed.ok) << j.header << " / " << j.line;
        EXPECT_TRUE(parsed.kinds.empty());
        // The kind before the junk line is line 2: the junk, when it is a line, is line 3.
        const int line = j.at == 1 ? 1 : 3;
        EXPECT_EQ(parsed.line, line) << parsed.error;
        EXPECT_NE(parsed.error.find(j.says), std::string::npos) << parsed.error;
    }
}

TEST(CatalogueLevelsCsv, AFileOfTodaysThreeColumnsSaysNothingOfTheLevels) {
    const TCatalogueParse parsed = Parse(kCatalogueHeader, "Таз;0,29;\r\n");
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_FALSE(parsed.columns.referenceLevel || parsed.columns.alertLevel ||
                 parsed.columns.preventive);
    EXPECT_FALSE(parsed.kinds[0].alertLevel);
}

TEST(CatalogueLevelsCsv, LevelsAndTheFlagAreWrittenInTheHeadersUnitsAndReadBack) {
    const std::vector<TExamKind> kinds = {
        {0, "Флюорография", 0.02, std::nullopt, 0.15, 1.5, true},
        {0, "Таз", 0.29, 0.4, std::nullopt, 200, false},
        {0, "Без уровней", std::nullopt, std::nullopt, std::nullopt, std::nullopt, false},
        {0, "Малый РДУ", 1.25, std::nullopt, 0.000123, std::nullopt, false},
    };
    const std::string csv = CatalogueCsv(kinds);
    EXPECT_EQ(csv.rfind(kBom + kCatalogueLevelsHeader + "\r\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("\r\nФлюорография;0,02;;150;1,5;да\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nТаз;0,29;0,4;;200;\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nБез уровней;;;;;\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nМалый РДУ;1,25;;0,123;;\r\n"), std::string::npos) << csv;

    const TCatalogueParse parsed = ParseCatalogueCsv(csv);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.kinds.size(), kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(parsed.kinds[i].kAdult, kinds[i].kAdult) << i;
        EXPECT_EQ(parsed.kinds[i].kChild, kinds[i].kChild) << i;
        ASSERT_EQ(parsed.kinds[i].referenceLevel.has_value(), kinds[i].referenceLevel.has_value());
        if (kinds[i].referenceLevel) {
            EXPECT_DOUBLE_EQ(*parsed.kinds[i].referenceLevel, *kinds[i].referenceLevel) << i;
        }
        EXPECT_EQ(parsed.kinds[i].alertLevel, kinds[i].alertLevel) << i;
        EXPECT_EQ(parsed.kinds[i].preventive, kinds[i].preventive) << i;
    }
    EXPECT_EQ(CatalogueCsv(parsed.kinds), csv);

    // A catalogue without levels or the flag keeps today's three columns, which older versions
    // of the program read.
    EXPECT_EQ(CatalogueCsv({kinds[2]}), kBom + kCatalogueHeader + "\r\nБез уровней;;\r\n");
}

TEST(CatalogueLevelsCsv, ALevelAsTypedInTheDialog) {
    std::string error;
    EXPECT_DOUBLE_EQ(*ParseLevelText(" 0,8 ", error), 0.8);
    EXPECT_DOUBLE_EQ(*ParseLevelText("200.5", error), 200.5);
    EXPECT_FALSE(ParseLevelText("0", error));
    EXPECT_NE(error.find("больше нуля"), std::string::npos);
    EXPECT_FALSE(ParseLevelText("1e3", error));
}

}  // namespace
}  // namespace virel
