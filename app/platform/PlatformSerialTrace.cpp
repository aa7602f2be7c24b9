#include "app/platform/PlatformSerialTrace.h"

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "Version.h"
#include "app/platform/PlatformClock.h"
#include "app/platform/PlatformLogFile.h"
#include "app/platform/ProgramFile.h"
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

// The trace file opened for appending; a new (empty) file first gets a byte-order mark so that
// Notepad reads it as UTF-8. An invalid handle, with the last error set, when that fails.
win::THandle OpenTraceFile(const std::string& path) {
    HANDLE handle =
        CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    win::THandle file(handle);
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart == 0) {
        DWORD written = 0;
        if (!WriteFile(file.Get(), "\xEF\xBB\xBF", 3, &written, nullptr)) {
            const DWORD error = GetLastError();  // the full disk's, not the closing's
            file.Close();
            SetLastError(error);
            return {};
        }
    }
    return file;
}

// The trace file's name in the folder of the file that keeps the log's held lines.
std::string UserTraceFilePath() {
    const std::string userLog = UserLogFilePath();
    const std::size_t slash = userLog.find_last_of('\\');
    if (slash == std::string::npos) return {};
    return userLog.substr(0, slash + 1) + kTraceFileName;
}

}  // namespace

bool SerialTraceRequestedAtStart() {
    wchar_t value[8] = L"";
    const DWORD n = GetEnvironmentVariableW(L"VIREL1_TRACE", value, 8);
    const std::string variable = n > 0 && n < 8 ? Narrow(value) : std::string();
    return SerialTraceRequested(CommandLineArguments(), n > 0 ? variable.c_str() : nullptr);
}

TSerialTraceFile ChooseSerialTraceFile(const std::string& besideLog) {
    std::vector<TTraceFileFailure> tried;
    auto writable = [&tried](const std::string& path) {
        if (OpenTraceFile(path)) return true;
        tried.push_back({path, win::SystemMessage(GetLastError())});
        return false;
    };
    if (writable(besideLog)) return {besideLog, {}};
    // Only now: asking for the user's folder creates it.
    const std::string userPath = UserTraceFilePath();
    if (!userPath.empty() && writable(userPath)) return {userPath, {}};
    return {{}, TraceNotWrittenMessage(tried)};
}

TTracedBackend CreateTracedSerialBackend(std::unique_ptr<ISerialBackend> backend,
                                         const std::string& path) {
    if (!backend) return {std::move(backend)};
    win::THandle file = OpenTraceFile(path);
    if (!file) return {std::move(backend)};
    auto traced = std::make_unique<TSerialTraceBackend>(
        std::move(backend), std::make_unique<TFileTraceEnvironment>(std::move(file)),
        "ВИРЕЛ1 Сервис " VIREL_VERSION_TEXT ": трассировка обмена начата");
    TSerialTraceBackend* trace = traced.get();
    return {std::move(traced), trace};
}

}  // namespace virel::app
