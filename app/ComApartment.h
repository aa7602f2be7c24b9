#pragma once
// The program's COM apartment is the scope type of win/Scopes.h.
#include "win/Scopes.h"

namespace virel::app {

using win::TComApartment;

}  // namespace virel::app
