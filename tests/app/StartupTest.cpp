// The program itself: started as the operator starts it, it shows its main window with the
// about box and the progress window created hidden, and ends when the main window is closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ExpectedTexts.h"

namespace virel::app::test {
namespace {

struct TFound {
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM state) {
    auto* found = reinterpret_cast<TFound*>(state);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == found->process) found->windows.push_back(window);
    return TRUE;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

TEST(Startup, TheProgramShowsItsWindowsAndEndsWhenTheMainWindowCloses) {
    std::wstring command = L"\"" + std::wstring(L"" VIREL_PROGRAM_PATH) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const DWORD start = GetTickCount();
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info))
        << "error " << GetLastError();
    HWND face = nullptr;
    TFound found{info.dwProcessId, {}};
    while (!face && GetTickCount() - start < 30000) {
        Sleep(50);
        found.windows.clear();
        EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&found));
        for (HWND window : found.windows) {
            if (ClassOf(window) == L"TFace" && IsWindowVisible(window)) face = window;
        }
    }
    const DWORD startupTime = GetTickCount() - start;
    ASSERT_NE(face, nullptr) << "no main window within 30 s";
    std::printf("start-up to visible main window: %lu ms\n", startupTime);

    wchar_t caption[64] = L"";
    GetWindowTextW(face, caption, 64);
    EXPECT_STREQ(caption, kWantAppTitle);
    bool aboutHidden = false, progressHidden = false;
    for (HWND window : found.windows) {
        if (ClassOf(window) == L"TAboutBox") aboutHidden = !IsWindowVisible(window);
        if (ClassOf(window) == L"TFProgressBar") progressHidden = !IsWindowVisible(window);
    }
    EXPECT_TRUE(aboutHidden);
    EXPECT_TRUE(progressHidden);

    PostMessageW(face, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

}  // namespace
}  // namespace virel::app::test
