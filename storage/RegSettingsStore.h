#pragma once
// The settings' store in the registry: a key path under a root key, a section a subkey of it
// (no section: the key itself). Texts are REG_SZ, UTF-16 with their terminating zero counted;
// bytes are REG_BINARY. Every call opens what it needs and closes it again: a read opens for
// reading only and never makes a key, a write makes its section when it is missing.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/SectionStore.h"
#include "storage/Settings.h"

namespace virel {

class TRegSettingsStore final : public ISettingsStore {
public:
    // A value the registry holds in more bytes than this is not read: it is junk, and a
    // damaged value must not cost its size in memory.
    static constexpr std::size_t kMaxReadBytes = 1024 * 1024;

    TRegSettingsStore(TPlacementRegRoot root, std::string keyPath);

    [[nodiscard]] std::optional<TSettingData> Read(std::string_view section,
                                                   std::string_view name) const override;
    [[nodiscard]] bool Write(std::string_view section, std::string_view name,
                             const TSettingData& value) override;
    [[nodiscard]] bool Remove(std::string_view section, std::string_view name) override;

    // Every value of a section, read-only, in the registry's order: its name and what it holds.
    // Values of more than `maxBytes` bytes as the registry holds them are left out; no key gives
    // none.
    using TNamedData = std::pair<std::string, TSettingData>;
    std::vector<TNamedData> Values(std::string_view section, std::size_t maxBytes) const;

private:
    std::wstring PathOf(std::string_view section) const;

    TPlacementRegRoot root_;
    std::string keyPath_;
};

// The program's registry key, "Software\" and the running program file's base name: the one
// place it is made, the same the main window's storage keeps its values under.
std::string ProgramRegistryKey();
// The settings under HKEY_CURRENT_USER\<keyPath>.
TSettings UserSettings(std::string keyPath);
// The program's own: UserSettings(ProgramRegistryKey()).
TSettings ProgramSettings();

}  // namespace virel
