#pragma once
// The program's stored settings as the tests that restart it see them: values under a key of
// HKEY_CURRENT_USER, read as text and written as the tests need them.
#include <windows.h>

#include <cwchar>
#include <string>

namespace virel::e2e {

// A stored value as text; "<type N>" for a value of another type, "<missing>" when absent.
inline std::wstring StoredText(const std::wstring& key, const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY, &type, nullptr, &size) !=
        ERROR_SUCCESS)
        return L"<missing>";
    if (type != REG_SZ) return L"<type " + std::to_wstring(type) + L">";
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text.data(), &size);
    text.resize(std::wcslen(text.c_str()));
    return text;
}

// Writes a value of any type, creating the key.
inline void StoreValue(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                       DWORD size) {
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, type, data, size);
}

inline void StoreText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    StoreValue(key, name, REG_SZ, text.c_str(),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace virel::e2e
