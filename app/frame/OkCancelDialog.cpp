#include "app/frame/OkCancelDialog.h"

namespace virel::app {

bool TOkCancelDialog::RunOkCancel(HWND focus) {
    CentreOnOwner();
    return RunModal(focus) == IDOK;
}

LRESULT TOkCancelDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == DM_GETDEFID) return MAKELRESULT(IDOK, DC_HASDEFID);
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        if (!Ended()) OkExecute();
        return 0;
    }
    return TModalWindow::WindowProc(message, wParam, lParam);
}

}  // namespace virel::app
