#pragma once
// The modal loop the program's own dialogs share, and a base for those with OK and Cancel.
#include <windows.h>

#include <functional>

#include "app/frame/Window.h"

namespace virel::app {

// Shows `window` modally on its thread until `done` says so: every other window of the thread
// is disabled meanwhile, `focus` gets the focus, and the activation goes back where it was.
// False when the program is ending (the loop stopped before `done`).
bool RunModalLoop(TCustomWindow& window, HWND focus, const std::function<bool()>& done);

// A dialog with OK (Enter, the default button) and Cancel (Esc, the close box). OK runs
// OkExecute, which checks what the dialog holds and calls Accept when it may close; otherwise
// the dialog stays open with its message.
class TOkCancelDialog : public TCustomWindow {
protected:
    using TCustomWindow::TCustomWindow;

    // Centred on its owner, run until accepted or cancelled: true when accepted.
    bool RunModal(HWND focus);
    virtual void OkExecute() = 0;
    void Accept() { result_ = TResult::Accepted; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum class TResult { None, Accepted, Cancelled };
    TResult result_ = TResult::None;
};

}  // namespace virel::app
