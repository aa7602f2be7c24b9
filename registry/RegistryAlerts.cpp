#include "registry/RegistryAlerts.h"

#include "core/TextUtil.h"
#include "journal/JournalSql.h"
#include "registry/Odbc.h"
#include "registry/ServerSchema.h"

namespace virel {

std::vector<TAlertRow> RegistryAlerts(const TRegistrySettings& settings, const TPeriod& period,
                                      const std::string& roomName) {
    const std::string room = Trimmed(roomName);
    std::vector<TAlertRow> rows;
    try {
        odbc::TConnection connection(settings.connection, settings.password);
        EnsureServerSchema(connection);
        // The period on the records' index (at_minute), each alert found by its record's room
        // and bytes.
        odbc::TStatement s = connection.Prepare(
            std::string(
                "SELECT a.room, (extract(epoch FROM r.at_minute) / 60)::bigint, r.device, "
                "r.number, r.dose, a.level, a.level_value, k.name, a.acknowledged_at::text, "
                "a.acknowledged_by, a.note, a.raised_at::text "
                "FROM records AS r "
                "JOIN alerts AS a ON a.room = r.room AND a.raw = r.raw "
                "LEFT JOIN exam_kinds AS k ON k.room = a.room "
                "  AND k.id = coalesce(a.kind_id, r.current_kind_id) "
                "WHERE r.at_minute >= CAST(? AS timestamp) AND r.at_minute < CAST(? AS "
                "timestamp)") +
            (room.empty() ? "" : " AND r.room = ?") +
            " ORDER BY a.room COLLATE \"C\", r.at_minute, r.device, r.id, a.id");
        odbc::TParams p;
        p.Text(JournalDateText(period.from));
        p.Text(DayAfter(period.to));
        if (!room.empty()) p.Text(room);
        s.Execute(p);
        while (s.Fetch()) {
            TAlertRow row;
            row.room = s.Text(1).value_or("");
            row.minute = s.Int(2).value_or(0);
            row.device = static_cast<int>(s.Int(3).value_or(0));
            row.number = static_cast<int>(s.Int(4).value_or(0));
            row.dose = s.Double(5).value_or(0);
            row.level = AlertLevelOfText(s.Text(6).value_or("")).value_or(TAlertLevel::Record);
            row.levelValue = s.Double(7).value_or(0);
            row.kindName = s.Text(8);
            row.acknowledgedAt = s.Text(9);
            row.acknowledged = row.acknowledgedAt.has_value();
            row.acknowledgedBy = s.Text(10);
            row.note = s.Text(11).value_or("");
            row.raisedAt = s.Text(12).value_or("");
            rows.push_back(std::move(row));
        }
        connection.Rollback();  // read only: nothing to keep
    } catch (const odbc::EOdbc& e) {
        throw Exception(odbc::Scrubbed(e.what(), settings.password));
    }
    return rows;
}

}  // namespace virel
