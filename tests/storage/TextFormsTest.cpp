// Text forms of stored values: numbers, variants, scrambling, names and the ini quoting rule.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "storage/RXProps.h"
#include "storage/SectionStore.h"
#include "storage/TextUtil.h"

namespace virel {
namespace {

using storage_detail::FoldCase;
using storage_detail::ParseInt32;
using storage_detail::ParseInt64;
using storage_detail::SameText;
using storage_detail::SplitWords;
using storage_detail::Trim;

TEST(FloatText, GeneralFormatDropsTrailingZerosAndUsesAPoint) {
    EXPECT_EQ(FloatToText(60.0L, TFloatType::ftExtended), "60");
    EXPECT_EQ(FloatToText(90.5L, TFloatType::ftExtended), "90.5");
    EXPECT_EQ(FloatToText(-1.25L, TFloatType::ftExtended), "-1.25");
    EXPECT_EQ(FloatToText(0.0L, TFloatType::ftExtended), "0");
    EXPECT_EQ(FloatToText(1000000000.0L, TFloatType::ftExtended), "1000000000");
    EXPECT_EQ(FloatToText(0.001L, TFloatType::ftExtended), "0.001");
    EXPECT_EQ(FloatToText(0.00001L, TFloatType::ftExtended), "0.00001");
}

TEST(FloatText, PrecisionFollowsTheFloatType) {
    EXPECT_EQ(FloatToText(0.1L, TFloatType::ftExtended), "0.1");
    // A double's 0.1 is not an extended's 0.1: 18 digits show the difference, 15 do not.
    EXPECT_EQ(FloatToText(static_cast<long double>(0.1), TFloatType::ftDouble), "0.1");
    EXPECT_EQ(FloatToText(static_cast<long double>(0.1), TFloatType::ftExtended),
              "0.100000000000000006");
    EXPECT_EQ(FloatToText(static_cast<long double>(0.1f), TFloatType::ftSingle), "0.1");
    EXPECT_EQ(FloatToText(1.0L / 3.0L, TFloatType::ftSingle), "0.3333333");
    EXPECT_EQ(FloatToText(2.0L / 3.0L, TFloatType::ftDouble), "0.666666666666667");
    EXPECT_EQ(FloatToText(1234567890123456789.0L, TFloatType::ftCurr), "1234567890123456789");
    EXPECT_EQ(FloatPrecision(TFloatType::ftComp), 18);
}

TEST(FloatText, ScientificForVeryLargeAndVerySmallValues) {
    EXPECT_EQ(FloatToText(1e20L, TFloatType::ftExtended), "1E20");
    EXPECT_EQ(FloatToText(-1.5e20L, TFloatType::ftExtended), "-1.5E20");
    EXPECT_EQ(FloatToText(1e-6L, TFloatType::ftExtended), "1E-6");
    EXPECT_EQ(FloatToText(2.5e-7L, TFloatType::ftExtended), "2.5E-7");
    // Eight digits before the point do not fit a single's seven.
    EXPECT_EQ(FloatToText(12345678.0L, TFloatType::ftSingle), "1.234568E7");
    EXPECT_EQ(FloatToText(1234567.0L, TFloatType::ftSingle), "1234567");
    // Rounding up to the next power of ten moves the decision with it.
    EXPECT_EQ(FloatToText(9999999.9L, TFloatType::ftSingle), "1E7");
}

TEST(FloatText, SpecialValues) {
    EXPECT_EQ(FloatToText(std::numeric_limits<long double>::infinity(), TFloatType::ftDouble),
              "INF");
    EXPECT_EQ(FloatToText(-std::numeric_limits<long double>::infinity(), TFloatType::ftDouble),
              "-INF");
    EXPECT_EQ(FloatToText(std::numeric_limits<long double>::quiet_NaN(), TFloatType::ftDouble),
              "NAN");
}

TEST(FloatText, ParsesPointNumbersOnly) {
    EXPECT_EQ(TextToFloat("90.5"), 90.5L);
    EXPECT_EQ(TextToFloat("-0.25"), -0.25L);
    EXPECT_EQ(TextToFloat("+7"), 7.0L);
    EXPECT_EQ(TextToFloat(".5"), 0.5L);
    EXPECT_EQ(TextToFloat("5."), 5.0L);
    EXPECT_EQ(TextToFloat("1.5E20"), 1.5e20L);
    EXPECT_EQ(TextToFloat("2.5e-7"), 2.5e-7L);
    EXPECT_EQ(TextToFloat("0.1"), 0.1L);  // to the full extended precision
    for (const char* junk : {"", " ", "1,5", "abc", "1.5.2", "1e", "e5", "-", ".", "INF", "NAN",
                             "1e99999", " 5", "5 ", "0x10"}) {
        EXPECT_FALSE(TextToFloat(junk).has_value()) << junk;
    }
}

TEST(FloatText, RoundTripsEveryFloatType) {
    const long double values[] = {60.0L, 90.5L, 1e-10L, 123456.789L, -3.14159265358979L, 7e30L};
    for (long double v : values) {
        const auto back = TextToFloat(FloatToText(v, TFloatType::ftExtended));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, v) << FloatToText(v, TFloatType::ftExtended);
        const double d = static_cast<double>(v);
        const auto backD = TextToFloat(FloatToText(d, TFloatType::ftDouble));
        ASSERT_TRUE(backD.has_value());
        EXPECT_NEAR(static_cast<double>(*backD), d, std::fabs(d) * 1e-14);
    }
}

// A C locale with a decimal comma (the Russian regional settings) must change nothing.
class DecimalCommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::setlocale(LC_ALL, nullptr);
        for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "Russian_Russia.1251", "Russian",
                                 "ru-RU", "de_DE.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
                return;
            }
        }
        std::setlocale(LC_ALL, saved_.c_str());
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
    std::string saved_;
};

TEST_F(DecimalCommaLocale, FloatsAreWrittenAndReadWithAPoint) {
    ASSERT_EQ(*std::localeconv()->decimal_point, ',');
    EXPECT_EQ(FloatToText(1.5L, TFloatType::ftExtended), "1.5");
    EXPECT_EQ(FloatToText(-2.25L, TFloatType::ftDouble), "-2.25");
    EXPECT_EQ(FloatToText(1.5e-7L, TFloatType::ftExtended), "1.5E-7");
    EXPECT_EQ(TextToFloat("1.5"), 1.5L);
    EXPECT_EQ(TextToFloat("90.5"), 90.5L);
    EXPECT_FALSE(TextToFloat("1,5").has_value());
    EXPECT_EQ(VariantToText(TStoredVariant{2.5}), "2.5");
}

TEST(VariantText, EachKind) {
    EXPECT_EQ(VariantToText(TStoredVariant{}), "");
    EXPECT_EQ(VariantToText(TStoredVariant{TVarNull{}}), "");
    EXPECT_EQ(VariantToText(TStoredVariant{true}), "True");
    EXPECT_EQ(VariantToText(TStoredVariant{false}), "False");
    EXPECT_EQ(VariantToText(TStoredVariant{std::int64_t{-42}}), "-42");
    EXPECT_EQ(VariantToText(TStoredVariant{0.5}), "0.5");
    EXPECT_EQ(VariantToText(TStoredVariant{std::string("COM3")}), "COM3");
}

TEST(Scrambler, XorWithTheKeyAsLowerCaseHex) {
    // 'A' ^ 'k' = 0x2a, 'B' ^ 'e' = 0x27, 'C' ^ 'y' = 0x3a, 'D' ^ 'k' = 0x2f (key repeats).
    EXPECT_EQ(ScrambleText("ABCD", "key"), "2a273a2f");
    EXPECT_EQ(ScrambleText("", "key"), "");
    EXPECT_EQ(ScrambleText("\xff", "\x01"), "fe");
    EXPECT_EQ(UnscrambleText("2a273a2f", "key"), "ABCD");
    EXPECT_EQ(UnscrambleText("2A273A2F", "key"), "ABCD");
}

TEST(Scrambler, RoundTripsAnyText) {
    for (const std::string& text :
         std::vector<std::string>{"COM1", "пароль с пробелом", std::string("a\0b", 3), ""}) {
        EXPECT_EQ(UnscrambleText(ScrambleText(text, "ключ"), "ключ"), text);
    }
}

TEST(Scrambler, JunkPairsCountAs32AndAnOddLastCharacterIsDropped) {
    // "zz" is no hex pair: 32 ^ 'k' = 'K'.
    EXPECT_EQ(UnscrambleText("zz", "k"), "K");
    EXPECT_EQ(UnscrambleText("2a2", "key"), "A");
    EXPECT_EQ(UnscrambleText("2a 7", "key"), std::string("A") + static_cast<char>(32 ^ 'e'));
    EXPECT_EQ(UnscrambleText("x", "key"), "");
}

TEST(Names, CaseInsensitiveLatinAndCyrillic) {
    EXPECT_TRUE(SameText("CB_ComPort", "cb_comport"));
    EXPECT_TRUE(SameText("Частота", "ЧАСТОТА"));
    EXPECT_TRUE(SameText("Ёлка", "ёЛКА"));
    EXPECT_FALSE(SameText("CB_ComPort", "CB_ComPort1"));
    EXPECT_FALSE(SameText("abc", "abd"));
    EXPECT_EQ(FoldCase("TFace.CB_X"), "tface.cb_x");
}

TEST(Names, TrimAndWords) {
    EXPECT_EQ(Trim("  COM3 \t"), "COM3");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(SplitWords("10, 20,,30  40", " ,"),
              (std::vector<std::string>{"10", "20", "30", "40"}));
    EXPECT_TRUE(SplitWords(" , ", " ,").empty());
}

TEST(Names, StrictIntegers) {
    EXPECT_EQ(ParseInt32("42"), 42);
    EXPECT_EQ(ParseInt32("-1"), -1);
    EXPECT_EQ(ParseInt32("+7"), 7);
    EXPECT_EQ(ParseInt32("  5"), 5);
    EXPECT_EQ(ParseInt32("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseInt32("2147483647"), std::numeric_limits<std::int32_t>::max());
    for (const char* junk : {"", "abc", "1.5", "5 ", "2147483648", "-2147483649", "-", "0x10"}) {
        EXPECT_FALSE(ParseInt32(junk).has_value()) << junk;
    }
    EXPECT_EQ(ParseInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_FALSE(ParseInt64("9223372036854775808").has_value());
}

TEST(IniQuoting, MatchingQuotesGetAnotherPairOfDoubleQuotes) {
    EXPECT_EQ(IniQuoted("COM1"), "COM1");
    EXPECT_EQ(IniQuoted(""), "");
    EXPECT_EQ(IniQuoted("\"a\""), "\"\"a\"\"");
    EXPECT_EQ(IniQuoted("'a'"), "\"'a'\"");
    EXPECT_EQ(IniQuoted("\"a'"), "\"a'");
    EXPECT_EQ(IniQuoted("a\""), "a\"");
    EXPECT_EQ(IniQuoted("\""), "\"\"\"");
}

}  // namespace
}  // namespace virel
