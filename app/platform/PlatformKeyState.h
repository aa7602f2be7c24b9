#pragma once
// The Windows source of the exchange's Esc check.
#include "core/meter/DeviceSeams.h"

namespace virel::app {

// GetAsyncKeyState(VK_ESCAPE): the physical key, whichever window has the focus.
class TPlatformKeyState : public IKeyState {
public:
    bool EscapeDown() override;
};

}  // namespace virel::app
