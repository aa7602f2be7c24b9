// Drives the running VIREL1_Service.exe for the guide's screenshots (scripts/guide-shots.sh):
// presses its buttons and menu entries as window messages and reports where its windows are,
// so that the script can cut them out of the virtual screen.
//
//   guide_shot_driver wait <title>            waits (30 s) for a visible window with that title
//   guide_shot_driver rect <title>            prints "<width>x<height>+<left>+<top>"
//   guide_shot_driver select <control> <item> selects a list item of a main window's combo box
//   guide_shot_driver click <control>         presses a main window's button, runs it to its end
//   guide_shot_driver command <id>            posts a menu or action command to the main window
//   guide_shot_driver char <title> <code>     posts a typed character to the window
//   guide_shot_driver close <title>           asks the window to close
// Exit code 0 on success, 1 when the window is not there.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HWND FindVisible(const std::wstring& title) {
    struct TSearch {
        const std::wstring* title;
        HWND found;
    } search{&title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM state) -> BOOL {
            auto* s = reinterpret_cast<TSearch*>(state);
            wchar_t text[256] = L"";
            GetWindowTextW(window, text, 256);
            if (IsWindowVisible(window) && *s->title == text) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND MainWindow() {
    return FindVisible(L"ВИРЕЛ1 Сервис");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring verb = argv[1];
    if (verb == L"wait") {
        for (int i = 0; i < 600; ++i) {
            if (FindVisible(argv[2])) return 0;
            Sleep(50);
        }
        return 1;
    }
    if (verb == L"rect") {
        HWND window = FindVisible(argv[2]);
        RECT r{};
        if (!window || !GetWindowRect(window, &r)) return 1;
        std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
        return 0;
    }
    if (verb == L"char" || verb == L"close") {
        HWND window = FindVisible(argv[2]);
        if (!window) return 1;
        if (verb == L"close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
        if (argc < 4) return 2;
        return PostMessageW(window, WM_CHAR, static_cast<WPARAM>(_wtoi(argv[3])), 0) ? 0 : 1;
    }
    HWND face = MainWindow();
    if (!face) return 1;
    if (verb == L"command") {
        return PostMessageW(face, WM_COMMAND, MAKEWPARAM(_wtoi(argv[2]), 0), 0) ? 0 : 1;
    }
    HWND control = GetDlgItem(face, _wtoi(argv[2]));
    if (!control) {
        // The controls sit in group boxes: search the whole tree.
        struct TSearch {
            int id;
            HWND found;
        } search{_wtoi(argv[2]), nullptr};
        EnumChildWindows(
            face,
            [](HWND window, LPARAM state) -> BOOL {
                auto* s = reinterpret_cast<TSearch*>(state);
                if (GetDlgCtrlID(window) != s->id) return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        control = search.found;
    }
    if (!control) return 1;
    DWORD_PTR result = 0;
    if (verb == L"select" && argc >= 4) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(_wtoi(argv[3])), 0);
        return 0;
    }
    if (verb == L"click") {
        return SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_NORMAL, 30000, &result) ? 0 : 1;
    }
    return 2;
}
