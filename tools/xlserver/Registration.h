#pragma once
// Registration of the server as the local server of "Excel.Application" in HKLM (the machine's
// classes: Wine does not look at per-user classes).
#include <windows.h>

#include <string>

namespace virel::xl {

// {E630E7D6-8BC2-4413-B28B-92CA3F99A93E}
inline constexpr CLSID kServerClsid = {
    0xe630e7d6, 0x8bc2, 0x4413, {0xb2, 0x8b, 0x92, 0xca, 0x3f, 0x99, 0xa9, 0x3e}};
inline constexpr const wchar_t* kServerProgId = L"Excel.Application";

// Empty on success, else what went wrong.
std::wstring RegisterServer(const std::wstring& exePath, const std::wstring& journalDir);
// Removes this server's class; the programmatic identifier only while it still names it.
std::wstring UnregisterServer();
// The journal directory given at registration (empty when none).
std::wstring RegisteredJournalDir();

}  // namespace virel::xl
