// Junk in the registry, end to end with the real program: values of the wrong type, a 1 MB
// text, malformed and impossible window positions. The program starts, uses its defaults where
// a value cannot be used, and writes good values back when it closes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/RunningExe.h"
#include "tests/support/StoredSettings.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif
#ifndef VIREL_E2E_WORK
#error "build with the path of a work directory"
#endif

namespace virel::e2e {
namespace {

// A copy of the program, named after this test process, keeps its settings under a key of its
// own: the cases run side by side without meeting.
const std::wstring kName = L"VIREL1_J" + std::to_wstring(GetCurrentProcessId());
const std::wstring kKey = L"Software\\" + kName;
const std::wstring kSection = kKey + L"\\TFace";

std::wstring CopyPath() {
    return std::wstring(L"" VIREL_E2E_WORK) + L"\\junk\\" + kName + L".exe";
}

std::wstring Program() {
    CreateDirectoryW(L"" VIREL_E2E_WORK, nullptr);
    CreateDirectoryW((std::wstring(L"" VIREL_E2E_WORK) + L"\\junk").c_str(), nullptr);
    CopyFileW(L"" VIREL_PROGRAM_PATH, CopyPath().c_str(), FALSE);
    return CopyPath();
}

struct TValue {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<BYTE> Text(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}
std::vector<BYTE> Dword(DWORD value) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(bytes, bytes + sizeof value);
}
std::vector<BYTE> Binary() {
    return {1, 2, 3, 4, 5};
}

void Put(const std::vector<TValue>& values) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
    for (const TValue& v : values) {
        StoreValue(kSection, v.name, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    }
}

std::wstring Stored(const wchar_t* name) {
    return StoredText(kSection, name);
}

// Four whole numbers "left,top,right,bottom" with right past left and bottom below top.
bool GoodRectangle(const std::wstring& text, RECT& r) {
    return swscanf(text.c_str(), L"%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) == 4 &&
           r.right > r.left && r.bottom > r.top;
}

// The whole title bar (or, wholly, the whole window) lies on the screen's work area.
bool TitleBarOnScreen(HWND window, bool wholly = false) {
    RECT bounds{}, work{};
    GetWindowRect(window, &bounds);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int title = GetSystemMetrics(SM_CYCAPTION);
    return bounds.left >= work.left && bounds.right <= work.right && bounds.top >= work.top &&
           (wholly ? bounds.bottom : bounds.top + title) <= work.bottom;
}

class RegistryJunk : public ::testing::Test {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
        DeleteFileW(CopyPath().c_str());
    }

    // Starts the program on the junk, checks it came up without a message, closes it.
    void StartAndClose(const std::vector<TValue>& junk) {
        Put(junk);
        TRunningExe exe(Program());
        ASSERT_NE(exe.WaitForFace(), nullptr) << "no main window";
        EXPECT_TRUE(exe.Boxes().empty()) << "a box at start: " << Narrow(exe.Boxes()[0]);
        port = WindowText(exe.Control(kIdComPort));
        interval = WindowText(exe.Control(kIdAutoTime));
        speed = WindowText(exe.Control(kIdSpeed));
        print = SendMessageW(exe.Control(kIdPrintOnDevice), BM_GETCHECK, 0, 0) == BST_CHECKED;
        onScreen = TitleBarOnScreen(exe.Face());
        whollyOnScreen = TitleBarOnScreen(exe.Face(), true);
        GetWindowRect(exe.Face(), &bounds);
        ASSERT_TRUE(exe.Close());
        EXPECT_TRUE(exe.Boxes().empty()) << "a box at exit: " << Narrow(exe.Boxes().back());
    }
    static std::string Narrow(const std::wstring& w) {
        std::string s;
        for (wchar_t c : w) s += c < 0x80 ? static_cast<char>(c) : '?';
        return s;
    }
    // What the next start will find: every value a good text.
    void ExpectGoodValuesSaved() {
        RECT r{};
        EXPECT_TRUE(GoodRectangle(Stored(L"NormPos"), r)) << Narrow(Stored(L"NormPos"));
        EXPECT_EQ(r.right - r.left, bounds.right - bounds.left);
        EXPECT_EQ(r.bottom - r.top, bounds.bottom - bounds.top);
        for (const wchar_t* name : {L"FormVersion", L"Flags", L"ShowCmd", L"PixelsPerInch"}) {
            const std::wstring v = Stored(name);
            EXPECT_FALSE(v.empty() || v[0] == L'<') << Narrow(v);
        }
        EXPECT_EQ(Stored(L"RxSpE_AutoTime_Value"), interval);
        EXPECT_EQ(Stored(L"CB_ComPort_Text"), port);
        const std::wstring speedIndex = Stored(L"CB_Spead_ItemIndex");
        EXPECT_TRUE(speedIndex == L"0" || speedIndex == L"1") << Narrow(speedIndex);
        EXPECT_EQ(Stored(L"CB_PrintOnDevice_Checked"), print ? L"True" : L"False");
    }

    std::wstring port, interval, speed;
    bool print = false;
    bool onScreen = false;
    bool whollyOnScreen = false;
    RECT bounds{};
};

TEST_F(RegistryJunk, ControlValuesOfTheWrongTypeGiveTheDefaults) {
    StartAndClose({{L"CB_ComPort_Text", REG_DWORD, Dword(3)},
                   {L"RxSpE_AutoTime_Value", REG_BINARY, Binary()},
                   {L"CB_Spead_ItemIndex", REG_DWORD, Dword(1)},
                   {L"CB_PrintOnDevice_Checked", REG_MULTI_SZ, Text(L"True")}});
    EXPECT_EQ(port, L"COM1");
    EXPECT_EQ(interval, L"60");
    EXPECT_EQ(speed, L"4800");
    EXPECT_FALSE(print);
    ExpectGoodValuesSaved();
}

TEST_F(RegistryJunk, MegabyteTextsAreNotUsed) {
    const std::wstring huge(1 << 20, L'9');
    StartAndClose({{L"NormPos", REG_SZ, Text(huge)},
                   {L"RxSpE_AutoTime_Value", REG_SZ, Text(huge)},
                   {L"CB_Spead_ItemIndex", REG_SZ, Text(huge)},
                   {L"CB_PrintOnDevice_Checked", REG_SZ, Text(huge)}});
    EXPECT_EQ(interval, L"60");
    EXPECT_EQ(speed, L"4800");
    EXPECT_FALSE(print);
    EXPECT_TRUE(onScreen);
    ExpectGoodValuesSaved();
}

class JunkPosition : public RegistryJunk, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(JunkPosition, StartsOnScreenAndSavesAGoodPosition) {
    StartAndClose({{L"NormPos", REG_SZ, Text(GetParam())},
                   {L"MinMaxPos", REG_SZ, Text(GetParam())},
                   {L"CB_ComPort_Text", REG_SZ, Text(L"COM3")}});
    EXPECT_TRUE(onScreen);
    EXPECT_EQ(port, L"COM3");  // the other values are read all the same
    ExpectGoodValuesSaved();
}

INSTANTIATE_TEST_SUITE_P(Texts, JunkPosition,
                         ::testing::Values(L"abc", L"10,20", L"1,2,3,4,5", L",,,",
                                           L"100,100,-500,-500", L"0,0,100000,100000",
                                           L"2147483647,2147483647,-2147483648,-2147483648",
                                           L"-2147483648,-2147483648,2147483647,2147483647"));

// Placement values of the wrong type count as absent: no box, the other values still read.
TEST_F(RegistryJunk, PlacementValuesOfTheWrongTypeCountAsAbsent) {
    StartAndClose({{L"NormPos", REG_BINARY, Binary()},
                   {L"NormPos(1280x1024)", REG_BINARY, Binary()},
                   {L"MinMaxPos", REG_DWORD, Dword(7)},
                   {L"FormVersion", REG_DWORD, Dword(0)},
                   {L"Flags", REG_DWORD, Dword(0)},
                   {L"PixelsPerInch", REG_BINARY, Binary()},
                   {L"CB_ComPort_Text", REG_SZ, Text(L"COM3")},
                   {L"RxSpE_AutoTime_Value", REG_SZ, Text(L"90")}});
    EXPECT_EQ(port, L"COM3");
    EXPECT_EQ(interval, L"90");
    EXPECT_TRUE(onScreen);
    ExpectGoodValuesSaved();
    EXPECT_EQ(Stored(L"MinMaxPos").find(L'<'), std::wstring::npos);
    EXPECT_EQ(Stored(L"NormPos(1280x1024)").find(L'<'), std::wstring::npos);

    // A list of texts is no position either; the position of this screen size, the speed and
    // the port are restored all the same.
    StartAndClose({{L"NormPos", REG_MULTI_SZ, Text(L"400,300,800,750")},
                   {L"NormPos(1280x1024)", REG_SZ, Text(L"120,90,520,540")},
                   {L"CB_Spead_ItemIndex", REG_SZ, Text(L"1")},
                   {L"CB_ComPort_Text", REG_SZ, Text(L"COM2")}});
    EXPECT_EQ(port, L"COM2");
    EXPECT_EQ(speed, L"9600");
    EXPECT_EQ(bounds.left, 120);
    EXPECT_EQ(bounds.top, 90);
    ExpectGoodValuesSaved();
}

// A window restored with only a few pixels on screen is moved fully onto the screen.
TEST_F(RegistryJunk, WindowAlmostOffScreenIsBroughtBack) {
    for (const wchar_t* position :
         {L"-380,-460,10,5", L"1275,300,1675,770", L"300,1020,700,1490", L"300,-20,700,450"}) {
        SCOPED_TRACE(Narrow(position));
        StartAndClose({{L"NormPos", REG_SZ, Text(position)}});
        EXPECT_TRUE(whollyOnScreen);
    }
}

}  // namespace
}  // namespace virel::e2e
