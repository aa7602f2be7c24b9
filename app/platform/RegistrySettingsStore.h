#pragma once
// The settings "Центральный журнал" in the registry, under the key
// HKEY_CURRENT_USER\Software\VIREL1_Service\TCentralJournal: the values Connection and Room
// (REG_SZ, UTF-16) and Password (REG_BINARY: CryptProtectData's blob for the current Windows
// user behind an 8-byte header with its CRC-32; never stored as plain text).
#include "registry/Registry.h"

namespace virel::app {

// The stored settings; empty fields for what is not stored. A password blob that cannot be
// decrypted (damaged, or another user's) gives no password, never a crash.
TRegistrySettings LoadRegistrySettings();
// False when the registry or the encryption refused them.
[[nodiscard]] bool SaveRegistrySettings(const TRegistrySettings& settings);

}  // namespace virel::app
