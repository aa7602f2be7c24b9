// The fault matrix of the archive export, end to end: the meter's faults during short exports
// (ended with Esc in the progress window after a few records), the meter unplugged and plugged
// in again in the middle of an export, every other record silent, and the spreadsheet program
// dying in the middle of an export. For each: rows only for the records read, no wait beyond the
// three attempts per record, and the program goes on afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "../automation/XlHarness.h"
#include "E2eSupport.h"
#include "FaultSupport.h"

namespace virel::e2e {
namespace {

constexpr int kPort = VIREL_FAULT_PORT;
const std::wstring kPortText = L"COM" + std::to_wstring(kPort);
const char kReadOk[] = "Считывание текущих значений произведено успешно";
const char kRecordFailed[] = "Не удалось прочитать данные №";
const wchar_t kAborted[] = L"Обмен прерван пользователем.";
constexpr double kRecordMostMs = 7500;  // three attempts per record, on a loaded machine

// The cells of a CSV row (fields with a comma or a quote come in double quotes, quotes
// doubled).
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The first three cells of a row (the time, the measurement number, the dose).
std::vector<std::string> Cells(const std::string& csv, int row) {
    const std::string line = xltest::CsvRow(csv, row);
    std::vector<std::string> cells = Fields(line == "<missing>" ? std::string() : line);
    cells.resize(3);
    return cells;
}

bool Empty(const std::vector<std::string>& cells) {
    return cells == std::vector<std::string>{"", "", ""};
}

// What happens between two records: run once before the record of that number is requested
// (the export lets messages through there, and a thread timer of the test runs).
struct TScript {
    std::map<int, std::function<void()>> before;
    int escBefore = -1;  // Esc typed into the progress window before this record
    app::TFace* face = nullptr;
    HWND progress = nullptr;
    int lastSeen = -1;
    std::vector<double> startedMs;  // when each record's turn came
};
TScript* g_script = nullptr;

void CALLBACK OnExportPass(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_script) return;
    TScript& s = *g_script;
    const int n = std::stoi(L"0" + s.face->SpE_Num().Text());
    if (n == s.lastSeen) return;
    s.lastSeen = n;
    s.startedMs.resize(static_cast<std::size_t>(n) + 1, NowMs());
    s.startedMs[static_cast<std::size_t>(n)] = NowMs();
    if (const auto it = s.before.find(n); it != s.before.end()) it->second();
    if (n == s.escBefore) PostMessageW(s.progress, WM_CHAR, VK_ESCAPE, 1);
}

class ExportFaults : public ::testing::Test {
protected:
    TMeter meter;
    xltest::TXlRegistration registration;
    std::unique_ptr<TRunningProgram> program = std::make_unique<TRunningProgram>();
    app::TFace& face = program->Face();

    void SetUp() override {
        ASSERT_TRUE(registration.Ok());
        WaitForQuietMeter(*program);
        SetWindowTextW(face.CB_ComPort(), kPortText.c_str());
    }
    void TearDown() override { g_script = nullptr; }

    // Runs the export under a script; the thread timer looks at every pass between records.
    void Export(TScript& script) {
        script.face = &face;
        script.progress = program->program->ProgressBar().Handle();
        g_script = &script;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, OnExportPass);
        program->Click(face.BitBtn2());
        KillTimer(nullptr, timer);
        g_script = nullptr;
    }
    std::string Csv() { return xltest::ReadCsv(xltest::LatestSession(), "Book1"); }
    // Ended by Esc: the one box, the progress window gone, the batch over.
    void ExpectEndedByEsc() {
        ASSERT_EQ(program->boxes.size(), 1u);
        EXPECT_EQ(program->boxes[0].text, kAborted);
        EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
        EXPECT_FALSE(program->program->Operations().state.BatchReading);
    }
    // The program goes on: an end of measurement with a well meter.
    void ExpectWorksAfterwards() {
        WaitForQuietMeter(*program);
        meter.Set("");
        program->Click(face.BitBtn1());
        EXPECT_EQ(program->Status(), kReadOk);
    }
    static void ExpectEachRecordInTime(const TScript& script) {
        for (std::size_t i = 1; i < script.startedMs.size(); ++i)
            EXPECT_LE(script.startedMs[i] - script.startedMs[i - 1], kRecordMostMs)
                << "record " << i - 1;
    }
};

struct TExportFault {
    const char* name;
    const char* control;
    bool rowsWritten;  // records 0 and 1 land in their rows
};

void PrintTo(const TExportFault& fault, std::ostream* out) {
    *out << fault.name;
}

const TExportFault kExportFaults[] = {
    {"Silence", "silent=1\n", false},
    {"FourteenBytes", "reply-length=14\n", false},
    {"SixteenBytes", "reply-length=16\n", false},
    {"PiecesBelowReadTimeout", "split=2:300\n", true},
    {"PiecesAboveReadTimeout", "split=2:700\n", false},
    {"GarbageFirst", "garbage=FF 00 13\n", false},
    {"WrongChecksum", "bad-checksum=1\n", false},
    {"DeviceError", "device-error=7\n", true},
};

class ExportFault : public ExportFaults, public ::testing::WithParamInterface<TExportFault> {};

TEST_P(ExportFault, RowsOnlyForRecordsReadAndTheProgramGoesOn) {
    const TExportFault& fault = GetParam();
    meter.Set(fault.control);
    TScript script;
    script.escBefore = 2;
    Export(script);

    ExpectEndedByEsc();
    ExpectEachRecordInTime(script);
    const std::string csv = Csv();
    for (int n = 0; n < 2; ++n) {
        SCOPED_TRACE("record " + std::to_string(n));
        EXPECT_EQ(Empty(Cells(csv, n + 3)), !fault.rowsWritten) << xltest::CsvRow(csv, n + 3);
    }
    if (!fault.rowsWritten) {
        EXPECT_EQ(program->Status(), kRecordFailed + std::string("1"));
    }
    EXPECT_TRUE(Empty(Cells(csv, 5)));  // record 2 was never requested
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x02})), 0);
    ExpectWorksAfterwards();
}

INSTANTIATE_TEST_SUITE_P(Faults, ExportFault, ::testing::ValuesIn(kExportFaults),
                         [](const ::testing::TestParamInfo<TExportFault>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ExportFaults, PortThatDoesNotExistFailsEachRecordInTime) {
    SetWindowTextW(face.CB_ComPort(), L"COM200");
    TScript script;
    script.escBefore = 2;
    Export(script);

    ExpectEndedByEsc();
    ExpectEachRecordInTime(script);
    EXPECT_TRUE(Empty(Cells(Csv(), 3)));
    EXPECT_TRUE(Empty(Cells(Csv(), 4)));
    EXPECT_EQ(program->Status(), kRecordFailed + std::string("1"));
    EXPECT_TRUE(meter.Received().empty());
    SetWindowTextW(face.CB_ComPort(), kPortText.c_str());
    ExpectWorksAfterwards();
}

TEST_F(ExportFaults, EveryOtherRecordSilentLeavesItsRowEmpty) {
    meter.Set("skip-records=1,3\n");
    TScript script;
    script.escBefore = 5;
    Export(script);

    ExpectEndedByEsc();
    ExpectEachRecordInTime(script);
    const std::string csv = Csv();
    for (int n = 0; n < 5; ++n) {
        SCOPED_TRACE("record " + std::to_string(n));
        EXPECT_EQ(Empty(Cells(csv, n + 3)), n % 2 == 1);
    }
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x01})), 3);  // three attempts
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x02})), 1);
    ExpectWorksAfterwards();
}

TEST_F(ExportFaults, MeterUnpluggedAndPluggedInAgainDuringTheExport) {
    std::unique_ptr<TMeter> again;
    TScript script;
    // Unplugged while record 1 is on its way (its answer held back 4 s), back before record 3.
    script.before[1] = [] { RunUnix("sleep 0.5; " + MeterStopCommand(kPort), false); };
    script.before[3] = [&] {
        ASSERT_TRUE(RunUnix(MeterStartCommand(kPort)));
        again = std::make_unique<TMeter>();
    };
    script.escBefore = 5;
    meter.Set("");
    Export(script);

    ExpectEndedByEsc();
    ExpectEachRecordInTime(script);
    const std::string csv = Csv();
    EXPECT_FALSE(Empty(Cells(csv, 3)));  // record 0, before
    EXPECT_TRUE(Empty(Cells(csv, 5)));   // record 2: no meter
    EXPECT_FALSE(Empty(Cells(csv, 6)));  // records 3 and 4: the meter is back
    EXPECT_FALSE(Empty(Cells(csv, 7)));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->CountReceived(Bytes({0x04, 0x52, 0x44, 0x03})), 1);
    ExpectWorksAfterwards();
}

// The spreadsheet program ends abruptly when the export addresses row 5 (record 2).
TEST_F(ExportFaults, SpreadsheetProgramDyingEndsTheExportWithAMessageAndTheProgramGoesOn) {
    ASSERT_TRUE(xltest::TXlRegistration::Control("ExitAtRow=5\n"));
    TScript script;
    Export(script);

    ASSERT_EQ(program->boxes.size(), 1u);
    EXPECT_FALSE(program->boxes[0].text.empty());
    EXPECT_NE(program->boxes[0].text, kAborted);
    EXPECT_FALSE(IsWindowVisible(program->program->ProgressBar().Handle()));
    EXPECT_FALSE(program->program->Operations().state.BatchReading);
    // Records 0 and 1 were written; record 2 was read, then its row could not be; no more.
    const std::string csv = Csv();
    EXPECT_FALSE(Empty(Cells(csv, 3)));
    EXPECT_FALSE(Empty(Cells(csv, 4)));
    EXPECT_EQ(meter.CountReceived(Bytes({0x04, 0x52, 0x44, 0x03})), 0);
    xltest::TXlRegistration::Control("");
    ExpectWorksAfterwards();
}

// A spreadsheet instance that died is not used again: the next export starts a new one. (Wine
// drops a dead server's running-object entry itself; on Windows the program must do it.)
TEST_F(ExportFaults, ExportAfterTheSpreadsheetProgramDiedStartsANewOne) {
    ASSERT_TRUE(xltest::TXlRegistration::Control("ExitAtRow=5\n"));
    TScript first;
    Export(first);
    ASSERT_EQ(program->boxes.size(), 1u);
    xltest::TXlRegistration::Control("");

    TScript second;
    second.escBefore = 1;
    Export(second);
    EXPECT_NE(program->Status(), "Не удалось запустить Excel");
    ASSERT_EQ(program->boxes.size(), 2u);
    EXPECT_EQ(program->boxes[1].text, kAborted);
    EXPECT_FALSE(Empty(Cells(Csv(), 3)));
}

// A reply that comes after its attempt is taken by the next attempt; the meter then answers
// the command sent again as well, and that answer must not be taken as the next record.
TEST_F(ExportFaults, LateRepliesLandInTheirOwnRows) {
    std::vector<std::vector<std::string>> expected;
    for (const wchar_t* n : {L"0", L"1"}) {
        face.SpE_Num().SetText(n);
        program->Click(face.BitBtn4());
        ASSERT_EQ(program->Status(), kReadOk);
        expected.push_back({program->FieldText(face.LE_Time()),
                            program->FieldText(face.LE_MeasureNumber()),
                            program->FieldText(face.LE_Dose())});
    }
    meter.Set("late=1300\n");
    TScript script;
    script.escBefore = 2;
    Export(script);

    ExpectEndedByEsc();
    const std::string csv = Csv();
    EXPECT_EQ(Cells(csv, 3), expected[0]);
    EXPECT_EQ(Cells(csv, 4), expected[1]);
}

// A record's device error number goes into column D ("Ошибка прибора").
TEST_F(ExportFaults, DeviceErrorGoesIntoColumnD) {
    meter.Set("device-error=7\n");
    TScript script;
    script.escBefore = 1;
    Export(script);

    const std::string csv = Csv();
    const auto header = Fields(xltest::CsvRow(csv, 2));
    ASSERT_EQ(header.size(), 4u);
    EXPECT_EQ(header[3], "Ошибка прибора");
    const auto row = Fields(xltest::CsvRow(csv, 3));
    ASSERT_EQ(row.size(), 4u);
    EXPECT_EQ(row[3], "7");
}

}  // namespace
}  // namespace virel::e2e
