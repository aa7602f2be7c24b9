#include "app/platform/RegistrySettingsStore.h"

#include <windows.h>
// after windows.h
#include <dpapi.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/ProgramSettings.h"
#include "storage/RegSettingsStore.h"
#include "win/Scopes.h"
#include "zlib.h"

namespace virel::app {

namespace {

// Mixed into the encryption: another program of the same user decrypting the blob must know it.
constexpr wchar_t kPurpose[] = L"VIREL1_Service central journal";

// The stored value is this header, then CryptProtectData's blob: a damaged value is known by
// its sum before the system's parser sees it (Wine's hangs on some damaged blobs).
constexpr BYTE kMagic[4] = {'V', 'R', 'L', 1};
constexpr std::size_t kHeader = 8;  // the magic and the CRC-32 of the blob, least byte first

std::uint32_t Crc32(const BYTE* data, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

std::string WithHeader(const BYTE* blob, std::size_t size) {
    std::string value(reinterpret_cast<const char*>(kMagic), 4);
    const std::uint32_t crc = Crc32(blob, size);
    for (int i = 0; i < 4; ++i) value.push_back(static_cast<char>(crc >> (8 * i)));
    value.append(reinterpret_cast<const char*>(blob), size);
    return value;
}

// The password from its value: nothing when the value is damaged, or the blob another user's or
// another machine's (the operator types it again), never a crash.
std::string Decrypted(const std::string& stored) {
    const std::vector<BYTE> value(stored.begin(), stored.end());
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

}  // namespace

TRegistrySettings LoadRegistrySettings(const TSettings& stored) {
    TRegistrySettings settings;
    settings.connection = stored.Read(kCentralConnection);
    settings.room = stored.Read(kCentralRoom);
    settings.password = Decrypted(stored.Read(kCentralPassword));
    return settings;
}

TRegistrySettings LoadOwnRegistrySettings() {
    return LoadRegistrySettings(ProgramSettings());
}

bool SaveRegistrySettings(TSettings& stored, const TRegistrySettings& settings) {
    if (!stored.Write(kCentralConnection, settings.connection) ||
        !stored.Write(kCentralRoom, settings.room))
        return false;
    if (settings.password.empty()) return stored.Clear(kCentralPassword);
    // Encrypted for this Windows user; the plain text never reaches the registry.
    DATA_BLOB in{static_cast<DWORD>(settings.password.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(settings.password.data()))};
    DATA_BLOB entropy{sizeof kPurpose, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(kPurpose))};
    DATA_BLOB out{};
    if (!CryptProtectData(&in, L"VIREL1_Service", &entropy, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &out))
        return false;
    const win::TLocalMemory<BYTE*> blob(out.pbData);
    return stored.Write(kCentralPassword, WithHeader(blob.Get(), out.cbData));
}

}  // namespace virel::app
