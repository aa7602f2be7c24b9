// The period report and the catalogue from the command line, as a scheduler runs them: the real
// program in a folder of its own under Wine, its journal written beforehand through the
// journal's own interface, the workbook read back by openpyxl (a Linux program Wine starts).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <sstream>

#include "ReaderSupport.h"
#include "core/TextCodec.h"
#include "core/Utf16.h"
#include "journal/Journal.h"
#include "journal/JournalTexts.h"
#include "reports/CatalogueCsv.h"

#ifndef VIREL_PROGRAM_PATH
#error "build with the path of VIREL1_Service.exe"
#endif
#if !defined(VIREL_E2E_WORK) || !defined(VIREL_E2E_REPORT_READER)
#error "build with the work directory and the report reader's command line"
#endif

namespace virel::e2e {
namespace {

class FixedClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return ToMilliseconds({2025, 10, 2, 9, 0, 0, 0}); }
};

class ReportE2e : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = NewFolder(L"" VIREL_E2E_WORK, L"report");
        ASSERT_TRUE(CopyFileW(L"" VIREL_PROGRAM_PATH, Program().c_str(), TRUE));
        DeleteFileW(JournalPath().c_str());
    }
    void TearDown() override {
        for (const wchar_t* name :
             {L"VIREL1_Service.exe", L"VIREL1_Service.db", L"VIREL1_Service.db-wal",
              L"VIREL1_Service.db-shm", L"report.xlsx", L"report.csv", L"catalogue.csv",
              L"junk.csv", L"read.txt"}) {
            DeleteFileW((folder_ + L"\\" + name).c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring Program() const { return folder_ + L"\\VIREL1_Service.exe"; }
    std::wstring JournalPath() const { return folder_ + L"\\" + Widen(kJournalFileName); }
    std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }

    TProgramRun Run(const std::wstring& arguments) {
        return RunProgram(Program(), arguments, folder_, 60'000);
    }

    // The workbook as openpyxl reads it: tab-separated fields per line.
    std::vector<std::vector<std::string>> ReadReport(const std::wstring& file) {
        return RunReader(VIREL_E2E_REPORT_READER, file);
    }

    std::wstring folder_;
    FixedClock clock_;
};

TJournalRecord Record(int number, const char* when, double dose) {
    TJournalRecord r;
    r.raw = {0, 42, 0, static_cast<std::uint8_t>(number), 1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
    r.device = 42;
    r.number = number;
    r.measuredAt = when;
    r.dose = dose;
    r.firstSeen = std::string(when) + ":00";
    return r;
}

const std::string kOddKind = "Грудная клетка \"2 проекции\"; с нагрузкой";

TEST_F(ReportE2e, TheCatalogueFromAFileAndAReportOfAnnotatedRecordsReadBack) {
    const std::string longNote(10'000, 'N');
    {
        TJournal journal(Narrow(JournalPath()), clock_);
        ASSERT_EQ(journal.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(
            journal
                .Capture({Record(1, "2025-09-03 10:00", 12.7), Record(2, "2025-09-04 11:00", 3.25),
                          Record(3, "2025-08-20 12:00", 1.5)})
                .outcome,
            TCaptureOutcome::Written);
    }

    // A junk line: nothing is imported, and the line is named.
    WriteBytes(File(L"junk.csv"), std::string("\xEF\xBB\xBF") + kCatalogueHeader + "\r\n" + "\"" +
                                    "Грудная клетка \"\"2 проекции\"\"; с нагрузкой" +
                                    "\";0,18;0,3\r\nЧереп;0,05x;\r\n");
    const TProgramRun junk = Run(L"/catalogue junk.csv");
    EXPECT_EQ(junk.exitCode, 5u) << junk.output;
    EXPECT_NE(junk.output.find("Строка 3: K для взрослых «0,05x»"), std::string::npos)
        << junk.output;
    EXPECT_EQ(std::count(junk.output.begin(), junk.output.end(), '\n'), 1) << "one line";
    {
        TJournal journal(Narrow(JournalPath()), clock_);
        (void)journal.Open();
        EXPECT_TRUE(TCatalogue(journal).Kinds().empty()) << "nothing half-imported";
    }

    WriteBytes(File(L"catalogue.csv"),
             CatalogueCsv({{0, kOddKind, 0.18, 0.3}, {0, "Череп", std::nullopt, std::nullopt}}));
    const TProgramRun imported = Run(L"/catalogue catalogue.csv");
    EXPECT_EQ(imported.exitCode, 0u) << imported.output;
    {
        TJournal journal(Narrow(JournalPath()), clock_);
        (void)journal.Open();
        const auto catalogue = TCatalogue(journal).Kinds();
        ASSERT_EQ(catalogue.size(), 2u);
        EXPECT_EQ(catalogue[0].name, kOddKind);
        // Two records annotated: an adult and a child of the same kind; the third stays without.
        TAnnotationInput adult;
        adult.kindId = catalogue[0].id;
        adult.birthYear = 1980;
        adult.patient = "Иванов; \"И. И.\"";
        adult.note = longNote;
        ASSERT_EQ(TAnnotations(journal).Annotate(1, adult, {}).fault, TAnnotationFault::None);
        TAnnotationInput child = adult;
        child.birthYear = 2015;
        ASSERT_EQ(TAnnotations(journal).Annotate(2, child, {TPatientForm::Sha256, "соль"}).fault,
                  TAnnotationFault::None);
    }

    const TProgramRun report = Run(L"/report /from 2025-08-01 /to 2025-09-30 /out report.xlsx /unit cGy");
    ASSERT_EQ(report.exitCode, 0u) << report.output;
    EXPECT_NE(report.output.find("записей: 3"), std::string::npos) << report.output;
    const auto lines = ReadReport(File(L"report.xlsx"));
    auto has = [&](const std::vector<std::string>& wanted) {
        return std::find(lines.begin(), lines.end(), wanted) != lines.end();
    };
    const std::string kinds = "По видам исследований", months = "По месяцам";
    const std::string unit = "сГр·см² (= мкГр·м²)";
    EXPECT_TRUE(has({"cell", kinds, "R2C3", "str", "Суммарный ДАП, " + unit, "General"}));
    EXPECT_TRUE(has({"cell", kinds, "R2C4", "str", "Медиана ДАП, " + unit, "General"}));
    EXPECT_TRUE(has({"cell", kinds, "R3C1", "str", kOddKind, "General"}));
    EXPECT_TRUE(has({"cell", kinds, "R3C2", "number", "2", "General"}));
    EXPECT_TRUE(has({"cell", kinds, "R3C3", "number", "1595", "0.0"}));
    EXPECT_TRUE(has({"cell", kinds, "R3C4", "number", "797.5", "0.0"}));
    // 12.7 × 0.18 + 3.25 × 0.3 mSv
    EXPECT_TRUE(has({"cell", kinds, "R3C7", "number", "3.261", "0.000"}));
    EXPECT_TRUE(has({"cell", kinds, "R4C1", "str", "Без вида исследования", "General"}));
    EXPECT_TRUE(has({"cell", kinds, "R4C3", "number", "150", "0.0"}));
    EXPECT_TRUE(has({"cell", months, "R3C1", "datetime", "2025-08-01 00:00:00", "mm.yyyy"}));
    EXPECT_TRUE(has({"cell", months, "R4C3", "number", "1595", "0.0"}));
    EXPECT_TRUE(has({"chart", months, "barChart", "Суммарный ДАП по месяцам, " + unit,
                     "Суммарный ДАП, " + unit, "'" + months + "'!$D$3:$D$4",
                     "'" + months + "'!$C$3:$C$4"}));
    for (const auto& line : lines) {
        for (const auto& field : line) {
            EXPECT_EQ(field.find("Иванов"), std::string::npos) << "no patient in a report";
            EXPECT_EQ(field.find("NNNN"), std::string::npos) << "no note in a report";
        }
    }

    const TProgramRun csv = Run(L"/report /from 2025-08-01 /to 2025-09-30 /out report.csv /unit mGy");
    ASSERT_EQ(csv.exitCode, 0u) << csv.output;
    const std::string text = ReadBytes(File(L"report.csv"));
    EXPECT_NE(text.find("\"Грудная клетка \"\"2 проекции\"\"; с "
                        "нагрузкой\";2;15950;7975;10338;2;3,261;1,631\r\n"),
              std::string::npos)
        << text;
}

TEST_F(ReportE2e, AWrongCommandLineOrAnUnwritableFileSaysWhyAndFails) {
    const TProgramRun wrong = Run(L"/report /from 2025-09-01 /to 2025-09-31 /out report.xlsx");
    EXPECT_EQ(wrong.exitCode, 2u);
    EXPECT_NE(wrong.output.find("/to «2025-09-31»"), std::string::npos) << wrong.output;
    const TProgramRun missing = Run(L"/catalogue nothing-here.csv");
    EXPECT_EQ(missing.exitCode, 4u);
    EXPECT_NE(missing.output.find("nothing-here.csv"), std::string::npos) << missing.output;
    const TProgramRun folder =
        Run(L"/report /from 2025-09-01 /to 2025-09-30 /out no-such-folder\\report.xlsx");
    EXPECT_EQ(folder.exitCode, 4u) << folder.output;
    EXPECT_NE(folder.output.find("отчёт не записан"), std::string::npos) << folder.output;
}

// The catalogue as a Russian spreadsheet program saves it (Windows-1251, no byte-order mark) is
// imported; a file with a zero byte is refused with the line that holds it.
TEST_F(ReportE2e, ACatalogueInRussianWindowsTextIsTakenAndAZeroByteIsNamed) {
    const std::string rows =
        std::string(kCatalogueHeader) + "\r\nЧереп «прямой»;0,05;0,07\r\nКисть;;0,01\r\n";
    WriteBytes(File(L"catalogue.csv"), Utf8ToCp1251(rows));
    const TProgramRun imported = Run(L"/catalogue catalogue.csv");
    EXPECT_EQ(imported.exitCode, 0u) << imported.output;
    {
        TJournal journal(Narrow(JournalPath()), clock_);
        (void)journal.Open();
        const auto catalogue = TCatalogue(journal).Kinds();
        ASSERT_EQ(catalogue.size(), 2u);
        EXPECT_EQ(catalogue[0].name, "Кисть");
        EXPECT_EQ(catalogue[1].name, "Череп «прямой»");
        EXPECT_EQ(catalogue[1].kAdult, 0.05);
    }

    WriteBytes(File(L"junk.csv"), rows + "Сто" + '\0' + "па;0,1;\r\n");
    const TProgramRun junk = Run(L"/catalogue junk.csv");
    EXPECT_EQ(junk.exitCode, 5u) << junk.output;
    EXPECT_NE(junk.output.find("Строка 4: "), std::string::npos) << junk.output;
    EXPECT_NE(junk.output.find("нулевой байт"), std::string::npos) << junk.output;
}

// A program that cannot be started: the helper says why, with the system's error.
TEST_F(ReportE2e, AStartThatFailsSaysWhy) {
    const TProgramRun run = RunProgram(File(L"no-such-program.exe"), L"/report", folder_);
    EXPECT_EQ(run.exitCode, 0xFFFFu);
    EXPECT_NE(run.output.find("no-such-program.exe"), std::string::npos) << run.output;
    const auto at = run.output.find("error 2: ");
    ASSERT_NE(at, std::string::npos) << run.output;
    EXPECT_GT(run.output.size(), at + 12) << "the system's text follows: " << run.output;
}

}  // namespace
}  // namespace virel::e2e
