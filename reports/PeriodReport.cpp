#include "reports/PeriodReport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "core/Errors.h"

namespace virel {

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

std::int64_t Added(std::int64_t a, std::int64_t b) {
    if (b > 0 && a > kMax - b) throw Exception("Суммы отчёта слишком велики");
    return a + b;
}

// Collects one group's doses; Finish sorts them for the percentiles.
struct TGroup {
    std::vector<std::int64_t> doses;
    TDoseFigures figures;

    void Add(std::int64_t milli, std::optional<std::int64_t> effective) {
        doses.push_back(milli);
        ++figures.count;
        figures.totalMilli = Added(figures.totalMilli, milli);
        if (effective) {
            ++figures.withEffective;
            figures.effectiveNano = Added(figures.effectiveNano, *effective);
        }
    }
    TDoseFigures Finish() {
        if (!doses.empty()) {
            std::sort(doses.begin(), doses.end());
            figures.medianQuarter = PercentileQuarter(doses, 2);
            figures.p75Quarter = PercentileQuarter(doses, 3);
        }
        return figures;
    }
};

}  // namespace

std::vector<TMonthFigures> MonthsOf(const TPeriod& period) {
    std::vector<TMonthFigures> months;
    for (int y = period.from.year, m = period.from.month;
         y < period.to.year || (y == period.to.year && m <= period.to.month);) {
        months.push_back({y, m, 0, 0});
        if (++m > 12) {
            m = 1;
            ++y;
        }
    }
    return months;
}

std::optional<std::size_t> MonthPlace(const TPeriod& period, int year, int month) {
    const int first = period.from.year * 12 + period.from.month - 1;
    const int last = period.to.year * 12 + period.to.month - 1;
    const int at = year * 12 + month - 1;
    if (at < first || at > last) return std::nullopt;
    return static_cast<std::size_t>(at - first);
}

std::int64_t MilliOf(double doseGy) {
    return std::llround(doseGy * 1000);
}

std::int64_t MicroOf(double k) {
    return std::llround(k * 1'000'000);
}

std::int64_t PercentileQuarter(const std::vector<std::int64_t>& sorted, int quartersOfP) {
    if (sorted.empty()) return 0;
    // 4h = (n - 1) * 4p: its whole quarters give the lower rank, the rest the fraction.
    const std::int64_t h4 = static_cast<std::int64_t>(sorted.size() - 1) * quartersOfP;
    const auto low = static_cast<std::size_t>(h4 / 4);
    const std::int64_t fraction = h4 % 4;
    const std::int64_t base = sorted[low] * 4;
    if (fraction == 0) return base;
    return base + fraction * (sorted[low + 1] - sorted[low]);
}

std::optional<std::int64_t> EffectiveNano(std::int64_t milli, int examYear,
                                          std::optional<int> birthYear, const TExamKind& kind) {
    if (!birthYear) return std::nullopt;
    const bool child = examYear - *birthYear < kChildAgeBelow;
    const std::optional<double>& k = child ? kind.kChild : kind.kAdult;
    if (!k) return std::nullopt;
    const std::int64_t micro = MicroOf(*k);
    if (micro != 0 && milli > kMax / micro) throw Exception("Суммы отчёта слишком велики");
    return milli * micro;
}

std::vector<TAuditRow> AuditOf(const std::vector<TKindFigures>& kinds,
                               const std::vector<TExamKind>& catalogue) {
    std::map<std::int64_t, const TDoseFigures*> figures;
    for (const TKindFigures& kind : kinds) figures[kind.kindId] = &kind.figures;
    std::vector<TAuditRow> rows;
    for (const TExamKind& kind : catalogue) {
        const auto level = LevelMilliOf(kind.referenceLevel);
        if (!level) continue;
        TAuditRow row{kind.name, {}, 0, 0, 0, level};
        if (const auto found = figures.find(kind.id); found != figures.end()) {
            row.count = found->second->count;
            row.medianQuarter = found->second->medianQuarter;
            row.p75Quarter = found->second->p75Quarter;
        }
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(),
              [](const TAuditRow& a, const TAuditRow& b) { return a.name < b.name; });
    return rows;
}

TPeriodReport ComputeReport(const TPeriod& period, const std::vector<TExamRow>& rows,
                            const std::vector<TExamKind>& catalogue) {
    TPeriodReport report;
    report.period = period;
    std::map<std::int64_t, const TExamKind*> kinds;
    for (const TExamKind& kind : catalogue) kinds[kind.id] = &kind;

    report.months = MonthsOf(period);

    std::map<std::int64_t, TGroup> byKind;
    TGroup without, all;
    for (const TExamRow& row : rows) {
        const DateTime when = FromMilliseconds(row.minute * 60'000);
        const std::int64_t milli = MilliOf(row.dose);
        std::optional<std::int64_t> effective;
        const auto kind = row.kindId ? kinds.find(*row.kindId) : kinds.end();
        if (kind != kinds.end()) {
            effective = EffectiveNano(milli, when.year, row.birthYear, *kind->second);
            byKind[kind->first].Add(milli, effective);
        } else {
            without.Add(milli, std::nullopt);
        }
        all.Add(milli, effective);
        if (const auto month = MonthPlace(period, when.year, when.month)) {
            TMonthFigures& figures = report.months[*month];
            ++figures.count;
            figures.totalMilli = Added(figures.totalMilli, milli);
        }
    }
    for (auto& [id, group] : byKind) {
        report.kinds.push_back({id, kinds.at(id)->name, group.Finish()});
    }
    std::sort(report.kinds.begin(), report.kinds.end(),
              [](const TKindFigures& a, const TKindFigures& b) { return a.name < b.name; });
    report.withoutKind = without.Finish();
    report.all = all.Finish();
    report.audit = AuditOf(report.kinds, catalogue);
    return report;
}

}  // namespace virel
