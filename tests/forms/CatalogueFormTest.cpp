#include <gtest/gtest.h>

#include "forms/CatalogueForm.h"

namespace virel {
namespace {

TEST(CatalogueForm, AKindAsTypedWithDecimalCommaOrPointAndEmptyK) {
    auto parse = ParseKindFields({"  Грудная клетка  ", "0,18", " 0.2 "}, 5);
    ASSERT_TRUE(parse.kind) << parse.message;
    EXPECT_EQ(parse.kind->id, 5);
    EXPECT_EQ(parse.kind->name, "Грудная клетка");
    EXPECT_DOUBLE_EQ(*parse.kind->kAdult, 0.18);
    EXPECT_DOUBLE_EQ(*parse.kind->kChild, 0.2);
    parse = ParseKindFields({"Череп; \"боковая\"", "", "  "}, 0);
    ASSERT_TRUE(parse.kind);
    EXPECT_EQ(parse.kind->name, "Череп; \"боковая\"");
    EXPECT_FALSE(parse.kind->kAdult) << "an empty K is none, never zero";
    EXPECT_FALSE(parse.kind->kChild);
}

TEST(CatalogueForm, BadFieldsAreNamedAsTheFilesMessagesNameThem) {
    EXPECT_EQ(ParseKindFields({"   ", "0,1", ""}, 0).message,
              "Укажите название вида исследования.");
    EXPECT_EQ(ParseKindFields({"Кисть", "0,18x", ""}, 0).message,
              "K для взрослых «0,18x»: не число (пример: 0,18)");
    EXPECT_EQ(ParseKindFields({"Кисть", "", "-1"}, 0).message,
              "K для детей «-1»: K не может быть отрицательным");
    EXPECT_EQ(ParseKindFields({"Кисть", "0,1234567", ""}, 0).message,
              "K для взрослых «0,1234567»: больше 6 знаков после запятой");
    EXPECT_FALSE(ParseKindFields({"Кисть", "1,2,3", ""}, 0).kind);
}

TEST(CatalogueForm, TheFieldsOfAKindGoBackUnchanged) {
    const TExamKind kind{9, "Урография", 1.25, std::nullopt};
    const TKindFields fields = FieldsOfKind(kind);
    EXPECT_EQ(fields.kAdult, "1,25");
    EXPECT_EQ(fields.kChild, "");
    const auto again = ParseKindFields(fields, kind.id);
    ASSERT_TRUE(again.kind);
    EXPECT_EQ(again.kind->name, kind.name);
    EXPECT_EQ(again.kind->kAdult, kind.kAdult);
    EXPECT_EQ(again.kind->kChild, kind.kChild);
}

TEST(CatalogueForm, TheJournalsRefusalsHaveTheirMessages) {
    EXPECT_EQ(KindFaultText({}, "Кисть"), "");
    EXPECT_EQ(KindFaultText({TKindFault::InUse, 0, ""}, "Кисть"),
              "Вид исследования «Кисть» указан в описаниях записей журнала; его нельзя удалить.");
    EXPECT_EQ(KindFaultText({TKindFault::DuplicateName, 0, ""}, "Кисть"),
              "Вид исследования «Кисть» уже есть в каталоге.");
    EXPECT_EQ(KindFaultText({TKindFault::NotWritten, 0, "database is locked"}, "Кисть"),
              "Каталог не изменён: журнал доз недоступен для записи: database is locked");
    EXPECT_EQ(KindFaultText({TKindFault::NoKind, 0, ""}, "Кисть"),
              "Этого вида исследования больше нет в каталоге.");
}

TEST(CatalogueForm, TheLevelsAndTheFlagAsTypedAndBack) {
    TKindFields fields{"Флюорография", "0,02", "", " 0,15 ", "1.5", true};
    auto parse = ParseKindFields(fields, 3);
    ASSERT_TRUE(parse.kind) << parse.message;
    EXPECT_DOUBLE_EQ(*parse.kind->referenceLevel, 0.15);
    EXPECT_DOUBLE_EQ(*parse.kind->alertLevel, 1.5);
    EXPECT_TRUE(parse.kind->preventive);
    const TKindFields back = FieldsOfKind(*parse.kind);
    EXPECT_EQ(back.referenceLevel, "0,15");
    EXPECT_EQ(back.alertLevel, "1,5");
    EXPECT_TRUE(back.preventive);
    EXPECT_EQ(LevelCellText(std::nullopt), "");
    EXPECT_EQ(PreventiveCellText(true), "да");
    EXPECT_EQ(PreventiveCellText(false), "");

    fields.referenceLevel = "0";
    EXPECT_EQ(ParseKindFields(fields, 3).message,
              "РДУ «0»: уровень должен быть больше нуля (пустое поле — не задан)");
    fields.referenceLevel = "";
    fields.alertLevel = "двести";
    EXPECT_EQ(ParseKindFields(fields, 3).message,
              "Порог оповещения «двести»: не число (пример: 0,18)");
    fields.alertLevel = "  ";
    parse = ParseKindFields(fields, 3);
    ASSERT_TRUE(parse.kind);
    EXPECT_FALSE(parse.kind->alertLevel) << "empty: none";
    EXPECT_EQ(KindFaultText({TKindFault::InvalidLevel, 0, ""}, "Кисть"),
              "Уровень должен быть больше нуля; пустое поле — уровень не задан.");
}

}  // namespace
}  // namespace virel
