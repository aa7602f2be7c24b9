#include <gtest/gtest.h>

#include <climits>

#include "core/widgets/DpiScale.h"

namespace virel::dpi {
namespace {

TEST(DpiMulDiv, RoundsToTheNearestWithHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(421, 144, 96), 632);  // 631.5
    EXPECT_EQ(MulDiv(402, 120, 96), 503);  // 502.5
    EXPECT_EQ(MulDiv(421, 120, 96), 526);  // 526.25
    EXPECT_EQ(MulDiv(5, 2, 3), 3);         // 3.33
    EXPECT_EQ(MulDiv(7, 2, 3), 5);         // 4.67
    EXPECT_EQ(MulDiv(-11, 144, 96), -17);  // -16.5
    EXPECT_EQ(MulDiv(11, -144, 96), -17);
    EXPECT_EQ(MulDiv(11, 144, -96), -17);
    EXPECT_EQ(MulDiv(-11, -144, -96), -17);
    EXPECT_EQ(MulDiv(-11, 144, -96), 17);
    EXPECT_EQ(MulDiv(-7, 2, 3), -5);
    EXPECT_EQ(MulDiv(0, 144, 96), 0);
    EXPECT_EQ(MulDiv(1, 1, 3), 0);
    EXPECT_EQ(MulDiv(-1, 1, 3), 0);
}

TEST(DpiMulDiv, ComputesTheProductIn64BitsAndAnswersMinusOneWhereTheResultDoesNotFit) {
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(INT_MIN + 1, INT_MAX, INT_MAX), INT_MIN + 1);
    EXPECT_EQ(MulDiv(100000, 100000, 10), 1000000000);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 1, 1), -1) << "beyond -2147483647";
    EXPECT_EQ(MulDiv(INT_MIN, INT_MIN, 1), -1);
    EXPECT_EQ(MulDiv(5, 7, 0), -1);
}

TEST(DpiScale, LeavesTheDesignAloneAt96AndScalesByTheRatioElsewhere) {
    for (int value : {0, 1, 8, 13, 21, 384, 421, -5}) {
        EXPECT_EQ(Scale(value, 96), value);
        EXPECT_EQ(Scale(value, 192), 2 * value);
    }
    EXPECT_EQ(Scale(384, 144), 576);
    EXPECT_EQ(Scale(421, 144), 632);
    EXPECT_EQ(Scale(21, 144), 32);  // 31.5
    EXPECT_EQ(Scale(15, 120), 19);  // 18.75
    EXPECT_EQ(Scale(13, 168), 23);  // 22.75
    // A failed query (0) or nonsense leaves the design as it is.
    EXPECT_EQ(Scale(421, 0), 421);
    EXPECT_EQ(Scale(421, -144), 421);
}

TEST(DpiScaleBounds, ScalesTheEdgesSoThatTouchingControlsStayTouching) {
    EXPECT_EQ(ScaleBounds({8, 8, 161, 81}, 96), (TBounds{8, 8, 161, 81}));
    EXPECT_EQ(ScaleBounds({8, 8, 161, 81}, 192), (TBounds{16, 16, 322, 162}));
    // The main window's status bar, 0,402 384x19 in a 384x421 client area, ends where the
    // client area does (632 at 144, 526 at 120); at 120 its scaled size alone (24) would not.
    EXPECT_EQ(ScaleBounds({0, 402, 384, 19}, 144), (TBounds{0, 603, 576, 29}));
    EXPECT_EQ(ScaleBounds({0, 402, 384, 19}, 120), (TBounds{0, 503, 480, 23}));
    EXPECT_EQ(Scale(421, 120), 526);
    // Equal design sizes may come out a pixel apart, by where they are.
    EXPECT_EQ(ScaleBounds({16, 32, 137, 21}, 120), (TBounds{20, 40, 171, 26}));
    EXPECT_EQ(ScaleBounds({16, 13, 137, 21}, 120), (TBounds{20, 16, 171, 27}));
    EXPECT_EQ(ScaleBounds({136, 114, 49, 21}, 120), (TBounds{170, 143, 61, 26}));
    // The neighbours BitBtn4 (8..129) and SpE_Num (136..185) keep their 7 pixel gap scaled.
    const TBounds button = ScaleBounds({8, 112, 121, 25}, 144);
    const TBounds field = ScaleBounds({136, 114, 49, 21}, 144);
    EXPECT_EQ(field.x - (button.x + button.width), Scale(136, 144) - Scale(129, 144));
}

TEST(DpiFontHeight, EightPointsAreElevenPixelsAtTheDesignAndGrowWithTheDpi) {
    EXPECT_EQ(FontHeight(8, 96), -11);   // 10.67
    EXPECT_EQ(FontHeight(8, 120), -13);  // 13.33
    EXPECT_EQ(FontHeight(8, 144), -16);
    EXPECT_EQ(FontHeight(8, 168), -19);  // 18.67
    EXPECT_EQ(FontHeight(8, 192), -21);  // 21.33
    EXPECT_EQ(FontHeight(8, 0), -11) << "a failed query keeps the design";
}

}  // namespace
}  // namespace virel::dpi
