#include "app/windows/ProgressBar.h"

#include <algorithm>

#include "app/frame/Application.h"
#include "app/windows/Texts.h"
#include "core/Errors.h"
#include "win/Windows.h"

namespace virel::app {

namespace {
constexpr int kGaugeId = 100;
}

TFProgressBar::~TFProgressBar() {
    DestroyHandle();
}

HWND TFProgressBar::Create(HWND owner) {
    CreateHandle({L"TFProgressBar", LoadCursorW(nullptr, IDC_WAIT),
                  reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
                 kProgressCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                 WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth,
                 kClientHeight, owner);
    if (!Handle()) return nullptr;
    constexpr dpi::TBounds kGaugeBounds{8, 8, 561, 52};
    const dpi::TBounds at = Layout().Bounds(kGaugeBounds);
    gauge_.Create(Handle(), kGaugeId, at.x, at.y, at.width, at.height);
    SetControlFont(gauge_.Handle(), Layout().Font());
    Layout().Keep(gauge_.Handle(), kGaugeBounds);
    gauge_.SetMaxValue(288);
    gauge_.SetProgress(0);
    return Handle();
}

void TFProgressBar::Show() {
    if (!placed_) {
        win::CentreWindow(Handle(), GetWindow(Handle(), GW_OWNER));
        placed_ = true;
    }
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(Handle());
}

void TFProgressBar::Close() {
    if (IsWindowVisible(Handle())) ShowWindow(Handle(), SW_HIDE);
}

void TFProgressBar::FormKeyPress(wchar_t key) {
    if (key != VK_ESCAPE) return;  // Esc's character has the key's code
    Close();
    Application().Cancel(std::make_exception_ptr(Exception(kExchangeCancelledU8)));
}

LRESULT TFProgressBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR:
            FormKeyPress(static_cast<wchar_t>(wParam));
            return 0;
        case WM_ACTIVATE:
            // No control takes the focus: the window keeps it, so typed keys reach it.
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(Handle());
            return 0;
        case WM_SETCURSOR:
            // The hourglass over the window and over the gauge.
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_CLOSE:
            Close();
            return 0;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace virel::app
