#include "app/platform/ProgramFile.h"

#include <windows.h>

#include "core/Utf16.h"

namespace virel::app {

std::string ProgramFilePath() {
    // The path may be longer than MAX_PATH: grow the buffer until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return Narrow(path);
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (written == 0 || written >= size) return Narrow(path);
    full.resize(written);
    return Narrow(full);
}

}  // namespace virel::app
