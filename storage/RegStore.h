#pragma once
// The registry section store: a key path under a root key, one subkey per section, every value
// a string (REG_SZ). The key path is created on opening (under HKEY_CURRENT_USER also for
// reading); sections are opened per operation and closed again.
#include <windows.h>

#include <string>

#include "storage/SectionStore.h"
#include "win/Scopes.h"

namespace virel {

class TRegStore : public TSectionStore {
public:
    // Raises "Failed to create key %s" when the key path cannot be opened where it must be.
    TRegStore(TPlacementRegRoot root, const std::string& keyPath, bool readOnly);

    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& def) override;
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    // Deletes the section's subkey with everything below it. An unnamed section would be the
    // key path itself, which is never erased.
    void EraseSection(const std::string& section) override;

    static constexpr REGSAM kFullAccess = KEY_ALL_ACCESS;
    static constexpr REGSAM kReadAccess = KEY_READ;

private:
    win::TRegKey key_;
    bool readOnly_;
};

}  // namespace virel
