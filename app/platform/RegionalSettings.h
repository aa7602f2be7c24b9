#pragma once
// The Windows user's regional date and time formats, read once at start-up.
#include <windows.h>

#include "core/Regional.h"

namespace virel::app {

RegionalFormats ReadRegionalFormats(LCID locale = LOCALE_USER_DEFAULT);

}  // namespace virel::app
