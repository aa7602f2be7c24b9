#pragma once
// What the window "Журнал доз" shows, apart from the window itself: the period it opens with,
// the texts of a row's cells, the count and total line, the meters' clock lines, which rows to
// fetch for the part of the list on screen, where the list stays when the journal grows, and
// the shown period as a sheet for the file export's writers. Portable, tested natively; the
// window only puts these into its controls.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <string>
#include <vector>

#include "core/export/ArchiveSheet.h"
#include "core/DateTimeFormat.h"
#include "core/Regional.h"
#include "journal/Alerts.h"
#include "journal/Journal.h"
#include "reports/ReportTables.h"

namespace virel {

namespace texts {
inline constexpr char kJournalWindowCaption[] = "Журнал доз";
inline constexpr char kJournalPeriodFrom[] = "с";
inline constexpr char kJournalPeriodTo[] = "по";
inline constexpr char kJournalExport[] = "&Выгрузить в файл...";
inline constexpr char kJournalShown[] = "Записей за период: ";  // the count follows
inline constexpr char kJournalShownDose[] = ", сумма доз: ";    // the total follows
inline constexpr char kJournalDoseUnit[] = " Гр·см²";
// The meter's clock, as last noted at an end of measurement.
inline constexpr char kClockDrift[] = "Часы прибора расходятся с часами компьютера на ";
inline constexpr char kClockDriftMinutes[] = " мин";
inline constexpr char kClockDriftMeter[] = "Прибор №";  // with several meters: "Прибор №42: Часы…"
inline constexpr char kJournalUnavailable[] = "Журнал доз недоступен: ";  // SQLite's text follows
// The list's columns.
inline constexpr char kJournalHeaderTime[] = "Дата и время";
inline constexpr char kJournalHeaderMeter[] = "Прибор";
inline constexpr char kJournalHeaderNumber[] = "Номер измерения";
inline constexpr char kJournalHeaderDose[] = "Доза, Гр*см^2";
inline constexpr char kJournalHeaderError[] = "Ошибка прибора";
inline constexpr char kJournalHeaderSource[] = "Источник";
// How a record came in first.
inline constexpr char kSourcePrint[] = "печать";
inline constexpr char kSourceRecord[] = "запись";
inline constexpr char kSourceExport[] = "выгрузка";
inline constexpr char kSourceHarvest[] = "сбор";
inline constexpr char kNoTime[] = "—";  // a record whose time stamp was impossible
// The export: the sheet's title and the name the save dialog proposes.
inline constexpr char kJournalSheetTitle[] = "Журнал доз ВИРЕЛ1 с ";  // the dates follow
inline constexpr char kJournalSheetTitleTo[] = " по ";
inline constexpr char kJournalExportName[] = "Журнал доз ";  // the dates follow
inline constexpr char kJournalExported[] = "Выгружено записей: ";  // count, " в файл ", path
inline constexpr char kJournalExportedTo[] = " в файл ";
// The rows whose records raised a high-dose alert: marked, and shown alone on request.
inline constexpr char kAlertsOnly[] = "Только оповещения";
}  // namespace texts

enum class TJournalColumn { Time, Meter, Number, Dose, Error, Source };
inline constexpr std::size_t kJournalColumns = 6;
const std::array<const char*, kJournalColumns>& JournalColumnHeaders();

// The period the window opens with: this month.
TPeriod DefaultJournalPeriod(const DateTime& today);
// The dates as the pickers give them, the earlier first whichever picker holds it.
TPeriod PeriodBetween(const DateTime& one, const DateTime& other);

std::string SourceWords(TJournalSource source);
// A cell as the list shows it: the time in the regional format (kNoTime for none), the dose as
// the main window writes it.
std::string JournalCellText(const TJournalRow& row, TJournalColumn column,
                            const RegionalFormats& formats);
// "Записей за период: 12, сумма доз: 345.67 Гр·см²"; the total to the meter's thousandths,
// without the zeros that end it.
std::string TotalsText(const TPeriodTotals& totals);
std::string DoseSumText(double dose);
// One line per meter whose clock is off; with one meter exactly kClockDrift's sentence, with
// several each prefixed by the meter's number. Minutes as a magnitude.
std::vector<std::string> ClockDriftTexts(const std::vector<TClockDrift>& drifts);

// The rows the list asks for, as fetched: kept while the period and the file stay the same.
struct TRowSpan {
    std::size_t first = 0;
    std::size_t count = 0;
};
// The block of rows to fetch so that [from, to] is held: whole pages of `page` rows around it,
// within `total`; nothing to fetch when `total` is 0 or from lies beyond it.
TRowSpan PageSpan(std::size_t from, std::size_t to, std::size_t total, std::size_t page);

class TRowCache {
public:
    explicit TRowCache(std::size_t page = 100) : page_(page) {}
    // The row at `index`, when it is held.
    const TJournalRow* Find(std::size_t index) const;
    // What to fetch so that [from, to] is held (nothing when it already is).
    std::optional<TRowSpan> Missing(std::size_t from, std::size_t to, std::size_t total) const;
    void Store(std::size_t first, std::vector<TJournalRow> rows);
    void Clear() { rows_.clear(); first_ = 0; }
    std::size_t First() const { return first_; }
    std::size_t Size() const { return rows_.size(); }

private:
    std::size_t page_;
    std::size_t first_ = 0;
    std::vector<TJournalRow> rows_;
};

// Where the top of the list goes when the period's rows go from `before` to `after` (the
// journal took new records, newest first): a list at its top stays there and shows them;
// one scrolled down keeps the same rows on screen, moved down by the rows added above.
std::size_t TopAfterRefresh(std::size_t top, std::int64_t before, std::int64_t after);

// A row as the meter's record: its bytes decoded; a row imported without them from its
// fields (the dose to the thousandth).
MeasurementRecord RecordOfRow(const TJournalRow& row);
// The shown period for the file export's writers: the archive's columns, then the meter and
// the source, newest first as shown.
TArchiveSheet JournalSheet(const std::vector<TJournalRow>& rows, const TPeriod& period,
                           const RegionalFormats& formats);
// The list's column widths the operator dragged, as stored: "130,0,95" (at 96 dpi, 0 for a
// column not dragged). Read back as `count` widths; junk (not numbers, widths beyond 2000,
// another count) reads as none dragged.
std::string ColumnWidthsText(const std::vector<int>& widths);
std::vector<int> ParseColumnWidths(const std::string& text, std::size_t count);

// The period's alerts by their record: the levels it went over, for the row's tip
// ("порог для всех записей: 200 Гр·см²; порог вида «Таз»: 150 Гр·см²").
using TAlertMarks = std::unordered_map<std::int64_t, std::string>;
TAlertMarks AlertMarksOf(const std::vector<TAlertRow>& alerts, TDoseUnit unit);
// The rows of the records that raised an alert, in the order given.
std::vector<TJournalRow> AlertRowsOnly(const std::vector<TJournalRow>& rows,
                                       const TAlertMarks& marks);

// "Журнал доз 01.09.2025-30.09.2025" (no ending).
std::string JournalFileName(const TPeriod& period);

}  // namespace virel
