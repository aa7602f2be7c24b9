// The periodic print: the real one-second timer ends the measurement every 5 s and the log
// file beside the program grows by one line per record, while the program runs.
#include <gtest/gtest.h>

#include "E2eSupport.h"
#include "app/platform/PlatformLogFile.h"

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

void WriteNewFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ShownLine(TRunningProgram& program) {
    app::TFace& face = program.Face();
    return program.FieldText(face.LE_Time()) + " " + program.FieldText(face.LE_DevNumber()) + " " +
           program.FieldText(face.LE_MeasureNumber()) + " " + program.FieldText(face.LE_Dose());
}

TEST(PeriodicPrint, DeviceErrorIsNamedBesideTheLineAndAnUnendedLastLineGetsItsLineEnd) {
    TMeter meter;
    meter.Set("device-error=3\n");
    TRunningProgram program;
    WriteNewFile(program.LogFilePath(), "old 2 no end");
    app::TFace& face = program.Face();
    face.RxSpE_AutoTime().SetValue(5);
    program.SetChecked(face.CB_ReadToFile(), true);

    program.PumpFor(5800);  // one print, at tick 5

    const std::string line = ShownLine(program);
    EXPECT_EQ(program.LogFileBytes(), "old 2 no end\r\n" + line + "\r\n");
    EXPECT_EQ(program.Status(),
              "Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером 3. "
              "Обновлены данные в файле " +
                  line);
}

TEST(PeriodicPrint, LastingWriteErrorOpensOneBoxAndItsLinesAreSavedAtExit) {
    const std::wstring userFile = Widen(app::UserLogFilePath());
    ASSERT_FALSE(userFile.empty());
    DeleteFileW(userFile.c_str());
    TMeter meter;
    // Its log file is on a full disk: it opens, but every write fails.
    TRunningProgram program(true, Widen(VIREL_E2E_FULL_DISK));
    // Each box stays open for 6 s while the timer ticks on (ticks 6 to 11: one more print).
    std::vector<bool> closedByTimer;
    bool open = false;
    program.application.SetMessageBoxFunction(
        [&](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
            program.boxes.push_back({text, caption, flags});
            if (open) return IDOK;  // a second box over the first: counted, not shown
            open = true;
            bool byTimer = false;
            const int result = ShowSystemBoxFor(owner, text, caption, flags, 6000, byTimer);
            closedByTimer.push_back(byTimer);
            open = false;
            return result;
        });
    app::TFace& face = program.Face();
    face.RxSpE_AutoTime().SetValue(5);
    program.SetChecked(face.CB_ReadToFile(), true);

    program.PumpFor(11500);

    EXPECT_EQ(meter.CountReceived(Bytes({0x01, 0x46, 0x50, 0x52})), 2);
    ASSERT_EQ(program.boxes.size(), 1u) << "no second box while the first is open";
    EXPECT_EQ(closedByTimer, std::vector<bool>{true});
    EXPECT_EQ(program.program->Operations().log.KeptLines(), 2u);
    EXPECT_EQ(program.Status(), "Не удалось записать данные обновления в файле");
    const std::string line = ShownLine(program);

    // Closing the program: the log still refuses them, the user's own file takes them.
    program.application.SetMessageBoxFunction(
        [&](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
            program.boxes.push_back({text, caption, flags});
            return IDOK;
        });
    program.program->SaveUnwrittenLines();
    ASSERT_EQ(program.boxes.size(), 2u);
    EXPECT_EQ(program.boxes[1].text,
              L"Не удалось записать данные обновления в файл VIREL1_Service.txt (строк: 2); они "
              L"сохранены в файле " +
                  userFile);
    EXPECT_EQ(program.boxes[1].caption, L"ВИРЕЛ1 Сервис");
    const std::vector<std::string> saved = Lines(ReadFileBytes(userFile));
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1], line);
    DeleteFileW(userFile.c_str());
}

}  // namespace
}  // namespace virel::e2e
