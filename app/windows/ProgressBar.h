#pragma once
// The progress window "Считывание информации": a gauge, shown by the archive export only.
// Esc typed into it hides it and cancels the running operation.
#include <windows.h>

#include "app/controls/Gauge.h"
#include "app/frame/Window.h"

namespace virel::app {

class TFProgressBar : public TCustomWindow {
public:
    static constexpr int kClientWidth = 578;
    static constexpr int kClientHeight = 68;

    using TCustomWindow::TCustomWindow;
    ~TFProgressBar() override;

    // Creates the window, hidden, owned by `owner` (the main window).
    HWND Create(HWND owner);
    // Shows and activates it: centred over the owner the first time, later where it was.
    void Show();
    // Hides it; it is never destroyed before the program ends.
    void Close();

    TGauge& Gauge() { return gauge_; }

    // Handler of the characters typed into the window: Esc (27) hides it and cancels the
    // running operation with "Обмен прерван пользователем"; other characters are left alone.
    void FormKeyPress(wchar_t key);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TGauge gauge_;
    bool placed_ = false;
};

}  // namespace virel::app
