// The archive export from the button to the spreadsheet: the real windows and serial port
// under Wine, the simulated meter on COM3, and the test spreadsheet server registered as
// "Excel.Application" for the length of each test.
#include <gtest/gtest.h>

#include <thread>

#include "../automation/XlHarness.h"
#include "E2eSupport.h"

namespace virel::e2e {
namespace {

using xltest::CsvRow;
using xltest::TXlRegistration;

const char kTitlePrefix[] = "Архив ВИРЕЛ1 №42 на ";

// The COM apartment of this (the program's user-interface) thread, as CoGetApartmentType
// answers.
HRESULT ApartmentOfThisThread(APTTYPE& type) {
    APTTYPEQUALIFIER qualifier{};
    return CoGetApartmentType(&type, &qualifier);
}

std::string Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    snprintf(text, sizeof text, "%02u.%02u.%04u", now.wDay, now.wMonth, now.wYear);
    return text;
}

// Posts Esc to the progress window from a timer, i.e. while the export lets messages through.
HWND g_escTarget = nullptr;
void CALLBACK PressEscape(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageW(g_escTarget, WM_CHAR, 27, 1);
}

class Export : public ::testing::Test {
protected:
    TMeter meter;
    TXlRegistration registration;
    std::unique_ptr<TRunningProgram> program = std::make_unique<TRunningProgram>();
    app::TFace& face = program->Face();

    void SetUp() override { ASSERT_TRUE(registration.Ok()); }

    std::string Csv() { return xltest::ReadCsv(xltest::LatestSession(), "Book1"); }
};

TEST_F(Export, WholeArchiveLandsInRowsThreeTo258AndMissingRecordsStayEmpty) {
    meter.Set("skip-records=1,5\n");
    face.SpE_Num().SetText(L"17");
    EXPECT_FALSE(program->program->ComMade()) << "no COM of the program's own before the export";
    program->Click(face.BitBtn2());
    EXPECT_TRUE(program->program->ComMade());
    APTTYPE apartment{};
    ASSERT_EQ(ApartmentOfThisThread(apartment), S_OK);
    EXPECT_TRUE(apartment == APTTYPE_STA || apartment == APTTYPE_MAINSTA) << apartment;

    EXPECT_TRUE(program->boxes.empty());
    const std::string csv = Csv();
    // The server writes every row as wide as the sheet: four columns, the fourth for the
    // meter's own error number.
    EXPECT_EQ(CsvRow(csv, 1), std::string(",") + kTitlePrefix + Today() + ",,");
    EXPECT_EQ(CsvRow(csv, 2), "\"Дата, время\",Номер измерения,\"Доза, Гр*см^2\",Ошибка прибора");
    EXPECT_EQ(CsvRow(csv, 3), "05.03.2007 14:35:00,7,258.45,");
    EXPECT_EQ(CsvRow(csv, 4), ",,,");  // record 1 never came
    EXPECT_EQ(CsvRow(csv, 8), ",,,");  // nor record 5
    for (int row = 5; row <= 257; ++row) {
        if (row == 8) continue;
        const std::string text = CsvRow(csv, row);
        EXPECT_NE(text.find(',' + std::to_string(row - 2) + ','), std::string::npos)
            << "row " << row << ": " << text;  // measurement number n + 1 of record n
        EXPECT_EQ(text.back(), ',') << "row " << row << ": no device error";
    }
    EXPECT_EQ(CsvRow(csv, 258), "31.12.2025,256,1000.7,3");  // record 255: device error 3
    EXPECT_EQ(CsvRow(csv, 259), "<missing>");

    // The header row and the title's font, as the server was told.
    const auto journal = xltest::ReadJournal(xltest::LatestSession());
    EXPECT_TRUE(xltest::Has(journal, "Book1!R2C1", "value", "put",
                            "propput=bstr:\"Дата, время\""));
    EXPECT_TRUE(xltest::Has(journal, "Book1!R2C2", "value", "put",
                            "propput=bstr:\"Номер измерения\""));
    EXPECT_TRUE(xltest::Has(journal, "Book1!R2C3", "value", "put",
                            "propput=bstr:\"Доза, Гр*см^2\""));
    EXPECT_TRUE(xltest::Has(journal, "Book1!R2C4", "value", "put",
                            "propput=bstr:\"Ошибка прибора\""));
    EXPECT_TRUE(xltest::Has(journal, "Book1!R1C2.Font", "size", "put", "propput=i4:14"));
    EXPECT_TRUE(xltest::Has(journal, "Application", "visible", "put", "propput=bool:-1"));
    EXPECT_TRUE(xltest::Has(journal, "Application", "DisplayAlerts", "put", "propput=bool:0"));

    // One end of measurement, then RD 0..255 in order.
    const std::vector<std::uint8_t> received = meter.Received();
    ASSERT_GE(received.size(), 4u + 256u * 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(received.begin(), received.begin() + 4),
              Bytes({0x01, 0x46, 0x50, 0x52}));
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0xFF})), 1);
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x05})), 3);  // three attempts

    // The last record's texts stay; the progress window is gone, the batch flag cleared.
    EXPECT_EQ(program->Status(),
              "Приняты данные с информацией о внутренней ошибке прибора ВИРЕЛ-1 под номером 3");
    EXPECT_EQ(face.SpE_Num().Text(), L"255");
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
}

TEST_F(Export, NoSpreadsheetProgramChangesNothingButTheStatus) {
    TXlRegistration::Control("");
    xltest::RunServer(L"/quit /unregserver");
    face.SpE_Num().SetText(L"17");
    program->Click(face.BitBtn2());

    EXPECT_EQ(program->Status(), "Не удалось запустить Excel");
    EXPECT_TRUE(program->boxes.empty());
    EXPECT_EQ(face.SpE_Num().Text(), L"17");
    EXPECT_TRUE(meter.Received().empty());
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
}

TEST_F(Export, EscInTheProgressWindowEndsTheExportAndKeepsTheRowsWritten) {
    // A spreadsheet program the operator already has open (hidden): it gets the workbook and
    // keeps its visibility.
    const std::wstring server = xltest::ServerExe();
    std::wstring commandLine = L"\"" + server + L"\" /run";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(server.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CLSID clsid{};
    CLSIDFromProgID(L"Excel.Application", &clsid);
    bool running = false;
    for (int i = 0; i < 200 && !running; ++i) {
        IUnknown* unknown = nullptr;
        running = SUCCEEDED(GetActiveObject(clsid, nullptr, &unknown)) && unknown;
        if (unknown) unknown->Release();
        if (!running) Sleep(50);
    }
    ASSERT_TRUE(running);

    g_escTarget = program->program->ProgressBar().Handle();
    SetTimer(nullptr, 0, 3000, PressEscape);
    program->Click(face.BitBtn2());

    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Обмен прерван пользователем.");
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);

    const std::string csv = Csv();
    EXPECT_EQ(CsvRow(csv, 3), "05.03.2007 14:35:00,7,258.45,");  // written before Esc
    // The last record requested is the last row written; nothing after it.
    const auto received = meter.Received();
    const int requested = received.back() + 1;
    ASSERT_LT(requested, 256);
    EXPECT_NE(CsvRow(csv, requested + 2), ",,,");
    EXPECT_EQ(CsvRow(csv, requested + 3), "<missing>");
    const auto journal = xltest::ReadJournal(xltest::LatestSession());
    EXPECT_FALSE(xltest::Has(journal, "Application", "visible", "put", "propput=bool:-1"));
}

// What the timers below saw during the export.
struct TSeen {
    bool progressVisible = false;
    int gaugeMax = 0;
};
TSeen g_seen;
app::TProgram* g_program = nullptr;

void CALLBACK PressEndOfMeasurement(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageW(g_program->Face().BitBtn1(), BM_CLICK, 0, 0);
}

void CALLBACK LookAtTheProgressWindow(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_seen.progressVisible = IsWindowVisible(g_program->ProgressBar().Handle()) != FALSE;
    g_seen.gaugeMax = g_program->ProgressBar().Gauge().MaxValue();
    PostMessageW(g_program->ProgressBar().Handle(), WM_CHAR, 27, 1);  // and end the export
}

TEST_F(Export, EndOfMeasurementBetweenTwoRecordsLeavesTheProgressWindowAlone) {
    g_program = program->program.get();
    g_seen = {};
    SetTimer(nullptr, 0, 2500, PressEndOfMeasurement);
    SetTimer(nullptr, 0, 4500, LookAtTheProgressWindow);
    program->Click(face.BitBtn2());

    const auto fpr = Bytes({0x01, 0x46, 0x50, 0x52});
    EXPECT_EQ(meter.CountReceived(fpr), 2) << "the export's own and the operator's";
    EXPECT_TRUE(g_seen.progressVisible);
    EXPECT_EQ(g_seen.gaugeMax, 255);
    // The export went on with its window until Esc in it ended the export.
    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Обмен прерван пользователем.");
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
}

TEST_F(Export, EscHeldDuringARecordEndsTheExportWithTheCancellationBox) {
    // The system's own box, which Esc could close: it must stay until its OK button is
    // pressed (by the timer here).
    std::vector<bool> closedByTimer;
    program->application.SetMessageBoxFunction(
        [&](HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
            program->boxes.push_back({text, caption, flags});
            bool byTimer = false;
            const int result = ShowSystemBoxFor(owner, text, caption, flags, 1500, byTimer);
            closedByTimer.push_back(byTimer);
            return result;
        });
    // The operator presses Esc while record 3 is being requested and lets go a second later.
    // The key goes to the foreground window, which other tests running beside this one may
    // have taken meanwhile: the progress window takes it back first.
    const HWND progress = program->program->ProgressBar().Handle();
    std::thread finger([this, progress] {
        const auto rd3 = Bytes({0x04, 0x52, 0x44, 0x03});
        for (int i = 0; i < 1000 && meter.CountReceived(rd3) == 0; ++i) Sleep(10);
        for (int i = 0; i < 50 && GetForegroundWindow() != progress; ++i) {
            SetForegroundWindow(progress);
            Sleep(5);
        }
        SendEscape(true);
        for (int i = 0; i < 100 && !(GetAsyncKeyState(VK_ESCAPE) & 0x8000); ++i) Sleep(10);
        Sleep(1000);
        SendEscape(false);
    });
    program->Click(face.BitBtn2());
    finger.join();

    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Отменено пользователем.");
    EXPECT_EQ(closedByTimer, std::vector<bool>{true}) << "the box vanished unread";
    EXPECT_EQ(program->Status(), "Отменено пользователем");
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x04})), 0);
    // Nothing of that key press is left to act later.
    program->PumpFor(300);
    EXPECT_EQ(program->boxes.size(), 1u);
}

TEST_F(Export, ServerFailingMidExportEndsItWithTheServersMessage) {
    TXlRegistration::Control("FailCellsAfterRow=6\nFailDescription=Ячейка занята\n");
    program->Click(face.BitBtn2());

    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Ячейка занята.");
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
    // Records 0..3 (rows 3..6) were written; record 4 was read, its row refused; no more reads.
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x04})), 1);
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x05})), 0);
    EXPECT_NE(CsvRow(Csv(), 6), ",,,");
    EXPECT_EQ(CsvRow(Csv(), 7), "<missing>");
}

TEST_F(Export, ADeadProgramStillRegisteredAsRunningGivesWayToANewOne) {
    // The spreadsheet program died but its entry as the running instance stayed.
    xltest::TDeadRunningInstance dead;
    ASSERT_TRUE(dead.Registered());
    const std::wstring before = xltest::LatestSession();
    // The new program refuses row 5, which ends the export early with its own message.
    TXlRegistration::Control("FailCellsAfterRow=4\nFailDescription=Ячейка занята\n");
    program->Click(face.BitBtn2());

    EXPECT_GT(dead.Calls(), 0);
    EXPECT_NE(program->Status(), "Не удалось запустить Excel");
    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_EQ(program->boxes[0].text, L"Ячейка занята.");
    const std::wstring session = xltest::LatestSession();
    ASSERT_NE(session, before);  // a new program was started
    const std::string csv = xltest::ReadCsv(session, "Book1");
    EXPECT_EQ(CsvRow(csv, 1), std::string(",") + kTitlePrefix + Today() + ",,");
    EXPECT_EQ(CsvRow(csv, 3), "05.03.2007 14:35:00,7,258.45,");
    EXPECT_TRUE(xltest::Has(xltest::ReadJournal(session), "Application", "visible", "put",
                            "propput=bool:-1"));
}

}  // namespace
}  // namespace virel::e2e
