#include "app/frame/ModalWindow.h"

#include "app/frame/Application.h"
#include "win/Windows.h"

namespace virel::app {

bool RunModalLoop(TCustomWindow& window, HWND focus, const std::function<bool()>& done) {
    const HWND previous = GetActiveWindow();
    bool ended = true;
    {
        TTaskWindowsDisabled disabled(window.Handle());
        ShowWindow(window.Handle(), SW_SHOW);
        SetForegroundWindow(window.Handle());
        SetFocus(focus);
        while (!done()) {
            if (window.Application().Terminated() || !window.Application().HandleNextMessage()) {
                ended = false;
                break;
            }
        }
        // The other windows come back before this one goes, so the activation returns to
        // the window the dialog was opened from.
    }
    ShowWindow(window.Handle(), SW_HIDE);
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
    return ended;
}

HWND TModalWindow::CreateModalHandle(const wchar_t* className, const wchar_t* caption, int width,
                                     int height, HWND owner, DWORD style) {
    CreateHandle(
        {className, LoadCursorW(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
        caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | style, WS_EX_DLGMODALFRAME, CW_USEDEFAULT,
        CW_USEDEFAULT, width, height, owner);
    if (Handle()) Application().AddDialogWindow(Handle());
    return Handle();
}

int TModalWindow::RunModal(HWND focus) {
    result_ = 0;
    if (!RunModalLoop(*this, focus, [this] { return result_ != 0; })) result_ = IDCANCEL;
    return result_;
}

void TModalWindow::CentreOnOwner() {
    win::CentreWindow(Handle(), GetWindow(Handle(), GW_OWNER));
}

LRESULT TModalWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) EndModal(IDCANCEL);
            return 0;
        case WM_CLOSE:
            EndModal(IDCANCEL);
            return 0;
        case WM_DESTROY:
            Application().RemoveDialogWindow(Handle());
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace virel::app
