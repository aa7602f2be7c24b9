// The periodic print: the real one-second timer ends the measurement every 5 s and the log
// file beside the program grows by one line per record, while the program runs.
#include <gtest/gtest.h>

#include "E2eSupport.h"

namespace virel::e2e {
namespace {

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start) + "<no line end>");
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TEST(PeriodicPrint, AppendsOneLinePerRecordWhileTheProgramRuns) {
    TMeter meter;
    TRunningProgram program;
    app::TFace& face = program.Face();
    face.RxSpE_AutoTime().SetValue(5);
    program.SetChecked(face.CB_ReadToFile(), true);

    program.PumpFor(11500);  // ticks 2..12 of the counter: prints at 5 and 10

    const auto fpr = Bytes({0x01, 0x46, 0x50, 0x52});
    const std::vector<std::string> lines = Lines(program.LogFileBytes());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LE(lines.size(), 3u);
    EXPECT_EQ(meter.CountReceived(fpr), static_cast<int>(lines.size()));
    // The last line holds what the window shows now, and the status bar says so.
    const std::string expected = program.FieldText(face.LE_Time()) + " " +
                                 program.FieldText(face.LE_DevNumber()) + " " +
                                 program.FieldText(face.LE_MeasureNumber()) + " " +
                                 program.FieldText(face.LE_Dose());
    EXPECT_EQ(lines.back(), expected);
    EXPECT_EQ(program.Status(), "Обновлены данные в файле " + expected);
}

TEST(PeriodicPrint, PrintOnDeviceMakesEveryPeriodicPrintAnRpr) {
    TMeter meter;
    TRunningProgram program;
    app::TFace& face = program.Face();
    face.RxSpE_AutoTime().SetValue(5);
    program.SetChecked(face.CB_PrintOnDevice(), true);
    program.SetChecked(face.CB_ReadToFile(), true);

    program.PumpFor(6500);

    EXPECT_GE(meter.CountReceived(Bytes({0x02, 0x52, 0x50, 0x52})), 1);
    EXPECT_EQ(meter.CountReceived(Bytes({0x01, 0x46, 0x50, 0x52})), 0);
    EXPECT_FALSE(program.LogFileBytes().empty());
}

TEST(PeriodicPrint, SilentMeterLogsNothing) {
    TMeter meter;
    meter.Set("silent=1\n");
    TRunningProgram program;
    app::TFace& face = program.Face();
    face.RxSpE_AutoTime().SetValue(5);
    program.SetChecked(face.CB_ReadToFile(), true);

    program.PumpFor(10000);

    EXPECT_EQ(meter.CountReceived(Bytes({0x01, 0x46, 0x50, 0x52})), 3);
    EXPECT_EQ(program.Status(), "Не удалось произвести чтение текущих измерений");
    EXPECT_TRUE(program.LogFileBytes().empty());
}

}  // namespace
}  // namespace virel::e2e
