// A measurement record accepted from the meter shows up in the main window's four fields and
// status bar, and the window gives its actions what its controls show.
#include <gtest/gtest.h>

#include <initializer_list>

#include "WindowTestSupport.h"
#include "core/meter/MeterActions.h"
#include "tests/core/OpsFakes.h"

namespace virel::app::test {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes.push_back(static_cast<char>(value));
    return bytes;
}

class RecordInWindow : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;

    // The live path with the real window as the view: an end of measurement whose meter
    // answers `reply`.
    bool Accept(const std::string& reply) {
        fakes::FakeClock clock;
        fakes::FakeLink link{clock};
        fakes::FakeKeys keys;
        fakes::FakePortLock portLock;
        link.answer = [&reply](const std::string&) { return reply; };
        TExchange exchange(link, clock, keys, portLock);
        FaceState state;
        const RegionalFormats formats = ReadRegionalFormats();
        TNoJournal journal;
        TMeterActions actions(face, exchange, formats, state, journal);
        return actions.PrintExecute({{TLinePort("COM1"), 4800}, false}).record.has_value();
    }

    std::wstring StatusBarText() const {
        wchar_t text[256] = L"";
        SendMessageW(face.StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
};

TEST_F(RecordInWindow, ARecordFillsTheFourFields) {
    EXPECT_TRUE(Accept(Bytes({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01,
                              0x02, 0x2D, 0x00, 0xB9})));
    EXPECT_EQ(Text(face.LE_DevNumber()), L"42");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"7");
    EXPECT_EQ(Text(face.LE_Time()), L"05.03.2007 14:35:00");
    EXPECT_EQ(Text(face.LE_Dose()), L"258.45") << "the dose always has a full stop";
    EXPECT_EQ(StatusBarText(), L"Считывание текущих значений произведено успешно")
        << "a clean record has no remark";
}

TEST_F(RecordInWindow, ADeviceErrorIsReportedAndTheRecordShownAtMidnightAsADate) {
    EXPECT_TRUE(Accept(Bytes({0x01, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x31, 0x12, 0x09, 0x00, 0x00,
                              0x00, 0x05, 0x03, 0x82})));
    EXPECT_EQ(StatusBarText(),
              L"Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером 3");
    EXPECT_EQ(Text(face.LE_DevNumber()), L"256");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"300");
    EXPECT_EQ(Text(face.LE_Time()), L"31.12.2009");
    EXPECT_EQ(Text(face.LE_Dose()), L"0.5");
}

TEST_F(RecordInWindow, AnImpossibleDateEmptiesTheTimeAndSaysSo) {
    SetWindowTextW(face.LE_Time(), L"01.01.2001 1:01:00");
    EXPECT_TRUE(Accept(Bytes({0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02, 0x08, 0x00, 0x00,
                              0x0C, 0x07, 0x00, 0x99})));
    EXPECT_EQ(Text(face.LE_DevNumber()), L"42");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"8");
    EXPECT_EQ(Text(face.LE_Time()), L"");
    EXPECT_EQ(Text(face.LE_Dose()), L"12.7");
    EXPECT_EQ(StatusBarText(), L"Приняты данные с недопустимым временем измерения");
}

TEST_F(RecordInWindow, AChecksumMismatchChangesNoField) {
    for (HWND field :
         {face.LE_DevNumber(), face.LE_MeasureNumber(), face.LE_Time(), face.LE_Dose()}) {
        SetWindowTextW(field, L"old");
    }
    EXPECT_FALSE(Accept(Bytes({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00, 0x01,
                               0x02, 0x2D, 0x00, 0xB8})));
    EXPECT_EQ(StatusBarText(), L"Приняты данные, но не совпадает CRC - данные игнорированы");
    for (HWND field :
         {face.LE_DevNumber(), face.LE_MeasureNumber(), face.LE_Time(), face.LE_Dose()}) {
        EXPECT_EQ(Text(field), L"old");
    }
}

TEST_F(RecordInWindow, TheViewReadsAndWritesTheRealControls) {
    face.ShowRecord({"7", "8", "", "1.5"});
    EXPECT_EQ(Text(face.LE_DevNumber()), L"7");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"8");
    EXPECT_EQ(Text(face.LE_Time()), L"");
    EXPECT_EQ(Text(face.LE_Dose()), L"1.5");
    face.SetStatusText("Очистка...");
    EXPECT_EQ(StatusBarText(), L"Очистка...");
    EXPECT_EQ(face.StatusText(), "Очистка...");
    face.SpE_Num().SetText(L"12");
    EXPECT_EQ(face.ArchiveNumberText(), "12");
    face.SetArchiveNumberText("255");
    EXPECT_EQ(face.SpE_Num().Text(), L"255");
}

TEST_F(RecordInWindow, TheActionsAreGivenWhatTheControlsShow) {
    TRecordingOperations& ops = program.operations;
    face.RxSpE_AutoTime().SetText(L"3");  // typed, field not left: the integer value is 3
    SendMessageW(face.CB_ReadToFile(), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(face.Handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(ops.lastTick.interval, 3);
    EXPECT_TRUE(ops.lastTick.on);
    EXPECT_FALSE(ops.lastPrint.printOnDevice);
    SendMessageW(face.CB_Spead(), CB_SETCURSEL, 1, 0);
    EXPECT_EQ(LineOf(face).speed, 9600u);
    SetWindowTextW(face.CB_Spead(), L"4800");  // typed over the chosen item
    EXPECT_EQ(LineOf(face).speed, 4800u);
    SendMessageW(face.CB_ComPort(), CB_SETCURSEL, 3, 0);
    EXPECT_EQ(LineOf(face).port.Text(), "COM4");
    SetWindowTextW(face.CB_ComPort(), L"com17");
    EXPECT_EQ(LineOf(face).port.Text(), "com17");
    face.SpE_Num().SetText(L"12");
    face.actReadArcNExecute();
    EXPECT_EQ(ops.lastNumberText, "12");
    EXPECT_EQ(ops.lastLine.port.Text(), "com17");
}

TEST_F(RecordInWindow, ASpeedBoxNamingNoSpeedShowsTheDefaultWhenAnActionStarts) {
    TRecordingOperations& ops = program.operations;
    SetWindowTextW(face.CB_Spead(), L"19200");
    SendMessageW(face.Handle(), WM_TIMER, 1, 0);  // no print due: the box is left as typed
    EXPECT_EQ(Text(face.CB_Spead()), L"19200");
    face.actPrintExecute();
    EXPECT_EQ(ops.lastPrint.line.speed, 4800u);
    EXPECT_EQ(Text(face.CB_Spead()), L"4800") << "what goes on the line is what the box shows";
    EXPECT_EQ(SendMessageW(face.CB_Spead(), CB_GETCURSEL, 0, 0), 0);
}

TEST_F(RecordInWindow, StoredControlValues) {
    // Through the values the settings storage reads and writes.
    const TFaceStoredControls stored = face.StoredControls();
    IStoredValue<std::string>& port = *stored.port.value;
    IStoredValue<long double>& autoTime = *stored.autoTime.value;
    IStoredValue<std::int32_t>& speed = *stored.speed.value;
    port.SetStoredValue("COM3");
    EXPECT_EQ(port.StoredValue(), "COM3");
    EXPECT_EQ(Text(face.CB_ComPort()), L"COM3");
    autoTime.SetStoredValue(120);
    EXPECT_EQ(face.RxSpE_AutoTime().Text(), L"120");
    autoTime.SetStoredValue(1);
    EXPECT_EQ(autoTime.StoredValue(), 5) << "limited to the range";
    speed.SetStoredValue(1);
    EXPECT_EQ(Text(face.CB_Spead()), L"9600");
    EXPECT_EQ(speed.StoredValue(), 1);
    // The stored index is that of the speed shown, also when it was typed.
    SetWindowTextW(face.CB_Spead(), L"4800");
    EXPECT_EQ(speed.StoredValue(), 0);
    SetWindowTextW(face.CB_Spead(), L" 9600");
    EXPECT_EQ(speed.StoredValue(), 1);
    SetWindowTextW(face.CB_Spead(), L"19200");  // no known speed: the default is what is used
    EXPECT_EQ(speed.StoredValue(), 0);
    // An index of no item shows the default again.
    for (int index : {-1, 2, 1000}) {
        speed.SetStoredValue(1);
        speed.SetStoredValue(index);
        EXPECT_EQ(Text(face.CB_Spead()), L"4800");
        EXPECT_EQ(SendMessageW(face.CB_Spead(), CB_GETCURSEL, 0, 0), 0);
    }
    stored.printOnDevice.value->SetStoredValue(true);
    EXPECT_EQ(SendMessageW(face.CB_PrintOnDevice(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(face.Choices().printOnDevice);
}

}  // namespace
}  // namespace virel::app::test
