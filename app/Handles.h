#pragma once
// The main window's names for the scope types of win/Scopes.h.
#include "win/Scopes.h"

namespace virel::app {

using win::TAccelerators;
using win::TBitmap;
using win::TMenu;

}  // namespace virel::app
