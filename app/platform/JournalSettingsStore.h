#pragma once
// The dose journal's settings (the window's unit of DAP, how the patient is kept) in the
// registry beside the main window's: HKEY_CURRENT_USER\<registryKey>\TJournalWindow.
#include <string>

#include "forms/JournalSettings.h"

namespace virel::app {

// The stored settings; the defaults for what is not stored or cannot be read.
TJournalSettings ReadJournalSettings(const std::string& registryKey);
// False when the registry refused them (they still hold until the window closes).
[[nodiscard]] bool WriteJournalSettings(const std::string& registryKey,
                                        const TJournalSettings& settings);

}  // namespace virel::app
