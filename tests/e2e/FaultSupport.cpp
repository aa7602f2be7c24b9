#include "FaultSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "E2eSupport.h"
#include "core/Utf16.h"

namespace virel::e2e {

std::wstring ZPath(const std::string& unixPath) {
    std::wstring path = L"Z:" + virel::Widen(unixPath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

bool RunUnix(const std::string& command, bool wait, DWORD timeoutMs) {
    // Wine gives no usable handle for a Unix process: its end is seen through a marker file.
    static int serial = 0;
    const std::string marker = std::string(VIREL_FAULT_BUILD_DIR) + "/e2e-work/unix-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++serial);
    const std::wstring markerWin = ZPath(marker);
    CreateDirectoryW(ZPath(std::string(VIREL_FAULT_BUILD_DIR) + "/e2e-work").c_str(), nullptr);
    DeleteFileW(markerWin.c_str());
    std::wstring line = L"Z:\\bin\\sh -c \"" + virel::Widen(command);
    if (wait) {
        line += L"; echo $? >" + virel::Widen(marker) + L".tmp; mv " + virel::Widen(marker) +
                L".tmp " + virel::Widen(marker);
    }
    line += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    if (!wait) return true;
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        HANDLE file = CreateFileW(markerWin.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char status[8] = {};
            DWORD got = 0;
            ReadFile(file, status, sizeof status - 1, &got, nullptr);
            CloseHandle(file);
            DeleteFileW(markerWin.c_str());
            return status[0] == '0';
        }
        Sleep(20);
    }
    return false;
}

namespace {

// The meter's log stamps each event with the Unix time in milliseconds.
std::int64_t EpochMs() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000 - 11644473600000LL;
}

}  // namespace

void WaitForQuietMeter(TRunningProgram& program) {
    for (int i = 0; i < 300; ++i) {
        const std::string log = ReadFileBytes(Widen(VIREL_E2E_METER_LOG));
        if (log.size() < 2) return;
        const std::size_t lineStart = log.rfind('\n', log.size() - 2);
        const std::int64_t last =
            std::atoll(log.c_str() + (lineStart == std::string::npos ? 0 : lineStart + 1));
        if (EpochMs() - last > 1200) return;
        program.PumpFor(100);
    }
}

void TickUntilPrinted(TRunningProgram& program) {
    program.Face().SetStatusText("");
    for (int tick = 0; tick < 10 && program.Status().empty(); ++tick) {
        PostMessageW(program.Face().Handle(), WM_TIMER, 1, 0);
        program.Pump();
    }
}

std::size_t LineCount(const std::string& bytes) {
    std::size_t n = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos;
         at = bytes.find("\r\n", at + 2))
        ++n;
    return n;
}

std::string MeterStopCommand(int port) {
    return std::string(VIREL_FAULT_SIM_SCRIPT) + " stop " + VIREL_FAULT_BUILD_DIR + " " +
           std::to_string(port);
}

std::string MeterStartCommand(int port) {
    return std::string(VIREL_FAULT_SIM_SCRIPT) + " start " + VIREL_FAULT_BUILD_DIR + " " +
           std::to_string(port) + " --device 42 >/dev/null";
}

}  // namespace virel::e2e
