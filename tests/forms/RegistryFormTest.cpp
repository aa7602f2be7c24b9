// What the dialog "Центральный журнал" makes of its fields: the password kept, replaced or
// forgotten without ever being shown, the half-given settings refused, the check's line.
#include <gtest/gtest.h>

#include "forms/RegistryForm.h"

namespace virel {
namespace {

TEST(RegistryForm, ThePasswordFieldLeftEmptyKeepsTheStoredOneTypedReplacesItTheBoxForgetsIt) {
    const TRegistrySettings stored{"DSN=old", "Кабинет 1", "старый пароль"};
    TRegistryFields fields{"  Driver={PostgreSQL Unicode};Server=10.0.0.5  ", "\tКабинет 3 ", "",
                           false};
    TRegistrySettings made = SettingsOfFields(fields, stored);
    EXPECT_EQ(made.connection, "Driver={PostgreSQL Unicode};Server=10.0.0.5");
    EXPECT_EQ(made.room, "Кабинет 3");
    EXPECT_EQ(made.password, "старый пароль") << "left empty: kept";

    fields.typedPassword = " новый; пароль} ";
    EXPECT_EQ(SettingsOfFields(fields, stored).password, " новый; пароль} ")
        << "typed: taken as typed, spaces and braces included";
    fields.forgetStored = true;
    EXPECT_EQ(SettingsOfFields(fields, stored).password, " новый; пароль} ")
        << "a new one typed wins over forgetting the old";
    fields.typedPassword.clear();
    EXPECT_EQ(SettingsOfFields(fields, stored).password, "") << "forgotten";
    EXPECT_EQ(SettingsOfFields(fields, {}).password, "") << "nothing stored, nothing typed";
}

TEST(RegistryForm, ConnectionAndRoomGoTogetherOrNeither) {
    EXPECT_EQ(RegistryFieldsFault({"DSN=virel", "Кабинет 3", ""}), std::nullopt);
    EXPECT_EQ(RegistryFieldsFault({"", "", "пароль"}), std::nullopt) << "pushing switched off";
    for (const TRegistrySettings& half :
         {TRegistrySettings{"DSN=virel", "", ""}, TRegistrySettings{"", "Кабинет 3", ""}}) {
        const auto fault = RegistryFieldsFault(half);
        ASSERT_TRUE(fault.has_value());
        EXPECT_EQ(*fault, texts::kRegistryHalfGiven);
    }
    // What the fields give is checked, i.e. after trimming.
    EXPECT_TRUE(RegistryFieldsFault(SettingsOfFields({"DSN=virel", "   ", "", false}, {})));
}

TEST(RegistryForm, TheCheckSaysItWorksOrGivesTheReason) {
    EXPECT_EQ(LinkCheckText({true, ""}), "Соединение работает.");
    EXPECT_EQ(
        LinkCheckText({false, "28P01 FATAL: password authentication failed for user \"virel\""}),
        "Не работает: 28P01 FATAL: password authentication failed for user \"virel\"");
}

}  // namespace
}  // namespace virel
