// The port box lists COM1..COM4 and the other ports the PC has, anew each time it drops down.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "app/platform/SerialPorts.h"
#include "core/Utf16.h"
#include "core/meter/PortChoice.h"
#include "win/Scopes.h"

namespace virel::app::test {
namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::vector<std::wstring> Items(HWND combo) {
    std::vector<std::wstring> items;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 64)
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

int Selected(HWND combo) {
    return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

// Opens and closes the list as a click on the arrow would.
void DropDown(TApplication& application, HWND combo) {
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    Pump(application);
}

class PortList : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;
    HWND combo = face.CB_ComPort();
    std::vector<std::string> present;

    void SetUp() override {
        face.SetPresentPorts([this] { return present; });
    }
};

TEST_F(PortList, DroppingDownListsThePortsPresentNowAndKeepsTheText) {
    present = {"COM9", "COM5", "COM2"};
    DropDown(program.application, combo);
    EXPECT_EQ(Items(combo),
              (std::vector<std::wstring>{L"COM1", L"COM2", L"COM3", L"COM4", L"COM5", L"COM9"}));
    EXPECT_EQ(Text(combo), L"COM1");
    EXPECT_EQ(Selected(combo), 0);

    // An adapter plugged in, another pulled out; the chosen port stays chosen.
    SendMessageW(combo, CB_SETCURSEL, 5, 0);  // COM9
    present = {"COM12", "COM9"};
    DropDown(program.application, combo);
    EXPECT_EQ(Items(combo),
              (std::vector<std::wstring>{L"COM1", L"COM2", L"COM3", L"COM4", L"COM9", L"COM12"}));
    EXPECT_EQ(Text(combo), L"COM9");
    EXPECT_EQ(Selected(combo), 4);

    // A typed port that is not (or no longer) there keeps its text, with no item selected.
    SetWindowTextW(combo, L" com20");
    present = {};
    DropDown(program.application, combo);
    EXPECT_EQ(Items(combo), (std::vector<std::wstring>{L"COM1", L"COM2", L"COM3", L"COM4"}));
    EXPECT_EQ(Text(combo), L" com20");
    EXPECT_EQ(Selected(combo), -1);
    EXPECT_EQ(LineOf(face).port.Text(), " com20") << "the actions are given the text as typed";
}

TEST_F(PortList, AFailingPortSourceLeavesTheFourFixedPorts) {
    face.SetPresentPorts([]() -> std::vector<std::string> { throw std::runtime_error("gone"); });
    SetWindowTextW(combo, L"COM7");
    DropDown(program.application, combo);
    EXPECT_EQ(Items(combo), (std::vector<std::wstring>{L"COM1", L"COM2", L"COM3", L"COM4"}));
    EXPECT_EQ(Text(combo), L"COM7");
    EXPECT_TRUE(program.boxes.empty());
}

// Values added to the system's list of serial ports for one test, removed afterwards.
class TSerialCommValues {
public:
    TSerialCommValues() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, key_.Receive(), nullptr);
    }
    ~TSerialCommValues() {
        for (const std::wstring& name : names_) RegDeleteValueW(key_.Get(), name.c_str());
    }
    TSerialCommValues(const TSerialCommValues&) = delete;
    TSerialCommValues& operator=(const TSerialCommValues&) = delete;

    bool Set(const std::wstring& name, DWORD type, const void* data, DWORD bytes) {
        names_.push_back(name);
        return key_ && RegSetValueExW(key_.Get(), name.c_str(), 0, type,
                                      static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
    }
    bool SetText(const std::wstring& name, const std::wstring& text) {
        return Set(name, REG_SZ, text.c_str(),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

private:
    virel::win::TRegKey key_;
    std::vector<std::wstring> names_;
};

TEST(SystemPortList, ReadsWhatTheRegistryListsAndSkipsWhatCannotBeAPortName) {
    TSerialCommValues values;
    ASSERT_TRUE(values.SetText(L"\\Device\\VirelTestAdapter42", L"COM42"));
    const wchar_t unterminated[] = {L'C', L'O', L'M', L'4', L'3'};
    ASSERT_TRUE(
        values.Set(L"\\Device\\VirelTestUnterminated", REG_SZ, unterminated, sizeof unterminated));
    const DWORD number = 44;
    ASSERT_TRUE(values.Set(L"\\Device\\VirelTestNumber", REG_DWORD, &number, sizeof number));
    ASSERT_TRUE(values.SetText(L"\\Device\\VirelTestLong", L"COM45" + std::wstring(300, L' ')));
    ASSERT_TRUE(values.Set(L"\\Device\\VirelTestBinary", REG_BINARY, "COM46", 5));
    ASSERT_TRUE(values.SetText(L"\\Device\\" + std::wstring(2000, L'n'), L"COM47"));

    const std::vector<std::string> ports = PresentSerialPorts();
    const auto has = [&](const char* name) {
        return std::find(ports.begin(), ports.end(), name) != ports.end();
    };
    EXPECT_TRUE(has("COM42"));
    EXPECT_TRUE(has("COM43"));
    EXPECT_TRUE(has("COM47")) << "a long value name is read too";
    for (const std::string& port : ports) {
        EXPECT_EQ(port.find("COM44"), std::string::npos);
        EXPECT_EQ(port.find("COM45"), std::string::npos);
        EXPECT_EQ(port.find("COM46"), std::string::npos);
    }
}

}  // namespace
}  // namespace virel::app::test
