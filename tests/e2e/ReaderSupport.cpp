#include "ReaderSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "core/Utf16.h"
#include "win/SystemMessage.h"

namespace virel::e2e {

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring NewFolder(const std::wstring& parent, const std::wstring& prefix) {
    CreateDirectoryW(parent.c_str(), nullptr);
    static unsigned counter = 0;
    for (;;) {
        const std::wstring folder =
            parent + L"\\" + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return folder;  // the case's copy says why
    }
}

namespace {

// The system's error of the call just failed, as one line.
std::string Failure(const std::string& call, const std::wstring& what) {
    const DWORD error = GetLastError();
    return "RunProgram: " + call + " \"" + Narrow(what) + "\" failed: error " +
           std::to_string(error) + ": " + win::SystemMessage(error);
}

}  // namespace

TProgramRun RunProgram(const std::wstring& exe, const std::wstring& arguments,
                       const std::wstring& folder, DWORD timeoutMs) {
    TProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        run.output = Failure("CreatePipe", exe);
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    // Under Wine a start fails whenever the new process ends before its own start-up is done,
    // which a loaded machine now and then brings about before any of the program's code runs:
    // such a start is made again, and said so in the case's log, not in the program's output.
    std::string failures;
    BOOL started = FALSE;
    for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
        if (attempt > 1) Sleep(250);
        started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 folder.c_str(), &startup, &info);
        if (started) break;
        const std::string why = Failure("CreateProcessW", exe + L" in " + folder);
        failures += (failures.empty() ? "" : "; ") + why;
    }
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        run.output = failures;
        return run;
    }
    if (!failures.empty()) std::fprintf(stderr, "started again after: %s\n", failures.c_str());
    const ULONGLONG start = GetTickCount64();
    // Read while it runs: a full pipe would stop the program mid-line.
    auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, std::min<DWORD>(available, sizeof buffer), &got,
                          nullptr))
                break;
            run.output.append(buffer, got);
        }
    };
    while (WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) {
        drain();
        if (GetTickCount64() - start > timeoutMs) {
            TerminateProcess(info.hProcess, 0xDEAD);
            WaitForSingleObject(info.hProcess, 5'000);
            break;
        }
    }
    drain();
    run.ms = static_cast<double>(GetTickCount64() - start);
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CloseHandle(readEnd);
    return run;
}

std::string UnixPath(const std::wstring& path) {
    std::string unix = Narrow(path.substr(2));
    std::replace(unix.begin(), unix.end(), '\\', '/');
    return unix;
}

std::vector<std::vector<std::string>> RunReader(const char* reader, const std::wstring& file) {
    const std::wstring out = file + L".read";
    DeleteFileW(out.c_str());  // an earlier run's would be taken for this one's
    std::wstring command = Widen(std::string(reader)) + L" \"" + Widen(UnixPath(file)) + L"\" \"" +
                           Widen(UnixPath(out)) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::vector<std::vector<std::string>> lines;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return lines;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    // Wine does not wait for a Linux process: the reader's output appears when it is complete.
    for (int i = 0; i < 600 && GetFileAttributesW(out.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    std::istringstream text(ReadBytes(out));
    std::string line;
    while (std::getline(text, line)) {
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == '\t') {
                fields.emplace_back();
            } else {
                fields.back() += c;
            }
        }
        lines.push_back(std::move(fields));
    }
    DeleteFileW(out.c_str());
    return lines;
}

}  // namespace virel::e2e
