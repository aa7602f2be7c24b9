// The audit against the reference levels: its figures and marks by hand for the cases at the
// edges, against an independent calculation (independent_audit.py reading the CSV: exact
// fractions, Python's own median and quantiles) on random journals in every unit, and the local
// levels from the rooms' medians.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fileexport/ReportXlsx.h"
#include "reports/Audit.h"
#include "reports/CatalogueCsv.h"
#include "reports/PeriodReport.h"
#include "reports/ReportCsv.h"
#include "reports/ReportTables.h"

namespace virel {
namespace {

const TPeriod kYear{{2025, 1, 1}, {2025, 12, 31}};
constexpr std::int64_t kMinute = 29'000'000;  // in 2025

std::vector<TExamRow> RowsOf(const std::vector<double>& doses, std::int64_t kind) {
    std::vector<TExamRow> rows;
    for (double dose : doses) rows.push_back({kMinute, dose, kind, std::nullopt});
    return rows;
}

const TBookSheet* SheetNamed(const TBook& book, const std::string& name) {
    for (const TBookSheet& sheet : book.sheets) {
        if (sheet.name == name) return &sheet;
    }
    return nullptr;
}

std::vector<std::string> Texts(const std::vector<TBookCell>& row) {
    std::vector<std::string> texts;
    for (const TBookCell& cell : row) texts.push_back(cell.text);
    return texts;
}

// One kind of examination, its doses in Gy·cm² and its level: the audit's row in mGy·cm².
struct TAuditCase {
    const char* what;
    std::vector<double> doses;
    std::optional<double> level;
    std::vector<std::string> row;  // count, median, 75th, level, %, mark; empty: not audited
};

TEST(Audit, TheFiguresAndTheMarkOfOneKind) {
    const std::vector<double> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10.001};  // median 5.5
    const TAuditCase cases[] = {
        {"no level: not audited", {1, 2, 3}, std::nullopt, {}},
        {"a level of zero is none", ten, 0.0, {}},
        {"no records: no median, no verdict", {}, 4.0, {"0", "", "", "4000", "", "мало записей"}},
        {"one record", {2.5}, 2.0, {"1", "2500", "2500", "2000", "125.0", "мало записей"}},
        {"nine records above: no verdict",
         {9, 9, 9, 9, 9, 9, 9, 9, 9},
         1.0,
         {"9", "9000", "9000", "1000", "900.0", "мало записей"}},
        {"ten records, an even count's median above",
         ten,
         5.0,
         {"10", "5500", "7750", "5000", "110.0", "медиана выше РДУ"}},
        {"ten records, the median equal to the level is not above",
         ten,
         5.5,
         {"10", "5500", "7750", "5500", "100.0", ""}},
        {"half a mGy·cm² above the level counts",
         {1, 1, 1, 1, 1, 1.001, 1.001, 1.001, 1.001, 1.001},
         1.0,
         {"10", "1001", "1001", "1000", "100.1", "медиана выше РДУ"}},
        {"an odd count: the middle record",
         {0.001, 0.002, 0.004, 0.006, 0.007, 0.010, 0.020, 0.030, 0.040, 0.050, 0.060},
         0.030,
         {"11", "10", "35", "30", "33.3", ""}},
        {"the percentage rounded half up", {0.001, 0.002}, 0.008, {"2", "2", "2", "8", "18.8",
                                                                  "мало записей"}},
    };
    for (const TAuditCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<TExamKind> catalogue = {{1, "Вид", 0.1, 0.1, c.level, std::nullopt}};
        const TPeriodReport report = ComputeReport(kYear, RowsOf(c.doses, 1), catalogue);
        const TBook book = ReportBook(report, TDoseUnit::mGy);
        const TBookSheet* audit = SheetNamed(book, kAuditSheet);
        if (c.row.empty()) {
            EXPECT_TRUE(report.audit.empty());
            EXPECT_EQ(audit, nullptr) << "no level, no audit table";
            continue;
        }
        ASSERT_NE(audit, nullptr);
        ASSERT_EQ(audit->rows.size(), 1u);
        std::vector<std::string> expected = {"Вид"};
        expected.insert(expected.end(), c.row.begin(), c.row.end());
        EXPECT_EQ(Texts(audit->rows[0]), expected);
        // The same median and 75th percentile as the table by kind.
        if (!c.doses.empty()) {
            EXPECT_EQ(audit->rows[0][2].text, book.sheets[0].rows[0][3].text);
            EXPECT_EQ(audit->rows[0][3].text, book.sheets[0].rows[0][4].text);
        }
    }
}

std::string RunPython(const std::string& command, int& status) {
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    status = pipe ? pclose(pipe) : -1;
    return text;
}

std::string TempPath(const char* pattern) {
    std::string path = std::string("/tmp/") + pattern + "-XXXXXX";
    const int fd = mkstemp(path.data());
    EXPECT_GE(fd, 0);
    close(fd);
    return path;
}

// Random journals: some kinds with a level, one without, counts around ten; the CSV's audit
// table read back by Python and checked against its own calculation in every unit.
TEST(Audit, TheCsvsAuditAgreesWithAnIndependentCalculation) {
    std::mt19937 random(20251208);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        std::vector<TExamKind> catalogue;
        std::vector<std::string> levelTexts;
        for (int k = 1; k <= 6; ++k) {
            std::optional<double> level;
            std::string text = "-";
            if (k != 4) {  // the fourth kind has no level
                const int milli = 1 + static_cast<int>(random() % 60'000);
                text = std::to_string(milli / 1000) + "." + std::to_string(1000 + milli % 1000).substr(1);
                level = std::stod(text);
            }
            levelTexts.push_back(text);
            catalogue.push_back({k, "Вид " + std::to_string(k), 0.1, 0.1, level, std::nullopt});
        }
        std::vector<TExamRow> rows;
        std::vector<std::string> doseTexts;
        for (int k = 1; k <= 7; ++k) {  // the seventh kind is not in the catalogue
            const int count = k == 6 ? 0 : 8 + static_cast<int>(random() % 5);  // 8..12
            for (int i = 0; i < count; ++i) {
                const std::string text = std::to_string(random() % 70) + "." +
                                         std::to_string(random() % 256);  // the meter's form
                doseTexts.push_back(text);
                rows.push_back({kMinute + i, std::stod(text), k, std::nullopt});
            }
        }
        const std::string journal = TempPath("audit-journal");
        {
            std::ofstream out(journal);
            for (std::size_t k = 0; k < catalogue.size(); ++k)
                out << "kind\t" << catalogue[k].id << "\t" << catalogue[k].name << "\t"
                    << levelTexts[k] << "\n";
            for (std::size_t i = 0; i < rows.size(); ++i)
                out << "row\t" << doseTexts[i] << "\t" << *rows[i].kindId << "\n";
        }
        const TPeriodReport report = ComputeReport(kYear, rows, catalogue);
        EXPECT_EQ(report.audit.size(), 5u);
        for (const auto& [unit, name] :
             {std::pair{TDoseUnit::Gy, "Gy"}, {TDoseUnit::cGy, "cGy"}, {TDoseUnit::mGy, "mGy"}}) {
            const std::string csv = TempPath("audit-csv");
            std::ofstream(csv, std::ios::binary) << ReportCsv(ReportBook(report, unit));
            int status = 0;
            const std::string output = RunPython(
                "/usr/bin/python3 " VIREL_INDEPENDENT_AUDIT " " + journal + " " + csv + " " + name,
                status);
            EXPECT_EQ(status, 0) << output;
            EXPECT_NE(output.find("checked 5"), std::string::npos) << output;
            std::remove(csv.c_str());
        }
        std::remove(journal.c_str());
    }
}

TAuditRow RoomRow(std::string name, std::string room, std::int64_t count,
                  std::int64_t medianQuarter, std::optional<std::int64_t> level = {}) {
    return {std::move(name), std::move(room), count, medianQuarter, medianQuarter, level};
}

// The 75th percentile of the rooms' medians, as the report's percentile takes it, of the rooms
// with enough records; exact in sixteenths of mGy·cm², rounded once to whole mGy·cm².
TEST(Audit, TheLocalLevelIsTheSeventyFifthPercentileOfTheRoomsMedians) {
    struct TCase {
        const char* what;
        std::vector<TAuditRow> rows;
        std::int64_t rooms;
        std::int64_t sixteenths;
        std::int64_t milli;
    };
    const TCase cases[] = {
        {"one room: its median", {RoomRow("A", "1", 10, 4002)}, 1, 16008, 1001},
        {"rooms with fewer than ten records do not count",
         {RoomRow("A", "1", 9, 400), RoomRow("A", "2", 10, 800), RoomRow("A", "3", 0, 0)},
         1,
         3200,
         200},
        {"no room with enough records: no level", {RoomRow("A", "1", 9, 400)}, 0, 0, 0},
        {"two rooms: three quarters of the way",
         {RoomRow("A", "1", 20, 4000), RoomRow("A", "2", 30, 4001)},
         2,
         16003,
         1000},
        {"four rooms in any order: a fraction of a quarter",
         {RoomRow("A", "4", 12, 13), RoomRow("A", "1", 12, 1), RoomRow("A", "3", 12, 6),
          RoomRow("A", "2", 12, 2)},
         4,
         // sorted 1, 2, 6, 13: rank 2.25 = 6 + (13 - 6) / 4 quarters = 7.75 quarters
         31,
         2},
        {"five rooms: the fourth", {RoomRow("A", "1", 10, 4), RoomRow("A", "2", 10, 8),
                                    RoomRow("A", "3", 10, 12), RoomRow("A", "4", 10, 16),
                                    RoomRow("A", "5", 10, 40)},
         5, 64, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto levels = LocalLevels(c.rows);
        ASSERT_EQ(levels.size(), 1u);
        EXPECT_EQ(levels[0].name, "A");
        EXPECT_EQ(levels[0].rooms, c.rooms);
        EXPECT_EQ(levels[0].levelSixteenth, c.sixteenths);
        EXPECT_EQ(levels[0].LevelMilli(), c.milli);
    }
    const auto two = LocalLevels({RoomRow("Б", "1", 10, 4), RoomRow("А", "1", 10, 8)});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].name, "А") << "by name";
}

TEST(Audit, TheLocalLevelsCatalogueHasTheKindsThatHaveOne) {
    std::vector<TLocalLevel> levels = LocalLevels(
        {RoomRow("Череп; \"боковая\"", "1", 10, 4002), RoomRow("ОГК", "1", 5, 400),
         RoomRow("Желудок", "2", 10, 1)});
    levels[2].kAdult = 0.18;  // "Череп"
    levels[0].kChild = 0.06;  // "Желудок"
    EXPECT_EQ(LocalLevelsCatalogueCsv(levels),
              "\xEF\xBB\xBF" + std::string(kLevelsCatalogueHeader) +
                  "\r\n"
                  "\"Череп; \"\"боковая\"\"\";0,18;;1001\r\n")
        << "ОГК: too few records; Желудок: a quarter of a mGy·cm² rounds to no level";
    // The clinic imports what it saved: the level back in Gy·cm², K as it was.
    const TCatalogueParse imported = ParseCatalogueCsv(LocalLevelsCatalogueCsv(levels));
    ASSERT_TRUE(imported.ok) << imported.error;
    ASSERT_EQ(imported.kinds.size(), 1u);
    EXPECT_EQ(imported.kinds[0].kAdult, 0.18);
    EXPECT_EQ(imported.kinds[0].referenceLevel, 1.001);
    EXPECT_TRUE(imported.columns.referenceLevel);
}

// Over the registry's rooms together: each room's rows and the local levels, as tables of their
// own instead of the kinds' audit.
TEST(Audit, TheRoomsAuditHasTablesOfItsOwn) {
    TPeriodReport report = ComputeReport(kYear, {}, {});
    report.rooms = TRoomsAudit{{RoomRow("ОГК", "Кабинет 1", 12, 4002, 1000),
                                RoomRow("ОГК", "Кабинет 2", 3, 400)},
                               {}};
    report.rooms->levels = LocalLevels(report.rooms->rows);
    const TBook book = ReportBook(report, TDoseUnit::cGy);
    ASSERT_EQ(book.sheets.size(), 4u);
    EXPECT_EQ(SheetNamed(book, kAuditSheet), nullptr);
    const TBookSheet* rooms = SheetNamed(book, kRoomsAuditSheet);
    ASSERT_NE(rooms, nullptr);
    EXPECT_EQ(rooms->headers[1], "Кабинет");
    EXPECT_EQ(Texts(rooms->rows[0]), (std::vector<std::string>{"ОГК", "Кабинет 1", "12", "100.1",
                                                               "100.1", "100.0", "100.1",
                                                               "медиана выше РДУ"}));
    EXPECT_EQ(Texts(rooms->rows[1]), (std::vector<std::string>{"ОГК", "Кабинет 2", "3", "10.0",
                                                               "10.0", "", "", "мало записей"}));
    const TBookSheet* levels = SheetNamed(book, kLocalLevelsSheet);
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(Texts(levels->rows[0]), (std::vector<std::string>{"ОГК", "1", "100.1"}));
    EXPECT_NE(levels->headers[2].find(DoseUnitText(TDoseUnit::cGy)), std::string::npos);
}

// The workbook's audit sheet: typed cells as the other sheets', and printed as they are: A4, one
// page wide, the header row on every page (read back by openpyxl).
TEST(Audit, TheWorkbooksAuditSheetIsTypedAndPrintedAsTheOthers) {
    const std::string dir = TempPath("audit-xlsx");
    std::filesystem::remove(dir);
    std::filesystem::create_directory(dir);
    const std::vector<TExamKind> catalogue = {{1, "ОГК", 0.18, 0.2, 0.1, std::nullopt},
                                              {2, "Череп", 0.03, 0.03, 0.2, std::nullopt}};
    const TBook book = ReportBook(
        ComputeReport(kYear, RowsOf({0.1, 0.2, 0.3, 0.3, 0.3, 0.4, 0.2, 0.1, 0.2, 0.5}, 1),
                      catalogue),
        TDoseUnit::cGy);
    const std::string path = dir + "/report.xlsx";
    WriteReportXlsx(path, "", book);
    int status = 0;
    const std::string cells = RunPython(VIREL_REPORT_READER " " + path, status);
    EXPECT_EQ(status, 0) << cells;
    const std::string sheet = kAuditSheet;
    for (const std::string& line :
         {"sheet\t" + sheet, "cell\t" + sheet + "\tR2C3\tstr\tМедиана ДАП, сГр·см² (= мкГр·м²)\tGeneral",
          "cell\t" + sheet + "\tR3C1\tstr\tОГК\tGeneral",
          "cell\t" + sheet + "\tR3C2\tnumber\t10\tGeneral",
          "cell\t" + sheet + "\tR3C3\tnumber\t25\t0.0",
          "cell\t" + sheet + "\tR3C6\tnumber\t250\t0.0",
          "cell\t" + sheet + "\tR3C7\tstr\tмедиана выше РДУ\tGeneral",
          "cell\t" + sheet + "\tR4C7\tstr\tмало записей\tGeneral"}) {
        EXPECT_NE(cells.find(line + "\n"), std::string::npos) << line << "\n" << cells;
    }
    const std::string setup = RunPython(
        "/usr/bin/python3 -c \"import openpyxl, sys\n"
        "for ws in openpyxl.load_workbook(sys.argv[1]).worksheets:\n"
        "    print('|'.join(map(str, [ws.title, ws.page_setup.paperSize,"
        " ws.sheet_properties.pageSetUpPr.fitToPage, ws.page_setup.fitToWidth,"
        " ws.page_setup.fitToHeight, ws.print_title_rows])))\" " +
            path,
        status);
    EXPECT_EQ(status, 0) << setup;
    std::istringstream lines(setup);
    std::vector<std::string> shown;
    for (std::string line; std::getline(lines, line);) shown.push_back(line);
    ASSERT_EQ(shown.size(), 3u) << setup;
    const auto settings = [](const std::string& line) { return line.substr(line.find('|')); };
    EXPECT_EQ(shown[2].substr(0, sheet.size()), sheet);
    EXPECT_EQ(settings(shown[2]), settings(shown[0])) << setup;
    EXPECT_EQ(settings(shown[2]).substr(0, 8), "|9|True|") << setup;
    EXPECT_NE(settings(shown[2]).find("2:"), std::string::npos) << "the header row repeated";
    std::filesystem::remove_all(dir);
}

// The period's alerts are a table of their own only when there are some; the room only over
// the registry; the doses and levels in the unit, a check-up's level in mSv.
TEST(Audit, ThePeriodsAlertsAreATableOfTheirOwn) {
    TPeriodReport report;
    report.period = {{2025, 9, 1, 0, 0, 0, 0}, {2025, 9, 30, 23, 59, 59, 999}};
    const auto sheetOf = [&](TDoseUnit unit) -> const TBookSheet* {
        static TBook book;
        book = ReportBook(report, unit);
        for (const TBookSheet& sheet : book.sheets)
            if (sheet.name == kAlertsSheet) return &sheet;
        return nullptr;
    };
    EXPECT_EQ(sheetOf(TDoseUnit::Gy), nullptr) << "no alerts, no table";

    TAlertRow kind;
    kind.minute = 29'278'141;  // 2025-09-01 01:01 (minutes since 1970)
    kind.device = 42;
    kind.number = 7;
    kind.dose = 258.45;
    kind.level = TAlertLevel::Kind;
    kind.levelValue = 150;
    kind.kindName = "Таз";
    kind.acknowledged = true;
    kind.acknowledgedBy = "radiolog";
    kind.note = "повтор снимка";
    TAlertRow checkup;
    checkup.minute = kind.minute + 1;
    checkup.dose = 0.5;
    checkup.level = TAlertLevel::Checkup;
    checkup.levelValue = 1;
    report.alerts = {kind, checkup};
    const TBookSheet* sheet = sheetOf(TDoseUnit::mGy);
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->rows.size(), 2u);
    EXPECT_EQ(sheet->headers[0], "Дата и время");
    EXPECT_EQ(sheet->headers[1], "Прибор") << "one room's journal: no room column";
    const auto texts = [](const std::vector<TBookCell>& row) {
        std::vector<std::string> out;
        for (const TBookCell& cell : row) out.push_back(cell.text);
        return out;
    };
    EXPECT_EQ(texts(sheet->rows[0]),
              (std::vector<std::string>{"01.09.2025 01:01", "42", "7", "258450", "вида исследования",
                                        "150000", "Таз", "да, radiolog", "повтор снимка"}));
    EXPECT_EQ(texts(sheet->rows[1])[4], "годовая доза профилактических исследований");
    EXPECT_EQ(texts(sheet->rows[1])[5], "1.000 мЗв");
    EXPECT_EQ(texts(sheet->rows[1])[7], "нет");

    report.alerts[1].room = "Кабинет 2";
    sheet = sheetOf(TDoseUnit::Gy);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->headers[1], "Кабинет");
    EXPECT_EQ(texts(sheet->rows[1])[1], "Кабинет 2");
    EXPECT_EQ(texts(sheet->rows[0])[4], "258.450");
}

}  // namespace
}  // namespace virel
