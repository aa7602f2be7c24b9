#include "storage/RegStore.h"

#include <vector>

#include "core/Errors.h"
#include "core/Utf16.h"
#include "storage/TextUtil.h"

namespace virel {

using storage_detail::Concat;

TRegStore::TRegStore(TPlacementRegRoot root, const std::string& keyPath, bool readOnly)
    : readOnly_(readOnly) {
    const std::wstring path = Widen(keyPath);
    // The key path is opened with full access and created when missing, also for reading.
    LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, kFullAccess,
                                 nullptr, key_.Receive(), nullptr);
    if (rc != ERROR_SUCCESS) {
        key_.Forget();
        throw Exception(Concat("Failed to create key ", keyPath));
    }
    if (root == TPlacementRegRoot::prCurrentUser) return;

    // Another root: the key path there, created only for writing. Reading asks for read access
    // only, so a user without rights to the root still gets the stored values.
    const auto rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(RegRootKeyValue(root)));
    key_.Reset();
    if (readOnly_) {
        rc = RegOpenKeyExW(rootKey, path.c_str(), 0, kReadAccess, key_.Receive());
        if (rc != ERROR_SUCCESS) key_.Forget();  // missing: every read gives its default
        return;
    }
    rc = RegCreateKeyExW(rootKey, path.c_str(), 0, nullptr, 0, kFullAccess, nullptr, key_.Receive(),
                         nullptr);
    if (rc != ERROR_SUCCESS) {
        key_.Forget();
        throw Exception(Concat("Failed to create key ", keyPath));
    }
}

std::string TRegStore::ReadString(const std::string& section, const std::string& name,
                                  const std::string& def) {
    if (!key_) return def;
    win::TRegKey sub;
    const std::wstring wsection = Widen(section);
    if (RegOpenKeyExW(key_.Get(), wsection.c_str(), 0, readOnly_ ? kReadAccess : kFullAccess,
                      sub.Receive()) != ERROR_SUCCESS) {
        sub.Forget();
        return def;
    }
    const std::wstring wname = Widen(name);
    // The value may change between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(sub.Get(), wname.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return def;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            throw EInvalidValueType(name);
        }
        if (size == 0) return std::string();
        // One extra character beyond the data, so that a value stored without its terminating
        // NUL still ends in one.
        std::vector<wchar_t> buf(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = size;
        const LSTATUS rc = RegQueryValueExW(sub.Get(), wname.c_str(), nullptr, &type,
                                            reinterpret_cast<BYTE*>(buf.data()), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return def;
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            throw EInvalidValueType(name);
        }
        return Narrow(std::wstring(buf.data()));  // cut at the first NUL
    }
    return def;
}

void TRegStore::WriteString(const std::string& section, const std::string& name,
                            const std::string& value) {
    win::TRegKey sub;
    const std::wstring wsection = Widen(section);
    if (!key_ || RegCreateKeyExW(key_.Get(), wsection.c_str(), 0, nullptr, 0, kFullAccess, nullptr,
                                 sub.Receive(), nullptr) != ERROR_SUCCESS) {
        sub.Forget();
        throw Exception(Concat("Failed to create key ", section));
    }
    const std::wstring wname = Widen(name);
    const std::wstring wvalue = Widen(value);
    const auto bytes = static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(sub.Get(), wname.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(wvalue.c_str()), bytes) != ERROR_SUCCESS) {
        throw Exception(Concat("Failed to set data for '", name, "'"));
    }
}

void TRegStore::EraseSection(const std::string& section) {
    if (!key_ || section.empty()) return;
    RegDeleteTreeW(key_.Get(), Widen(section).c_str());
}

}  // namespace virel
