#include "app/frame/DpiLayout.h"

#include <map>

#include "app/frame/FrameTexts.h"
#include "win/Scopes.h"

namespace virel::app {

namespace {
constexpr int kFontPoints = 8;
}

HFONT ProgramFont(int dpi) {
    // Created once for each dpi the windows meet; a handful at most, kept to the end.
    static std::map<int, win::TFont> fonts;
    const int height = dpi::FontHeight(kFontPoints, dpi);
    auto found = fonts.find(height);
    if (found == fonts.end()) {
        found = fonts
                    .emplace(height, win::TFont(CreateFontW(
                                         height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                         RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontName)))
                    .first;
    }
    return found->second.Get();
}

void MoveControl(HWND control, dpi::TBounds bounds) {
    SetWindowPos(control, nullptr, bounds.x, bounds.y, bounds.width, bounds.height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void SetControlFont(HWND control, HFONT font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void TDpiLayout::Keep(HWND control, dpi::TBounds design, bool withFont) {
    if (!control) return;
    Keep([control, design, withFont](const TDpiLayout& layout) {
        // The font first: some controls (a combo box's field) size themselves by it.
        if (withFont) SetControlFont(control, layout.Font());
        MoveControl(control, layout.Bounds(design));
    });
}

void TDpiLayout::Keep(TPlace place) {
    places_.push_back(std::move(place));
}

void TDpiLayout::Rescale(int dpi) {
    SetDpi(dpi);
    for (const TPlace& place : places_) place(*this);
}

}  // namespace virel::app
