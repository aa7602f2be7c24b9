#pragma once
// The system's text for a Windows error code.
#include <windows.h>

#include <string>

namespace virel::app {

// UTF-8, without the trailing line break; "System error <code>" when the system has no text.
std::string SystemMessage(DWORD code);

}  // namespace virel::app
