#pragma once
// VIREL1_Service.exe started as the operator starts it, in its own process: its main window,
// its controls by identifier, and closing it as the close box does.
#include <windows.h>

#include <string>
#include <utility>

namespace virel::e2e {

class TRunningExe {
public:
    // program: the .exe (Wine path); arguments: its command line after the program's name.
    // Waits up to 30 s for the visible main window (less when a message box shows instead).
    explicit TRunningExe(const std::wstring& program, const std::wstring& arguments = L"") {
        std::wstring command = L"\"" + program + L"\"";
        if (!arguments.empty()) command += L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &info_);
        if (!started_) return;
        // Until the main window shows, or a message box stops the start.
        for (int i = 0; i < 600 && !face_ && !Box(); ++i) {
            Sleep(50);
            EnumWindows(FindFace, reinterpret_cast<LPARAM>(this));
        }
    }
    ~TRunningExe() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    TRunningExe(const TRunningExe&) = delete;
    TRunningExe& operator=(const TRunningExe&) = delete;

    HWND Face() const { return face_; }
    // A visible message box of the program (null when there is none).
    HWND Box() const {
        std::pair<DWORD, HWND> search{info_.dwProcessId, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        return search.second;
    }
    HWND Control(int id) const {
        std::pair<int, HWND> search{id, nullptr};
        EnumChildWindows(face_, FindControl, reinterpret_cast<LPARAM>(&search));
        return search.second;
    }
    // Asks the program to close as the close box does; true when it ended within 20 s.
    bool Close() {
        PostMessageW(face_, WM_CLOSE, 0, 0);
        return WaitForSingleObject(info_.hProcess, 20000) == WAIT_OBJECT_0;
    }

private:
    static BOOL CALLBACK FindFace(HWND window, LPARAM self) {
        auto* exe = reinterpret_cast<TRunningExe*>(self);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        wchar_t name[32] = L"";
        GetClassNameW(window, name, 32);
        if (pid == exe->info_.dwProcessId && std::wstring(name) == L"TFace" &&
            IsWindowVisible(window)) {
            exe->face_ = window;
            return FALSE;
        }
        return TRUE;
    }
    static BOOL CALLBACK FindBox(HWND window, LPARAM search) {
        auto* s = reinterpret_cast<std::pair<DWORD, HWND>*>(search);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        wchar_t name[32] = L"";
        GetClassNameW(window, name, 32);
        if (pid != s->first || std::wstring(name) != L"#32770" || !IsWindowVisible(window))
            return TRUE;
        s->second = window;
        return FALSE;
    }
    static BOOL CALLBACK FindControl(HWND window, LPARAM search) {
        auto* s = reinterpret_cast<std::pair<int, HWND>*>(search);
        if (GetDlgCtrlID(window) != s->first) return TRUE;
        s->second = window;
        return FALSE;
    }

    bool started_ = false;
    PROCESS_INFORMATION info_{};
    HWND face_ = nullptr;
};

}  // namespace virel::e2e
