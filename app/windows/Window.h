#pragma once
// Base of the program's own windows: registers the window class, binds the window procedure
// to the object and reports every exception that would otherwise leave it.
#include <windows.h>

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

protected:
    struct TClass {
        const wchar_t* name;
        HCURSOR cursor;
        HBRUSH background;
        UINT style = 0;
    };
    // Creates the window of this object; `width` and `height` are client sizes for top-level
    // windows (style without WS_CHILD) and outer sizes for child windows.
    HWND CreateHandle(const TClass& windowClass, const wchar_t* caption, DWORD style, DWORD exStyle,
                      int x, int y, int width, int height, HWND parent, HMENU menu = nullptr);
    // Derived classes call this from their destructor, while their WindowProc still exists.
    void DestroyHandle();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

    TApplication& application_;
    HWND handle_ = nullptr;
};

// The program's font: "MS Sans Serif", 8 points (11 pixels), asked for with the Cyrillic
// character set so that the Russian texts show on every system. One per process.
HFONT ProgramFont();
// Applies the program's font to `window`.
void UseProgramFont(HWND window);

}  // namespace virel::app
