#include "app/platform/PlatformKeyState.h"

#include <windows.h>

namespace virel::app {

bool TPlatformKeyState::EscapeDown() {
    // Bit 15: down now. Bit 0 (pressed since the last query) is deliberately ignored, so a key
    // pressed and released during a wait is not noticed.
    return (static_cast<unsigned short>(GetAsyncKeyState(VK_ESCAPE)) & 0x8000u) != 0;
}

}  // namespace virel::app
