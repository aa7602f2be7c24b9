#include "app/platform/SerialPorts.h"

#include <windows.h>

#include <array>

#include "core/Utf16.h"
#include "win/Scopes.h"

namespace virel::app {

std::vector<std::string> PresentSerialPorts() {
    std::vector<std::string> ports;
    win::TRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      key.Receive()) != ERROR_SUCCESS) {
        key.Forget();
        return ports;
    }
    // Fixed buffers: a value name can be 16383 characters long; a port name is short, and a
    // longer value (a driver's fault) is skipped rather than read.
    std::array<wchar_t, 16384> name{};
    std::array<wchar_t, 64> data{};
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = REG_NONE;
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status =
            RegEnumValueW(key.Get(), index, name.data(), &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) {
            if (status == ERROR_MORE_DATA) continue;
            break;  // the key went away or cannot be read: what was found so far
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        // The stored text need not end in a null character, nor stop at its first one.
        std::wstring text(data.data(), dataBytes / sizeof(wchar_t));
        if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
        ports.push_back(Narrow(text));
    }
    return ports;
}

}  // namespace virel::app
