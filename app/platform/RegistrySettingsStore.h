#pragma once
// The settings "Центральный журнал" in the program's settings, beside the main window's, in the
// section TCentralJournal (storage/ProgramSettings.h): Connection and Room as texts, Password
// as bytes: CryptProtectData's blob for the current Windows user behind an 8-byte header with
// its CRC-32; never stored as plain text.
#include "registry/Registry.h"
#include "storage/Settings.h"

namespace virel::app {

// The stored settings; empty fields for what is not stored. A password blob that cannot be
// decrypted (damaged, or another user's) gives no password, never a crash.
TRegistrySettings LoadRegistrySettings(const TSettings& stored);
// False when the registry or the encryption refused them.
[[nodiscard]] bool SaveRegistrySettings(TSettings& stored, const TRegistrySettings& settings);
// The settings of the program as it was started (its registry key by its file's name).
TRegistrySettings LoadOwnRegistrySettings();

}  // namespace virel::app
