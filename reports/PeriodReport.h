#pragma once
// A period's figures from the dose journal: by kind of examination (count, total DAP, median and
// 75th percentile of DAP, total and mean effective dose), by month (count and total DAP), and
// the records without a kind counted apart. Portable: no file, no window.
//
// All the arithmetic is exact, in integers: a meter's dose has at most three decimal digits in
// Gy·cm², so doses are counted in whole mGy·cm²; a percentile falls on a quarter of that; K is
// taken to six decimal places, so an effective dose is a whole number of 10^-9 mSv. What the
// report shows is the exact value rounded once, half up, to the digits shown: the same value in
// every unit.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "journal/Alerts.h"
#include "journal/Annotations.h"
#include "journal/Journal.h"
#include "reports/Audit.h"

namespace virel {

// A patient younger than this in the year of the examination (that year minus the year of
// birth) counts as a child, and the kind's K for children applies, as the methodical guidelines
// have it.
inline constexpr int kChildAgeBelow = 18;

// The figures of one group of records.
struct TDoseFigures {
    std::int64_t count = 0;
    std::int64_t totalMilli = 0;     // mGy·cm²
    std::int64_t medianQuarter = 0;  // quarters of mGy·cm²; only when count > 0
    std::int64_t p75Quarter = 0;
    std::int64_t withEffective = 0;  // records that have an effective dose
    std::int64_t effectiveNano = 0;  // their total, 10^-9 mSv
};

struct TKindFigures {
    std::int64_t kindId = 0;
    std::string name;
    TDoseFigures figures;
};

struct TMonthFigures {
    int year = 0;
    int month = 0;
    std::int64_t count = 0;
    std::int64_t totalMilli = 0;
};

struct TPeriodReport {
    TPeriod period;
    std::vector<TKindFigures> kinds;  // kinds that have records in the period, by name
    TDoseFigures withoutKind;         // no kind, or a kind no longer in the catalogue
    TDoseFigures all;
    std::vector<TMonthFigures> months;  // every month of the period, in order, also empty ones
    // The kinds that have a reference level, by name, also those without records in the period.
    std::vector<TAuditRow> audit;
    // Over the central registry's rooms together: each room's audit instead, and the local levels.
    std::optional<TRoomsAudit> rooms;
    // The alerts of the period's records, in the records' order (filled by the report's source).
    std::vector<TAlertRow> alerts;
};

// Every month from the period's first to its last, in order, each without records yet: the
// chart shows the quiet months too.
std::vector<TMonthFigures> MonthsOf(const TPeriod& period);
// The place of a month in MonthsOf(period); none for a month outside the period.
std::optional<std::size_t> MonthPlace(const TPeriod& period, int year, int month);

// A dose in Gy·cm² as whole mGy·cm² (the meter's resolution).
std::int64_t MilliOf(double doseGy);
// K in mSv per Gy·cm² as millionths.
std::int64_t MicroOf(double k);

// The percentile p (0..1, in quarters: 0.5 and 0.75) of sorted values in mGy·cm², as quarters
// of mGy·cm²: linear interpolation between the closest ranks, the value at rank h = (n - 1) p
// counted from 0 (as a spreadsheet's PERCENTILE.INC). A single value is its own percentile.
std::int64_t PercentileQuarter(const std::vector<std::int64_t>& sorted, int quartersOfP);

// The effective dose of one record in 10^-9 mSv; none without a year of birth or without the
// kind's K for the patient's age group.
std::optional<std::int64_t> EffectiveNano(std::int64_t milli, int examYear,
                                          std::optional<int> birthYear, const TExamKind& kind);

// The audit's rows: each kind of the catalogue that has a reference level, with the figures of
// `kinds` (the report's, by kind id), by name.
std::vector<TAuditRow> AuditOf(const std::vector<TKindFigures>& kinds,
                               const std::vector<TExamKind>& catalogue);

// Throws virel::Exception when a total would not fit (doses and K far beyond any real ones).
TPeriodReport ComputeReport(const TPeriod& period, const std::vector<TExamRow>& rows,
                            const std::vector<TExamKind>& catalogue);

}  // namespace virel
