#pragma once
// The about box "О программе KESTA", shown modally by the about action.
#include <windows.h>

#include "app/controls/Controls.h"
#include "app/frame/ModalWindow.h"
#include "win/Scopes.h"

namespace virel::app {

class TAboutBox : public TModalWindow {
public:
    static constexpr int kClientWidth = 298;
    static constexpr int kClientHeight = 213;
    enum TModalResult { mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL };

    explicit TAboutBox(TApplication& application);
    ~TAboutBox() override;

    // Creates the box, hidden, owned by `owner` (the main window).
    HWND Create(HWND owner);
    // Shows the box and returns when it is closed (OK, Enter or its close box); every other
    // window of the program is disabled meanwhile. Centred on the screen the first time.
    TModalResult ShowModal();

    HWND Panel1() const { return panel_.Handle(); }
    HWND ProgramIcon() const { return programIcon_.Handle(); }
    HWND ProductName() const { return productName_; }
    HWND Version() const { return version_; }
    HWND Copyright() const { return copyright_; }
    HWND Comments() const { return comments_; }
    HWND OKButton() const { return okButton_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    win::TBitmap logo_;
    TPanel panel_;
    TImage programIcon_;
    HWND productName_ = nullptr, version_ = nullptr, copyright_ = nullptr, comments_ = nullptr;
    HWND okButton_ = nullptr;
    bool placed_ = false;
};

}  // namespace virel::app
