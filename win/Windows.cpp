#include "win/Windows.h"

#include <algorithm>

namespace virel::win {

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

void CentreWindow(HWND window, HWND over) {
    RECT outer{};
    GetWindowRect(window, &outer);
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (over) GetWindowRect(over, &area);
    const LONG left =
        std::max(0L, area.left + (area.right - area.left - (outer.right - outer.left)) / 2);
    const LONG top =
        std::max(0L, area.top + (area.bottom - area.top - (outer.bottom - outer.top)) / 2);
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace virel::win
