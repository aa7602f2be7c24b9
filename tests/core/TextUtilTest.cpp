#include <gtest/gtest.h>

#include "core/TextUtil.h"

namespace virel {
namespace {

TEST(Trimmed, TakesTheBlanksOffBothEndsOnly) {
    const struct {
        const char* text;
        const char* trimmed;
    } cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"Кабинет 3", "Кабинет 3"},
        {"  Кабинет 3\r\n", "Кабинет 3"},
        {"\tа  б\t", "а  б"},
        {"x", "x"},
    };
    for (const auto& c : cases) EXPECT_EQ(Trimmed(c.text), c.trimmed) << '"' << c.text << '"';
    EXPECT_EQ(Trimmed(" a\n", " \t"), "a\n") << "only the blanks asked for";
}

}  // namespace
}  // namespace virel
