#include "app/controls/Controls.h"

#include <commctrl.h>

#include <algorithm>

#include "win/Scopes.h"
#include "win/Windows.h"

namespace virel::app {

HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
                   int width, int height, HWND parent, int id, DWORD exStyle) {
    HWND control = CreateWindowExW(
        exStyle, className, text, style | WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control) UseProgramFont(control);
    return control;
}

HWND CreateAutoSizeLabel(const wchar_t* text, int x, int y, int height, HWND parent) {
    SIZE size{};
    {
        const win::TWindowDC dc(parent);
        const win::TSelection font(dc.Get(), ProgramFont());
        GetTextExtentPoint32W(dc.Get(), text, static_cast<int>(wcslen(text)), &size);
    }
    return CreateControl(L"STATIC", text, SS_LEFT | SS_NOPREFIX, x, y, size.cx, height, parent, -1);
}

namespace {

// Group boxes and panels hold controls, but the system group box keeps its children's
// notifications to itself: pass them on to the window that handles them.
LRESULT CALLBACK ForwardNotifications(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR owner) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (lParam != 0 || message == WM_DRAWITEM || message == WM_MEASUREITEM) {
                return SendMessageW(reinterpret_cast<HWND>(owner), message, wParam, lParam);
            }
            break;
        case WM_ERASEBKGND: {
            // The system group box paints only its frame and caption; the window behind it
            // clips its children, so the inside must be filled here.
            RECT client{};
            GetClientRect(window, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
            return 1;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(window, ForwardNotifications, 1);
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

HWND CreateGroupBox(const wchar_t* text, int x, int y, int width, int height, HWND parent,
                    HWND owner, int id) {
    HWND box = CreateControl(L"BUTTON", text, BS_GROUPBOX | WS_CLIPCHILDREN, x, y, width, height,
                             parent, id, WS_EX_CONTROLPARENT);
    if (box) SetWindowSubclass(box, ForwardNotifications, 1, reinterpret_cast<DWORD_PTR>(owner));
    return box;
}

RECT FitPicture(SIZE picture, SIZE box, TFit fit) {
    if (fit == TFit::Stretch || picture.cx <= 0 || picture.cy <= 0) {
        return RECT{0, 0, box.cx, box.cy};
    }
    // Compare box.cx / picture.cx with box.cy / picture.cy without division.
    const long long byWidth = static_cast<long long>(box.cx) * picture.cy;
    const long long byHeight = static_cast<long long>(box.cy) * picture.cx;
    if (byWidth <= byHeight) {
        return RECT{0, 0, box.cx, static_cast<LONG>(byWidth / picture.cx)};
    }
    return RECT{0, 0, static_cast<LONG>(byHeight / picture.cy), box.cy};
}

HWND TImage::Create(HWND parent, int x, int y, int width, int height) {
    return CreateHandle({L"VirelImage", LoadCursorW(nullptr, IDC_ARROW), nullptr}, L"",
                        WS_CHILD | WS_VISIBLE, 0, x, y, width, height, parent);
}

RECT TImage::PictureRect() const {
    RECT client{};
    GetClientRect(Handle(), &client);
    BITMAP info{};
    GetObjectW(bitmap_, sizeof(info), &info);
    return FitPicture(SIZE{info.bmWidth, info.bmHeight}, SIZE{client.right, client.bottom}, fit_);
}

LRESULT TImage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT fills everything
        case WM_PAINT: {
            const win::TPaintDC paint(Handle());
            const HDC dc = paint.Get();
            RECT client{};
            GetClientRect(Handle(), &client);
            FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
            if (bitmap_) {
                const RECT target = PictureRect();
                BITMAP info{};
                GetObjectW(bitmap_, sizeof(info), &info);
                const win::TMemoryDC source(CreateCompatibleDC(dc));
                const win::TSelection picture(source.Get(), bitmap_);
                SetStretchBltMode(dc, HALFTONE);
                SetBrushOrgEx(dc, 0, 0, nullptr);
                StretchBlt(dc, target.left, target.top, target.right - target.left,
                           target.bottom - target.top, source.Get(), 0, 0, info.bmWidth,
                           info.bmHeight, SRCCOPY);
            }
            return 0;
        }
        default:
            return DefaultProc(message, wParam, lParam);
    }
}

HWND TPanel::Create(HWND parent, int x, int y, int width, int height) {
    return CreateHandle({L"VirelPanel", LoadCursorW(nullptr, IDC_ARROW),
                         reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
                        L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, x, y,
                        width, height, parent);
}

LRESULT TPanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            const win::TPaintDC paint(Handle());
            RECT client{};
            GetClientRect(Handle(), &client);
            DrawEdge(paint.Get(), &client, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
            return 0;
        }
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
            return SendMessageW(GetParent(Handle()), message, wParam, lParam);
        default:
            return DefaultProc(message, wParam, lParam);
    }
}

HWND TBitBtn::Create(const wchar_t* caption, int x, int y, int width, int height, HWND parent,
                     int id, HBITMAP glyph) {
    glyph_ = glyph;
    handle_ = CreateControl(L"BUTTON", caption, BS_OWNERDRAW | WS_TABSTOP, x, y, width, height,
                            parent, id);
    return handle_;
}

void TBitBtn::Draw(const DRAWITEMSTRUCT& item) const {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const RECT frame = DrawFace(item.hDC, item.rcItem, pressed, focused);

    const int shift = pressed ? 1 : 0;
    const int height = item.rcItem.bottom - item.rcItem.top;
    const int glyphLeft = item.rcItem.left + kGlyphMargin + shift;
    const int glyphTop = item.rcItem.top + (height - kGlyphSize) / 2 + shift;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    DrawGlyph(item.hDC, glyphLeft, glyphTop, disabled);
    const RECT caption{glyphLeft + kGlyphSize, item.rcItem.top + shift,
                       item.rcItem.right - 2 + shift, item.rcItem.bottom + shift};
    DrawCaption(item, caption, disabled);

    if (focused && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = frame;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(item.hDC, &focus);
    }
}

RECT TBitBtn::DrawFace(HDC dc, RECT frame, bool pressed, bool focused) {
    FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
    if (focused) {
        // The button that Enter would press gets the dark outer frame.
        FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&frame, -1, -1);
    }
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    return frame;
}

void TBitBtn::DrawGlyph(HDC dc, int left, int top, bool disabled) const {
    if (!glyph_) return;
    const win::TMemoryDC source(CreateCompatibleDC(dc));
    const win::TSelection glyph(source.Get(), glyph_);
    TransparentBlt(dc, left, top, kGlyphSize, kGlyphSize, source.Get(), disabled ? kGlyphSize : 0,
                   0, kGlyphSize, kGlyphSize, kTransparent);
}

// The caption is centred in `area`; "&" underlines the next letter.
void TBitBtn::DrawCaption(const DRAWITEMSTRUCT& item, RECT area, bool disabled) {
    const std::wstring caption = win::WindowText(item.hwndItem);
    const HDC dc = item.hDC;
    const win::TSelection font(
        dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (item.itemState & ODS_NOACCEL) format |= DT_HIDEPREFIX;
    if (disabled) {
        // Engraved: a light copy one pixel down and right under the grey text.
        OffsetRect(&area, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, caption.c_str(), -1, &area, format);
        OffsetRect(&area, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextW(dc, caption.c_str(), -1, &area, format);
}

TToolTips::~TToolTips() {
    if (handle_) DestroyWindow(handle_);
}

void TToolTips::Create(HWND owner) {
    owner_ = owner;
    handle_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!handle_) return;
    UseProgramFont(handle_);
    // A width limit makes the tooltip honour line breaks in a hint.
    SendMessageW(handle_, TTM_SETMAXTIPWIDTH, 0, 600);
}

void TToolTips::Add(HWND control, const std::wstring& text) {
    if (!handle_ || !control) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(handle_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace virel::app
