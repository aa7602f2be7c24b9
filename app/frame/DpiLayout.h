#pragma once
// A window's controls at the window's pixels per inch. The windows are designed at 96; each
// control is created where the design puts it scaled to the window's dpi, and kept there: when
// the window moves to a monitor of another dpi, every control goes to its place at the new dpi
// with the program's font of that dpi.
#include <windows.h>

#include <functional>
#include <vector>

#include "core/widgets/DpiScale.h"

namespace virel::app {

// The program's font: "MS Sans Serif", 8 points (11 pixels at 96), asked for with the Cyrillic
// character set so that the Russian texts show on every system. One per dpi, for the process.
HFONT ProgramFont(int dpi);

class TDpiLayout {
public:
    // Puts a control in its place at the layout's dpi: moved, sized, given its font.
    using TPlace = std::function<void(const TDpiLayout& layout)>;

    int Dpi() const { return dpi_; }
    // The dpi the controls created from now on are for.
    void SetDpi(int dpi) { dpi_ = dpi > 0 ? dpi : dpi::kDesignDpi; }
    int Scale(int value) const { return dpi::Scale(value, dpi_); }
    dpi::TBounds Bounds(dpi::TBounds design) const { return dpi::ScaleBounds(design, dpi_); }
    HFONT Font() const { return ProgramFont(dpi_); }

    // Keeps `control` at the design bounds, with the program's font unless it takes none
    // (pictures and panels draw no text).
    void Keep(HWND control, dpi::TBounds design, bool withFont = true);
    // Keeps a control that goes to its place in a way of its own.
    void Keep(TPlace place);
    // Every kept control to its place at `dpi`, in the order they were kept. Nothing is
    // repainted here: the window is repainted once when all are in place.
    void Rescale(int dpi);

private:
    int dpi_ = dpi::kDesignDpi;
    std::vector<TPlace> places_;
};

// Moves `control` to `bounds` without repainting it.
void MoveControl(HWND control, dpi::TBounds bounds);
// Gives `control` the font without repainting it.
void SetControlFont(HWND control, HFONT font);

}  // namespace virel::app
