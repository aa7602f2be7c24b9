#include "app/controls/Gauge.h"

#include "core/Errors.h"
#include "core/widgets/GaugeMath.h"
#include "win/Scopes.h"

namespace virel::app {

namespace {

constexpr wchar_t kGaugeClass[] = L"VirelGauge";

bool RegisterGaugeClass(WNDPROC proc) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kGaugeClass, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kGaugeClass;
    return RegisterClassExW(&wc) != 0;
}

// A drawing surface off screen, compatible with `like`; given back in reverse order.
class TOffscreen {
public:
    TOffscreen(HDC like, int width, int height)
        : dc_(CreateCompatibleDC(like)),
          bitmap_(CreateCompatibleBitmap(like, width, height)),
          selection_(dc_.Get(), bitmap_.Get()) {}
    bool Ok() const { return static_cast<bool>(selection_); }
    HDC Get() const { return dc_.Get(); }

private:
    win::TMemoryDC dc_;
    win::TBitmap bitmap_;
    win::TSelection selection_;
};

}  // namespace

TGauge::~TGauge() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

bool TGauge::Create(HWND parent, int id, int x, int y, int w, int h) {
    if (hwnd_) return false;
    if (!RegisterGaugeClass(&TGauge::WindowProc)) return false;
    SetFont(nullptr);
    const HWND hwnd = CreateWindowExW(0, kGaugeClass, L"", WS_CHILD | WS_VISIBLE, x, y, w, h,
                                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                      GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

void TGauge::SetMaxValue(int value) {
    if (!gauge::IsValidMaxValue(value, minValue_)) {
        throw Exception(gauge::MaxValueErrorText(minValue_));
    }
    if (value == maxValue_) return;
    maxValue_ = value;
    if (progress_ > maxValue_) progress_ = maxValue_;
    Repaint();
}

void TGauge::SetProgress(int value) {
    const int before = PercentDone();
    progress_ = gauge::LimitProgress(value, minValue_, maxValue_);
    if (PercentDone() != before) Repaint();
}

int TGauge::PercentDone() const {
    return gauge::PercentDone(minValue_, maxValue_, progress_);
}

void TGauge::Repaint() {
    ++repaints_;
    if (!hwnd_) return;
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

void TGauge::SetFont(HFONT font) {
    font_ = font;
    LOGFONTW lf{};
    const HGDIOBJ source = font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT);
    if (!GetObjectW(source, sizeof(lf), &lf)) {
        drawFont_.Reset();
        return;
    }
    lf.lfQuality = NONANTIALIASED_QUALITY;
    drawFont_.Reset(CreateFontIndirectW(&lf));
}

void TGauge::Render(HDC dc, int width, int height) const {
    if (!dc || width <= 0 || height <= 0) return;
    const RECT outer{0, 0, width, height};
    FrameRect(dc, &outer, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const int innerWidth = width - 2, innerHeight = height - 2;
    if (innerWidth <= 0 || innerHeight <= 0) return;
    const RECT inner{1, 1, width - 1, height - 1};
    FillRect(dc, &inner, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    const int percent = PercentDone();
    const int bar = gauge::BarWidth(percent, innerWidth);
    if (bar >= 1) {
        const RECT filled{1, 1, 1 + bar, height - 1};
        FillRect(dc, &filled, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }

    // White text on black, combined by exclusive-or: the text inverts whatever lies beneath,
    // black on the background and white on the bar.
    TOffscreen text(dc, innerWidth, innerHeight);
    if (!text.Ok()) return;
    RECT area{0, 0, innerWidth, innerHeight};
    FillRect(text.Get(), &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const win::TSelection font(text.Get(), drawFont_.Get());
    SetTextColor(text.Get(), RGB(255, 255, 255));
    SetBkMode(text.Get(), TRANSPARENT);
    const std::string label = gauge::PercentText(percent);
    const std::wstring wide(label.begin(), label.end());
    DrawTextW(text.Get(), wide.c_str(), static_cast<int>(wide.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    BitBlt(dc, 1, 1, innerWidth, innerHeight, text.Get(), 0, 0, SRCINVERT);
}

LRESULT CALLBACK TGauge::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        auto* owner = static_cast<TGauge*>(create->lpCreateParams);
        owner->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    auto* self = reinterpret_cast<TGauge*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->hwnd_ != hwnd) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->HandleMessage(msg, wp, lp);
    } catch (...) {
        // Nothing may cross the window procedure; a failed paint is redone at the next change.
        return 0;
    }
}

void TGauge::Paint() {
    const win::TPaintDC paint(hwnd_);
    if (!paint) return;
    const HDC dc = paint.Get();
    ++paints_;
    RECT rc{};
    GetClientRect(hwnd_, &rc);
    // Drawn off screen first, so the bar and the text never flicker.
    const TOffscreen buffer(dc, rc.right, rc.bottom);
    if (buffer.Ok()) {
        Render(buffer.Get(), rc.right, rc.bottom);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, buffer.Get(), 0, 0, SRCCOPY);
    } else {
        Render(dc, rc.right, rc.bottom);
    }
}

LRESULT TGauge::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    const HWND hwnd = hwnd_;
    switch (msg) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
            Paint();
            return 0;
        case WM_PRINTCLIENT: {
            RECT rc{};
            GetClientRect(hwnd, &rc);
            Render(reinterpret_cast<HDC>(wp), rc.right, rc.bottom);
            return 0;
        }
        case WM_SETFONT:
            SetFont(reinterpret_cast<HFONT>(wp));
            if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace virel::app
