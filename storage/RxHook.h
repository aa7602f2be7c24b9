#pragma once
// Window hooks: a hook object attached to a window sees its messages before and after the
// window procedure. The portable part is the message record and the hook interface; the Win32
// part (RxHookWin32.h) replaces the window procedure.
#include <cstdint>
#include <functional>

#include "storage/Form.h"

namespace virel {

inline constexpr std::uint32_t kWmGetMinMaxInfo = 0x0024;
inline constexpr std::uint32_t kWmNcHitTest = 0x0084;
inline constexpr std::uint32_t kWmInitMenuPopup = 0x0117;
inline constexpr std::uint32_t kScSize = 0xF000;
inline constexpr std::uint32_t kScMaximize = 0xF030;
inline constexpr std::uint32_t kScMinimize = 0xF020;

// Hit-test results from the left sizing border (10) to the bottom-right corner (17).
inline constexpr std::intptr_t kHtSizeFirst = 10;
inline constexpr std::intptr_t kHtSizeLast = 17;

// One window message as a hook sees it; `result` is the window procedure's answer.
struct THookMessage {
    std::uint32_t msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    std::intptr_t result = 0;
    bool handled = false;  // set by a before-message handler to skip the window procedure
};

// The system's size-limits record (WM_GETMINMAXINFO), field for field.
struct TMinMaxRecord {
    TPoint reserved;
    TPoint maxSize;
    TPoint maxPosition;
    TPoint minTrackSize;
    TPoint maxTrackSize;
};

class TRxWindowHook {
public:
    TRxWindowHook() = default;
    TRxWindowHook(const TRxWindowHook&) = delete;
    TRxWindowHook& operator=(const TRxWindowHook&) = delete;
    virtual ~TRxWindowHook() = default;

    virtual void Attach() = 0;
    virtual void Detach() = 0;
    virtual bool Attached() const = 0;

    std::function<void(THookMessage&)> beforeMessage;
    std::function<void(THookMessage&)> afterMessage;
};

}  // namespace virel
