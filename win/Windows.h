#pragma once
// Small helpers on windows that every Windows subsystem uses.
#include <windows.h>

#include <string>

namespace virel::win {

// The window's whole text (GetWindowTextW sized to fit); empty for no window.
std::wstring WindowText(HWND window);

// Moves `window` (size kept) to the middle of `over`'s window rectangle, or of the screen when
// `over` is null; never past the screen's top or left edge, so the title bar stays reachable.
void CentreWindow(HWND window, HWND over);

}  // namespace virel::win
