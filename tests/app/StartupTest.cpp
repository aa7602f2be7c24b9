// The program itself: started as the operator starts it, it shows its main window with the
// about box and the progress window created hidden, and ends when the main window is closed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "ExpectedTexts.h"
#include "tests/support/RunningExe.h"

namespace virel::app::test {
namespace {

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

}  // namespace
}  // namespace virel::app::test
