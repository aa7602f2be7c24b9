#pragma once
// Base of the program's own windows: registers the window class, binds the window procedure
// to the object and reports every exception that would otherwise leave it. A top-level window
// is laid out at its monitor's dpi and laid out anew when it moves to a monitor of another.
#include <windows.h>

#include "app/frame/DpiLayout.h"

namespace virel::app {

class TApplication;

class TCustomWindow {
public:
    explicit TCustomWindow(TApplication& application) : application_(application) {}
    virtual ~TCustomWindow();
    TCustomWindow(const TCustomWindow&) = delete;
    TCustomWindow& operator=(const TCustomWindow&) = delete;

    HWND Handle() const { return handle_; }
    TApplication& Application() const { return application_; }
    // The dpi a top-level window and its controls are laid out for.
    int Dpi() const { return layout_.Dpi(); }

protected:
    struct TClass {
        const wchar_t* name;
        HCURSOR cursor;
        HBRUSH background;
        UINT style = 0;
    };
    // Creates the window of this object. For a top-level window (style without WS_CHILD)
    // `width` and `height` are its client size at 96 dpi, scaled to the dpi of the monitor it
    // appears on; for a child window they are its outer size in pixels.
    HWND CreateHandle(const TClass& windowClass, const wchar_t* caption, DWORD style, DWORD exStyle,
                      int x, int y, int width, int height, HWND parent, HMENU menu = nullptr);
    // Derived classes call this from their destructor, while their WindowProc still exists.
    void DestroyHandle();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // A top-level window's controls: created through it at the window's dpi, and moved by it
    // when the dpi changes.
    TDpiLayout& Layout() { return layout_; }
    // Brings the client area to the design size at the window's dpi (the position stays). A
    // menu bar that wraps onto a second line would otherwise eat into it.
    void FitClientArea();

private:
    // The window moved to a monitor of `dpi` (WM_DPICHANGED): it takes the place the system
    // suggests, its client area and controls are scaled to the new dpi, and it is repainted.
    void DpiChanged(int dpi, const RECT& suggested);
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

    TApplication& application_;
    HWND handle_ = nullptr;
    TDpiLayout layout_;
    SIZE designClient_{};  // a top-level window's client size at 96 dpi
};

}  // namespace virel::app
