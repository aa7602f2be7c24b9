#include "app/platform/StarterConsole.h"

#include <windows.h>

#include "core/Utf16.h"
#include "win/Scopes.h"

namespace virel::app {

namespace {

// The parent's console, attached for the life of this object (nothing when it has none; a
// console this process already has counts as attached and stays).
class TAttachedConsole {
public:
    TAttachedConsole()
        : attached_(AttachConsole(ATTACH_PARENT_PROCESS) != FALSE),
          had_(!attached_ && GetLastError() == ERROR_ACCESS_DENIED) {}
    ~TAttachedConsole() {
        if (attached_) FreeConsole();
    }
    TAttachedConsole(const TAttachedConsole&) = delete;
    TAttachedConsole& operator=(const TAttachedConsole&) = delete;
    bool Available() const { return attached_ || had_; }

private:
    bool attached_;
    bool had_;
};

}  // namespace

void WriteLineToStarter(const std::string& line, bool failure) {
    // Redirected ("> file", a pipe, NUL): the handle came with the start and is no console.
    const HANDLE out = GetStdHandle(failure ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0, written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE && !GetConsoleMode(out, &mode)) {
        const std::string bytes = line + "\r\n";
        if (WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return;
    }
    const TAttachedConsole console;
    if (!console.Available()) return;
    const win::THandle screen(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!screen) return;
    // The command prompt did not wait for a window program and shows its prompt already: the
    // line starts on a line of its own.
    const std::wstring text = L"\r\n" + Widen(line) + L"\r\n";
    WriteConsoleW(screen.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace virel::app
