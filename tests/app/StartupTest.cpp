// The program itself: started as the operator starts it, it shows its main window with the
// about box and the progress window created hidden, and ends when the main window is closed.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <cstdio>
#include <set>
#include <string>

#include "ExpectedTexts.h"
#include "app/windows/Face.h"
#include "tests/support/RunningExe.h"
#include "win/Scopes.h"

namespace virel::app::test {
namespace {

// The libraries loaded in the process, by file name in lower case (none when the list could
// not be read).
std::set<std::wstring> LoadedLibraries(DWORD process) {
    std::set<std::wstring> names;
    // A snapshot taken while the process loads a library can fail: then once more.
    for (int attempt = 0; attempt < 10 && names.empty(); ++attempt) {
        const win::THandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process));
        if (!snapshot) {
            Sleep(50);
            continue;
        }
        MODULEENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Module32FirstW(snapshot.Get(), &entry); more;
             more = Module32NextW(snapshot.Get(), &entry)) {
            std::wstring name = entry.szModule;
            CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
            names.insert(name);
        }
    }
    return names;
}

// Waits until the process's window is the active window and the process idle in its message
// loop. The system loads some libraries into a program with a window when the window is first
// activated (Wine's input method brings COM then), which may come just before the window shows
// or some time after: libraries read at the instant the window shows would compare two programs
// at different points of their start.
bool Settled(HANDLE process, HWND window) {
    for (int i = 0; i < 600 && GetForegroundWindow() != window; ++i) Sleep(50);
    return GetForegroundWindow() == window && WaitForInputIdle(process, 30000) == 0;
}

// The libraries the system loads into any program with a window: those of the start-up
// benchmark's bare window (BareWindow.exe), read once its window shows and is active.
std::set<std::wstring> LibrariesOfABareWindow() {
    std::wstring command = L"\"" VIREL_BARE_PATH L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return {};
    }
    const win::THandle process(info.hProcess), thread(info.hThread);
    HWND window = nullptr;
    for (int i = 0; i < 600 && !window; ++i) {
        Sleep(50);
        while ((window = FindWindowExW(nullptr, window, L"VirelBareWindow", nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == info.dwProcessId && IsWindowVisible(window)) break;
        }
    }
    std::set<std::wstring> names;
    if (window && Settled(process.Get(), window)) {
        names = LoadedLibraries(info.dwProcessId);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.Get(), 1);
    return names;
}

TEST(Startup, TheProgramShowsItsWindowsAndEndsWhenTheMainWindowCloses) {
    const DWORD start = GetTickCount();
    e2e::TRunningExe program(L"" VIREL_PROGRAM_PATH);
    const DWORD startupTime = GetTickCount() - start;
    ASSERT_NE(program.Face(), nullptr) << "no main window within 30 s";
    std::printf("start-up to visible main window: %lu ms\n", startupTime);

    EXPECT_EQ(e2e::WindowText(program.Face()), kWantAppTitle);
    for (const wchar_t* hidden : {L"TAboutBox", L"TFProgressBar"}) {
        const HWND window = program.TopWindow(hidden);
        ASSERT_NE(window, nullptr) << hidden;
        EXPECT_FALSE(IsWindowVisible(window)) << hidden;
    }

    ASSERT_TRUE(program.Close());
    EXPECT_TRUE(program.Boxes().empty());
    DWORD exitCode = 1;
    GetExitCodeProcess(program.Process(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

// COM, the automation's library, the save dialog's and the shell's are left for the actions
// that need them: none is loaded once the window has shown and its start is over (unless the
// system loads it into every program with a window, as Wine does COM's), and they come when the
// save dialog first opens.
TEST(Startup, TheSaveDialogAndTheAutomationLibrariesLoadWhenFirstUsed) {
    const std::set<std::wstring> anyWindow = LibrariesOfABareWindow();
    ASSERT_EQ(anyWindow.count(L"user32.dll"), 1u) << "the bare window's libraries were not read";
    e2e::TRunningExe program(L"" VIREL_PROGRAM_PATH);
    ASSERT_NE(program.Face(), nullptr) << "no main window within 30 s";
    ASSERT_TRUE(Settled(program.Process(), program.Face())) << "the main window is not active";
    const std::set<std::wstring> atStart = LoadedLibraries(program.ProcessId());
    ASSERT_EQ(atStart.count(L"user32.dll"), 1u) << "the program's libraries were not read";
    for (const wchar_t* library : {L"ole32.dll", L"oleaut32.dll", L"comdlg32.dll", L"shell32.dll",
                                   L"odbc32.dll", L"crypt32.dll"}) {
        if (anyWindow.count(library) != 0) {
            std::printf("%ls: loaded into any program with a window here\n", library);
            continue;
        }
        EXPECT_EQ(atStart.count(library), 0u) << library << " loaded at start";
    }

    PostMessageW(program.Face(), WM_COMMAND, kActSaveToFile, 0);
    HWND dialog = nullptr;
    for (int i = 0; i < 400 && !dialog; ++i) {
        Sleep(50);
        dialog = program.Box();
    }
    ASSERT_NE(dialog, nullptr) << "no save dialog within 20 s";
    const std::set<std::wstring> withDialog = LoadedLibraries(program.ProcessId());
    for (const wchar_t* library : {L"ole32.dll", L"comdlg32.dll", L"shell32.dll"})
        EXPECT_EQ(withDialog.count(library), 1u) << library << " not loaded for the dialog";

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 200 && IsWindow(dialog); ++i) Sleep(50);
    EXPECT_FALSE(IsWindow(dialog));
    ASSERT_TRUE(program.Close());
    EXPECT_TRUE(program.Boxes().empty()) << "cancelling the dialog ends the export quietly";
    DWORD exitCode = 1;
    GetExitCodeProcess(program.Process(), &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace virel::app::test
