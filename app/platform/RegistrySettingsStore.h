#pragma once
// The settings "Центральный журнал" in the registry beside the main window's, under the key
// HKEY_CURRENT_USER\<registryKey>\TCentralJournal (the program's: Software\VIREL1_Service; a
// program started under another file name keeps settings of its own): the values Connection
// and Room (REG_SZ, UTF-16) and Password (REG_BINARY: CryptProtectData's blob for the current Windows
// user behind an 8-byte header with its CRC-32; never stored as plain text).
#include <string>

#include "registry/Registry.h"

namespace virel::app {

// The stored settings; empty fields for what is not stored. A password blob that cannot be
// decrypted (damaged, or another user's) gives no password, never a crash.
TRegistrySettings LoadRegistrySettings(const std::string& registryKey);
// False when the registry or the encryption refused them.
[[nodiscard]] bool SaveRegistrySettings(const std::string& registryKey,
                                        const TRegistrySettings& settings);
// The settings of the program as it was started (its registry key by its file's name).
TRegistrySettings LoadOwnRegistrySettings();

}  // namespace virel::app
