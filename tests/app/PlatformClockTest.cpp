// The clock and Esc key adapters under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/platform/PlatformClock.h"
#include "app/platform/PlatformKeyState.h"
#include "core/DateTimeFormat.h"
#include "tests/support/EscapeKey.h"

namespace virel::app {
namespace {

TEST(PlatformClock, LocalTimeInMilliseconds) {
    TPlatformClock clock;
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const std::int64_t a = clock.LocalNowMs();
    Sleep(120);
    const std::int64_t b = clock.LocalNowMs();
    EXPECT_GE(b - a, 100);
    EXPECT_LT(b - a, 5000);
    const DateTime now = FromMilliseconds(a);
    // Same calendar day unless the test runs across midnight.
    if (now.hour != 0 || now.minute != 0) {
        EXPECT_EQ(now.year, before.wYear);
        EXPECT_EQ(now.month, before.wMonth);
        EXPECT_EQ(now.day, before.wDay);
        EXPECT_EQ(now.hour, before.wHour);
    }
}

TEST(PlatformKeyState, SeesTheEscKeyWhileItIsDown) {
    TPlatformKeyState keys;
    EXPECT_FALSE(keys.EscapeDown());
    ASSERT_TRUE(e2e::SendEscape(true));
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
        seen = keys.EscapeDown();
        if (!seen) Sleep(10);
    }
    e2e::SendEscape(false);
    EXPECT_TRUE(seen);
    bool released = false;
    for (int i = 0; i < 100 && !released; ++i) {
        released = !keys.EscapeDown();
        if (!released) Sleep(10);
    }
    EXPECT_TRUE(released);
}

}  // namespace
}  // namespace virel::app
