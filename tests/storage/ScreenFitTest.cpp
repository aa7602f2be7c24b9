// Keeping a restored window's title bar on the monitors: when a window counts as reachable,
// which monitor it belongs to, and where it is moved.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "storage/ScreenFit.h"

namespace virel {
namespace {

constexpr std::int32_t kTitle = 22;
constexpr std::int32_t kWidth = 390, kHeight = 470;  // about the main window's size

TRect At(std::int32_t left, std::int32_t top) {
    return {left, top, left + kWidth, top + kHeight};
}

const std::vector<TRect> kOneScreen{{0, 0, 1280, 1024}};

TEST(ScreenFit, APositionWithTheWholeTitleBarOnScreenStaysAsItIs) {
    for (const TRect& window :
         {At(0, 0), At(150, 120), At(1280 - kWidth, 1024 - kTitle), At(0, 1024 - kTitle)}) {
        EXPECT_TRUE(TitleBarOnWorkAreas(window, kTitle, kOneScreen));
        EXPECT_EQ(KeepTitleBarReachable(window, kTitle, kOneScreen), window);
    }
    // Only the title bar counts: the rest of the window may hang below the screen.
    EXPECT_EQ(KeepTitleBarReachable(At(300, 900), kTitle, kOneScreen), At(300, 900));
}

TEST(ScreenFit, AWindowWithLittleOnScreenIsMovedFullyOntoIt) {
    // Positions at which only a few pixels showed.
    EXPECT_EQ(KeepTitleBarReachable(At(-380, -460), kTitle, kOneScreen), At(0, 0));
    EXPECT_EQ(KeepTitleBarReachable(At(1275, 300), kTitle, kOneScreen), At(1280 - kWidth, 300));
    EXPECT_EQ(KeepTitleBarReachable(At(300, 1020), kTitle, kOneScreen), At(300, 1024 - kHeight));
    // A title bar above the top edge, and one a single pixel too far left or right.
    EXPECT_EQ(KeepTitleBarReachable(At(300, -10), kTitle, kOneScreen), At(300, 0));
    EXPECT_EQ(KeepTitleBarReachable(At(-1, 200), kTitle, kOneScreen), At(0, 200));
    EXPECT_EQ(KeepTitleBarReachable(At(1280 - kWidth + 1, 200), kTitle, kOneScreen),
              At(1280 - kWidth, 200));
    // Entirely off screen, far away.
    EXPECT_EQ(KeepTitleBarReachable(At(30000, 30000), kTitle, kOneScreen),
              At(1280 - kWidth, 1024 - kHeight));
}

TEST(ScreenFit, TheTaskBarIsNotPartOfTheWorkArea) {
    const std::vector<TRect> areas{{0, 0, 1280, 994}};  // a task bar of 30 pixels below
    EXPECT_FALSE(TitleBarOnWorkAreas(At(300, 980), kTitle, areas));
    EXPECT_EQ(KeepTitleBarReachable(At(300, 980), kTitle, areas), At(300, 994 - kHeight));
    const std::vector<TRect> leftBar{{60, 0, 1280, 1024}};  // one along the left edge
    EXPECT_EQ(KeepTitleBarReachable(At(20, 100), kTitle, leftBar), At(60, 100));
}

TEST(ScreenFit, TwoMonitors) {
    // Side by side, the right one smaller and lower: its top edge is at 200.
    const std::vector<TRect> areas{{0, 0, 1280, 1024}, {1280, 200, 2304, 968}};
    // Across the seam with the whole title bar on the two: stays.
    EXPECT_EQ(KeepTitleBarReachable(At(1100, 300), kTitle, areas), At(1100, 300));
    // Across the seam but with the right part of the title bar above the right monitor: moved
    // onto the monitor that holds most of the window.
    EXPECT_EQ(KeepTitleBarReachable(At(1000, 150), kTitle, areas), At(1280 - kWidth, 150));
    EXPECT_EQ(KeepTitleBarReachable(At(1250, 150), kTitle, areas), At(1280, 200));
    // Off to the right of both: onto the closer (right) one.
    EXPECT_EQ(KeepTitleBarReachable(At(2400, 300), kTitle, areas), At(2304 - kWidth, 300));
    EXPECT_EQ(KeepTitleBarReachable(At(2400, 900), kTitle, areas),
              At(2304 - kWidth, 968 - kHeight));
    // A monitor to the left of the primary one has negative coordinates.
    const std::vector<TRect> leftOfPrimary{{0, 0, 1280, 1024}, {-1024, 0, 0, 768}};
    EXPECT_EQ(KeepTitleBarReachable(At(-500, 100), kTitle, leftOfPrimary), At(-500, 100));
    EXPECT_EQ(KeepTitleBarReachable(At(-1100, 100), kTitle, leftOfPrimary), At(-1024, 100));
    EXPECT_EQ(NearestWorkArea(At(-500, 100), leftOfPrimary), 1);
    EXPECT_EQ(NearestWorkArea(At(-100, 100), leftOfPrimary), 0);
}

TEST(ScreenFit, AWindowLargerThanTheWorkAreaShowsItsTitleBar) {
    const std::vector<TRect> small{{0, 0, 300, 400}};
    EXPECT_EQ(KeepTitleBarReachable(At(-50, -50), kTitle, small), At(0, 0));
    EXPECT_EQ(KeepTitleBarReachable(At(100, 100), kTitle, small), At(0, 0));
}

TEST(ScreenFit, NothingKnownOrNothingToMove) {
    EXPECT_EQ(KeepTitleBarReachable(At(-5000, -5000), kTitle, {}), At(-5000, -5000));
    EXPECT_EQ(NearestWorkArea(At(0, 0), {}), -1);
    EXPECT_EQ(NearestWorkArea(At(0, 0), {{10, 10, 10, 500}}), -1);  // an empty area
    const TRect empty{500, 500, 500, 600};
    EXPECT_EQ(KeepTitleBarReachable(empty, kTitle, kOneScreen), empty);
}

TEST(ScreenFit, ExtremeCoordinatesStayWithinRange) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const TRect huge{kMin, kMin, kMax, kMax};
    EXPECT_EQ(KeepTitleBarReachable(huge, kTitle, kOneScreen), (TRect{0, 0, kMax, kMax}));
    EXPECT_EQ(KeepTitleBarReachable({kMax - 10, kMax - 10, kMax, kMax}, kMax, kOneScreen),
              (TRect{1270, 1014, 1280, 1024}));
    EXPECT_EQ(RectAt(kMax, kMin, 100, -100), (TRect{kMax, kMin, kMax, kMin}));
    EXPECT_EQ(RectAt(-20, 30, 390, 470), (TRect{-20, 30, 370, 500}));
}

}  // namespace
}  // namespace virel
