// End of measurement, reset and one archive record, from the button to the meter and back:
// the real windows and serial port under Wine, the simulated meter on COM1. What a faulty
// line does to each action is the fault matrix's part (FaultMatrixE2eTest); the rules for typed
// record numbers and decoded records are tested below the window (tests/core, tests/app), the
// refusal of a number outside the archive here too.
#include <gtest/gtest.h>

#include "E2eSupport.h"

namespace virel::e2e {
namespace {

const auto kFpr = Bytes({0x01, 0x46, 0x50, 0x52});
const auto kRpr = Bytes({0x02, 0x52, 0x50, 0x52});
const auto kRes = Bytes({0x03, 0x52, 0x45, 0x53});

const char kReadOk[] = "Считывание текущих значений произведено успешно";

class Exchange : public ::testing::Test {
protected:
    TMeter meter;
    TRunningProgram program;
    app::TFace& face = program.Face();
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

// A number outside the archive would wrap round to another record: refused before the port
// opens, with the error box.
TEST_F(Exchange, RecordNumberOutsideTheArchiveIsRefusedAndNothingSent) {
    for (const wchar_t* number : {L"-1", L"256", L"-256"}) {
        SCOPED_TRACE(Narrow(number));
        program.boxes.clear();
        face.SpE_Num().SetText(number);
        program.Click(face.BitBtn4());

        ASSERT_EQ(program.boxes.size(), 1u);
        EXPECT_EQ(program.boxes[0].text, L"Номер записи должен быть от 0 до 255.");
        EXPECT_EQ(program.boxes[0].caption, L"ВИРЕЛ1 Сервис");
        EXPECT_EQ(program.boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
        EXPECT_NE(program.Status(), kReadOk);
        EXPECT_FALSE(program.program->CommPort().IsConnected());
    }
    EXPECT_TRUE(meter.Received().empty());
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

}  // namespace
}  // namespace virel::e2e
