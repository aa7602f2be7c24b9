#pragma once
// The small controls the program's windows are built from: plain system controls with the
// program's font, group boxes that hold their controls, a picture, a bevelled panel and a push
// button with a glyph. Each is given its design bounds (at 96 dpi) and created through the
// layout of its window, which places it at the window's dpi and keeps it there.
#include <windows.h>

#include <initializer_list>
#include <string>

#include "app/frame/DpiLayout.h"
#include "app/frame/Window.h"

namespace virel::app {

using dpi::TBounds;

// A system control with the program's font.
HWND CreateControl(TDpiLayout& layout, const wchar_t* className, const wchar_t* text, DWORD style,
                   TBounds design, HWND parent, int id, DWORD exStyle = 0);

// A label whose width follows its text in the program's font (height as designed).
HWND CreateAutoSizeLabel(TDpiLayout& layout, const wchar_t* text, int x, int y, int height,
                         HWND parent);

// A group box that is the parent of its controls: Tab steps through them in their creation
// order, and their notifications go on to `owner` as if they were its own controls.
HWND CreateGroupBox(TDpiLayout& layout, const wchar_t* text, TBounds design, HWND parent,
                    HWND owner, int id);

// A drop-down combo box (list and free text) with `items`, the first selected, whose closed
// height is the design's at every dpi whatever its font.
HWND CreateComboBox(TDpiLayout& layout, TBounds design, HWND parent, int id,
                    std::initializer_list<const wchar_t*> items);

// Where a picture of `picture` size goes in a box of `box` size: stretched over the whole box,
// or scaled (down or up) to fit it with its aspect ratio kept, at the top left corner.
enum class TFit { Stretch, Proportional };
RECT FitPicture(SIZE picture, SIZE box, TFit fit);

// Shows a bitmap (not owned; it outlives the picture).
class TImage : public TCustomWindow {
public:
    TImage(TApplication& application, HBITMAP bitmap, TFit fit)
        : TCustomWindow(application), bitmap_(bitmap), fit_(fit) {}
    ~TImage() override { DestroyHandle(); }
    HWND Create(TDpiLayout& layout, HWND parent, TBounds design);
    // Where the picture is drawn, in the control's client coordinates.
    RECT PictureRect() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HBITMAP bitmap_;
    TFit fit_;
};

// A panel in the window's colour with a raised inner and a lowered outer bevel. Its children's
// notifications go to its parent.
class TPanel : public TCustomWindow {
public:
    using TCustomWindow::TCustomWindow;
    ~TPanel() override { DestroyHandle(); }
    HWND Create(TDpiLayout& layout, HWND parent, TBounds design);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A push button that shows a 16 x 16 glyph (normal, or greyed when disabled) 5 pixels from its
// left edge, then its caption; both measures at 96 dpi, scaled with the button. The glyph
// bitmap holds both halves side by side (32 x 16); its olive pixels are transparent. Drawn by
// its owner through Draw (WM_DRAWITEM).
class TBitBtn {
public:
    static constexpr int kGlyphMargin = 5;
    static constexpr int kGlyphSize = 16;
    static constexpr COLORREF kTransparent = RGB(128, 128, 0);

    HWND Create(TDpiLayout& layout, const wchar_t* caption, TBounds design, HWND parent, int id,
                HBITMAP glyph);
    HWND Handle() const { return handle_; }
    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    // The face and frame; gives the room inside the frame.
    static RECT DrawFace(HDC dc, RECT frame, bool pressed, bool focused);
    void DrawGlyph(HDC dc, int left, int top, bool disabled) const;
    static void DrawCaption(const DRAWITEMSTRUCT& item, RECT area, bool disabled);

    HWND handle_ = nullptr;
    HBITMAP glyph_ = nullptr;
    int dpi_ = dpi::kDesignDpi;
};

// One tooltip window serving the controls of a window.
class TToolTips {
public:
    TToolTips() = default;
    ~TToolTips();
    TToolTips(const TToolTips&) = delete;
    TToolTips& operator=(const TToolTips&) = delete;

    // The tips are written in the program's font at the layout's dpi, and follow it.
    void Create(TDpiLayout& layout, HWND owner);
    // Shows `text` (may have several lines) while the mouse rests on `control`.
    void Add(HWND control, const std::wstring& text);
    HWND Handle() const { return handle_; }

private:
    HWND handle_ = nullptr;
    HWND owner_ = nullptr;
};

}  // namespace virel::app
