#include "storage/FormWin32.h"

#include <algorithm>

#include "storage/RxHookWin32.h"
#include "storage/TextUtil.h"
#include "win/Scopes.h"

namespace virel {

using storage_detail::SameText;

TWin32Control::TWin32Control(std::string name, std::string className, TComponent* owner,
                             HWND handle)
    : TBoundComponent(std::move(name), std::move(className), owner), handle_(handle) {}

bool TWin32Control::CanFocus() const {
    return handle_ && IsWindowVisible(handle_) && IsWindowEnabled(handle_);
}

TWin32Form::TWin32Form(HWND hwnd, TWin32FormOptions options)
    : hwnd_(hwnd), options_(std::move(options)) {}

TWin32Control& TWin32Form::AddControl(std::string name, std::string className, HWND handle) {
    controls_.push_back(
        std::make_unique<TWin32Control>(std::move(name), std::move(className), this, handle));
    return *controls_.back();
}

void TWin32Form::RemoveControl(const TComponent& control) {
    std::erase_if(controls_, [&](const auto& c) { return c.get() == &control; });
}

TComponent* TWin32Form::FindComponent(std::string_view name) const {
    for (const auto& c : controls_) {
        if (SameText(c->Name(), name)) return c.get();
    }
    return nullptr;
}

bool TWin32Form::HandleAllocated() const {
    return hwnd_ && IsWindow(hwnd_);
}

bool TWin32Form::Visible() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

TWindowPlacement TWin32Form::GetPlacement() const {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    TWindowPlacement p;
    if (!GetWindowPlacement(hwnd_, &wp)) return p;
    p.length = wp.length;
    p.flags = wp.flags;
    p.showCmd = wp.showCmd;
    p.minPosition = {wp.ptMinPosition.x, wp.ptMinPosition.y};
    p.maxPosition = {wp.ptMaxPosition.x, wp.ptMaxPosition.y};
    p.normalPosition = {wp.rcNormalPosition.left, wp.rcNormalPosition.top,
                        wp.rcNormalPosition.right, wp.rcNormalPosition.bottom};
    return p;
}

void TWin32Form::SetPlacement(const TWindowPlacement& p) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    // Only the placement flags the system defines; a stored junk value cannot set others.
    wp.flags = p.flags & (WPF_SETMINPOSITION | WPF_RESTORETOMAXIMIZED | WPF_ASYNCWINDOWPLACEMENT);
    wp.showCmd = p.showCmd;
    wp.ptMinPosition = {p.minPosition.x, p.minPosition.y};
    wp.ptMaxPosition = {p.maxPosition.x, p.maxPosition.y};
    wp.rcNormalPosition = {p.normalPosition.left, p.normalPosition.top, p.normalPosition.right,
                           p.normalPosition.bottom};
    SetWindowPlacement(hwnd_, &wp);
}

RECT TWin32Form::WindowRect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r;
}

std::int32_t TWin32Form::Left() const {
    return WindowRect().left;
}
std::int32_t TWin32Form::Top() const {
    return WindowRect().top;
}
std::int32_t TWin32Form::Width() const {
    const RECT r = WindowRect();
    return r.right - r.left;
}
std::int32_t TWin32Form::Height() const {
    const RECT r = WindowRect();
    return r.bottom - r.top;
}

TWindowState TWin32Form::WindowState() const {
    if (!Visible()) return state_;
    if (IsIconic(hwnd_)) return TWindowState::wsMinimized;
    if (IsZoomed(hwnd_)) return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TWin32Form::SetWindowState(TWindowState state) {
    state_ = state;
    // A hidden window takes the state when it is shown (ShowCommand).
    if (!Visible()) return;
    switch (state) {
        case TWindowState::wsNormal:
            ShowWindow(hwnd_, SW_RESTORE);
            break;
        case TWindowState::wsMinimized:
            ShowWindow(hwnd_, SW_MINIMIZE);
            break;
        case TWindowState::wsMaximized:
            ShowWindow(hwnd_, SW_MAXIMIZE);
            break;
    }
}

int TWin32Form::ShowCommand() const {
    switch (state_) {
        case TWindowState::wsMinimized:
            return SW_SHOWMINIMIZED;
        case TWindowState::wsMaximized:
            return SW_SHOWMAXIMIZED;
        case TWindowState::wsNormal:
            break;
    }
    return SW_SHOWNORMAL;
}

bool TWin32Form::ApplicationMinimized() const {
    return hwnd_ && IsIconic(hwnd_);
}

void TWin32Form::PostApplicationMinimize() {
    PostMessageW(hwnd_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

std::int32_t TWin32Form::ScreenPixelsPerInch() const {
    const win::TWindowDC screen(nullptr);
    return screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}

TSize TWin32Form::ScreenSize() const {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

namespace {

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcWork;
        reinterpret_cast<std::vector<TRect>*>(areas)->push_back({r.left, r.top, r.right, r.bottom});
    }
    return TRUE;
}

}  // namespace

std::vector<TRect> TWin32Form::WorkAreas() const {
    std::vector<TRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

std::int32_t TWin32Form::TitleBarHeight() const {
    // What the frame and caption add above the client area, without the menu bar.
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    RECT r{0, 0, 0, 0};
    if (!AdjustWindowRectEx(&r, style, FALSE, exStyle)) return GetSystemMetrics(SM_CYCAPTION);
    return -r.top;
}

TSize TWin32Form::FrameSize(TFormBorderStyle style) const {
    switch (style) {
        case TFormBorderStyle::bsNone:
            return {0, 0};
        case TFormBorderStyle::bsSingle:
        case TFormBorderStyle::bsToolWindow:
            return {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
        case TFormBorderStyle::bsSizeable:
        case TFormBorderStyle::bsSizeToolWin:
            return {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME)};
        case TFormBorderStyle::bsDialog:
            return {GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME)};
    }
    return {0, 0};
}

void TWin32Form::Update() {
    UpdateWindow(hwnd_);
}

TComponent* TWin32Form::ActiveControl() const {
    const HWND focus = GetFocus();
    if (!focus) return nullptr;
    for (const auto& c : controls_) {
        // A combo box's edit field is a child of the combo box.
        if (c->Handle() && (c->Handle() == focus || IsChild(c->Handle(), focus))) return c.get();
    }
    return nullptr;
}

void TWin32Form::SetActiveControl(TComponent& control) {
    for (const auto& c : controls_) {
        if (c.get() == &control && c->Handle()) {
            SetFocus(c->Handle());
            return;
        }
    }
}

bool TWin32Form::HasMaximizeButton() const {
    return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_MAXIMIZEBOX) != 0;
}

void TWin32Form::SetMaximizeButton(bool on) {
    LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    const LONG_PTR wanted = on ? (style | WS_MAXIMIZEBOX) : (style & ~LONG_PTR{WS_MAXIMIZEBOX});
    if (wanted == style) return;
    SetWindowLongPtrW(hwnd_, GWL_STYLE, wanted);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWin32Form::GrayMenuCommand(std::uintptr_t menu, std::uint32_t command) {
    EnableMenuItem(reinterpret_cast<HMENU>(menu), command, MF_BYCOMMAND | MF_GRAYED);
}

std::unique_ptr<TRxWindowHook> TWin32Form::CreateWindowHook() {
    return std::make_unique<TWin32WindowHook>(hwnd_);
}

}  // namespace virel
