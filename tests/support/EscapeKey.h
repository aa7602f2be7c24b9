#pragma once
// The Esc key pressed and released as from the keyboard: into the input queue and the
// asynchronous key state, which is one for the whole display (a case that uses it runs with
// nothing beside it). Any thread may call these.
#include <windows.h>

namespace virel::e2e {

// True when the system took the key.
inline bool SendEscape(bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_ESCAPE;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(VK_ESCAPE, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof input) == 1;
}

// Holds Esc down (as the operator's finger would) for its lifetime.
class TEscapeHeld {
public:
    TEscapeHeld() {
        SendEscape(true);
        // The key state reaches the asynchronous state through the server: wait until it shows.
        for (int i = 0; i < 100 && !(GetAsyncKeyState(VK_ESCAPE) & 0x8000); ++i) Sleep(10);
    }
    ~TEscapeHeld() {
        SendEscape(false);
        for (int i = 0; i < 100 && (GetAsyncKeyState(VK_ESCAPE) & 0x8000); ++i) Sleep(10);
    }
    TEscapeHeld(const TEscapeHeld&) = delete;
    TEscapeHeld& operator=(const TEscapeHeld&) = delete;
};

}  // namespace virel::e2e
