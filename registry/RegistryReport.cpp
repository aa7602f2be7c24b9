// The period report over the registry: the server aggregates (counts, exact sums in numeric,
// percentiles of the integer doses), so that a year of fifty rooms never crosses the network
// row by row; the figures are the very ones ComputeReport gives for the same rows.
#include <algorithm>
#include <future>
#include <limits>
#include <map>
#include <tuple>

#include "core/TextUtil.h"
#include "journal/JournalSql.h"
#include "registry/Odbc.h"
#include "registry/Registry.h"
#include "registry/ServerSchema.h"

namespace virel {

namespace {

// A numeric sum as the report's integer; the report's own words when it does not fit.
std::int64_t Whole(const std::optional<std::string>& text) {
    if (!text || text->empty()) return 0;
    std::int64_t value = 0;
    for (char c : *text) {
        if (c < '0' || c > '9' ||
            value > (std::numeric_limits<std::int64_t>::max() - (c - '0')) / 10)
            throw Exception("Суммы отчёта слишком велики");
        value = value * 10 + (c - '0');
    }
    return value;
}

// Each kind's name numbered in their order: the groups are numbers, which the server sorts
// faster than names; the names come with a query of their own.
constexpr const char* kKindGroups =
    "SELECT room, id, k_adult, k_child, dense_rank() OVER (ORDER BY name COLLATE \"C\") AS g,"
    " name FROM exam_kinds";

// The period's rows with their current annotation's kind (by the room's catalogue) and the K
// for the patient's age group in the year of the examination; the room's filter when given.
std::string RowsSql(bool oneRoom) {
    const std::string roomFilter = oneRoom ? " AND r.room = ?" : "";
    return std::string("WITH kinds AS (") + kKindGroups +
           "), rows AS ("
           "  SELECT r.dose_milli AS milli, k.g, k.id AS kind_id,"
           "    CASE WHEN r.current_birth_year IS NULL THEN NULL"
           "         WHEN extract(year FROM r.at_minute) - r.current_birth_year < 18 THEN k.k_child"
           "         ELSE k.k_adult END AS k"
           "  FROM records AS r"
           "  LEFT JOIN kinds AS k ON k.room = r.room AND k.id = r.current_kind_id"
           "  WHERE r.at_minute >= CAST(? AS timestamp) AND r.at_minute < CAST(? AS timestamp)" +
           roomFilter + ") ";
}

// K in millionths, rounded half away from zero as the program rounds it.
constexpr const char* kMicro = "(sign(k) * floor(abs(k * 1000000) + 0.5))::numeric";

// The period's months: count and total. A query of its own on a connection of its own, so that
// the server reads it on another core while it sorts the doses for the percentiles.
std::vector<TMonthFigures> Months(const TRegistrySettings& settings, const std::string& room,
                                  const std::string& from, const std::string& until) {
    odbc::TConnection connection(settings.connection, settings.password);
    connection.Execute("SET LOCAL jit = off");
    odbc::TStatement months = connection.Prepare(
        std::string("SELECT date_trunc('month', at_minute)::date::text, count(*), "
                    "sum(dose_milli)::text FROM records WHERE ") +
        (room.empty() ? "" : "room = ? AND ") +
        "at_minute >= CAST(? AS timestamp) AND at_minute < CAST(? AS timestamp) GROUP BY 1");
    odbc::TParams q;
    if (!room.empty()) q.Text(room);
    q.Text(from);
    q.Text(until);
    months.Execute(q);
    std::vector<TMonthFigures> figures;
    while (months.Fetch()) {
        const std::string month = months.Text(1).value_or("");  // "YYYY-MM-01"
        TMonthFigures f;
        if (month.size() >= 7) {
            f.year = std::stoi(month.substr(0, 4));
            f.month = std::stoi(month.substr(5, 2));
        }
        f.count = months.Int(2).value_or(0);
        f.totalMilli = Whole(months.Text(3));
        figures.push_back(f);
    }
    connection.Rollback();
    return figures;
}

// Each kind's number and name (kKindGroups' numbers).
std::map<std::int64_t, std::string> KindNames(odbc::TConnection& connection) {
    std::map<std::int64_t, std::string> names;
    odbc::TStatement kinds = connection.NewStatement();
    kinds.Direct(std::string("SELECT DISTINCT g, name FROM (") + kKindGroups + ") AS k");
    while (kinds.Fetch()) names[kinds.Int(1).value_or(0)] = kinds.Text(2).value_or("");
    return names;
}

// The figures of one row of the kinds' query: a kind's, those without a kind, or all.
TDoseFigures FiguresOf(odbc::TStatement& figures) {
    TDoseFigures f;
    f.count = figures.Int(4).value_or(0);
    f.totalMilli = Whole(figures.Text(5));
    f.medianQuarter = figures.Int(6).value_or(0);
    f.p75Quarter = figures.Int(7).value_or(0);
    f.withEffective = figures.Int(8).value_or(0);
    f.effectiveNano = Whole(figures.Text(9));
    return f;
}

// The period's figures by kind, without a kind and of all, into the report.
void KindFigures(odbc::TConnection& connection, const std::string& from, const std::string& until,
                 const std::string& room, TPeriodReport& report) {
    const bool oneRoom = !room.empty();
    const std::map<std::int64_t, std::string> names = KindNames(connection);
    odbc::TStatement figures = connection.Prepare(
        RowsSql(oneRoom) +
        "SELECT GROUPING(g), g, min(kind_id), count(*), sum(milli)::text,"
        "  round(4 * percentile_cont(0.5) WITHIN GROUP (ORDER BY milli))::bigint,"
        "  round(4 * percentile_cont(0.75) WITHIN GROUP (ORDER BY milli))::bigint,"
        "  count(k), coalesce(sum(milli::numeric * " +
        kMicro + "), 0)::text FROM rows GROUP BY GROUPING SETS ((g), ())");
    odbc::TParams p;
    p.Text(from);
    p.Text(until);
    if (oneRoom) p.Text(room);
    figures.Execute(p);
    while (figures.Fetch()) {
        const bool total = figures.Int(1).value_or(0) != 0;
        const std::optional<std::int64_t> group = figures.Int(2);
        TDoseFigures f = FiguresOf(figures);
        if (total) {
            report.all = f;
        } else if (!group) {
            f.withEffective = 0;  // no kind, no K
            f.effectiveNano = 0;
            report.withoutKind = f;
        } else {
            // Across rooms a kind is its name: each room numbers its own catalogue.
            const auto name = names.find(*group);
            report.kinds.push_back({oneRoom ? figures.Int(3).value_or(0) : 0,
                                    name == names.end() ? std::string() : name->second, f});
        }
    }
    std::sort(report.kinds.begin(), report.kinds.end(),
              [](const TKindFigures& a, const TKindFigures& b) { return a.name < b.name; });
}

// A room's catalogue as the server holds it: each kind's name, K and reference level.
struct TServerKind {
    std::string room;
    TExamKind kind;
};

std::vector<TServerKind> ServerKinds(odbc::TConnection& connection, const std::string& room) {
    odbc::TStatement kinds = connection.Prepare(
        std::string("SELECT room, id, name, k_adult, k_child, reference_level FROM exam_kinds") +
        (room.empty() ? "" : " WHERE room = ?") + " ORDER BY room COLLATE \"C\", id");
    odbc::TParams p;
    if (!room.empty()) p.Text(room);
    kinds.Execute(p);
    std::vector<TServerKind> found;
    while (kinds.Fetch()) {
        TServerKind k;
        k.room = kinds.Text(1).value_or("");
        k.kind.id = kinds.Int(2).value_or(0);
        k.kind.name = kinds.Text(3).value_or("");
        k.kind.kAdult = kinds.Double(4);
        k.kind.kChild = kinds.Double(5);
        k.kind.referenceLevel = kinds.Double(6);
        found.push_back(std::move(k));
    }
    return found;
}

// Each room's median and 75th percentile of each kind: a query of its own on a connection of
// its own, as the months', so that the server sorts it on another core. Rooms and kinds are
// grouped by their numbers, which the server sorts faster than names; the names come with
// queries of their own in the same snapshot.
std::vector<TAuditRow> RoomFigures(const TRegistrySettings& settings, const std::string& from,
                                   const std::string& until) {
    constexpr const char* kRoomGroups =
        "SELECT room, id, dense_rank() OVER (ORDER BY name COLLATE \"C\") AS g,"
        " dense_rank() OVER (ORDER BY room COLLATE \"C\") AS rn FROM exam_kinds";
    odbc::TConnection connection(settings.connection, settings.password);
    connection.Execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
    connection.Execute("SET LOCAL work_mem = '256MB'");
    connection.Execute("SET LOCAL jit = off");
    const std::map<std::int64_t, std::string> names = KindNames(connection);
    std::map<std::int64_t, std::string> rooms;
    {
        odbc::TStatement numbers = connection.NewStatement();
        numbers.Direct(std::string("SELECT DISTINCT rn, room FROM (") + kRoomGroups + ") AS k");
        while (numbers.Fetch()) rooms[numbers.Int(1).value_or(0)] = numbers.Text(2).value_or("");
    }
    // The records without a kind are grouped too and left out here: a filter on the kind would
    // turn the join into a loop over the kinds, each reading its room's records.
    odbc::TStatement figures = connection.Prepare(
        std::string("WITH kinds AS (") + kRoomGroups +
        ") SELECT k.rn, k.g, count(*),"
        "  round(4 * percentile_cont(0.5) WITHIN GROUP (ORDER BY r.dose_milli))::bigint,"
        "  round(4 * percentile_cont(0.75) WITHIN GROUP (ORDER BY r.dose_milli))::bigint"
        " FROM records AS r"
        " LEFT JOIN kinds AS k ON k.room = r.room AND k.id = r.current_kind_id"
        " WHERE r.at_minute >= CAST(? AS timestamp) AND r.at_minute < CAST(? AS timestamp)"
        " GROUP BY k.rn, k.g");
    odbc::TParams p;
    p.Text(from);
    p.Text(until);
    figures.Execute(p);
    std::vector<TAuditRow> rows;
    while (figures.Fetch()) {
        const std::optional<std::int64_t> room = figures.Int(1), group = figures.Int(2);
        if (!room || !group) continue;
        TAuditRow row;
        if (const auto name = rooms.find(*room); name != rooms.end()) row.room = name->second;
        if (const auto name = names.find(*group); name != names.end()) row.name = name->second;
        row.count = figures.Int(3).value_or(0);
        row.medianQuarter = figures.Int(4).value_or(0);
        row.p75Quarter = figures.Int(5).value_or(0);
        rows.push_back(std::move(row));
    }
    connection.Rollback();
    return rows;
}

// The rooms side by side for each kind, with each room's own level, and the local levels with
// the K of the clinic's catalogue: this room's, else the first room's that has the kind.
TRoomsAudit RoomsAudit(std::vector<TAuditRow> rows, const std::vector<TServerKind>& kinds,
                       const std::string& ownRoom) {
    std::map<std::pair<std::string, std::string>, const TExamKind*> byRoom;
    std::map<std::string, const TExamKind*> clinic;
    for (const TServerKind& k : kinds) {
        byRoom[{k.room, k.kind.name}] = &k.kind;
        const auto known = clinic.find(k.kind.name);
        if (known == clinic.end() || k.room == ownRoom) clinic[k.kind.name] = &k.kind;
    }
    for (TAuditRow& row : rows) {
        const auto kind = byRoom.find({row.room, row.name});
        if (kind != byRoom.end()) row.levelMilli = LevelMilliOf(kind->second->referenceLevel);
    }
    std::sort(rows.begin(), rows.end(), [](const TAuditRow& a, const TAuditRow& b) {
        return std::tie(a.name, a.room) < std::tie(b.name, b.room);
    });
    TRoomsAudit audit{std::move(rows), {}};
    audit.levels = LocalLevels(audit.rows);
    for (TLocalLevel& level : audit.levels) {
        if (const auto kind = clinic.find(level.name); kind != clinic.end()) {
            level.kAdult = kind->second->kAdult;
            level.kChild = kind->second->kChild;
        }
    }
    return audit;
}

}  // namespace

TPeriodReport RegistryReport(const TRegistrySettings& settings, const TPeriod& period,
                             const std::string& roomName) {
    // A kind is matched across rooms by its name: the name's number is the same in every room.
    const std::string room = Trimmed(roomName);
    const std::string from = JournalDateText(period.from);
    const std::string until = DayAfter(period.to);
    TPeriodReport report;
    report.period = period;
    report.months = MonthsOf(period);
    try {
        odbc::TConnection connection(settings.connection, settings.password);
        EnsureServerSchema(connection);
        auto months = std::async(std::launch::async, Months, std::cref(settings), std::cref(room),
                                 std::cref(from), std::cref(until));
        std::future<std::vector<TAuditRow>> roomFigures;
        if (room.empty()) {
            roomFigures = std::async(std::launch::async, RoomFigures, std::cref(settings),
                                     std::cref(from), std::cref(until));
        }
        // The percentiles sort a year's doses: in memory rather than on the server's disk. A
        // query of a second or two gains nothing from compiling it first.
        connection.Execute("SET LOCAL work_mem = '256MB'");
        connection.Execute("SET LOCAL jit = off");
        KindFigures(connection, from, until, room, report);
        const std::vector<TServerKind> kinds = ServerKinds(connection, room);
        if (room.empty()) {
            // A kind's level is each room's own: the rooms are audited one by one.
            report.rooms = RoomsAudit(roomFigures.get(), kinds, Trimmed(settings.room));
        } else {
            std::vector<TExamKind> catalogue;
            for (const TServerKind& k : kinds) catalogue.push_back(k.kind);
            report.audit = AuditOf(report.kinds, catalogue);
        }
        for (const TMonthFigures& f : months.get()) {
            const auto place = MonthPlace(period, f.year, f.month);
            if (!place) continue;
            report.months[*place].count = f.count;
            report.months[*place].totalMilli = f.totalMilli;
        }
        connection.Rollback();  // read only: nothing to keep
    } catch (const odbc::EOdbc& e) {
        throw Exception(e.what());
    }
    return report;
}

std::vector<std::string> RegistryRooms(const TRegistrySettings& settings) {
    std::vector<std::string> rooms;
    try {
        odbc::TConnection connection(settings.connection, settings.password);
        EnsureServerSchema(connection);
        odbc::TStatement s = connection.NewStatement();
        s.Direct("SELECT name FROM rooms ORDER BY name COLLATE \"C\"");
        while (s.Fetch()) rooms.push_back(s.Text(1).value_or(""));
        connection.Rollback();
    } catch (const odbc::EOdbc& e) {
        throw Exception(e.what());
    }
    return rooms;
}

}  // namespace virel
