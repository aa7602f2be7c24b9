// A window's whole text, centring a window, and the system's error texts.
#include <gtest/gtest.h>

#include <string>

#include "win/Scopes.h"
#include "win/SystemMessage.h"
#include "win/Windows.h"

namespace {

using namespace virel::win;

// Hidden, never shown: no window manager is involved.
TOwnedWindow Popup(int x, int y, int width, int height, const wchar_t* text = L"") {
    return TOwnedWindow(CreateWindowExW(0, L"STATIC", text, WS_POPUP, x, y, width, height, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
}

RECT Bounds(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST(WindowText, IsTheWholeTextHoweverLong) {
    const std::wstring caption(1000, L'Ж');
    const TOwnedWindow window = Popup(0, 0, 10, 10, caption.c_str());
    ASSERT_TRUE(window);
    EXPECT_EQ(WindowText(window.Get()), caption);
    SetWindowTextW(window.Get(), L"");
    EXPECT_EQ(WindowText(window.Get()), L"");
    EXPECT_EQ(WindowText(nullptr), L"");
}

TEST(CentreWindow, OverAnotherWindowAndNeverPastTheScreensTopLeft) {
    const TOwnedWindow over = Popup(100, 100, 600, 400);
    const TOwnedWindow box = Popup(0, 0, 200, 100);
    ASSERT_TRUE(over && box);
    CentreWindow(box.Get(), over.Get());
    RECT r = Bounds(box.Get());
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 250);
    EXPECT_EQ(r.right - r.left, 200) << "size kept";

    const TOwnedWindow small = Popup(0, 0, 100, 60);
    const TOwnedWindow large = Popup(10, 10, 400, 300);
    CentreWindow(large.Get(), small.Get());
    r = Bounds(large.Get());
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);

    CentreWindow(box.Get(), nullptr);
    r = Bounds(box.Get());
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
}

TEST(SystemMessage, IsTheSystemsTextWithoutLineBreakOrTheCode) {
    const auto text = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(text.has_value());
    EXPECT_FALSE(text->empty());
    EXPECT_NE(text->back(), '\n');
    EXPECT_NE(text->back(), '\r');
    EXPECT_EQ(SystemMessage(ERROR_FILE_NOT_FOUND), *text);

    const DWORD unknown = 0x2FFF'1234;
    if (!SystemText(unknown)) {
        EXPECT_EQ(SystemMessage(unknown), "System error 805245492");
    }
}

}  // namespace
