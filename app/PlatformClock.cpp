#include "app/PlatformClock.h"

#include <windows.h>

#include "core/DateTimeFormat.h"

namespace virel::app {

std::int64_t TPlatformClock::LocalNowMs() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return ToMilliseconds(
        DateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds});
}

bool TPlatformKeyState::EscapeDown() {
    // Bit 15: down now. Bit 0 (pressed since the last query) is deliberately ignored, so a key
    // pressed and released during a wait is not noticed.
    return (static_cast<unsigned short>(GetAsyncKeyState(VK_ESCAPE)) & 0x8000u) != 0;
}

}  // namespace virel::app
