#pragma once
// A window shown modally on its thread: the program's own boxes and dialogs. The frame owns what
// they share: the keyboard works like a dialog's from the window's creation to its destruction,
// the close box and Cancel (Esc, a button with IDCANCEL) end the run, and the run shows the
// window with every other window of the thread disabled meanwhile, giving the activation back
// where it was when it ends.
#include <windows.h>

#include <functional>

#include "app/frame/Window.h"

namespace virel::app {

// Shows `window` modally on its thread until `done` says so: every other window of the thread
// is disabled meanwhile, `focus` gets the focus, and the activation goes back where it was.
// False when the program is ending (the loop stopped before `done`).
bool RunModalLoop(TCustomWindow& window, HWND focus, const std::function<bool()>& done);

class TModalWindow : public TCustomWindow {
protected:
    using TCustomWindow::TCustomWindow;

    // Creates the window, hidden, owned by `owner`: a caption with a close box and a dialog's
    // frame, the client area `width` x `height` at 96 dpi; `style` adds to that.
    HWND CreateModalHandle(const wchar_t* className, const wchar_t* caption, int width, int height,
                           HWND owner, DWORD style = 0);

    // Shows the window until EndModal and returns the result it was given; IDCANCEL when the
    // program ends meanwhile. `focus` gets the focus.
    int RunModal(HWND focus);
    void EndModal(int result) { result_ = result; }
    // EndModal was called in this run (an OK that comes after it changes nothing).
    bool Ended() const { return result_ != 0; }
    // Centres the window on its owner.
    void CentreOnOwner();

    // The close box and IDCANCEL end the run with IDCANCEL; a window that has no cancel (the
    // about box) keeps IDCANCEL from coming here.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int result_ = 0;
};

}  // namespace virel::app
