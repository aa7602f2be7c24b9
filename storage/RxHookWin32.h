#pragma once
// Window hooks on Windows: the first hook attached to a window replaces its window procedure
// with one that hands each message to the hooks' before-message handlers (latest attached first,
// until one marks it handled), then to the previous procedure unless handled (WM_DESTROY always
// goes through), then to the after-message handlers. The previous procedure is put back when the
// last hook detaches or the window is destroyed.
#include <windows.h>

#include "storage/RxHook.h"

namespace virel {

class TWin32WindowHook : public TRxWindowHook {
public:
    explicit TWin32WindowHook(HWND window) : window_(window) {}
    ~TWin32WindowHook() override { Detach(); }

    void Attach() override;
    void Detach() override;
    bool Attached() const override { return attached_; }
    HWND Window() const { return window_; }

    // Called by the hook list when the window goes away.
    void WindowDestroyed() { attached_ = false; }

private:
    HWND window_;
    bool attached_ = false;
};

// How many windows have their procedure replaced now (for tests).
std::size_t HookedWindowCount();

}  // namespace virel
