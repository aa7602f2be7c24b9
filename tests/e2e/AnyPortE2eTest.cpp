// A meter on COM7 only (as behind a USB serial adapter): chosen from the list of the PC's ports,
// typed, or stored from the last run, the exchange goes to COM7; a text that names no port
// fails and goes nowhere; and the speed on the line is the speed the box shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "E2eSupport.h"
#include "tests/support/RunningExe.h"
#include "tests/support/StoredSettings.h"
#include "win/Scopes.h"

namespace virel::e2e {
namespace {

const auto kFpr = Bytes({0x01, 0x46, 0x50, 0x52});
const char kReadOk[] = "Считывание текущих значений произведено успешно";
const char kReadFailed[] = "Не удалось произвести чтение текущих измерений";

std::wstring SettingsKey() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return L"Software\\" + name.substr(0, name.find_last_of(L'.')) + L"\\TFace";
}

// The line speed the meter saw with the last command.
std::string LastLineSpeed(const TMeter& meter) {
    std::string speed = "<none>";
    for (const std::string& note : meter.Notes())
        if (note.rfind("line speed ", 0) == 0) speed = note.substr(11);
    return speed;
}

// COM7 in the system's list of serial ports while the test runs, as an adapter plugged in.
class TAdapterOnCom7 {
public:
    TAdapterOnCom7() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                        REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, key_.Receive(), nullptr);
        const std::wstring port = L"COM7";
        if (key_)
            RegSetValueExW(key_.Get(), kName, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(port.c_str()),
                           static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)));
    }
    ~TAdapterOnCom7() {
        if (key_) RegDeleteValueW(key_.Get(), kName);
    }
    TAdapterOnCom7(const TAdapterOnCom7&) = delete;
    TAdapterOnCom7& operator=(const TAdapterOnCom7&) = delete;

private:
    static constexpr const wchar_t* kName = L"\\Device\\VirelTestUsbSerial7";
    win::TRegKey key_;
};

TEST(AnyPort, Com7PluggedInWhileRunningIsListedChosenAndUsed) {
    TMeter meter;
    TRunningProgram program;
    HWND combo = program.Face().CB_ComPort();
    const TAdapterOnCom7 adapter;

    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    program.Pump();
    const auto item = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(L"COM7"));
    ASSERT_GE(item, 4) << "COM7 is listed after COM1..COM4";
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    program.Click(program.Face().BitBtn1());

    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_EQ(meter.CountReceived(kFpr), 1);
    EXPECT_EQ(program.FieldText(program.Face().LE_DevNumber()), "42");
}

TEST(AnyPort, TypedPortAndItsStoredTextComeBackAndAreUsed) {
    TMeter meter;
    {
        TRunningProgram first;
        SetWindowTextW(first.Face().CB_ComPort(), L"  com7 ");
        first.Click(first.Face().BitBtn1());
        EXPECT_EQ(first.Status(), kReadOk);
        EXPECT_EQ(meter.CountReceived(kFpr), 1);

        // A text that names no port fails as a port that cannot be opened does, after the
        // three attempts, and never falls back to the port used before.
        SetWindowTextW(first.Face().CB_ComPort(), L"COM 7");
        const double start = NowMs();
        first.Click(first.Face().BitBtn1());
        const double elapsed = NowMs() - start;
        EXPECT_EQ(first.Status(), kReadFailed);
        EXPECT_EQ(meter.CountReceived(kFpr), 1);
        EXPECT_GE(elapsed, 3500);
        EXPECT_LE(elapsed, 7500);
        SetWindowTextW(first.Face().CB_ComPort(), L"COM7");
    }
    EXPECT_EQ(StoredText(SettingsKey(), L"CB_ComPort_Text"), L"COM7");

    TRunningProgram second(false);
    EXPECT_EQ(WindowText(second.Face().CB_ComPort()), L"COM7");
    second.Click(second.Face().BitBtn1());
    EXPECT_EQ(second.Status(), kReadOk);
    EXPECT_EQ(meter.CountReceived(kFpr), 2);
}

TEST(AnyPort, TheSpeedOnTheLineIsTheSpeedTheBoxShows) {
    TMeter meter;
    {
        TRunningProgram program;
        HWND combo = program.Face().CB_ComPort();
        HWND speed = program.Face().CB_Spead();
        SetWindowTextW(combo, L"COM7");

        SendMessageW(speed, CB_SETCURSEL, 1, 0);
        program.Click(program.Face().BitBtn1());
        EXPECT_EQ(LastLineSpeed(meter), "9600");

        SetWindowTextW(speed, L"4800");  // typed after choosing 9600
        program.Click(program.Face().BitBtn1());
        EXPECT_EQ(program.Status(), kReadOk);
        EXPECT_EQ(LastLineSpeed(meter), "4800");

        SendMessageW(speed, CB_SETCURSEL, 1, 0);
        SetWindowTextW(speed, L"19200");  // no speed of the list: the default, shown
        program.Click(program.Face().BitBtn1());
        EXPECT_EQ(LastLineSpeed(meter), "4800");
        EXPECT_EQ(WindowText(speed), L"4800");
        SendMessageW(speed, CB_SETCURSEL, 1, 0);
    }
    EXPECT_EQ(StoredText(SettingsKey(), L"CB_Spead_ItemIndex"), L"1");

    // A stored index of no item: the box shows the default and the line gets it.
    StoreText(SettingsKey(), L"CB_Spead_ItemIndex", L"-1");
    TRunningProgram program(false);
    HWND speed = program.Face().CB_Spead();
    EXPECT_EQ(WindowText(speed), L"4800");
    program.Click(program.Face().BitBtn1());
    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_EQ(LastLineSpeed(meter), "4800");
    EXPECT_EQ(meter.CountReceived(kFpr), 4);
}

}  // namespace
}  // namespace virel::e2e
