#pragma once
// The audit of a period's DAP against the kinds' diagnostic reference levels (РДУ), as ICRP
// Publication 135 has it: a facility's median DAP for a kind of examination is compared with the
// kind's level, and only a median of enough records gets a verdict. Over several rooms, the 75th
// percentile of the rooms' medians is the clinic's own local level, as a national level is set
// from the facilities' medians.
//
// Exact, as the rest of the report: doses in whole mGy·cm², a median in quarters of that, a
// percentile of medians in sixteenths. Portable: no file, no window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace virel {

// Fewer records than this give a median too uncertain to judge: no verdict.
inline constexpr std::int64_t kAuditMinRecords = 10;

// One kind of examination in one room (locally the room is empty).
struct TAuditRow {
    std::string name;
    std::string room;
    std::int64_t count = 0;
    std::int64_t medianQuarter = 0;  // quarters of mGy·cm²; only when count > 0
    std::int64_t p75Quarter = 0;
    std::optional<std::int64_t> levelMilli;  // the kind's РДУ in whole mGy·cm², > 0
};

enum class TAuditMark {
    None,        // a verdict: the median is at or below the level (or there is no level)
    FewRecords,  // no verdict
    Above,       // the median exceeds the level
};
TAuditMark AuditMarkOf(const TAuditRow& row);
// "мало записей", "медиана выше РДУ", "" for none.
std::string AuditMarkText(TAuditMark mark);

// The median as a percentage of the level, in tenths of a percent rounded half up; none without
// a level or without records.
std::optional<std::int64_t> MedianPercentTenths(const TAuditRow& row);

// A level in Gy·cm² as whole mGy·cm²; none when it is not above zero there.
std::optional<std::int64_t> LevelMilliOf(const std::optional<double>& levelGy);

// The local level of one kind from the rooms' medians.
struct TLocalLevel {
    std::string name;
    std::int64_t rooms = 0;  // the rooms whose median counts: kAuditMinRecords records or more
    std::int64_t levelSixteenth = 0;  // sixteenths of mGy·cm²; only when rooms > 0
    // The kind's K as the clinic's catalogue has it, for the catalogue written from the levels.
    std::optional<double> kAdult;
    std::optional<double> kChild;

    // Rounded half up to whole mGy·cm², the digits every unit shows.
    std::int64_t LevelMilli() const;
};

// Each kind of `rows` (rooms' rows, any order) with the 75th percentile of the medians of its
// rooms that have enough records, by name. A kind no room has enough records of is listed with
// no rooms and no level.
std::vector<TLocalLevel> LocalLevels(const std::vector<TAuditRow>& rows);

// The rooms' audit over the central registry: every kind in every room that has records of it
// (the rooms side by side for each kind: by kind, then room), and the local levels.
struct TRoomsAudit {
    std::vector<TAuditRow> rows;
    std::vector<TLocalLevel> levels;
};

// The local levels as a catalogue file for the catalogue's import: the kinds that have a level,
// their K, the level in whole mGy·cm² (kLevelsCatalogueHeader; the catalogue's CSV form).
std::string LocalLevelsCatalogueCsv(const std::vector<TLocalLevel>& levels);
inline constexpr char kLevelsCatalogueHeader[] =
    "Вид исследования;K для взрослых;K для детей;РДУ, мГр·см²";

}  // namespace virel
