// End of measurement, reset and one archive record, from the button to the meter and back:
// the real windows and serial port under Wine, the simulated meter on COM1.
#include <gtest/gtest.h>

#include "E2eSupport.h"

namespace virel::e2e {
namespace {

const auto kFpr = Bytes({0x01, 0x46, 0x50, 0x52});
const auto kRpr = Bytes({0x02, 0x52, 0x50, 0x52});
const auto kRes = Bytes({0x03, 0x52, 0x45, 0x53});

const char kReadOk[] = "Считывание текущих значений произведено успешно";
const char kReadFailed[] = "Не удалось произвести чтение текущих измерений";

class Exchange : public ::testing::Test {
protected:
    TMeter meter;
    TRunningProgram program;
    app::TFace& face = program.Face();

    void ExpectFieldsUnchanged(const std::string& dev, const std::string& measure,
                               const std::string& time, const std::string& dose) {
        EXPECT_EQ(program.FieldText(face.LE_DevNumber()), dev);
        EXPECT_EQ(program.FieldText(face.LE_MeasureNumber()), measure);
        EXPECT_EQ(program.FieldText(face.LE_Time()), time);
        EXPECT_EQ(program.FieldText(face.LE_Dose()), dose);
    }
};

TEST_F(Exchange, EndOfMeasurementShowsTheRecordTheMeterSent) {
    program.Click(face.BitBtn1());

    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_EQ(meter.CountReceived(kFpr), 1);
    const std::vector<std::uint8_t> record = meter.Sent();
    ASSERT_EQ(record.size(), 15u);
    EXPECT_EQ(program.FieldText(face.LE_DevNumber()), std::to_string(record[0] * 256 + record[1]));
    EXPECT_EQ(program.FieldText(face.LE_MeasureNumber()),
              std::to_string(record[2] * 256 + record[3]));
    EXPECT_EQ(program.FieldText(face.LE_Dose()), std::to_string(record[10] * 256 + record[11]) +
                                                     "." + std::to_string(record[12]));
    // The meter stamps the record with today's date, shown in the Russian short date format.
    SYSTEMTIME now;
    GetLocalTime(&now);
    char today[16];
    snprintf(today, sizeof today, "%02u.%02u.%04u", now.wDay, now.wMonth, now.wYear);
    EXPECT_EQ(program.FieldText(face.LE_Time()).substr(0, 10), today);
}

TEST_F(Exchange, WorkedExampleRecordReadFromTheArchive) {
    face.SpE_Num().SetText(L"0");
    program.Click(face.BitBtn4());

    EXPECT_EQ(meter.Received(), Bytes({0x04, 0x52, 0x44, 0x00}));
    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_EQ(program.FieldText(face.LE_DevNumber()), "42");
    EXPECT_EQ(program.FieldText(face.LE_MeasureNumber()), "7");
    EXPECT_EQ(program.FieldText(face.LE_Dose()), "258.45");
    const std::string time = program.FieldText(face.LE_Time());
    // Wine reports the long time format as HH:mm:ss, Windows as H:mm:ss: 14 looks the same.
    EXPECT_EQ(time, "05.03.2007 14:35:00");
    EXPECT_TRUE(program.boxes.empty());
}

TEST_F(Exchange, RecordNumber255GoesOutAsFFAndItsDeviceErrorStaysInTheStatusBar) {
    face.SpE_Num().SetText(L"255");
    program.Click(face.BitBtn4());

    EXPECT_EQ(meter.Received(), Bytes({0x04, 0x52, 0x44, 0xFF}));
    EXPECT_EQ(program.Status(),
              "Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером 3");
    EXPECT_EQ(program.FieldText(face.LE_MeasureNumber()), "256");
    EXPECT_EQ(program.FieldText(face.LE_Time()), "31.12.2025");  // midnight: the date alone
    EXPECT_EQ(program.FieldText(face.LE_Dose()), "1000.7");
}

TEST_F(Exchange, PrintOnDeviceSendsRpr) {
    program.SetChecked(face.CB_PrintOnDevice(), true);
    program.Click(face.BitBtn1());

    EXPECT_EQ(meter.Received(), kRpr);
    EXPECT_EQ(program.Status(), kReadOk);
}

TEST_F(Exchange, ResetAcceptsAnyThreeBytes) {
    program.Click(face.BitBtn3());
    EXPECT_EQ(meter.Received(), kRes);
    EXPECT_EQ(program.Status(), "Очистка текущих значений произведена успешно");
}

TEST_F(Exchange, RepliesOfTheWrongLengthFailAndLeaveTheFields) {
    for (int length : {3, 14, 16}) {
        SCOPED_TRACE(length);
        face.SpE_Num().SetText(L"0");
        program.Click(face.BitBtn4());  // a good record first
        ASSERT_EQ(program.Status(), kReadOk);

        meter.Set("reply-length=" + std::to_string(length) + "\n");
        program.Click(face.BitBtn1());
        EXPECT_EQ(program.Status(), kReadFailed);
        ExpectFieldsUnchanged("42", "7", "05.03.2007 14:35:00", "258.45");
        EXPECT_FALSE(program.program->Operations().State().LastReadOk);
        meter.Set("");
    }
}

TEST_F(Exchange, WrongChecksumIsNotTakenAsARecord) {
    meter.Set("bad-checksum=1\n");
    program.Click(face.BitBtn1());
    EXPECT_EQ(program.Status(), "Приняты данные, но не совпадает CRC - данные игнорированы");
    ExpectFieldsUnchanged("", "", "", "");
    EXPECT_FALSE(program.program->Operations().State().LastReadOk);
}

TEST_F(Exchange, SilentMeterGetsTheCommandThreeTimesThenTheFailureText) {
    meter.Set("silent=1\n");
    const double start = NowMs();
    program.Click(face.BitBtn1());
    const double elapsed = NowMs() - start;

    EXPECT_EQ(meter.CountReceived(kFpr), 3);
    EXPECT_EQ(program.Status(), kReadFailed);
    EXPECT_GE(elapsed, 3900);
    EXPECT_LE(elapsed, 7000);  // 4 to 5.5 s, with room for a loaded machine
}

TEST_F(Exchange, LateAnswerIsTakenByTheNextAttempt) {
    meter.Set("late=1300\n");
    program.Click(face.BitBtn1());

    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_EQ(meter.CountReceived(kFpr), 2);
    // The answer to the second sending is still on its way: let it arrive while the port is
    // closed (the next opening purges it) rather than into the next test's exchange.
    program.PumpFor(1500);
}

TEST_F(Exchange, ReplyInPiecesIsCollectedWhole) {
    meter.Set("split=4:150\n");
    face.SpE_Num().SetText(L"0");
    program.Click(face.BitBtn4());
    EXPECT_EQ(program.Status(), kReadOk);
    EXPECT_EQ(program.FieldText(face.LE_Dose()), "258.45");
}

TEST_F(Exchange, PortThatCannotBeOpenedFailsAfterAboutFourSecondsWithNothingSent) {
    program.SelectItem(face.CB_ComPort(), 3);  // COM4: nothing behind it
    const double start = NowMs();
    program.Click(face.BitBtn1());
    const double elapsed = NowMs() - start;

    EXPECT_EQ(program.Status(), kReadFailed);
    EXPECT_TRUE(meter.Received().empty());
    EXPECT_GE(elapsed, 3900);
    EXPECT_LE(elapsed, 6500);
}

TEST_F(Exchange, EscHeldAtTheStartCancelsBeforeAnythingIsSent) {
    {
        TEscapeHeld esc;
        program.Click(face.BitBtn1());
    }
    ASSERT_EQ(program.boxes.size(), 1u);
    EXPECT_EQ(program.boxes[0].text, L"Отменено пользователем.");
    EXPECT_EQ(program.boxes[0].caption, L"ВИРЕЛ1 Сервис");
    EXPECT_EQ(program.boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(program.Status(), "Отменено пользователем");
    EXPECT_TRUE(meter.Received().empty());
    // The port was closed on the way out: the next end of measurement works.
    EXPECT_FALSE(program.program->CommPort().IsConnected());
    program.Click(face.BitBtn1());
    EXPECT_EQ(program.Status(), kReadOk);
}

TEST_F(Exchange, RecordNumberThatIsNotAnIntegerIsReportedBeforeThePortOpens) {
    face.SpE_Num().SetText(L"abc");
    program.Click(face.BitBtn4());

    ASSERT_EQ(program.boxes.size(), 1u);
    EXPECT_EQ(program.boxes[0].text, L"'abc' is not a valid integer value.");
    EXPECT_EQ(program.Status(), "Запрос... ");
    EXPECT_TRUE(meter.Received().empty());
}

TEST_F(Exchange, RecordNumberOutsideTheArchiveIsRefusedBeforeThePortOpens) {
    for (const wchar_t* text : {L"-1", L"256", L"-256"}) {
        face.SpE_Num().SetText(text);
        program.Click(face.BitBtn4());
    }
    ASSERT_EQ(program.boxes.size(), 3u);
    for (const TShownBox& box : program.boxes) {
        EXPECT_EQ(box.text, L"Номер записи должен быть от 0 до 255.");
        EXPECT_EQ(box.caption, L"ВИРЕЛ1 Сервис");
        EXPECT_EQ(box.flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
    }
    EXPECT_TRUE(meter.Received().empty());
    EXPECT_EQ(program.Status(), "Запрос... ");
    EXPECT_FALSE(program.program->CommPort().IsConnected());
}

TEST_F(Exchange, ImpossibleTimeStampEmptiesTheTimeFieldAndTheStatusSaysSo) {
    program.Click(face.BitBtn1());
    ASSERT_EQ(program.Status(), kReadOk);
    ASSERT_FALSE(program.FieldText(face.LE_Time()).empty());

    meter.Set("invalid-time=1\n");  // 31 February
    program.Click(face.BitBtn1());
    EXPECT_EQ(program.Status(), "Приняты данные с недопустимым временем измерения");
    EXPECT_EQ(program.FieldText(face.LE_Time()), "");
    EXPECT_EQ(program.FieldText(face.LE_DevNumber()), "42");
    EXPECT_FALSE(program.FieldText(face.LE_Dose()).empty());
    EXPECT_TRUE(program.program->Operations().State().LastReadOk);
}

TEST_F(Exchange, ShortcutCtrlPEndsTheMeasurement) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(face.LE_Dose(), WM_KEYDOWN, 'P', 0);
    PostMessageW(face.LE_Dose(), WM_KEYUP, 'P', 0xC0000000);
    program.Pump();
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    EXPECT_EQ(meter.CountReceived(kFpr), 1);
    EXPECT_EQ(program.Status(), kReadOk);
}

}  // namespace
}  // namespace virel::e2e
