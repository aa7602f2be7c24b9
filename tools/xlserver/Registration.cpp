#include "tools/xlserver/Registration.h"

#include <objbase.h>

#include <utility>

#include "win/Scopes.h"

namespace virel::xl {

namespace {

constexpr const wchar_t* kClassesRoot = L"Software\\Classes\\";

std::wstring ClsidText() {
    wchar_t text[64] = {};
    StringFromGUID2(kServerClsid, text, 64);
    return text;
}

std::wstring ErrorText(const std::wstring& what, LONG code) {
    return what + L": error " + std::to_wstring(code);
}

// Creates `path` under HKLM and sets its value `name` (default value when empty).
std::wstring SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& data) {
    win::TRegKey key;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              key.Receive(), nullptr);
    if (rc != ERROR_SUCCESS) return ErrorText(L"create " + path, rc);
    rc = RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) return ErrorText(L"write " + path, rc);
    return {};
}

std::wstring GetValue(const std::wstring& path, const wchar_t* name) {
    wchar_t data[2048] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return {};
    return data;
}

std::wstring DeleteTree(const std::wstring& path) {
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return ErrorText(L"delete " + path, rc);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    return {};
}

}  // namespace

std::wstring RegisterServer(const std::wstring& exePath, const std::wstring& journalDir) {
    const std::wstring clsid = ClsidText();
    const std::wstring progId = std::wstring(kClassesRoot) + kServerProgId;
    const std::wstring classKey = std::wstring(kClassesRoot) + L"CLSID\\" + clsid;
    const std::pair<std::wstring, std::wstring> values[] = {
        {progId, L"Spreadsheet server for tests (VirelSheetServer)"},
        {progId + L"\\CLSID", clsid},
        {classKey, L"VirelSheetServer"},
        {classKey + L"\\ProgID", kServerProgId},
        {classKey + L"\\LocalServer32", L"\"" + exePath + L"\""},
    };
    for (const auto& [path, data] : values)
        if (auto error = SetValue(path, nullptr, data); !error.empty()) return error;
    if (journalDir.empty()) {
        win::TRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, classKey.c_str(), 0, KEY_WRITE, key.Receive()) ==
            ERROR_SUCCESS)
            RegDeleteValueW(key.Get(), L"JournalDir");
        return {};
    }
    return SetValue(classKey, L"JournalDir", journalDir);
}

std::wstring UnregisterServer() {
    const std::wstring clsid = ClsidText();
    const std::wstring progId = std::wstring(kClassesRoot) + kServerProgId;
    // Another program's registration under the same name stays untouched.
    if (_wcsicmp(GetValue(progId + L"\\CLSID", nullptr).c_str(), clsid.c_str()) == 0)
        if (auto error = DeleteTree(progId); !error.empty()) return error;
    return DeleteTree(std::wstring(kClassesRoot) + L"CLSID\\" + clsid);
}

std::wstring RegisteredJournalDir() {
    return GetValue(std::wstring(kClassesRoot) + L"CLSID\\" + ClsidText(), L"JournalDir");
}

}  // namespace virel::xl
