#pragma once
// The window "Отчёт за период" apart from the window: where a report comes from (a source is
// one function, period and unit in, the report or the reason there is none out), the report's
// tables as the window's lists show them, and the texts. The same tables and roundings as the
// report's files (reports/ReportTables.h). Portable, tested natively.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/export/ReportBook.h"
#include "journal/Journal.h"
#include "reports/PeriodReport.h"
#include "reports/ReportTables.h"

namespace virel {

namespace texts {
// The journal window's menu, which holds the report's entry.
inline constexpr char kJournalMenu[] = "&Журнал";
inline constexpr char kReportMenu[] = "&Отчёт за период...";
inline constexpr char kReportCaption[] = "Отчёт за период";
inline constexpr char kReportSource[] = "&Источник:";
inline constexpr char kReportSourceHere[] = "Этот кабинет";
inline constexpr char kReportUnit[] = "&Единица ДАП:";
inline constexpr char kReportSave[] = "&Сохранить...";
inline constexpr char kReportClose[] = "Закрыть";
inline constexpr char kReportComputing[] = "Отчёт составляется...";
inline constexpr char kReportFailed[] = "Отчёт не составлен: ";  // the reason follows
inline constexpr char kReportRecords[] = ", записей: ";          // after the title, the count
inline constexpr char kReportSaved[] = "Отчёт записан в файл ";  // the path follows
inline constexpr char kReportNotSaved[] = "Отчёт не записан";
inline constexpr char kReportFileName[] = "Отчёт ";  // the dates follow
// The local levels of the rooms' medians, offered for the catalogue.
inline constexpr char kReportSaveLevels[] = "Сохранить как &каталог...";
inline constexpr char kReportLevelsSaved[] = "Местные РДУ записаны в файл ";  // the path follows
inline constexpr char kReportLevelsNotSaved[] = "Местные РДУ не записаны";
inline constexpr char kReportLevelsFileName[] = "Местные РДУ ";  // the dates follow
}  // namespace texts

// What a source gives: the report, or the reason there is none (one line for the window).
struct TReportOutcome {
    std::optional<TPeriodReport> report;
    std::string error;
};

// A source of reports: its name in the window's "Источник" list and the one function that
// makes a report. The function runs on a thread of its own (it may take a second on years of
// records), so it keeps no state with the window: it opens what it reads itself.
struct TReportSource {
    std::string name;
    std::function<TReportOutcome(const TPeriod& period, TDoseUnit unit)> report;
};

// A report of the records of one journal file (this room's): opened when it is not yet, its
// rows and catalogue read, the report computed; every failure as the outcome's reason.
TReportOutcome ReportOfJournal(TJournal& journal, const TPeriod& period);

// A table as a list shows it: every cell's text as the report's files have it, with
// `decimalSeparator` for the point; `numbers` marks the columns that hold numbers (right-aligned).
struct TReportViewTable {
    std::string name;
    std::vector<std::string> headers;
    std::vector<bool> numbers;
    std::vector<std::vector<std::string>> rows;
};
std::vector<TReportViewTable> ReportViewTables(const TBook& book, char decimalSeparator);

// The line above the tables: "Отчёт за период с 01.09.2025 по 30.09.2025, записей: 12".
std::string ReportHeadline(const TPeriodReport& report);
// "Отчёт 01.09.2025-30.09.2025" (no ending): the name the save dialog proposes.
std::string ReportFileName(const TPeriod& period);

// Whether the report has a local level to offer for the catalogue (over the registry's rooms).
bool OffersLocalLevels(const TPeriodReport& report);
// "Местные РДУ 01.01.2025-31.12.2025" (no ending).
std::string LocalLevelsFileName(const TPeriod& period);
// The catalogue is a CSV file whatever type the save dialog was left at: the path with its
// ending made ".csv".
std::string CsvPathOf(const std::string& path);

}  // namespace virel
