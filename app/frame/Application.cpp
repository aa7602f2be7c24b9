#include "app/frame/Application.h"

#include <algorithm>
#include <cwchar>
#include <utility>

#include "app/frame/FrameTexts.h"
#include "core/Errors.h"
#include "core/Utf16.h"

namespace virel::app {

TApplication::TApplication()
    : messageBox_(
          [](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
              return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
          }) {}

void TApplication::SetMainWindow(HWND window, HACCEL shortcuts) {
    mainWindow_ = window;
    shortcuts_ = shortcuts;
}

void TApplication::AddDialogWindow(HWND window) {
    if (std::find(dialogWindows_.begin(), dialogWindows_.end(), window) == dialogWindows_.end())
        dialogWindows_.push_back(window);
}

void TApplication::RemoveDialogWindow(HWND window) {
    std::erase(dialogWindows_, window);
}

void TApplication::Run() {
    while (!terminated_) {
        if (!HandleNextMessage()) break;
    }
}

void TApplication::ProcessMessages() {
    struct TPass {
        int& depth;
        explicit TPass(int& d) : depth(d) { ++depth; }
        ~TPass() { --depth; }
    };
    {
        TPass pass(passDepth_);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Keep going: the close takes effect when the running operation has returned
                // to the main loop.
                terminated_ = true;
                continue;
            }
            HandleMessage(message);
        }
    }
    if (pendingCancel_) std::rethrow_exception(std::exchange(pendingCancel_, nullptr));
}

bool TApplication::HandleNextMessage() {
    MSG message;
    const BOOL result = GetMessageW(&message, nullptr, 0, 0);
    if (result == 0 || result == -1) {
        terminated_ = true;
        return false;
    }
    HandleMessage(message);
    return true;
}

void TApplication::HandleMessage(MSG& message) {
    if (TranslateShortcut(message)) return;
    if (TranslateDialogKey(message)) return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

bool TApplication::TranslateShortcut(MSG& message) {
    if (!mainWindow_ || !shortcuts_) return false;
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
    if (!IsWindowEnabled(mainWindow_)) return false;
    return TranslateAcceleratorW(mainWindow_, shortcuts_, &message) != 0;
}

namespace {

// Who underlines `letter` (upper case) among the window's controls: enabled ones, disabled ones.
struct TMnemonicOwners {
    wchar_t letter = 0;
    int enabled = 0;
    int disabled = 0;
};

// The letter a caption underlines, in upper case (0: none).
wchar_t UnderlinedLetter(const wchar_t* text) {
    for (const wchar_t* at = text; (at = wcschr(at, L'&')) != nullptr; at += 2) {
        if (at[1] == L'&') continue;  // "&&" is an ampersand shown
        if (at[1] == 0) break;
        wchar_t shown = at[1];
        CharUpperBuffW(&shown, 1);
        return shown;
    }
    return 0;
}

BOOL CALLBACK CountMnemonicOwner(HWND control, LPARAM search) {
    auto* owners = reinterpret_cast<TMnemonicOwners*>(search);
    wchar_t text[128] = L"";
    GetWindowTextW(control, text, 128);
    if (UnderlinedLetter(text) == owners->letter)
        ++(IsWindowEnabled(control) ? owners->enabled : owners->disabled);
    return TRUE;
}

// The letter is taken by a control that is switched off, and by nothing else: neither by an
// enabled control nor by an entry of the window's menu bar.
bool OnlyDisabledControlsUnderline(HWND window, wchar_t letter) {
    TMnemonicOwners owners;
    owners.letter = letter;
    EnumChildWindows(window, CountMnemonicOwner, reinterpret_cast<LPARAM>(&owners));
    if (const HMENU bar = GetMenu(window)) {
        for (int i = 0; i < GetMenuItemCount(bar); ++i) {
            wchar_t text[128] = L"";
            GetMenuStringW(bar, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            if (UnderlinedLetter(text) == letter) ++owners.enabled;
        }
    }
    return owners.disabled > 0 && owners.enabled == 0;
}

}  // namespace

bool TApplication::TranslateDialogKey(MSG& message) {
    if (!message.hwnd) return false;
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (std::find(dialogWindows_.begin(), dialogWindows_.end(), root) == dialogWindows_.end())
        return false;
    if (message.message == WM_SYSCHAR) {
        // Alt+letter finds the control whose caption underlines that letter. Some systems
        // match a lower-case Cyrillic letter against the upper-case caption letter only in
        // upper case; the match ignores case anyway, so hand it over in upper case.
        message.wParam = reinterpret_cast<WPARAM>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(LOWORD(message.wParam)))));
        // The letter of a control switched off (the meter's buttons while the file export
        // reads) does nothing. Handed on, it would put the menu bar in its keyboard mode, whose
        // loop holds up whatever runs (the export) until the next click or key; Wine's stays
        // even after the letter's key-up.
        if (OnlyDisabledControlsUnderline(root, static_cast<wchar_t>(LOWORD(message.wParam))))
            return true;
    }
    return IsDialogMessageW(root, &message) != 0;
}

void TApplication::Terminate() {
    PostQuitMessage(0);
}

void TApplication::Cancel(std::exception_ptr error) {
    if (passDepth_ == 0) std::rethrow_exception(error);
    if (!pendingCancel_) pendingCancel_ = std::move(error);
}

void TApplication::HandleException() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        ShowErrorText(e.what());
    } catch (...) {
        ShowErrorText(Narrow(kUnknownError));
    }
}

void TApplication::ShowErrorText(const std::string& utf8Message) noexcept {
    try {
        ShowMessageBox(Widen(ErrorReportText(utf8Message)), MB_OK | MB_ICONSTOP);
    } catch (...) {
        // Out of memory while reporting: nothing sensible is left to show.
    }
}

void TApplication::SetMessageBoxFunction(TMessageBoxFunction function) {
    messageBox_ = std::move(function);
}

namespace {

// Tick count at which the innermost box of this thread opened.
thread_local DWORD g_boxOpenedAt = 0;

bool IsEscape(const MSG& message) {
    return ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
            message.wParam == VK_ESCAPE) ||
           (message.message == WM_CHAR && message.wParam == VK_ESCAPE);  // the key's character
}

// Sees every message of a box's modal loop before the box does. An Esc pressed before the box
// opened (the press that cancelled an exchange waits in the queue while the program is busy)
// or held since then (auto-repeat) is no answer to the box, which would vanish unread.
LRESULT CALLBACK FilterStaleEscape(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        const bool pressedBefore = static_cast<LONG>(message->time - g_boxOpenedAt) < 0;
        const bool repeated = (HIWORD(message->lParam) & KF_REPEAT) != 0;
        if (IsEscape(*message) && (pressedBefore || repeated)) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class TStaleEscapeFilter {
public:
    TStaleEscapeFilter()
        : previousOpenedAt_(g_boxOpenedAt),
          hook_(SetWindowsHookExW(WH_MSGFILTER, FilterStaleEscape, nullptr, GetCurrentThreadId())) {
        g_boxOpenedAt = GetTickCount();
    }
    ~TStaleEscapeFilter() {
        if (hook_) UnhookWindowsHookEx(hook_);
        g_boxOpenedAt = previousOpenedAt_;
    }
    TStaleEscapeFilter(const TStaleEscapeFilter&) = delete;
    TStaleEscapeFilter& operator=(const TStaleEscapeFilter&) = delete;

private:
    DWORD previousOpenedAt_;
    HHOOK hook_;
};

}  // namespace

int TApplication::ShowMessageBox(const std::wstring& text, UINT flags) {
    // The box belongs to the window the operator is working in (the about box while it is
    // open); every other window of the program is disabled meanwhile, as under any modal box.
    HWND owner = GetActiveWindow();
    if (!owner || !IsWindowEnabled(owner)) owner = mainWindow_;
    if (owner && !IsWindowEnabled(owner)) owner = nullptr;
    TTaskWindowsDisabled disabled(owner);
    const TStaleEscapeFilter staleEscape;
    return messageBox_(owner, text, title_, flags);
}

namespace {

struct TEnumState {
    HWND except;
    std::vector<HWND>* windows;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM state) {
    auto* s = reinterpret_cast<TEnumState*>(state);
    if (window != s->except && IsWindowVisible(window) && IsWindowEnabled(window)) {
        s->windows->push_back(window);
    }
    return TRUE;
}

}  // namespace

TTaskWindowsDisabled::TTaskWindowsDisabled(HWND except) {
    TEnumState state{except, &disabled_};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&state));
    for (HWND window : disabled_) EnableWindow(window, FALSE);
}

TTaskWindowsDisabled::~TTaskWindowsDisabled() {
    for (HWND window : disabled_) {
        if (IsWindow(window)) EnableWindow(window, TRUE);
    }
}

}  // namespace virel::app
