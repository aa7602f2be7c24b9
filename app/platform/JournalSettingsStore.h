#pragma once
// The dose journal's settings (the window's unit of DAP, how the patient is kept) in the
// program's settings, beside the main window's: the section TJournalWindow
// (storage/ProgramSettings.h).
#include "forms/JournalSettings.h"
#include "storage/Settings.h"

namespace virel::app {

// The stored settings; the defaults for what is not stored or cannot be read.
TJournalSettings ReadJournalSettings(const TSettings& stored);
// False when the registry refused them (they still hold until the window closes).
[[nodiscard]] bool WriteJournalSettings(TSettings& stored, const TJournalSettings& settings);

}  // namespace virel::app
