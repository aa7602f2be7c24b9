#include "win/SystemMessage.h"

#include "core/Utf16.h"

namespace virel::win {

std::optional<std::string> SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n > 0 && buffer != nullptr) text.assign(buffer, n);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    if (text.empty()) return std::nullopt;
    return Narrow(text);
}

std::string SystemMessage(DWORD code) {
    return SystemText(code).value_or("System error " + std::to_string(code));
}

}  // namespace virel::win
