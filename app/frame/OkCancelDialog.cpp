#include "app/frame/OkCancelDialog.h"

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

bool TOkCancelDialog::RunModal(HWND focus) {
    win::CentreWindow(Handle(), GetWindow(Handle(), GW_OWNER));
    result_ = TResult::None;
    if (!RunModalLoop(*this, focus, [this] { return result_ != TResult::None; }))
        result_ = TResult::Cancelled;
    return result_ == TResult::Accepted;
}

LRESULT TOkCancelDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case DM_GETDEFID:
            return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && result_ == TResult::None) {
                OkExecute();
            } else if (LOWORD(wParam) == IDCANCEL) {
                result_ = TResult::Cancelled;
            }
            return 0;
        case WM_CLOSE:
            result_ = TResult::Cancelled;
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
