#include "ReaderSupport.h"

#include <windows.h>

#include <algorithm>
#include <sstream>

#include "core/Utf16.h"

namespace virel::e2e {

namespace {

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

}  // namespace

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
