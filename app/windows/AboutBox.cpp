#include "app/windows/AboutBox.h"

#include "app/windows/Resource.h"
#include "app/windows/Texts.h"
#include "win/Windows.h"

namespace virel::app {

TAboutBox::TAboutBox(TApplication& application)
    : TModalWindow(application),
      logo_(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_LOGO),
                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))),
      panel_(application),
      programIcon_(application, logo_.Get(), TFit::Stretch) {}

TAboutBox::~TAboutBox() {
    DestroyHandle();
}

HWND TAboutBox::Create(HWND owner) {
    if (!CreateModalHandle(L"TAboutBox", kAboutBoxCaption, kClientWidth, kClientHeight, owner))
        return nullptr;
    TDpiLayout& layout = Layout();
    const HWND panel = panel_.Create(layout, Handle(), {8, 8, 281, 161});
    programIcon_.Create(layout, panel, {8, 8, 145, 65});
    productName_ = CreateAutoSizeLabel(layout, kProductName, 168, 16, 13, panel);
    version_ = CreateAutoSizeLabel(layout, kVersion, 184, 48, 13, panel);
    copyright_ = CreateControl(layout, L"STATIC", kCopyright, SS_LEFT | SS_NOPREFIX,
                               {8, 88, 105, 26}, panel, -1);
    comments_ = CreateControl(layout, L"STATIC", kComments, SS_LEFT | SS_NOPREFIX,
                              {8, 120, 260, 26}, panel, -1);
    okButton_ = CreateControl(layout, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP,
                              {111, 180, 75, 25}, Handle(), IDOK);
    return Handle();
}

TAboutBox::TModalResult TAboutBox::ShowModal() {
    if (!placed_) {
        win::CentreWindow(Handle(), nullptr);
        placed_ = true;
    }
    return static_cast<TModalResult>(RunModal(okButton_));
}

LRESULT TAboutBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case DM_GETDEFID:
            return MAKELRESULT(IDOK, DC_HASDEFID);
        case WM_COMMAND:
            // IDCANCEL (Esc) is ignored: the box has no cancel button.
            if (LOWORD(wParam) == IDOK) EndModal(mrOk);
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && okButton_) {
                SetFocus(okButton_);
                return 0;
            }
            break;
        default:
            break;
    }
    // The close box ends the run with mrCancel.
    return TModalWindow::WindowProc(message, wParam, lParam);
}

}  // namespace virel::app
