// A measurement record handed to the main window shows up in its four fields and status bar.
#include <gtest/gtest.h>

#include <initializer_list>

#include "WindowTestSupport.h"

namespace virel::app::test {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes.push_back(static_cast<char>(value));
    return bytes;
}

class ShowLastInWindow : public ::testing::Test {
protected:
    TTestProgram program;
    TFace& face = *program.face;

    std::wstring StatusBarText() const {
        wchar_t text[256] = L"";
        SendMessageW(face.StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
};

TEST_F(ShowLastInWindow, ARecordFillsTheFourFields) {
    face.SetStatusText("Запрос...");
    EXPECT_TRUE(face.ShowLast(Bytes({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00,
                                     0x01, 0x02, 0x2D, 0x00, 0xB9})));
    EXPECT_EQ(Text(face.LE_DevNumber()), L"42");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"7");
    EXPECT_EQ(Text(face.LE_Time()), L"05.03.2007 14:35:00");
    EXPECT_EQ(Text(face.LE_Dose()), L"258.45") << "the dose always has a full stop";
    EXPECT_EQ(StatusBarText(), L"Запрос...") << "a clean record writes no status";
}

TEST_F(ShowLastInWindow, ADeviceErrorIsReportedAndTheRecordShownAtMidnightAsADate) {
    EXPECT_TRUE(face.ShowLast(Bytes({0x01, 0x00, 0x01, 0x2C, 0x00, 0x00, 0x31, 0x12, 0x09, 0x00,
                                     0x00, 0x00, 0x05, 0x03, 0x82})));
    EXPECT_EQ(StatusBarText(),
              L"Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером 3");
    EXPECT_EQ(Text(face.LE_DevNumber()), L"256");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"300");
    EXPECT_EQ(Text(face.LE_Time()), L"31.12.2009");
    EXPECT_EQ(Text(face.LE_Dose()), L"0.5");
}

TEST_F(ShowLastInWindow, AnImpossibleDateEmptiesTheTimeAndSaysSo) {
    SetWindowTextW(face.LE_Time(), L"01.01.2001 1:01:00");
    EXPECT_TRUE(face.ShowLast(Bytes({0x00, 0x2A, 0x00, 0x08, 0x10, 0x09, 0x31, 0x02, 0x08, 0x00,
                                     0x00, 0x0C, 0x07, 0x00, 0x99})));
    EXPECT_EQ(Text(face.LE_DevNumber()), L"42");
    EXPECT_EQ(Text(face.LE_MeasureNumber()), L"8");
    EXPECT_EQ(Text(face.LE_Time()), L"");
    EXPECT_EQ(Text(face.LE_Dose()), L"12.7");
    EXPECT_EQ(StatusBarText(), L"Приняты данные с недопустимым временем измерения");
}

TEST_F(ShowLastInWindow, AChecksumMismatchChangesNoField) {
    for (HWND field :
         {face.LE_DevNumber(), face.LE_MeasureNumber(), face.LE_Time(), face.LE_Dose()}) {
        SetWindowTextW(field, L"old");
    }
    EXPECT_FALSE(face.ShowLast(Bytes({0x00, 0x2A, 0x00, 0x07, 0x35, 0x14, 0x05, 0x03, 0x07, 0x00,
                                      0x01, 0x02, 0x2D, 0x00, 0xB8})));
    EXPECT_EQ(StatusBarText(), L"Приняты данные, но не совпадает CRC - данные игнорированы");
    for (HWND field :
         {face.LE_DevNumber(), face.LE_MeasureNumber(), face.LE_Time(), face.LE_Dose()}) {
        EXPECT_EQ(Text(field), L"old");
    }
}

TEST_F(ShowLastInWindow, TheViewReadsAndWritesTheRealControls) {
    face.SetFieldText(Field::Dose, "1.5");
    EXPECT_EQ(Text(face.LE_Dose()), L"1.5");
    face.SetStatusText("Очистка...");
    EXPECT_EQ(StatusBarText(), L"Очистка...");
    EXPECT_EQ(face.StatusText(), "Очистка...");
    face.SpE_Num().SetText(L"12");
    EXPECT_EQ(face.ArchiveNumberText(), "12");
    face.SetArchiveNumberText("255");
    EXPECT_EQ(face.SpE_Num().Text(), L"255");
    face.RxSpE_AutoTime().SetText(L"3");  // typed, field not left: the integer value is 3
    EXPECT_EQ(face.AutoTimeValue(), 3);
    SendMessageW(face.CB_ReadToFile(), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(face.ReadToFile());
    EXPECT_FALSE(face.PrintOnDevice());
    SendMessageW(face.CB_Spead(), CB_SETCURSEL, 1, 0);
    EXPECT_EQ(face.SpeedText(), "9600");
    SetWindowTextW(face.CB_Spead(), L"4800");  // typed over the chosen item
    EXPECT_EQ(face.SpeedText(), "4800");
    face.SetSpeedText("9600");
    EXPECT_EQ(SendMessageW(face.CB_Spead(), CB_GETCURSEL, 0, 0), 1);
    SendMessageW(face.CB_ComPort(), CB_SETCURSEL, 3, 0);
    EXPECT_EQ(face.PortText(), "COM4");
    SetWindowTextW(face.CB_ComPort(), L"com17");
    EXPECT_EQ(face.PortText(), "com17");
}

TEST_F(ShowLastInWindow, StoredControlValues) {
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
    EXPECT_TRUE(face.PrintOnDevice());
}

}  // namespace
}  // namespace virel::app::test
