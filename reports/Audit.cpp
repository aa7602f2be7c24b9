#include "reports/Audit.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/export/Csv.h"
#include "reports/CatalogueCsv.h"
#include "reports/PeriodReport.h"

namespace virel {

namespace {

// A non-negative a / b rounded to the nearest whole number, halves up.
std::int64_t RoundedQuotient(std::int64_t a, std::int64_t b) {
    return a / b + ((a % b) * 2 >= b ? 1 : 0);
}

}  // namespace

TAuditMark AuditMarkOf(const TAuditRow& row) {
    if (row.count < kAuditMinRecords) return TAuditMark::FewRecords;
    if (row.levelMilli && row.medianQuarter > *row.levelMilli * 4) return TAuditMark::Above;
    return TAuditMark::None;
}

std::string AuditMarkText(TAuditMark mark) {
    switch (mark) {
        case TAuditMark::FewRecords:
            return "мало записей";
        case TAuditMark::Above:
            return "медиана выше РДУ";
        case TAuditMark::None:
            break;
    }
    return {};
}

std::optional<std::int64_t> MedianPercentTenths(const TAuditRow& row) {
    if (!row.levelMilli || *row.levelMilli <= 0 || row.count == 0) return std::nullopt;
    // median / level * 1000 tenths = quarters * 250 / level.
    return RoundedQuotient(row.medianQuarter * 250, *row.levelMilli);
}

std::optional<std::int64_t> LevelMilliOf(const std::optional<double>& levelGy) {
    if (!levelGy || !std::isfinite(*levelGy)) return std::nullopt;
    const std::int64_t milli = MilliOf(*levelGy);
    if (milli <= 0) return std::nullopt;
    return milli;
}

std::int64_t TLocalLevel::LevelMilli() const {
    return RoundedQuotient(levelSixteenth, 16);
}

std::vector<TLocalLevel> LocalLevels(const std::vector<TAuditRow>& rows) {
    std::map<std::string, std::vector<std::int64_t>> medians;
    for (const TAuditRow& row : rows) {
        std::vector<std::int64_t>& kind = medians[row.name];
        if (row.count >= kAuditMinRecords) kind.push_back(row.medianQuarter);
    }
    std::vector<TLocalLevel> levels;
    for (auto& [name, quarters] : medians) {
        TLocalLevel level;
        level.name = name;
        level.rooms = static_cast<std::int64_t>(quarters.size());
        if (!quarters.empty()) {
            std::sort(quarters.begin(), quarters.end());
            // The report's own percentile of values in quarters: sixteenths.
            level.levelSixteenth = PercentileQuarter(quarters, 3);
        }
        levels.push_back(std::move(level));
    }
    return levels;
}

std::string LocalLevelsCatalogueCsv(const std::vector<TLocalLevel>& levels) {
    std::string csv = std::string(kCsvBom) + kLevelsCatalogueHeader;
    csv += kCsvLineEnd;
    for (const TLocalLevel& level : levels) {
        // No level to offer: the kind stays as the clinic has it.
        if (level.rooms == 0 || level.LevelMilli() <= 0) continue;
        csv += CsvField(level.name) + kCsvSeparator + (level.kAdult ? KText(*level.kAdult) : "") +
               kCsvSeparator + (level.kChild ? KText(*level.kChild) : "") + kCsvSeparator +
               std::to_string(level.LevelMilli());
        csv += kCsvLineEnd;
    }
    return csv;
}

}  // namespace virel
