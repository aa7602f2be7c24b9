// The report window's portable side: the report from this room's journal file through the one
// source function, and the tables as its lists show them, cell for cell the report's files'.
#include <gtest/gtest.h>

#include "reports/ReportCsv.h"
#include "forms/ReportView.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::TempDir;

TEST(ReportView, TheJournalsReportComesThroughTheSourceOrItsReason) {
    TempDir dir;
    FixedClock clock;
    {
        TJournal writer(dir / "VIREL1_Service.db", clock);
        ASSERT_EQ(writer.Open().outcome, TOpenOutcome::Created);
        std::vector<TJournalRecord> records;
        for (int n = 1; n <= 3; ++n) {
            MeterRecord r;
            r.number = n;
            r.time.day = n;
            r.doseWhole = n;
            records.push_back(r.Journal());
        }
        ASSERT_EQ(writer.Capture(records).outcome, TCaptureOutcome::Written);
        const TKindResult kind = TCatalogue(writer).SaveKind({0, "Грудная клетка", 0.18, 0.2});
        ASSERT_EQ(kind.fault, TKindFault::None);
        TAnnotationInput input;
        input.kindId = kind.id;
        input.birthYear = 1970;
        input.patient = "Иванов";
        ASSERT_EQ(TAnnotations(writer).Annotate(1, input, {}).fault, TAnnotationFault::None);
    }
    // The source as the window runs it: a connection of its own, opened by the function.
    const std::string path = dir / "VIREL1_Service.db";
    const TReportSource here{texts::kReportSourceHere, [&](const TPeriod& period, TDoseUnit) {
                                 FixedClock own;
                                 TJournal journal(path, own);
                                 return ReportOfJournal(journal, period);
                             }};
    const TReportOutcome september = here.report({{2025, 9, 1}, {2025, 9, 30}}, TDoseUnit::Gy);
    ASSERT_TRUE(september.report) << september.error;
    EXPECT_EQ(september.report->all.count, 3);
    EXPECT_EQ(september.report->all.totalMilli, 6 * 1000 + 3 * 700);
    ASSERT_EQ(september.report->kinds.size(), 1u);
    EXPECT_EQ(september.report->kinds[0].figures.count, 1);
    EXPECT_EQ(september.report->withoutKind.count, 2);
    EXPECT_EQ(ReportHeadline(*september.report),
              "Отчёт за период с 01.09.2025 по 30.09.2025, записей: 3");
    const TReportOutcome october = here.report({{2025, 10, 1}, {2025, 10, 31}}, TDoseUnit::Gy);
    ASSERT_TRUE(october.report);
    EXPECT_EQ(october.report->all.count, 0);

    // A journal that cannot be opened: no report, and the reason.
    FixedClock own;
    TJournal missing(dir / "no such folder/VIREL1_Service.db", own);
    const TReportOutcome failed = ReportOfJournal(missing, {{2025, 9, 1}, {2025, 9, 30}});
    EXPECT_FALSE(failed.report);
    EXPECT_FALSE(failed.error.empty());
}

// The lists show what the CSV file holds: the same cells, a decimal comma for a comma, an
// empty cell where the file has one (never a zero), the unit in the headers.
TEST(ReportView, TheTablesShowTheFilesCellsInTheChosenUnit) {
    const std::vector<TExamKind> catalogue = {{1, "Череп; \"боковая\"", std::nullopt, 0.03},
                                              {2, "Грудная клетка", 0.18, 0.2}};
    const auto minute = [](DateTime t) { return ToMilliseconds(t) / 60'000; };
    const std::vector<TExamRow> rows = {{minute({2025, 8, 3, 9, 0}), 12.7, 2, 1980},
                                        {minute({2025, 8, 4, 9, 0}), 3.255, 2, 2015},
                                        {minute({2025, 10, 5, 9, 0}), 1.5, 1, 1950},
                                        {minute({2025, 10, 6, 9, 0}), 0.25, std::nullopt, 1950}};
    const TPeriodReport report = ComputeReport({{2025, 8, 1}, {2025, 10, 31}}, rows, catalogue);
    for (const TDoseUnit unit : {TDoseUnit::Gy, TDoseUnit::cGy, TDoseUnit::mGy}) {
        const TBook book = ReportBook(report, unit);
        const auto tables = ReportViewTables(book, ',');
        ASSERT_EQ(tables.size(), 2u);
        // The CSV's lines of each table, after its title and header rows.
        const std::string csv = ReportCsv(book);
        std::size_t at = csv.find('\n', csv.find('\n') + 1) + 1;
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const TReportViewTable& table = tables[t];
            EXPECT_EQ(table.name, book.sheets[t].name);
            EXPECT_EQ(table.headers, book.sheets[t].headers);
            EXPECT_NE(table.headers[2].find(DoseUnitText(unit)), std::string::npos);
            ASSERT_EQ(table.rows.size(), book.sheets[t].rows.size());
            for (const auto& row : table.rows) {
                const std::size_t end = csv.find("\r\n", at);
                std::string line = csv.substr(at, end - at);
                at = end + 2;
                std::string shown;
                for (std::size_t c = 0; c < row.size(); ++c)
                    shown += (c ? ";" : "") + CsvField(row[c]);
                // The CSV pads every row to its widest table's width.
                EXPECT_EQ(line.substr(0, shown.size()), shown) << line;
                EXPECT_EQ(line.find_first_not_of(';', shown.size()), std::string::npos) << line;
            }
            at = csv.find('\n', csv.find('\n', csv.find('\n', at) + 1) + 1) +
                 1;  // empty, title, header
        }
        EXPECT_FALSE(tables[0].numbers[0]) << "the kind's name";
        EXPECT_TRUE(tables[0].numbers[1]);
        EXPECT_TRUE(tables[0].numbers[2]);
        EXPECT_FALSE(tables[1].numbers[0]) << "the month";
    }
    const auto tables = ReportViewTables(ReportBook(report, TDoseUnit::cGy), ',');
    // "Череп": a patient over 18 and no K for adults: no effective dose, an empty cell.
    const auto& skull = tables[0].rows[1];
    EXPECT_EQ(skull[0], "Череп; \"боковая\"");
    EXPECT_EQ(skull[2], "150,0");
    EXPECT_EQ(skull[6], "");
    EXPECT_EQ(tables[0].rows[2][0], "Без вида исследования");
    EXPECT_EQ(tables[0].rows[2][2], "25,0");
    EXPECT_EQ(tables[1].rows[0][0], "08.2025");
    EXPECT_EQ(tables[1].rows[1][1], "0") << "an empty month is counted, not left blank";
    EXPECT_EQ(ReportFileName({{2025, 9, 1}, {2025, 9, 30}}), "Отчёт 01.09.2025-30.09.2025");
}

// The local levels are offered only when a kind has one, and saved as a CSV whatever type the
// save dialog was left at.
TEST(ReportView, TheLocalLevelsAreOfferedWhenThereAreSomeAndSavedAsCsv) {
    TPeriodReport rooms = ComputeReport({{2025, 1, 1}, {2025, 12, 31}}, {}, {});
    EXPECT_FALSE(OffersLocalLevels(rooms)) << "one room's report has no local level";
    rooms.rooms = TRoomsAudit{{{"ОГК", "1", 9, 2800, 2800, std::nullopt}}, {}};
    rooms.rooms->levels = LocalLevels(rooms.rooms->rows);
    EXPECT_FALSE(OffersLocalLevels(rooms)) << "no room with ten records: no level";
    rooms.rooms->rows[0].count = 10;
    rooms.rooms->levels = LocalLevels(rooms.rooms->rows);
    EXPECT_TRUE(OffersLocalLevels(rooms));

    EXPECT_EQ(LocalLevelsFileName({{2025, 1, 1}, {2025, 12, 31}}),
              "Местные РДУ 01.01.2025-31.12.2025");
    const std::pair<const char*, const char*> paths[] = {
        {"C:\\Физик\\Местные РДУ.csv", "C:\\Физик\\Местные РДУ.csv"},
        {"C:\\Физик\\Местные РДУ.CSV", "C:\\Физик\\Местные РДУ.CSV"},
        {"C:\\Физик\\Местные РДУ.xlsx", "C:\\Физик\\Местные РДУ.csv"},
        {"C:\\Физик\\Местные РДУ.XLSX", "C:\\Физик\\Местные РДУ.csv"},
        {"C:\\Физик\\РДУ", "C:\\Физик\\РДУ.csv"},
    };
    for (const auto& [chosen, written] : paths) EXPECT_EQ(CsvPathOf(chosen), written) << chosen;
}

}  // namespace
}  // namespace virel
