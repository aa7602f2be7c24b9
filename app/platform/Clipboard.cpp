#include "app/platform/Clipboard.h"

#include <cstring>

#include "win/Scopes.h"

namespace virel::app {

namespace {

// The bytes in movable global memory, as SetClipboardData needs them; none when out of memory.
win::TGlobalMemory GlobalCopy(const void* bytes, std::size_t size) {
    win::TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return memory;
    const win::TGlobalLock lock(memory.Get());
    if (!lock) return {};
    std::memcpy(lock.Get(), bytes, size);
    return memory;
}

// Hands `memory` to the clipboard; it owns the memory from then on.
bool Give(UINT format, win::TGlobalMemory memory) {
    if (!memory || !SetClipboardData(format, memory.Get())) return false;
    memory.Release();
    return true;
}

}  // namespace

bool PutOnClipboard(HWND owner, const std::wstring& text, const std::string& html) {
    const UINT htmlFormat = RegisterClipboardFormatW(L"HTML Format");
    // Both copies made before the clipboard is opened: it stays open for as short as can be.
    win::TGlobalMemory textMemory = GlobalCopy(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    win::TGlobalMemory htmlMemory = GlobalCopy(html.c_str(), html.size() + 1);
    if (!textMemory || !htmlMemory || htmlFormat == 0) return false;
    const win::TClipboardOpen clipboard(owner);
    if (!clipboard || !EmptyClipboard()) return false;
    if (Give(CF_UNICODETEXT, std::move(textMemory)) && Give(htmlFormat, std::move(htmlMemory)))
        return true;
    EmptyClipboard();  // half a copy would paste a different thing in different programs
    return false;
}

char UserDecimalSeparator() {
    wchar_t separator[8] = L"";
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 0 &&
        separator[0] > 0 && separator[0] < 128 && separator[1] == L'\0') {
        return static_cast<char>(separator[0]);
    }
    return ',';
}

}  // namespace virel::app
