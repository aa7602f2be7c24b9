#include "forms/JournalPeriods.h"

namespace virel {

namespace {

DateTime DayOf(const DateTime& value) {
    return {value.year, value.month, value.day, 0, 0, 0, 0};
}

}  // namespace

TPeriod LastMonthOf(const DateTime& day) {
    if (day.month <= 1) return MonthOf({day.year - 1, 12, 1});
    return MonthOf({day.year, day.month - 1, 1});
}

TPeriod YearOf(const DateTime& day) {
    return {DateTime{day.year, 1, 1}, DateTime{day.year, 12, 31}};
}

TPeriod WholeJournalPeriod(const TRecordSpan& all, const DateTime& today) {
    if (all.count <= 0) return MonthOf(today);
    return {DayOf(all.first), DayOf(all.last)};
}

TPeriod QuickPeriodOf(TQuickPeriod which, const DateTime& today, const TRecordSpan& all) {
    switch (which) {
        case TQuickPeriod::ThisMonth:
            return MonthOf(today);
        case TQuickPeriod::LastMonth:
            return LastMonthOf(today);
        case TQuickPeriod::ThisYear:
            return YearOf(today);
        case TQuickPeriod::WholeJournal:
            return WholeJournalPeriod(all, today);
    }
    return MonthOf(today);
}

std::optional<TOutsideRecords> OutsideRecords(const TRecordSpan& added) {
    const std::int64_t outside = added.count - added.inPeriod;
    if (outside <= 0) return std::nullopt;
    return TOutsideRecords{outside, {DayOf(added.first), DayOf(added.last)}};
}

std::string OutsideRecordsText(const TOutsideRecords& outside, const RegionalFormats& formats) {
    return texts::kOutsideRecords + std::to_string(outside.count) + " (" +
           DateToText(outside.period.from, formats) + " - " +
           DateToText(outside.period.to, formats) + ")" + texts::kOutsideShow;
}

}  // namespace virel
