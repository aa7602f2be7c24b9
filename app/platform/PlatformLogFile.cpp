#include "app/platform/PlatformLogFile.h"

#include <windows.h>
// after windows.h
#include <shlobj.h>

#include <string>

#include "core/meter/DeviceTexts.h"
#include "core/Errors.h"
#include "core/Utf16.h"
#include "win/Scopes.h"
#include "win/SystemMessage.h"

namespace virel::app {

namespace {

HANDLE OpenForAppending(const std::wstring& path, DWORD disposition) {
    return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

AppendResult TPlatformLogFileSystem::Append(const std::string& path, const std::string& bytes) {
    const std::wstring widePath = Widen(path);
    AppendResult result = AppendResult::Appended;
    HANDLE handle = OpenForAppending(widePath, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
        // Only a missing file is created; one that exists but will not open (locked,
        // read-only) is left exactly as it is.
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return AppendResult::NotWritten;
        handle = OpenForAppending(widePath, CREATE_NEW);
        if (handle == INVALID_HANDLE_VALUE) return AppendResult::NotWritten;
        result = AppendResult::Created;
    }
    win::THandle file(handle);
    // One write: the lines land whole or, on failure, are reported and kept by the caller.
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        throw Exception(win::SystemMessage(GetLastError()));
    }
    if (written != bytes.size()) throw Exception(win::SystemMessage(ERROR_WRITE_FAULT));
    if (!FlushFileBuffers(file.Get())) throw Exception(win::SystemMessage(GetLastError()));
    if (!file.Close()) throw Exception(win::SystemMessage(GetLastError()));
    return result;
}

std::string TPlatformLogFileSystem::Tail(const std::string& path, std::size_t count) {
    const HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    win::THandle file(handle);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0) return {};
    const auto want =
        static_cast<LONGLONG>(count) < size.QuadPart ? static_cast<LONGLONG>(count) : size.QuadPart;
    LARGE_INTEGER at{};
    at.QuadPart = size.QuadPart - want;
    if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) return {};
    std::string bytes(static_cast<std::size_t>(want), '\0');
    DWORD got = 0;
    if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        return {};
    }
    bytes.resize(got);
    return bytes;
}

std::string UserLogFilePath() {
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, folder))) {
        return {};
    }
    // A folder of the program's own, as every program keeps there.
    const std::wstring own = std::wstring(folder) + L"\\VIREL1_Service";
    if (!CreateDirectoryW(own.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return {};
    }
    return Narrow(own + L"\\" + Widen(texts::kLogFileName));
}

}  // namespace virel::app
