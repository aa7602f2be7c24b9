#pragma once
// The system's texts for Windows error codes.
#include <windows.h>

#include <optional>
#include <string>

namespace virel::win {

// The system's own text for `code` in UTF-8, without the trailing line break; nothing when the
// system has none.
std::optional<std::string> SystemText(DWORD code);
// The same, or "System error <code>" when the system has no text: never empty.
std::string SystemMessage(DWORD code);

}  // namespace virel::win
