#include "app/frame/Window.h"

#include "app/frame/Application.h"
#include "win/Dpi.h"

namespace virel::app {

TCustomWindow::~TCustomWindow() {
    DestroyHandle();
}

HWND TCustomWindow::CreateHandle(const TClass& windowClass, const wchar_t* caption, DWORD style,
                                 DWORD exStyle, int x, int y, int width, int height, HWND parent,
                                 HMENU menu) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW info{};
    if (!GetClassInfoExW(instance, windowClass.name, &info)) {
        info.cbSize = sizeof(info);
        info.style = windowClass.style;
        info.lpfnWndProc = StaticWindowProc;
        info.hInstance = instance;
        info.hCursor = windowClass.cursor;
        info.hbrBackground = windowClass.background;
        info.lpszClassName = windowClass.name;
        RegisterClassExW(&info);
    }
    const bool topLevel = !(style & WS_CHILD);
    if (topLevel) {
        designClient_ = SIZE{width, height};
        // The monitor, and so the dpi, is known once the window is there: made at the design
        // size, it is brought to the scaled one below.
        RECT bounds{0, 0, width, height};
        AdjustWindowRectEx(&bounds, style, menu != nullptr, exStyle);
        width = bounds.right - bounds.left;
        height = bounds.bottom - bounds.top;
    }
    CreateWindowExW(exStyle, windowClass.name, caption, style, x, y, width, height, parent, menu,
                    instance, this);
    if (handle_ && topLevel) {
        layout_.SetDpi(win::WindowDpi(handle_));
        FitClientArea();
    }
    return handle_;
}

void TCustomWindow::FitClientArea() {
    const int width = layout_.Scale(designClient_.cx);
    const int height = layout_.Scale(designClient_.cy);
    RECT client{};
    GetClientRect(handle_, &client);
    if (client.right == width && client.bottom == height) return;
    RECT outer{};
    GetWindowRect(handle_, &outer);
    SetWindowPos(handle_, nullptr, 0, 0, outer.right - outer.left + width - client.right,
                 outer.bottom - outer.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomWindow::DpiChanged(int dpi, const RECT& suggested) {
    layout_.SetDpi(dpi);
    // The system's rectangle keeps the window where the operator dragged it; its size is the
    // old one scaled, which the design's own rounding may miss by a pixel.
    SetWindowPos(handle_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FitClientArea();
    layout_.Rescale(dpi);
    RedrawWindow(handle_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void TCustomWindow::DestroyHandle() {
    if (handle_) DestroyWindow(handle_);
}

LRESULT TCustomWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultProc(message, wParam, lParam);
}

LRESULT TCustomWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK TCustomWindow::StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TCustomWindow*>(create->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TCustomWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->handle_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // No exception may cross into the system: report it here and go on with the next message.
    try {
        if (message == win::kWmDpiChanged && self->designClient_.cx > 0) {
            self->DpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        return self->WindowProc(message, wParam, lParam);
    } catch (...) {
        self->application_.HandleException();
        return 0;
    }
}

}  // namespace virel::app
