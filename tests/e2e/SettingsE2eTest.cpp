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

void PutValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    StoreValue(kKey, name, type, data, size);
}
void PutText(const wchar_t* name, const std::wstring& text) {
    StoreText(kKey, name, text);
}
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

// Settings left damaged by another program or an old version, and a position saved on a larger
// screen: the program starts without a word, uses what it can, keeps its window within reach,
// and leaves good values behind.
TEST(ProgramSettings, DamagedPlacementValuesAndAnUnreachablePositionAreMended) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VIREL1_Service");
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const std::wstring screenNormPos =
        L"NormPos(" + std::to_wstring(screenW) + L"x" + std::to_wstring(screenH) + L")";
    const BYTE binary[] = {0x01, 0x02, 0x03, 0x04};
    const DWORD number = 7;
    PutValue(L"NormPos", REG_BINARY, binary, sizeof binary);
    PutValue(L"FormVersion", REG_DWORD, &number, sizeof number);
    PutValue(L"Flags", REG_DWORD, &number, sizeof number);
    PutValue(L"MinMaxPos", REG_DWORD, &number, sizeof number);
    PutValue(L"PixelsPerInch", REG_BINARY, binary, sizeof binary);
    // Only 5 pixels of the window on the screen.
    PutText(screenNormPos.c_str(),
            std::to_wstring(screenW - 5) + L",300," + std::to_wstring(screenW + 380) + L",760");
    PutText(L"CB_ComPort_Text", L"COM3");
    PutText(L"CB_Spead_ItemIndex", L"1");
    PutText(L"RxSpE_AutoTime_Value", L"90");

    RECT shown{};
    {
        TRunningExe exe(kProgram);
        EXPECT_EQ(exe.Box(), nullptr) << "a message box at start";
        ASSERT_NE(exe.Face(), nullptr) << "no main window";
        EXPECT_EQ(WindowText(exe.Control(kIdComPort)), L"COM3");
        EXPECT_EQ(SendMessageW(exe.Control(kIdSpeed), CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(WindowText(exe.Control(kIdAutoTime)), L"90");
        GetWindowRect(exe.Face(), &shown);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(exe.Face(), MONITOR_DEFAULTTONEAREST), &monitor);
        EXPECT_EQ(shown.right, monitor.rcWork.right);  // moved left just enough
        EXPECT_EQ(shown.top, 300);
        EXPECT_GE(shown.left, monitor.rcWork.left);
        EXPECT_LE(shown.bottom, monitor.rcWork.bottom);
        ASSERT_TRUE(exe.Close());
    }
    EXPECT_EQ(Stored(L"FormVersion"), L"0");
    EXPECT_NE(Stored(L"Flags"), L"<missing>");
    EXPECT_NE(Stored(L"MinMaxPos"), L"<missing>");
    EXPECT_NE(Stored(L"PixelsPerInch"), L"<missing>");
    const std::wstring position = std::to_wstring(shown.left) + L"," + std::to_wstring(shown.top);
    EXPECT_EQ(Stored(L"NormPos").substr(0, position.size() + 1), position + L",");
    EXPECT_EQ(Stored(screenNormPos.c_str()), Stored(L"NormPos"));
    EXPECT_EQ(Stored(L"CB_ComPort_Text"), L"COM3");
}

}  // namespace
