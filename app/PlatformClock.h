#pragma once
// The Windows sources of the exchange's time and of its Esc check.
#include "core/Exchange.h"

namespace virel::app {

// GetLocalTime: the local date and time with millisecond resolution.
class TPlatformClock : public IClock {
public:
    std::int64_t LocalNowMs() override;
};

// GetAsyncKeyState(VK_ESCAPE): the physical key, whichever window has the focus.
class TPlatformKeyState : public IKeyState {
public:
    bool EscapeDown() override;
};

}  // namespace virel::app
