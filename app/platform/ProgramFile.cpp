#include "app/platform/ProgramFile.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdlib>

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

// A wide entry point has the arguments split by the C runtime already; the shell's splitter
// only where it has not, since its library would otherwise be loaded at every start for this
// alone.
std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> arguments;
    if (__wargv != nullptr) {
        for (int i = 1; i < __argc; ++i) arguments.push_back(Narrow(__wargv[i]));
        return arguments;
    }
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(Narrow(argv[i]));
    LocalFree(argv);
    return arguments;
}

}  // namespace virel::app
