#pragma once
// VIREL1_Service.exe (or a copy of it) started as the operator starts it, in its own process:
// its main window, its other top-level windows, its controls by identifier, the message boxes it
// shows, and closing it as the close box does. Used by the window tests' start-up case and by
// the end-to-end tests that run the program.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace virel::e2e {

// Control identifiers of the main window (the program's own numbering).
constexpr int kIdComPort = 1002;
constexpr int kIdSpeed = 1003;
constexpr int kIdReadToFile = 1005;
constexpr int kIdAutoTime = 1006;
constexpr int kIdPrintOnDevice = 1014;

// A window's text (WM_GETTEXT, which also reaches another process's windows).
inline std::wstring WindowText(HWND window) {
    wchar_t text[512] = L"";
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

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
            face_ = Find(L"TFace", true);
        }
    }
    ~TRunningExe() {
        if (!started_) return;
        if (Running()) TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    TRunningExe(const TRunningExe&) = delete;
    TRunningExe& operator=(const TRunningExe&) = delete;

    HWND Face() const { return face_; }
    // A visible message box of the program (null when there is none).
    HWND Box() const { return Find(L"#32770", true); }
    // Notes the text of the program's message box (its static control, identifier 0xFFFF)
    // and closes it with OK; false when none is open.
    bool CloseBox() {
        const HWND box = Box();
        if (!box) return false;
        boxes_.push_back(WindowText(GetDlgItem(box, 0xFFFF)));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
        return true;
    }
    // Closes every message box on the way until the main window shows (up to 30 s).
    HWND WaitForFace() {
        for (int i = 0; i < 600 && !face_ && Running(); ++i) {
            if (!CloseBox()) Sleep(50);
            face_ = Find(L"TFace", true);
        }
        return face_;
    }
    // The texts of the boxes closed so far.
    const std::vector<std::wstring>& Boxes() const { return boxes_; }
    HANDLE Process() const { return info_.hProcess; }
    DWORD ProcessId() const { return info_.dwProcessId; }
    bool Running() const {
        return started_ && WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0;
    }
    // The program's top-level window of the given class, shown or hidden (null when none).
    HWND TopWindow(const std::wstring& className) const { return Find(className, false); }
    HWND Control(int id) const {
        std::pair<int, HWND> search{id, nullptr};
        EnumChildWindows(face_, FindControl, reinterpret_cast<LPARAM>(&search));
        return search.second;
    }
    // Asks the program to close as the close box does; true when it ended within the time.
    // Message boxes on the way out are noted and closed (Boxes()).
    bool Close(DWORD timeoutMs = 20000) {
        PostMessageW(face_, WM_CLOSE, 0, 0);
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        while (WaitForSingleObject(info_.hProcess, 50) != WAIT_OBJECT_0) {
            if (GetTickCount64() > end) return false;
            CloseBox();
        }
        return true;
    }

private:
    struct TClassSearch {
        DWORD process;
        std::wstring className;
        bool visibleOnly;
        HWND found;
    };
    // The program's first top-level window of the class (only a visible one if asked).
    HWND Find(const std::wstring& className, bool visibleOnly) const {
        TClassSearch search{info_.dwProcessId, className, visibleOnly, nullptr};
        EnumWindows(FindClass, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    static BOOL CALLBACK FindClass(HWND window, LPARAM search) {
        auto* s = reinterpret_cast<TClassSearch*>(search);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        if (pid != s->process || s->className != name) return TRUE;
        if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
        s->found = window;
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
    std::vector<std::wstring> boxes_;
};

}  // namespace virel::e2e
