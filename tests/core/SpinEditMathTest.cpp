#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/widgets/SpinEditMath.h"

namespace virel::spin {
namespace {

// The two fields of the main window.
constexpr double kNumMin = 0, kNumMax = 255;           // SpE_Num
constexpr double kTimeMin = 5, kTimeMax = 1000000000;  // RxSpE_AutoTime

TEST(SpinParseInteger, AcceptsSignedDecimalNumbers) {
    EXPECT_EQ(ParseInteger("0"), 0);
    EXPECT_EQ(ParseInteger("300"), 300);
    EXPECT_EQ(ParseInteger("+17"), 17);
    EXPECT_EQ(ParseInteger("-17"), -17);
    EXPECT_EQ(ParseInteger("007"), 7);
    EXPECT_EQ(ParseInteger("-0"), 0);
    EXPECT_EQ(ParseInteger("00000000000000000000042"), 42);
}

TEST(SpinParseInteger, KnowsTheEndsOfThe32BitRange) {
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(ParseInteger("2147483648"), std::nullopt);
    EXPECT_EQ(ParseInteger("+2147483648"), std::nullopt);
    EXPECT_EQ(ParseInteger("-2147483649"), std::nullopt);
    EXPECT_EQ(ParseInteger("99999999999999999999999999"), std::nullopt);
}

TEST(SpinParseInteger, RejectsTextThatIsNotANumber) {
    EXPECT_EQ(ParseInteger(""), std::nullopt);
    EXPECT_EQ(ParseInteger("+"), std::nullopt);
    EXPECT_EQ(ParseInteger("-"), std::nullopt);
    EXPECT_EQ(ParseInteger("--5"), std::nullopt);
    EXPECT_EQ(ParseInteger("+-5"), std::nullopt);
    EXPECT_EQ(ParseInteger("5-"), std::nullopt);
    EXPECT_EQ(ParseInteger("1+2"), std::nullopt);
    EXPECT_EQ(ParseInteger("abc"), std::nullopt);
    EXPECT_EQ(ParseInteger(" 5"), std::nullopt);
    EXPECT_EQ(ParseInteger("5 "), std::nullopt);
    EXPECT_EQ(ParseInteger("5.0"), std::nullopt);
    EXPECT_EQ(ParseInteger("$1F"), std::nullopt);
    EXPECT_EQ(ParseInteger("\xd0\x9f"), std::nullopt);  // a Cyrillic letter in UTF-8
}

TEST(SpinReadValue, GivesTheLowerBoundForANonNumberAndDoesNotLimit) {
    EXPECT_EQ(ReadValue("", kNumMin), 0);
    EXPECT_EQ(ReadValue("-", kTimeMin), 5);
    EXPECT_EQ(ReadValue("abc", kTimeMin), 5);
    EXPECT_EQ(ReadValue("99999999999", kTimeMin), 5);
    // Out of the range but a number: read as it is (the field limits only when left).
    EXPECT_EQ(ReadValue("300", kNumMin), 300);
    EXPECT_EQ(ReadValue("3", kTimeMin), 3);
    EXPECT_EQ(ReadValue("-7", kNumMin), -7);
}

TEST(SpinLimitValue, LimitsToTheRangeUnlessTheBoundsAreEqual) {
    EXPECT_EQ(LimitValue(300, kNumMin, kNumMax), 255);
    EXPECT_EQ(LimitValue(-1, kNumMin, kNumMax), 0);
    EXPECT_EQ(LimitValue(128, kNumMin, kNumMax), 128);
    EXPECT_EQ(LimitValue(3, kTimeMin, kTimeMax), 5);
    EXPECT_EQ(LimitValue(-1e300, 0, 0), -1e300);
    EXPECT_EQ(LimitValue(12345, 7, 7), 12345);
    EXPECT_EQ(LimitValue(std::numeric_limits<double>::infinity(), kTimeMin, kTimeMax), kTimeMax);
}

TEST(SpinWriteText, LimitsRoundsAndFormatsPlainDecimal) {
    EXPECT_EQ(WriteText(60, kTimeMin, kTimeMax), "60");
    EXPECT_EQ(WriteText(1e9, kTimeMin, kTimeMax), "1000000000");  // no exponent
    EXPECT_EQ(WriteText(2e9, kTimeMin, kTimeMax), "1000000000");
    EXPECT_EQ(WriteText(-3, kNumMin, kNumMax), "0");
    EXPECT_EQ(WriteText(90.4, kTimeMin, kTimeMax), "90");
    EXPECT_EQ(WriteText(90.6, kTimeMin, kTimeMax), "91");
    EXPECT_EQ(WriteText(4.9, kTimeMin, kTimeMax), "5");
    EXPECT_EQ(WriteText(-2.6, 0, 0), "-3");
    EXPECT_EQ(WriteText(-std::numeric_limits<double>::infinity(), kTimeMin, kTimeMax), "5");
}

TEST(SpinWriteText, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(WriteText(90.5, kTimeMin, kTimeMax), "90");
    EXPECT_EQ(WriteText(91.5, kTimeMin, kTimeMax), "92");
    EXPECT_EQ(WriteText(0.5, 0, 0), "0");
    EXPECT_EQ(WriteText(-0.5, 0, 0), "0");
    EXPECT_EQ(WriteText(-1.5, 0, 0), "-2");
    EXPECT_EQ(WriteText(254.5, kNumMin, kNumMax), "254");
}

TEST(SpinWriteText, KeepsTheTextReadableWithoutLimits) {
    // Equal bounds mean no limit; the text still has to read back as the number written.
    const auto big = WriteText(1e30, 0, 0);
    ASSERT_TRUE(big);
    EXPECT_EQ(*big, "2147483647");
    EXPECT_EQ(ReadValue(*big, 0), 2147483647.0);
    EXPECT_EQ(WriteText(-1e30, 0, 0), "-2147483648");
    EXPECT_EQ(WriteText(std::numeric_limits<double>::infinity(), 3, 3), "2147483647");
    EXPECT_EQ(WriteText(std::nan(""), kNumMin, kNumMax), std::nullopt);
    EXPECT_EQ(WriteText(std::nan(""), 0, 0), std::nullopt);
}

TEST(SpinIntegerValue, TruncatesTowardZero) {
    EXPECT_EQ(IntegerValue(3), 3);
    EXPECT_EQ(IntegerValue(5.9), 5);
    EXPECT_EQ(IntegerValue(-5.9), -5);
    EXPECT_EQ(IntegerValue(1e300), std::numeric_limits<long long>::max());
    EXPECT_EQ(IntegerValue(-1e300), std::numeric_limits<long long>::min());
    EXPECT_EQ(IntegerValue(std::nan("")), 0);
}

TEST(SpinLeaveField, WritesTheLimitedValueBackOnlyWhenItDiffers) {
    EXPECT_EQ(LeaveFieldText("300", kNumMin, kNumMax), "255");
    EXPECT_EQ(LeaveFieldText("-4", kNumMin, kNumMax), "0");
    EXPECT_EQ(LeaveFieldText("3", kTimeMin, kTimeMax), "5");
    EXPECT_EQ(LeaveFieldText("1000000001", kTimeMin, kTimeMax), "1000000000");
    EXPECT_EQ(LeaveFieldText("128", kNumMin, kNumMax), std::nullopt);
    EXPECT_EQ(LeaveFieldText("+12", kNumMin, kNumMax), std::nullopt);  // in range: as typed
    EXPECT_EQ(LeaveFieldText("300", 7, 7), std::nullopt);              // no limit at all
}

TEST(SpinLeaveField, LeavesTextsThatAreNotNumbersAsTyped) {
    EXPECT_EQ(LeaveFieldText("", kNumMin, kNumMax), std::nullopt);
    EXPECT_EQ(LeaveFieldText("abc", kNumMin, kNumMax), std::nullopt);
    EXPECT_EQ(LeaveFieldText("-", kTimeMin, kTimeMax), std::nullopt);
    EXPECT_EQ(LeaveFieldText("99999999999", kTimeMin, kTimeMax), std::nullopt);
}

TEST(SpinStep, StepsByOneWithinTheRange) {
    EXPECT_EQ(StepText("60", +1, kTimeMin, kTimeMax), "61");
    EXPECT_EQ(StepText("60", -1, kTimeMin, kTimeMax), "59");
    EXPECT_EQ(StepText("+9", +1, kNumMin, kNumMax), "10");
    // A cleared field reads as the lower bound: Up makes it 1 in 0..255.
    EXPECT_EQ(StepText("", +1, kNumMin, kNumMax), "1");
    EXPECT_EQ(StepText("abc", -1, kNumMin, kNumMax), "0");  // text changes: "abc" -> "0"
    // Typed beyond the range: the step lands inside.
    EXPECT_EQ(StepText("300", +1, kNumMin, kNumMax), "255");
    EXPECT_EQ(StepText("3", -1, kTimeMin, kTimeMax), "5");
}

TEST(SpinStep, ChangesNothingAtTheBounds) {
    EXPECT_EQ(StepText("1000000000", +1, kTimeMin, kTimeMax), std::nullopt);
    EXPECT_EQ(StepText("5", -1, kTimeMin, kTimeMax), std::nullopt);
    EXPECT_EQ(StepText("255", +1, kNumMin, kNumMax), std::nullopt);
    EXPECT_EQ(StepText("0", -1, kNumMin, kNumMax), std::nullopt);
    // Same number, different spelling: the text changes, so it is a change.
    EXPECT_EQ(StepText("0255", +1, kNumMin, kNumMax), "255");
    EXPECT_EQ(StepText("2147483647", +1, 0, 0), std::nullopt);
}

TEST(SpinAcceptedChars, DigitsSignsAndControlCharacters) {
    for (char32_t c = U'0'; c <= U'9'; ++c) EXPECT_TRUE(IsAcceptedChar(c));
    EXPECT_TRUE(IsAcceptedChar(U'+'));
    EXPECT_TRUE(IsAcceptedChar(U'-'));
    EXPECT_TRUE(IsAcceptedChar(8));     // backspace
    EXPECT_TRUE(IsAcceptedChar(3));     // Ctrl+C
    EXPECT_TRUE(IsAcceptedChar(22));    // Ctrl+V
    EXPECT_TRUE(IsAcceptedChar(0x7F));  // Ctrl+Backspace
    EXPECT_FALSE(IsAcceptedChar(U'a'));
    EXPECT_FALSE(IsAcceptedChar(U' '));
    EXPECT_FALSE(IsAcceptedChar(U'.'));
    EXPECT_FALSE(IsAcceptedChar(U','));
    EXPECT_FALSE(IsAcceptedChar(U'/'));
    EXPECT_FALSE(IsAcceptedChar(U':'));
    EXPECT_FALSE(IsAcceptedChar(U'е'));    // Cyrillic
    EXPECT_FALSE(IsAcceptedChar(0x0660));  // Arabic-Indic zero is not an ASCII digit
}

TEST(SpinHalfAt, SplitsTheButtonAlongItsRisingDiagonal) {
    constexpr int w = 15, h = 17;
    EXPECT_EQ(HalfAt(0, 0, w, h), SpinHalf::Up);
    EXPECT_EQ(HalfAt(w - 1, h - 1, w, h), SpinHalf::Down);
    // Top-right and bottom-left corners lie on the diagonal's ends: the triangles meet there.
    EXPECT_EQ(HalfAt(w - 2, 0, w, h), SpinHalf::Up);
    EXPECT_EQ(HalfAt(w - 1, 1, w, h), SpinHalf::Down);
    EXPECT_EQ(HalfAt(0, h - 2, w, h), SpinHalf::Up);
    EXPECT_EQ(HalfAt(1, h - 1, w, h), SpinHalf::Down);
    // Upper half but right of the diagonal steps down; lower half left of it steps up.
    EXPECT_EQ(HalfAt(12, 4, w, h), SpinHalf::Down);
    EXPECT_EQ(HalfAt(2, 12, w, h), SpinHalf::Up);
}

TEST(SpinHalfAt, CountsAboutHalfOfThePixelsForEachHalf) {
    for (const auto& [w, h] : {std::pair{15, 17}, std::pair{16, 16}, std::pair{9, 40}}) {
        int up = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) up += HalfAt(x, y, w, h) == SpinHalf::Up;
        EXPECT_NEAR(up, w * h / 2.0, std::max(w, h)) << w << "x" << h;
    }
}

TEST(SpinRepeat, FirstRepeatAfter400ThenEvery100) {
    EXPECT_EQ(RepeatDelayMs(1), 400);
    EXPECT_EQ(RepeatDelayMs(2), 100);
    EXPECT_EQ(RepeatDelayMs(50), 100);
    // Steps over a second of holding: at 0, 400, 500, ..., 1000 ms.
    int steps = 1;
    long long t = 0;
    for (;;) {
        t += RepeatDelayMs(steps);
        if (t > 1000) break;
        ++steps;
    }
    EXPECT_EQ(steps, 8);
}

}  // namespace
}  // namespace virel::spin
