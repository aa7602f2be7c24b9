#pragma once
// The journal window's quick periods (this month, last month, this year, the whole journal) and
// what it says when the journal took records the shown period leaves out: how many, and the
// period that holds them, which the operator can show with one click or key. Portable, tested
// natively; the window only asks the journal for the span and shows these.
#include <cstdint>
#include <optional>
#include <string>

#include "core/DateTimeFormat.h"
#include "core/Regional.h"
#include "journal/JournalRecord.h"

namespace virel {

namespace texts {
inline constexpr char kPeriodMenu[] = "&Период";
inline constexpr char kPeriodThisMonth[] = "Этот &месяц";
inline constexpr char kPeriodLastMonth[] = "&Прошлый месяц";
inline constexpr char kPeriodThisYear[] = "Этот &год";
inline constexpr char kPeriodWholeJournal[] = "&Весь журнал";
inline constexpr char kPeriodShowOutside[] = "Показать записи &вне периода";
// "Записи вне показанного периода: 256 (05.03.2007 - 31.05.2007). Показать их: щелчок по этой
// строке или Ctrl+G"
inline constexpr char kOutsideRecords[] = "Записи вне показанного периода: ";
inline constexpr char kOutsideShow[] = ". Показать их: щелчок по этой строке или Ctrl+G";
}  // namespace texts

enum class TQuickPeriod { ThisMonth, LastMonth, ThisYear, WholeJournal };

// The calendar month before the day's (December of the year before for January).
TPeriod LastMonthOf(const DateTime& day);
// 1 January to 31 December of the day's year.
TPeriod YearOf(const DateTime& day);
// From the day of the journal's first record to that of its last (`all`: the span after id 0);
// this month when it holds none.
TPeriod WholeJournalPeriod(const TRecordSpan& all, const DateTime& today);
TPeriod QuickPeriodOf(TQuickPeriod which, const DateTime& today, const TRecordSpan& all);

// The records the journal took since the window last looked, as far as the shown period
// leaves them out, and the period from the first day to the last of all that came.
struct TOutsideRecords {
    std::int64_t count = 0;
    TPeriod period;
};
// None when every record that came lies in the shown period (or none came).
std::optional<TOutsideRecords> OutsideRecords(const TRecordSpan& added);
std::string OutsideRecordsText(const TOutsideRecords& outside, const RegionalFormats& formats);

}  // namespace virel
