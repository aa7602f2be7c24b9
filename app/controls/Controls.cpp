#include "app/controls/Controls.h"

#include <commctrl.h>

#include <algorithm>

#include "win/Scopes.h"
#include "win/Windows.h"

namespace virel::app {

namespace {

// A child control at `at` (pixels) with the program's font at the layout's dpi.
HWND CreateChild(const TDpiLayout& layout, const wchar_t* className, const wchar_t* text,
                 DWORD style, TBounds at, HWND parent, int id, DWORD exStyle) {
    HWND control = CreateWindowExW(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, at.x,
                                   at.y, at.width, at.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control) SetControlFont(control, layout.Font());
    return control;
}

}  // namespace

HWND CreateControl(TDpiLayout& layout, const wchar_t* className, const wchar_t* text, DWORD style,
                   TBounds design, HWND parent, int id, DWORD exStyle) {
    HWND control =
        CreateChild(layout, className, text, style, layout.Bounds(design), parent, id, exStyle);
    layout.Keep(control, design);
    return control;
}

HWND CreateAutoSizeLabel(TDpiLayout& layout, const wchar_t* text, int x, int y, int height,
                         HWND parent) {
    // Measured in the font it shows, so that the width is the text's at every dpi rather than
    // the width at 96 scaled.
    const auto bounds = [parent, text = std::wstring(text), x, y, height](const TDpiLayout& at) {
        TBounds result = at.Bounds({x, y, 0, height});
        SIZE size{};
        const win::TWindowDC dc(parent);
        const win::TSelection font(dc.Get(), at.Font());
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
        result.width = size.cx;
        return result;
    };
    HWND label =
        CreateChild(layout, L"STATIC", text, SS_LEFT | SS_NOPREFIX, bounds(layout), parent, -1, 0);
    if (!label) return nullptr;
    layout.Keep([label, bounds](const TDpiLayout& at) {
        SetControlFont(label, at.Font());
        MoveControl(label, bounds(at));
    });
    return label;
}

namespace {

// The height of the list under a combo box, at 96 dpi.
constexpr int kDroppedListHeight = 150;

// The closed height follows the font; bring it to `height` through the height of the selection
// field. Steps are taken from the last value set, since what the control reports back for that
// height differs between systems.
void FitClosedHeight(HWND combo, int height) {
    auto field = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, WPARAM(-1), 0));
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT bounds{};
        GetWindowRect(combo, &bounds);
        const int shown = bounds.bottom - bounds.top;
        if (shown == height) break;
        field += height - shown;
        SendMessageW(combo, CB_SETITEMHEIGHT, WPARAM(-1), field);
    }
}

// A combo box's window height is the height with its list dropped down.
TBounds WithDroppedList(const TDpiLayout& layout, TBounds closed) {
    closed.height += layout.Scale(kDroppedListHeight);
    return closed;
}

}  // namespace

HWND CreateComboBox(TDpiLayout& layout, TBounds design, HWND parent, int id,
                    std::initializer_list<const wchar_t*> items) {
    const TBounds closed = layout.Bounds(design);
    HWND combo = CreateChild(layout, L"COMBOBOX", L"", CBS_DROPDOWN | WS_TABSTOP | WS_VSCROLL,
                             WithDroppedList(layout, closed), parent, id, 0);
    if (!combo) return nullptr;
    for (const wchar_t* item : items) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    FitClosedHeight(combo, closed.height);
    layout.Keep([combo, design](const TDpiLayout& at) {
        const TBounds bounds = at.Bounds(design);
        SetControlFont(combo, at.Font());
        MoveControl(combo, WithDroppedList(at, bounds));
        FitClosedHeight(combo, bounds.height);
    });
    return combo;
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

HWND CreateGroupBox(TDpiLayout& layout, const wchar_t* text, TBounds design, HWND parent,
                    HWND owner, int id) {
    HWND box = CreateControl(layout, L"BUTTON", text, BS_GROUPBOX | WS_CLIPCHILDREN, design, parent,
                             id, WS_EX_CONTROLPARENT);
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

HWND TImage::Create(TDpiLayout& layout, HWND parent, TBounds design) {
    const TBounds at = layout.Bounds(design);
    CreateHandle({L"VirelImage", LoadCursorW(nullptr, IDC_ARROW), nullptr}, L"",
                 WS_CHILD | WS_VISIBLE, 0, at.x, at.y, at.width, at.height, parent);
    // The picture is stretched over whatever size the control has.
    layout.Keep(Handle(), design, false);
    return Handle();
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

HWND TPanel::Create(TDpiLayout& layout, HWND parent, TBounds design) {
    const TBounds at = layout.Bounds(design);
    CreateHandle({L"VirelPanel", LoadCursorW(nullptr, IDC_ARROW),
                  reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
                 L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, at.x, at.y,
                 at.width, at.height, parent);
    layout.Keep(Handle(), design, false);
    return Handle();
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

HWND TBitBtn::Create(TDpiLayout& layout, const wchar_t* caption, TBounds design, HWND parent,
                     int id, HBITMAP glyph) {
    glyph_ = glyph;
    dpi_ = layout.Dpi();
    handle_ =
        CreateControl(layout, L"BUTTON", caption, BS_OWNERDRAW | WS_TABSTOP, design, parent, id);
    // The glyph's size and margin follow the dpi the button is placed for.
    layout.Keep([this](const TDpiLayout& at) { dpi_ = at.Dpi(); });
    return handle_;
}

void TBitBtn::Draw(const DRAWITEMSTRUCT& item) const {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const RECT frame = DrawFace(item.hDC, item.rcItem, pressed, focused);

    const int shift = pressed ? 1 : 0;
    const int height = item.rcItem.bottom - item.rcItem.top;
    const int glyphSize = dpi::Scale(kGlyphSize, dpi_);
    const int glyphLeft = item.rcItem.left + dpi::Scale(kGlyphMargin, dpi_) + shift;
    const int glyphTop = item.rcItem.top + (height - glyphSize) / 2 + shift;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    DrawGlyph(item.hDC, glyphLeft, glyphTop, disabled);
    const RECT caption{glyphLeft + glyphSize, item.rcItem.top + shift,
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
    // Enlarged pixel by pixel: a blended edge would lose the olive that marks transparency.
    const int size = dpi::Scale(kGlyphSize, dpi_);
    TransparentBlt(dc, left, top, size, size, source.Get(), disabled ? kGlyphSize : 0, 0,
                   kGlyphSize, kGlyphSize, kTransparent);
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

void TToolTips::Create(TDpiLayout& layout, HWND owner) {
    owner_ = owner;
    handle_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!handle_) return;
    const HWND tips = handle_;
    const auto place = [tips](const TDpiLayout& at) {
        SetControlFont(tips, at.Font());
        // A width limit makes the tooltip honour line breaks in a hint.
        SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, at.Scale(600));
    };
    place(layout);
    layout.Keep(place);
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
