#include "storage/RegSettingsStore.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "core/Utf16.h"
#include "storage/AppUtils.h"
#include "storage/FormStorageWin32.h"
#include "win/Scopes.h"

namespace virel {

namespace {

HKEY RootKey(TPlacementRegRoot root) {
    switch (root) {
        case TPlacementRegRoot::prCurrentUser:
            return HKEY_CURRENT_USER;
        case TPlacementRegRoot::prLocalMachine:
            return HKEY_LOCAL_MACHINE;
        case TPlacementRegRoot::prCurrentConfig:
            return HKEY_CURRENT_CONFIG;
        case TPlacementRegRoot::prClassesRoot:
            return HKEY_CLASSES_ROOT;
        case TPlacementRegRoot::prUsers:
            return HKEY_USERS;
        case TPlacementRegRoot::prDynData:
            return HKEY_DYN_DATA;
    }
    return HKEY_CURRENT_USER;
}

// The registry's bytes as the store's data: texts cut at their first zero (a text stored
// without its terminating zero, or with an odd byte over, still reads).
TSettingData DataOf(DWORD type, const BYTE* bytes, std::size_t size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        std::copy(bytes, bytes + text.size() * sizeof(wchar_t),
                  reinterpret_cast<BYTE*>(text.data()));
        if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
        return {TSettingKind::Text, Narrow(text)};
    }
    if (type == REG_BINARY)
        return {TSettingKind::Bytes, std::string(reinterpret_cast<const char*>(bytes), size)};
    return {TSettingKind::Other, {}};
}

}  // namespace

TRegSettingsStore::TRegSettingsStore(TPlacementRegRoot root, std::string keyPath)
    : root_(root), keyPath_(std::move(keyPath)) {}

std::wstring TRegSettingsStore::PathOf(std::string_view section) const {
    if (section.empty()) return Widen(keyPath_);
    return Widen(keyPath_ + "\\" + std::string(section));
}

std::optional<TSettingData> TRegSettingsStore::Read(std::string_view section,
                                                    std::string_view name) const {
    win::TRegKey key;
    if (RegOpenKeyExW(RootKey(root_), PathOf(section).c_str(), 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS) {
        key.Forget();
        return std::nullopt;
    }
    const std::wstring wname = Widen(name);
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE, size = 0;
        if (RegQueryValueExW(key.Get(), wname.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            size > kMaxReadBytes)
            return std::nullopt;
        std::vector<BYTE> bytes(size + 1);
        DWORD got = size;
        const LSTATUS read =
            RegQueryValueExW(key.Get(), wname.c_str(), nullptr, &type, bytes.data(), &got);
        if (read == ERROR_MORE_DATA) continue;
        if (read != ERROR_SUCCESS) return std::nullopt;
        return DataOf(type, bytes.data(), std::min<std::size_t>(got, size));
    }
    return std::nullopt;
}

bool TRegSettingsStore::Write(std::string_view section, std::string_view name,
                              const TSettingData& value) {
    if (value.kind == TSettingKind::Other) return false;
    win::TRegKey key;
    if (RegCreateKeyExW(RootKey(root_), PathOf(section).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
        key.Forget();
        return false;
    }
    const std::wstring wname = Widen(name);
    if (value.kind == TSettingKind::Bytes) {
        return RegSetValueExW(key.Get(), wname.c_str(), 0, REG_BINARY,
                              reinterpret_cast<const BYTE*>(value.data.data()),
                              static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
    }
    const std::wstring text = Widen(value.data);
    return RegSetValueExW(key.Get(), wname.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool TRegSettingsStore::Remove(std::string_view section, std::string_view name) {
    win::TRegKey key;
    const LSTATUS opened =
        RegOpenKeyExW(RootKey(root_), PathOf(section).c_str(), 0, KEY_SET_VALUE, key.Receive());
    if (opened != ERROR_SUCCESS) {
        key.Forget();
        return opened == ERROR_FILE_NOT_FOUND;  // no section: no value either
    }
    const LSTATUS deleted = RegDeleteValueW(key.Get(), Widen(name).c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

std::vector<TRegSettingsStore::TNamedData> TRegSettingsStore::Values(std::string_view section,
                                                                     std::size_t maxBytes) const {
    std::vector<TNamedData> values;
    win::TRegKey key;
    if (RegOpenKeyExW(RootKey(root_), PathOf(section).c_str(), 0, KEY_QUERY_VALUE, key.Receive()) !=
        ERROR_SUCCESS) {
        key.Forget();
        return values;
    }
    maxBytes = std::min(maxBytes, kMaxReadBytes);
    // A value name can be 16383 characters long; data longer than wanted is not read at all.
    std::array<wchar_t, 16384> name{};
    std::vector<BYTE> data(maxBytes + 1);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = REG_NONE;
        auto dataBytes = static_cast<DWORD>(maxBytes);
        const LSTATUS status = RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr,
                                             &type, data.data(), &dataBytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;  // no more, or the key went away: what was found
        values.emplace_back(Narrow(std::wstring_view(name.data(), nameLength)),
                            DataOf(type, data.data(), std::min<std::size_t>(dataBytes, maxBytes)));
    }
    return values;
}

std::string ProgramRegistryKey() {
    if (ApplicationInfo().exePath.empty()) InitStorageApplicationInfo();
    return DefaultRegistryKey();
}

TSettings UserSettings(std::string keyPath) {
    return TSettings(
        std::make_shared<TRegSettingsStore>(TPlacementRegRoot::prCurrentUser, std::move(keyPath)));
}

TSettings ProgramSettings() {
    return UserSettings(ProgramRegistryKey());
}

}  // namespace virel
