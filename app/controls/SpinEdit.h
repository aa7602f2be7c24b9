#pragma once
// Integer spin edit: a single-line edit with a small spin button inside its right edge. The
// field keeps its value only as its text; the rules for reading and writing it are in
// core/widgets/SpinEditMath.
//
// Handle() is the edit itself, so tab order, tooltips, fonts (WM_SETFONT) and focus work as for
// any edit. The spin button is a child of the edit and moves and hides with it; the edit's text
// area is narrowed by the button's width through its right margin.
#include <windows.h>

#include <functional>
#include <string>

#include "core/widgets/DpiScale.h"

namespace virel::app {

// The spin button's auto-repeat timer. The field uses a Windows timer on its button unless it is
// given another one (tests drive the repeat schedule with a fake instead of waiting for it).
class ISpinRepeatTimer {
public:
    virtual ~ISpinRepeatTimer() = default;
    // Calls `tick` every `ms` milliseconds from the message loop, until Stop or the next Start.
    virtual void Start(int ms, std::function<void()> tick) = 0;
    virtual void Stop() = 0;
};

class TSpinEdit {
public:
    TSpinEdit() = default;
    ~TSpinEdit();
    TSpinEdit(const TSpinEdit&) = delete;
    TSpinEdit& operator=(const TSpinEdit&) = delete;

    // Creates the edit (with the given id, as the parent's child) and its spin button within
    // exactly the given bounds. False when it already exists or Windows refuses.
    bool Create(HWND parent, int id, int x, int y, int w, int h);
    HWND Handle() const { return edit_; }

    // The bounds do not touch the text; they apply at the next write or when the field is left.
    void SetMinValue(double value) { minValue_ = value; }
    void SetMaxValue(double value) { maxValue_ = value; }
    double MinValue() const { return minValue_; }
    double MaxValue() const { return maxValue_; }

    // The text as a whole number; MinValue when it is not one. Not limited to the range.
    double Value() const;
    // Limited to the range (no limit for equal bounds), rounded, written as plain decimal text.
    // NaN leaves the text as it is.
    void SetValue(double value);
    // Value truncated toward zero.
    long long IntValue() const;

    std::wstring Text() const;
    void SetText(const std::wstring& text);
    // The operator changed the text (typing, stepping) since the program last wrote it.
    bool Modified() const;

    // Width of the spin button inside the edit's client area, in pixels at 96 dpi.
    static constexpr int kButtonWidth = 15;
    HWND ButtonHandle() const { return button_; }
    // The dpi the field is laid out for: the button's width is scaled by it.
    void SetDpi(int dpi);

    // Typing a character the field does not take beeps through this function; tests replace
    // it to count beeps. An empty function restores the standard beep.
    static void SetBeepHook(std::function<void()> beep);

    // Enter and Esc are not for the field: they go to the top-level window as the dialog keys
    // Windows dialogs use (WM_COMMAND with IDOK or IDCANCEL; a window without such commands
    // ignores them). Replace to handle them differently; the argument is VK_RETURN or VK_ESCAPE.
    void SetDialogKeyHandler(std::function<void(UINT key)> handler) {
        dialogKey_ = std::move(handler);
    }

    // Replaces the button's repeat timer (not owned; it must outlive the field's use of it).
    // Null restores the Windows timer.
    void SetRepeatTimer(ISpinRepeatTimer* timer);

private:
    static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleEdit(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleButton(UINT msg, WPARAM wp, LPARAM lp);
    // The field's typing: a character the field refuses (with a beep) or hands on, and the keys
    // it takes itself (arrows step, Enter and Esc go to the window).
    bool RefuseChar(wchar_t c);
    bool TakeKey(WPARAM key);
    LRESULT CallEdit(UINT msg, WPARAM wp, LPARAM lp);

    void Step(int delta);
    void LeaveField();
    void DialogKey(UINT key);
    void LayoutButton();
    void PaintButton(HDC dc);
    // A press on the button at (x, y): the half under it steps at once and starts repeating.
    void PressButton(int x, int y);
    void StartRepeat();
    void RepeatTick();
    void StopRepeat();
    void ForgetWindows();

    // The Windows repeat timer: SetTimer on the spin button, fired from its WM_TIMER.
    class TButtonTimer final : public ISpinRepeatTimer {
    public:
        explicit TButtonTimer(const HWND& button) : button_(button) {}
        void Start(int ms, std::function<void()> tick) override;
        void Stop() override;
        void Fire();

    private:
        const HWND& button_;
        std::function<void()> tick_;
    };

    HWND edit_ = nullptr;
    HWND button_ = nullptr;
    WNDPROC editProc_ = nullptr;
    double minValue_ = 0;
    double maxValue_ = 0;
    int dpi_ = dpi::kDesignDpi;
    std::function<void(UINT)> dialogKey_;

    // Mouse press on the spin button: which half (+1 up, -1 down, 0 none) and steps made.
    int pressed_ = 0;
    int stepsDone_ = 0;
    TButtonTimer buttonTimer_{button_};
    ISpinRepeatTimer* repeatTimer_ = &buttonTimer_;
};

}  // namespace virel::app

namespace virel {
using app::TSpinEdit;
}  // namespace virel
