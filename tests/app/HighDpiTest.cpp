// The program on a system set to 144 dpi (150 %); this test runs in a Wine prefix of its own
// that is. The windows are made at 144 from the start, and the real program stores 144 as the
// pixels per inch of its position and restores a position only when stored under the same.
#include <gtest/gtest.h>

#include <string>

#include "DpiExpectations.h"
#include "WindowTestSupport.h"
#include "tests/support/RunningExe.h"
#include "tests/support/StoredSettings.h"
#include "win/Dpi.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif

namespace virel::app::test {
namespace {

using e2e::StoredText;
using e2e::StoreText;
using e2e::TRunningExe;

const std::wstring kProgram = L"" VIREL_PROGRAM_PATH;
const wchar_t kKey[] = L"Software\\VIREL1_Service\\TFace";

TEST(HighDpi, TheSystemIsSetTo144) {
    ASSERT_EQ(win::SystemDpi(), 144) << "the prefix's LogPixels";
}

TEST(HighDpi, TheWindowsAreMadeAt144) {
    TTestProgram program;
    ExpectMainWindowAt144(*program.face);
    ExpectAboutBoxAt144(*program.aboutBox);
    ExpectProgressWindowAt144(*program.progressBar);
}

SIZE ClientOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

POINT TopLeftOf(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return {bounds.left, bounds.top};
}

TEST(HighDpiProgram, StoresThePixelsPerInchAndRestoresThePositionOnlyUnderTheSame) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VIREL1_Service");
    {
        TRunningExe first(kProgram);
        ASSERT_NE(first.Face(), nullptr) << "no main window";
        EXPECT_EQ(ClientOf(first.Face()).cx, 576);
        EXPECT_EQ(ClientOf(first.Face()).cy, 632);
        SetWindowPos(first.Face(), nullptr, 150, 120, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(first.Close());
    }
    EXPECT_EQ(StoredText(kKey, L"PixelsPerInch"), L"144");
    EXPECT_EQ(StoredText(kKey, L"NormPos").substr(0, 8), L"150,120,");
    {
        TRunningExe second(kProgram);
        ASSERT_NE(second.Face(), nullptr) << "no main window";
        EXPECT_EQ(TopLeftOf(second.Face()).x, 150);
        EXPECT_EQ(TopLeftOf(second.Face()).y, 120);
        EXPECT_EQ(ClientOf(second.Face()).cx, 576) << "the size is the window's own";
        EXPECT_EQ(ClientOf(second.Face()).cy, 632);
        ASSERT_TRUE(second.Close());
    }
    // Saved at 96 (before the program knew the monitor's dpi): the position is not restored,
    // the other values are.
    StoreText(kKey, L"PixelsPerInch", L"96");
    StoreText(kKey, L"CB_ComPort_Text", L"COM3");
    TRunningExe third(kProgram);
    ASSERT_NE(third.Face(), nullptr) << "no main window";
    const POINT at = TopLeftOf(third.Face());
    EXPECT_FALSE(at.x == 150 && at.y == 120) << "restored at " << at.x << "," << at.y;
    EXPECT_EQ(e2e::WindowText(third.Control(e2e::kIdComPort)), L"COM3");
    EXPECT_TRUE(third.Close());
    EXPECT_EQ(StoredText(kKey, L"PixelsPerInch"), L"144");
}

}  // namespace
}  // namespace virel::app::test
