#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/DecimalSeparator.h"

namespace virel {
namespace {

// A Russian locale (decimal comma) under the name this C library knows, or empty.
std::string SetRussianNumbers() {
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "Russian_Russia.1251", "ru-RU", "ru"}) {
        if (std::setlocale(LC_NUMERIC, name)) return name;
    }
    return {};
}

class DecimalSeparatorTest : public ::testing::Test {
protected:
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(DecimalSeparatorTest, OverridesTheDecimalCommaOfRussianSettings) {
    const std::string russian = SetRussianNumbers();
    if (russian.empty()) GTEST_SKIP() << "no Russian locale installed";
    ASSERT_EQ(DecimalSeparator(), ',') << russian;

    UseFullStopDecimalSeparator();

    EXPECT_EQ(DecimalSeparator(), '.');
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 258.45);
    EXPECT_STREQ(text, "258.45");
    EXPECT_DOUBLE_EQ(std::strtod("0.5", nullptr), 0.5);
}

TEST_F(DecimalSeparatorTest, KeepsAFullStopThatIsAlreadyThere) {
    std::setlocale(LC_ALL, "C");
    UseFullStopDecimalSeparator();
    EXPECT_EQ(DecimalSeparator(), '.');
    EXPECT_DOUBLE_EQ(std::strtod("12.7", nullptr), 12.7);
}

}  // namespace
}  // namespace virel
