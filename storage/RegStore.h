#pragma once
// The registry section store: a key path under a root key, one subkey per section, every value
// a string (REG_SZ). The key path is created on opening (under HKEY_CURRENT_USER also for
// reading); sections are opened per operation and closed again.
#include <windows.h>

#include <string>

#include "storage/SectionStore.h"

namespace virel {

// An open registry key; closes it when it goes.
class TRegKey {
public:
    TRegKey() = default;
    explicit TRegKey(HKEY key) : key_(key) {}
    TRegKey(TRegKey&& other) noexcept : key_(other.Release()) {}
    TRegKey& operator=(TRegKey&& other) noexcept;
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;
    ~TRegKey() { Reset(); }

    HKEY Get() const { return key_; }
    HKEY* Receive() {
        Reset();
        return &key_;
    }
    HKEY Release() {
        HKEY k = key_;
        key_ = nullptr;
        return k;
    }
    void Reset();
    // After a failed open: the handle holds nothing to close.
    void Forget() { key_ = nullptr; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

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

    static constexpr REGSAM kFullAccess = 0xF003F;  // KEY_ALL_ACCESS
    static constexpr REGSAM kReadAccess = 0x20019;  // KEY_READ

private:
    TRegKey key_;
    bool readOnly_;
};

}  // namespace virel
