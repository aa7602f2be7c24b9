#include "app/platform/PlatformSerialTrace.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "Version.h"
#include "app/platform/PlatformClock.h"
#include "core/Utf16.h"
#include "serial/SerialTrace.h"
#include "win/Scopes.h"
#include "win/SystemMessage.h"

namespace virel::app {

namespace {

class TFileTraceEnvironment final : public ITraceEnvironment {
public:
    explicit TFileTraceEnvironment(win::THandle file) : file_(std::move(file)) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        frequency_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    }

    std::int64_t LocalNowMs() override { return clock_.LocalNowMs(); }

    std::int64_t MonotonicUs() override {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return static_cast<std::int64_t>(static_cast<long double>(now.QuadPart) * 1'000'000 /
                                         frequency_);
    }

    TSystemError LastError() override {
        const DWORD code = GetLastError();
        return {code, win::SystemMessage(code)};
    }

    // No buffering in the process: a line written is in the file even if the program is ended
    // a moment later, which is when a service engineer needs it most.
    void WriteLine(const std::string& line) override {
        const std::string bytes = line + "\r\n";
        DWORD written = 0;
        WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    win::THandle file_;
    TPlatformClock clock_;
    std::int64_t frequency_ = 1;
};

// The arguments after the program's name. A wide entry point has them split by the C runtime
// already; the shell's splitter only where it has not, since its library would otherwise be
// loaded at every start for this alone.
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

}  // namespace

bool SerialTraceRequestedAtStart() {
    wchar_t value[8] = L"";
    const DWORD n = GetEnvironmentVariableW(L"VIREL1_TRACE", value, 8);
    const std::string variable = n > 0 && n < 8 ? Narrow(value) : std::string();
    return SerialTraceRequested(CommandLineArguments(), n > 0 ? variable.c_str() : nullptr);
}

std::unique_ptr<ISerialBackend> CreateTracedSerialBackend(std::unique_ptr<ISerialBackend> backend,
                                                          const std::string& path) {
    if (!backend) return backend;
    HANDLE handle =
        CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return backend;
    win::THandle file(handle);
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart == 0) {
        DWORD written = 0;
        WriteFile(file.Get(), "\xEF\xBB\xBF", 3, &written, nullptr);
    }
    return std::make_unique<TSerialTraceBackend>(
        std::move(backend), std::make_unique<TFileTraceEnvironment>(std::move(file)),
        "ВИРЕЛ1 Сервис " VIREL_VERSION_TEXT ": трассировка обмена начата");
}

}  // namespace virel::app
