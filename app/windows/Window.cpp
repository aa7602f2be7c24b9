#include "app/windows/Window.h"

#include "app/windows/Application.h"
#include "app/windows/Texts.h"
#include "win/Scopes.h"

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
    if (!(style & WS_CHILD)) {
        RECT bounds{0, 0, width, height};
        AdjustWindowRectEx(&bounds, style, menu != nullptr, exStyle);
        width = bounds.right - bounds.left;
        height = bounds.bottom - bounds.top;
    }
    CreateWindowExW(exStyle, windowClass.name, caption, style, x, y, width, height, parent, menu,
                    instance, this);
    return handle_;
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
        return self->WindowProc(message, wParam, lParam);
    } catch (...) {
        self->application_.HandleException();
        return 0;
    }
}

HFONT ProgramFont() {
    static const win::TFont font(CreateFontW(
        -11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontName));
    return font.Get();
}

void UseProgramFont(HWND window) {
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont()), FALSE);
}

}  // namespace virel::app
