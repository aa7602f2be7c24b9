#include "win/Dpi.h"

#include "win/Scopes.h"

namespace virel::win {

namespace {

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through void*: a FARPROC is no function type of ours.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// Looked up once; user32 stays loaded for the process, shcore (Windows 8.1) is loaded here,
// from the system folder only, and kept.
struct TDpiCalls {
    TGetDpiForWindow getDpiForWindow = nullptr;
    TGetDpiForMonitor getDpiForMonitor = nullptr;
    TAdjustWindowRectExForDpi adjustWindowRectExForDpi = nullptr;
};

const TDpiCalls& DpiCalls() {
    static const TDpiCalls calls = [] {
        TDpiCalls found;
        const HMODULE user = GetModuleHandleW(L"user32.dll");
        found.getDpiForWindow = Lookup<TGetDpiForWindow>(user, "GetDpiForWindow");
        found.adjustWindowRectExForDpi =
            Lookup<TAdjustWindowRectExForDpi>(user, "AdjustWindowRectExForDpi");
        if (!found.getDpiForWindow) {
            found.getDpiForMonitor = Lookup<TGetDpiForMonitor>(
                LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                "GetDpiForMonitor");
        }
        return found;
    }();
    return calls;
}

}  // namespace

int SystemDpi() {
    const TWindowDC screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND window) {
    const TDpiCalls& calls = DpiCalls();
    if (calls.getDpiForWindow && window) {
        const UINT dpi = calls.getDpiForWindow(window);
        if (dpi > 0) return static_cast<int>(dpi);
    }
    if (calls.getDpiForMonitor && window) {
        UINT x = 0, y = 0;
        const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
        if (SUCCEEDED(calls.getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && x > 0) {
            return static_cast<int>(x);
        }
    }
    return SystemDpi();
}

RECT WindowRectForClient(RECT client, DWORD style, bool menu, DWORD exStyle, int dpi) {
    RECT bounds = client;
    const TDpiCalls& calls = DpiCalls();
    if (calls.adjustWindowRectExForDpi &&
        calls.adjustWindowRectExForDpi(&bounds, style, menu, exStyle, static_cast<UINT>(dpi))) {
        return bounds;
    }
    bounds = client;
    AdjustWindowRectEx(&bounds, style, menu, exStyle);
    return bounds;
}

}  // namespace virel::win
