// The real VIREL1_Service.exe keeps its window position and four settings across a restart:
// the operator moves the window, changes port, speed, interval and print-on-device, closes the
// program, starts it again, and finds everything as it was.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RunningExe.h"
#include "tests/support/StoredSettings.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif

namespace {

const std::wstring kProgram = L"" VIREL_PROGRAM_PATH;

using namespace virel::e2e;

const wchar_t kKey[] = L"Software\\VIREL1_Service\\TFace";

std::wstring Stored(const wchar_t* name) {
    return StoredText(kKey, name);
}

TEST(ProgramSettings, PositionAndFourValuesSurviveARestart) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VIREL1_Service");
    {
        TRunningExe first(kProgram);
        ASSERT_NE(first.Face(), nullptr) << "no main window";
        // The designed values on a PC that never ran the program.
        EXPECT_EQ(WindowText(first.Control(kIdComPort)), L"COM1");
        EXPECT_EQ(WindowText(first.Control(kIdAutoTime)), L"60");

        SetWindowPos(first.Face(), nullptr, 150, 120, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(first.Control(kIdComPort), CB_SETCURSEL, 2, 0);
        SendMessageW(first.Control(kIdSpeed), CB_SETCURSEL, 1, 0);
        SendMessageW(first.Control(kIdAutoTime), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(L"90"));
        SendMessageW(first.Control(kIdPrintOnDevice), BM_SETCHECK, BST_CHECKED, 0);
        ASSERT_TRUE(first.Close());
    }
    EXPECT_EQ(Stored(L"FormVersion"), L"0");
    EXPECT_EQ(Stored(L"Visible"), L"0");
    EXPECT_EQ(Stored(L"NormPos").substr(0, 8), L"150,120,");
    EXPECT_EQ(Stored(L"CB_ComPort_Text"), L"COM3");
    EXPECT_EQ(Stored(L"RxSpE_AutoTime_Value"), L"90");
    EXPECT_EQ(Stored(L"CB_Spead_ItemIndex"), L"1");
    EXPECT_EQ(Stored(L"CB_PrintOnDevice_Checked"), L"True");

    TRunningExe second(kProgram);
    ASSERT_NE(second.Face(), nullptr) << "no main window";
    RECT bounds{};
    GetWindowRect(second.Face(), &bounds);
    EXPECT_EQ(bounds.left, 150);
    EXPECT_EQ(bounds.top, 120);
    EXPECT_EQ(WindowText(second.Control(kIdComPort)), L"COM3");
    EXPECT_EQ(SendMessageW(second.Control(kIdComPort), CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendMessageW(second.Control(kIdSpeed), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(WindowText(second.Control(kIdAutoTime)), L"90");
    EXPECT_EQ(SendMessageW(second.Control(kIdPrintOnDevice), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(second.Close());
}

}  // namespace
