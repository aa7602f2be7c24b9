#pragma once
// A base for the program's dialogs with OK and Cancel.
#include <windows.h>

#include "app/frame/ModalWindow.h"

namespace virel::app {

// A dialog with OK (Enter, the default button) and Cancel (Esc, the close box). OK runs
// OkExecute, which checks what the dialog holds and calls Accept when it may close; otherwise
// the dialog stays open with its message.
class TOkCancelDialog : public TModalWindow {
protected:
    using TModalWindow::TModalWindow;

    // Centred on its owner, run until accepted or cancelled: true when accepted.
    bool RunOkCancel(HWND focus);
    virtual void OkExecute() = 0;
    void Accept() { EndModal(IDOK); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace virel::app
