#include "app/platform/RegistrySettingsStore.h"

#include <windows.h>
// after windows.h
#include <dpapi.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Utf16.h"
#include "storage/AppUtils.h"
#include "storage/FormStorageWin32.h"
#include "win/Scopes.h"
#include "zlib.h"

namespace virel::app {

namespace {

constexpr char kSection[] = "TCentralJournal";
constexpr wchar_t kConnection[] = L"Connection";
constexpr wchar_t kRoom[] = L"Room";
constexpr wchar_t kPassword[] = L"Password";
// Mixed into the encryption: another program of the same user decrypting the blob must know it.
constexpr wchar_t kPurpose[] = L"VIREL1_Service central journal";

// A value's bytes; none when it is not there or not of the type.
std::optional<std::vector<BYTE>> ReadValue(HKEY key, const wchar_t* name, DWORD wanted) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != wanted || size > 1024 * 1024)
        return std::nullopt;
    std::vector<BYTE> bytes(size);
    if (RegQueryValueExW(key, name, nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS ||
        type != wanted)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::string ReadText(HKEY key, const wchar_t* name) {
    const auto bytes = ReadValue(key, name, REG_SZ);
    if (!bytes) return {};
    std::wstring text(bytes->size() / sizeof(wchar_t), L'\0');
    std::copy(bytes->begin(), bytes->begin() + text.size() * sizeof(wchar_t),
              reinterpret_cast<BYTE*>(text.data()));
    while (!text.empty() && text.back() == L'\0') text.pop_back();  // stored with its zero
    return Narrow(text);
}

bool WriteText(HKEY key, const wchar_t* name, const std::string& utf8) {
    const std::wstring text = Widen(utf8);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

// The stored value is this header, then CryptProtectData's blob: a damaged value is known by
// its sum before the system's parser sees it (Wine's hangs on some damaged blobs).
constexpr BYTE kMagic[4] = {'V', 'R', 'L', 1};
constexpr std::size_t kHeader = 8;  // the magic and the CRC-32 of the blob, least byte first

std::uint32_t Crc32(const BYTE* data, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

std::vector<BYTE> WithHeader(const BYTE* blob, std::size_t size) {
    std::vector<BYTE> value(kMagic, kMagic + 4);
    const std::uint32_t crc = Crc32(blob, size);
    for (int i = 0; i < 4; ++i) value.push_back(static_cast<BYTE>(crc >> (8 * i)));
    value.insert(value.end(), blob, blob + size);
    return value;
}

// The password from its value: nothing when the value is damaged, or the blob another user's or
// another machine's (the operator types it again), never a crash.
std::string Decrypted(const std::vector<BYTE>& value) {
    if (value.size() <= kHeader || !std::equal(kMagic, kMagic + 4, value.begin())) return {};
    std::uint32_t crc = 0;
    for (int i = 0; i < 4; ++i) crc |= static_cast<std::uint32_t>(value[4 + i]) << (8 * i);
    const std::vector<BYTE> blob(value.begin() + kHeader, value.end());
    if (Crc32(blob.data(), blob.size()) != crc) return {};
    DATA_BLOB in{static_cast<DWORD>(blob.size()), const_cast<BYTE*>(blob.data())};
    DATA_BLOB entropy{sizeof kPurpose, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kPurpose))};
    DATA_BLOB out{};
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &out))
        return {};
    const win::TLocalMemory<BYTE*> plain(out.pbData);
    const std::string text(reinterpret_cast<const char*>(plain.Get()), out.cbData);
    SecureZeroMemory(plain.Get(), out.cbData);
    return text;
}

std::wstring KeyOf(const std::string& registryKey) {
    return Widen(registryKey + "\\" + kSection);
}

}  // namespace

TRegistrySettings LoadRegistrySettings(const std::string& registryKey) {
    TRegistrySettings settings;
    win::TRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyOf(registryKey).c_str(), 0, KEY_READ,
                      key.Receive()) != ERROR_SUCCESS) {
        key.Forget();
        return settings;
    }
    settings.connection = ReadText(key.Get(), kConnection);
    settings.room = ReadText(key.Get(), kRoom);
    if (const auto blob = ReadValue(key.Get(), kPassword, REG_BINARY))
        settings.password = Decrypted(*blob);
    return settings;
}

TRegistrySettings LoadOwnRegistrySettings() {
    if (ApplicationInfo().exePath.empty()) InitStorageApplicationInfo();
    return LoadRegistrySettings(DefaultRegistryKey());
}

bool SaveRegistrySettings(const std::string& registryKey, const TRegistrySettings& settings) {
    win::TRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, KeyOf(registryKey).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS) {
        key.Forget();
        return false;
    }
    if (!WriteText(key.Get(), kConnection, settings.connection) ||
        !WriteText(key.Get(), kRoom, settings.room))
        return false;
    if (settings.password.empty()) {
        const LSTATUS deleted = RegDeleteValueW(key.Get(), kPassword);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    }
    // Encrypted for this Windows user; the plain text never reaches the registry.
    DATA_BLOB in{static_cast<DWORD>(settings.password.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(settings.password.data()))};
    DATA_BLOB entropy{sizeof kPurpose, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kPurpose))};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, L"VIREL1_Service", &entropy, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    const win::TLocalMemory<BYTE*> blob(out.pbData);
    const std::vector<BYTE> value = WithHeader(blob.Get(), out.cbData);
    return RegSetValueExW(key.Get(), kPassword, 0, REG_BINARY, value.data(),
                          static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

}  // namespace virel::app
