#include "app/controls/SpinEdit.h"

#include <windowsx.h>

#include <algorithm>
#include <string_view>

#include "core/widgets/DpiScale.h"
#include "core/widgets/SpinEditMath.h"
#include "core/Utf16.h"
#include "win/Scopes.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

constexpr wchar_t kButtonClass[] = L"VirelSpinButton";
constexpr wchar_t kOwnerProp[] = L"VirelSpinEdit";
constexpr UINT_PTR kRepeatTimer = 1;

std::function<void()>& BeepHook() {
    static std::function<void()> hook;
    return hook;
}

void Beep() {
    if (BeepHook()) {
        BeepHook()();
        return;
    }
    MessageBeep(MB_OK);
}

// The texts written by the field are plain ASCII digits and a sign.
std::wstring FromAscii(std::string_view text) {
    return std::wstring(text.begin(), text.end());
}

bool RegisterButtonClass(WNDPROC proc) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kButtonClass, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    // Arrow by default; a parent that wants another pointer answers WM_SETCURSOR itself.
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kButtonClass;
    return RegisterClassExW(&wc) != 0;
}

void FillTriangle(HDC dc, POINT a, POINT b, POINT c, COLORREF colour) {
    const POINT points[3] = {a, b, c};
    const win::TBrush brush(CreateSolidBrush(colour));
    const win::TPen pen(CreatePen(PS_SOLID, 1, colour));
    const win::TSelection brushIn(dc, brush.Get());
    const win::TSelection penIn(dc, pen.Get());
    Polygon(dc, points, 3);
}

}  // namespace

TSpinEdit::~TSpinEdit() {
    if (edit_ && IsWindow(edit_)) {
        // The window outlives nothing that points back at this object.
        const HWND edit = edit_;
        DestroyWindow(edit);
    }
}

void TSpinEdit::SetBeepHook(std::function<void()> beep) {
    BeepHook() = std::move(beep);
}

void TSpinEdit::SetRepeatTimer(ISpinRepeatTimer* timer) {
    StopRepeat();
    repeatTimer_ = timer ? timer : &buttonTimer_;
}

void TSpinEdit::TButtonTimer::Start(int ms, std::function<void()> tick) {
    tick_ = std::move(tick);
    if (button_) SetTimer(button_, kRepeatTimer, static_cast<UINT>(ms), nullptr);
}

void TSpinEdit::TButtonTimer::Stop() {
    tick_ = nullptr;
    if (button_) KillTimer(button_, kRepeatTimer);
}

void TSpinEdit::TButtonTimer::Fire() {
    // The tick may restart the timer, which replaces tick_ while it runs.
    const auto tick = tick_;
    if (tick) {
        tick();
    } else if (button_) {
        KillTimer(button_, kRepeatTimer);
    }
}

bool TSpinEdit::Create(HWND parent, int id, int x, int y, int w, int h) {
    if (edit_) return false;
    if (!RegisterButtonClass(&TSpinEdit::ButtonProc)) return false;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // Child windows are clipped so the edit's painting never covers the button.
    const HWND edit = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"0",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | ES_AUTOHSCROLL | ES_LEFT, x, y, w, h,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!edit) return false;
    if (!SetPropW(edit, kOwnerProp, this)) {
        DestroyWindow(edit);
        return false;
    }
    edit_ = edit;
    editProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TSpinEdit::EditProc)));
    button_ = CreateWindowExW(0, kButtonClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, edit,
                              nullptr, instance, this);
    if (!button_) {
        DestroyWindow(edit);
        return false;
    }
    LayoutButton();
    return true;
}

double TSpinEdit::Value() const {
    return spin::ReadValue(Narrow(Text()), minValue_);
}

void TSpinEdit::SetValue(double value) {
    const auto text = spin::WriteText(value, minValue_, maxValue_);
    if (!text) return;
    SetText(FromAscii(*text));
}

long long TSpinEdit::IntValue() const {
    return spin::IntegerValue(Value());
}

std::wstring TSpinEdit::Text() const {
    return win::WindowText(edit_);
}

void TSpinEdit::SetText(const std::wstring& text) {
    if (!edit_) return;
    SetWindowTextW(edit_, text.c_str());
}

bool TSpinEdit::Modified() const {
    return edit_ && SendMessageW(edit_, EM_GETMODIFY, 0, 0) != 0;
}

void TSpinEdit::Step(int delta) {
    const auto next = spin::StepText(Narrow(Text()), delta, minValue_, maxValue_);
    if (!next) return;
    // Setting the text makes the edit send its change notification; the step is the
    // operator's doing, so the field counts as modified.
    const std::wstring text = FromAscii(*next);
    SetWindowTextW(edit_, text.c_str());
    SendMessageW(edit_, EM_SETMODIFY, TRUE, 0);
    // Caret after the number, where the operator goes on typing.
    const auto end = static_cast<WPARAM>(text.size());
    SendMessageW(edit_, EM_SETSEL, end, static_cast<LPARAM>(end));
}

void TSpinEdit::LeaveField() {
    const auto text = spin::LeaveFieldText(Narrow(Text()), minValue_, maxValue_);
    if (!text) return;
    // The correction follows the operator's own typing: keep the field marked as modified.
    const bool modified = Modified();
    SetWindowTextW(edit_, FromAscii(*text).c_str());
    SendMessageW(edit_, EM_SETMODIFY, modified ? TRUE : FALSE, 0);
}

void TSpinEdit::DialogKey(UINT key) {
    if (dialogKey_) {
        dialogKey_(key);
        return;
    }
    const HWND root = GetAncestor(edit_, GA_ROOT);
    if (!root || root == edit_) return;
    const int command = key == VK_RETURN ? IDOK : IDCANCEL;
    SendMessageW(root, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(root, command)));
}

void TSpinEdit::SetDpi(int dpi) {
    dpi_ = dpi;
    LayoutButton();
}

void TSpinEdit::LayoutButton() {
    if (!edit_ || !button_) return;
    RECT client{};
    GetClientRect(edit_, &client);
    const int width = std::min(dpi::Scale(kButtonWidth, dpi_), static_cast<int>(client.right) / 2);
    MoveWindow(button_, client.right - width, 0, width, client.bottom, TRUE);
    // Keep the text out from under the button.
    const LRESULT margins = SendMessageW(edit_, EM_GETMARGINS, 0, 0);
    CallEdit(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(LOWORD(margins), width + 1));
}

LRESULT TSpinEdit::CallEdit(UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(editProc_, edit_, msg, wp, lp);
}

void TSpinEdit::ForgetWindows() {
    StopRepeat();
    edit_ = nullptr;
    button_ = nullptr;
}

LRESULT CALLBACK TSpinEdit::EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<TSpinEdit*>(GetPropW(hwnd, kOwnerProp));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->HandleEdit(msg, wp, lp);
    } catch (...) {
        // Nothing may cross the window procedure; a failed step leaves the text as it was.
        return 0;
    }
}

bool TSpinEdit::RefuseChar(wchar_t c) {
    if (c == L'\r' || c == L'\x1B') return true;    // handed on at WM_KEYDOWN, never inserted
    if (c >= 0xDC00 && c <= 0xDFFF) return true;  // second half of a pair already refused
    if (spin::IsAcceptedChar(c)) return false;
    Beep();
    return true;
}

bool TSpinEdit::TakeKey(WPARAM key) {
    switch (key) {
        case VK_UP:
            Step(+1);
            return true;
        case VK_DOWN:
            Step(-1);
            return true;
        case VK_RETURN:
        case VK_ESCAPE:
            DialogKey(static_cast<UINT>(key));
            return true;
        default:
            return false;
    }
}

LRESULT TSpinEdit::HandleEdit(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CHAR:
            if (RefuseChar(static_cast<wchar_t>(wp))) return 0;
            break;
        case WM_KEYDOWN:
            if (TakeKey(wp)) return 0;
            break;
        case WM_KILLFOCUS: {
            const LRESULT result = CallEdit(msg, wp, lp);
            LeaveField();
            return result;
        }
        case WM_SIZE:
        case WM_SETFONT: {
            // A new font resets the edit's margins; a new size moves the button.
            const LRESULT result = CallEdit(msg, wp, lp);
            LayoutButton();
            return result;
        }
        case WM_NCDESTROY: {
            const HWND edit = edit_;
            const WNDPROC proc = editProc_;
            SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
            RemovePropW(edit, kOwnerProp);
            ForgetWindows();
            return CallWindowProcW(proc, edit, msg, wp, lp);
        }
        default:
            break;
    }
    return CallEdit(msg, wp, lp);
}

LRESULT CALLBACK TSpinEdit::ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TSpinEdit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || (self->button_ && self->button_ != hwnd)) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    try {
        if (!self->button_) self->button_ = hwnd;
        return self->HandleButton(msg, wp, lp);
    } catch (...) {
        return 0;
    }
}

LRESULT TSpinEdit::HandleButton(UINT msg, WPARAM wp, LPARAM lp) {
    const HWND hwnd = button_;
    switch (msg) {
        case WM_LBUTTONDOWN:
            PressButton(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
            return 0;
        case WM_TIMER:
            if (wp != kRepeatTimer) break;
            buttonTimer_.Fire();
            return 0;
        case WM_LBUTTONUP:
            StopRepeat();
            return 0;
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE:
            if (pressed_) StopRepeat();
            break;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            const win::TPaintDC paint(hwnd);
            if (paint) PaintButton(paint.Get());
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintButton(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_NCDESTROY:
            StopRepeat();
            button_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void TSpinEdit::PressButton(int x, int y) {
    if (!edit_ || !IsWindowEnabled(edit_)) return;
    if (GetFocus() != edit_) SetFocus(edit_);
    // The focus change may have run other code (another field's correction); go on only if
    // this field still exists.
    if (!edit_) return;
    RECT rc{};
    GetClientRect(button_, &rc);
    pressed_ = spin::HalfAt(x, y, rc.right, rc.bottom) == spin::SpinHalf::Up ? +1 : -1;
    stepsDone_ = 1;
    SetCapture(button_);
    StartRepeat();
    InvalidateRect(button_, nullptr, FALSE);
    Step(pressed_);
}

void TSpinEdit::StartRepeat() {
    repeatTimer_->Start(spin::RepeatDelayMs(stepsDone_), [this] { RepeatTick(); });
}

void TSpinEdit::RepeatTick() {
    if (!pressed_) {
        repeatTimer_->Stop();
        return;
    }
    ++stepsDone_;
    // The first repeat waits longer than the ones after it: re-arm with the shorter period.
    if (stepsDone_ == 2) StartRepeat();
    Step(pressed_);
}

void TSpinEdit::StopRepeat() {
    repeatTimer_->Stop();
    const bool wasPressed = pressed_ != 0;
    pressed_ = 0;
    stepsDone_ = 0;
    if (!button_) return;
    if (GetCapture() == button_) ReleaseCapture();
    if (wasPressed) InvalidateRect(button_, nullptr, FALSE);
}

void TSpinEdit::PaintButton(HDC dc) {
    RECT rc{};
    GetClientRect(button_, &rc);
    const int w = rc.right, h = rc.bottom;
    if (w <= 0 || h <= 0) return;
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
    const COLORREF pressedFace = GetSysColor(COLOR_BTNSHADOW);
    // Upper-left triangle steps up, lower-right steps down; the pressed one is shaded.
    if (pressed_ > 0) FillTriangle(dc, {0, 0}, {w, 0}, {0, h}, pressedFace);
    if (pressed_ < 0) FillTriangle(dc, {w, 0}, {w, h}, {0, h}, pressedFace);
    DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
    {
        const win::TPen line(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
        const win::TSelection lineIn(dc, line.Get());
        MoveToEx(dc, 0, h - 1, nullptr);
        LineTo(dc, w - 1, 0);
    }
    // Small arrows at the centres of the two triangles.
    const COLORREF arrow = GetSysColor(IsWindowEnabled(edit_) ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    const int a = std::max(2, std::min(w, h) / 6);
    const int ux = w / 3, uy = h / 3;
    FillTriangle(dc, {ux - a, uy + a / 2}, {ux + a, uy + a / 2}, {ux, uy - a / 2 - 1}, arrow);
    const int dx = w - w / 3 - 1, dy = h - h / 3 - 1;
    FillTriangle(dc, {dx - a, dy - a / 2}, {dx + a, dy - a / 2}, {dx, dy + a / 2 + 1}, arrow);
}

}  // namespace virel::app
