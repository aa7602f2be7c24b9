#include "app/platform/StarterConsole.h"

#include <windows.h>

#include "core/Utf16.h"
#include "win/Scopes.h"

namespace virel::app {

namespace {

// The parent's console, attached for the life of this object (nothing when it has none).
class TAttachedConsole {
public:
    TAttachedConsole() : attached_(AttachConsole(ATTACH_PARENT_PROCESS) != FALSE) {}
    ~TAttachedConsole() {
        if (attached_) FreeConsole();
    }
    TAttachedConsole(const TAttachedConsole&) = delete;
    TAttachedConsole& operator=(const TAttachedConsole&) = delete;
    bool Attached() const { return attached_; }

private:
    bool attached_;
};

std::string InCodePage(const std::wstring& text, UINT codePage) {
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

}  // namespace

void WriteLineToStarter(const std::string& line) {
    const std::wstring text = Widen(line) + L"\r\n";
    const TAttachedConsole console;
    // Redirected ("> file", a pipe): the handle came with the start; a console's own handle is
    // written below, in wide characters.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE) {
        const DWORD type = GetFileType(out);
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
            const UINT codePage = console.Attached() ? GetConsoleOutputCP() : GetOEMCP();
            const std::string bytes = InCodePage(text, codePage);
            DWORD written = 0;
            WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            return;
        }
    }
    if (!console.Attached()) return;
    const win::THandle screen(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!screen) return;
    DWORD written = 0;
    WriteConsoleW(screen.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace virel::app
