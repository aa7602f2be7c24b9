#pragma once
// Percentage gauge: a horizontal bar with a one-pixel border, white background, black bar and
// the percentage in the middle, drawn by exclusive-or so it reads on both. It repaints only
// when the whole-number percentage changes (core/widgets/GaugeMath).
//
// The font comes with WM_SETFONT (default: the system's GUI font). The pointer over the gauge
// is its parent's to choose: the parent answers WM_SETCURSOR for its children.
#include <windows.h>

#include "win/Scopes.h"

namespace virel::app {

class TGauge {
public:
    TGauge() = default;
    ~TGauge();
    TGauge(const TGauge&) = delete;
    TGauge& operator=(const TGauge&) = delete;

    // Creates the gauge as the parent's child with the given id and bounds. False when it
    // already exists or Windows refuses.
    bool Create(HWND parent, int id, int x, int y, int w, int h);
    HWND Handle() const { return hwnd_; }

    int MinValue() const { return minValue_; }
    int MaxValue() const { return maxValue_; }
    // Throws virel::Exception below MinValue; pulls Progress down to a lower maximum.
    void SetMaxValue(int value);
    int Progress() const { return progress_; }
    // Limited to MinValue..MaxValue.
    void SetProgress(int value);
    int PercentDone() const;

    // Draws the whole gauge (border included) into dc as a width x height control; WM_PAINT
    // and WM_PRINTCLIENT use it.
    void Render(HDC dc, int width, int height) const;

    // Repaints done because a value changed (whether or not the window is visible).
    int RepaintCount() const { return repaints_; }
    // WM_PAINT messages handled.
    int PaintCount() const { return paints_; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    void Repaint();
    void SetFont(HFONT font);

    HWND hwnd_ = nullptr;
    int minValue_ = 0;
    int maxValue_ = 288;  // the progress window's design range
    int progress_ = 0;
    HFONT font_ = nullptr;  // as given by WM_SETFONT, not owned
    // Its copy without smoothing, so the exclusive-or text has no grey fringes.
    win::TFont drawFont_;
    int repaints_ = 0;
    int paints_ = 0;
};

}  // namespace virel::app

namespace virel {
using app::TGauge;
}  // namespace virel
