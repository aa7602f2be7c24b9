#pragma once
// A window's pixels per inch and the frame around a client area at that dpi. The calls that
// know a monitor's own dpi came with Windows 8.1 and Windows 10 (version 1607), after the
// oldest system the program runs on; they are looked up at run time, and where they are
// missing the system's dpi answers, which is the one such a system lays every window out for.
#include <windows.h>

namespace virel::win {

// WM_DPICHANGED (Windows 8.1): the headers declare it only for newer targets than this one.
inline constexpr UINT kWmDpiChanged = 0x02E0;

// The system's dpi (the screen's LOGPIXELSX); 96 when it cannot be read.
int SystemDpi();

// The dpi `window` is laid out for: its monitor's (Windows 10 1607, else 8.1), else the
// system's.
int WindowDpi(HWND window);

// The window rectangle around `client` for that style at `dpi`: the frame and the menu bar at
// that dpi (AdjustWindowRectExForDpi), else at the system's (AdjustWindowRectEx).
RECT WindowRectForClient(RECT client, DWORD style, bool menu, DWORD exStyle, int dpi);

}  // namespace virel::win
