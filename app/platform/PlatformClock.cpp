#include "app/platform/PlatformClock.h"

#include <windows.h>

#include "core/DateTimeFormat.h"

namespace virel::app {

std::int64_t TPlatformClock::LocalNowMs() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return ToMilliseconds(
        DateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds});
}

}  // namespace virel::app
