#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "core/widgets/GaugeMath.h"

namespace virel::gauge {
namespace {

TEST(GaugePercentDone, TruncatesTowardZero) {
    EXPECT_EQ(PercentDone(0, 255, 0), 0);
    EXPECT_EQ(PercentDone(0, 255, 1), 0);
    EXPECT_EQ(PercentDone(0, 255, 3), 1);
    EXPECT_EQ(PercentDone(0, 255, 254), 99);
    EXPECT_EQ(PercentDone(0, 255, 255), 100);
    EXPECT_EQ(PercentDone(0, 1, 0), 0);
    EXPECT_EQ(PercentDone(0, 1, 1), 100);
    EXPECT_EQ(PercentDone(0, 288, 144), 50);
    EXPECT_EQ(PercentDone(10, 20, 15), 50);
}

TEST(GaugePercentDone, ZeroForAnEmptyRangeAndNoOverflowForLargeOnes) {
    EXPECT_EQ(PercentDone(0, 0, 0), 0);
    EXPECT_EQ(PercentDone(7, 7, 7), 0);
    EXPECT_EQ(PercentDone(0, INT_MAX, INT_MAX), 100);
    EXPECT_EQ(PercentDone(0, INT_MAX, INT_MAX / 2), 49);
    EXPECT_EQ(PercentDone(INT_MIN, INT_MAX, 0), 50);
}

TEST(GaugeLimitProgress, KeepsProgressInsideTheRange) {
    EXPECT_EQ(LimitProgress(300, 0, 255), 255);
    EXPECT_EQ(LimitProgress(-1, 0, 255), 0);
    EXPECT_EQ(LimitProgress(17, 0, 255), 17);
    EXPECT_EQ(LimitProgress(5, 0, 0), 0);
    EXPECT_EQ(LimitProgress(INT_MIN, 0, 1), 0);
}

TEST(GaugeMaxValue, RefusesOnlyValuesBelowTheMinimum) {
    EXPECT_TRUE(IsValidMaxValue(0, 0));
    EXPECT_TRUE(IsValidMaxValue(1, 0));
    EXPECT_TRUE(IsValidMaxValue(INT_MAX, 0));
    EXPECT_FALSE(IsValidMaxValue(-1, 0));
    EXPECT_FALSE(IsValidMaxValue(INT_MIN, 0));
    EXPECT_EQ(MaxValueErrorText(0), "Value must be between 1 and 2147483647");
    EXPECT_EQ(MaxValueErrorText(INT_MAX), "Value must be between 2147483648 and 2147483647");
}

TEST(GaugeBarWidth, UsesInnerWidthPlusOneAndTruncates) {
    // The progress window's gauge: 561 wide, 559 inside the one-pixel border.
    EXPECT_EQ(BarWidth(0, 559), 0);
    EXPECT_EQ(BarWidth(1, 559), 5);  // 560 / 100
    EXPECT_EQ(BarWidth(50, 559), 280);
    EXPECT_EQ(BarWidth(99, 559), 554);   // 55440 / 100
    EXPECT_EQ(BarWidth(100, 559), 559);  // 560 capped at the inner width
    EXPECT_EQ(BarWidth(1, 50), 0);       // 51 / 100: nothing drawn
    EXPECT_EQ(BarWidth(2, 50), 1);
    EXPECT_EQ(BarWidth(100, 0), 0);
    EXPECT_EQ(BarWidth(100, -2), 0);
    EXPECT_EQ(BarWidth(-5, 100), 0);
}

TEST(GaugeBarWidth, GrowsWithThePercentAndNeverPassesTheInnerWidth) {
    for (int inner : {1, 2, 37, 99, 100, 101, 559}) {
        int previous = 0;
        for (int percent = 0; percent <= 100; ++percent) {
            const int width = BarWidth(percent, inner);
            EXPECT_GE(width, previous) << inner << " " << percent;
            EXPECT_LE(width, inner) << inner << " " << percent;
            previous = width;
        }
        EXPECT_EQ(previous, inner);
    }
}

TEST(GaugePercentText, PercentSignAfterTheNumber) {
    EXPECT_EQ(PercentText(0), "0%");
    EXPECT_EQ(PercentText(42), "42%");
    EXPECT_EQ(PercentText(100), "100%");
}

TEST(GaugePercentDone, ChangesAtMost101TimesOver256Steps) {
    // The gauge repaints only when the percent changes: the export's 256 records make at most
    // 101 repaints (0% to 100%).
    std::set<int> seen;
    int changes = 0, last = -1;
    for (int n = 0; n <= 255; ++n) {
        const int percent = PercentDone(0, 255, n);
        seen.insert(percent);
        if (percent != last) ++changes;
        last = percent;
    }
    EXPECT_EQ(seen.size(), 101u);
    EXPECT_LE(changes, 101);
}

}  // namespace
}  // namespace virel::gauge
