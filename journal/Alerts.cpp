// The journal's high-dose alerts (schema step 4): raised inside the capture's or the
// annotation's transaction, listed for the notice and the reports, acknowledged by the operator.
#include "journal/Alerts.h"

#include "journal/Journal.h"
#include "journal/JournalSql.h"

namespace virel {

namespace {

// An alert's record and the kind it is filed under: the kind the alert was raised for, else
// the record's current annotation's (the latest row of its history).
#define VIREL_ALERT_ROW_SELECT                                                          \
    "SELECT a.id, a.record_id, " VIREL_JOURNAL_KEY                                      \
    ", r.device, r.number, r.dose, a.level, a.level_value, k.name, a.acknowledged_at, " \
    "a.acknowledged_by, a.note, a.raised_at FROM alerts AS a "                          \
    "JOIN records AS r ON r.id = a.record_id "                                          \
    "LEFT JOIN exam_kinds AS k ON k.id = coalesce(a.kind_id, "                          \
    "(SELECT kind_id FROM annotations WHERE record_id = r.id ORDER BY id DESC LIMIT 1))"

TAlertRow RowAt(const TStatement& s) {
    TAlertRow row;
    row.alertId = s.Int64(0);
    row.recordId = s.Int64(1);
    row.minute = s.Int64(2);
    row.device = s.Int(3);
    row.number = s.Int(4);
    row.dose = s.Double(5);
    row.level = AlertLevelOfText(s.Text(6)).value_or(TAlertLevel::Record);
    row.levelValue = s.Double(7);
    row.kindName = s.OptionalText(8);
    row.acknowledgedAt = s.OptionalText(9);
    row.acknowledged = row.acknowledgedAt.has_value();
    row.acknowledgedBy = s.OptionalText(10);
    row.note = s.Text(11);
    row.raisedAt = s.Text(12);
    return row;
}

}  // namespace

const char* AlertLevelText(TAlertLevel level) {
    switch (level) {
        case TAlertLevel::Record:
            return "record";
        case TAlertLevel::Kind:
            return "kind";
        case TAlertLevel::Checkup:
            break;
    }
    return "checkup";
}

std::optional<TAlertLevel> AlertLevelOfText(const std::string& text) {
    for (const TAlertLevel level : {TAlertLevel::Record, TAlertLevel::Kind, TAlertLevel::Checkup})
        if (text == AlertLevelText(level)) return level;
    return std::nullopt;
}

int RaiseRecordAlert(TDatabase& db, std::int64_t recordId, double level, double dose,
                     const std::string& raisedAt, bool& raised) {
    TStatement s = db.Statement(
        "INSERT INTO alerts (record_id, level, level_value, value, raised_at) "
        "VALUES (?1, 'record', ?2, ?3, ?4) ON CONFLICT (record_id, level) DO NOTHING");
    s.Bind(1, recordId).Bind(2, level).Bind(3, dose).Bind(4, raisedAt);
    const int rc = s.Step();
    raised = rc == sqlite::kDone && db.Changes() > 0;
    return rc == sqlite::kDone ? sqlite::kOk : rc;
}

int RaiseKindAlert(TDatabase& db, std::int64_t recordId, std::int64_t kindId,
                   const std::string& raisedAt, bool& raised) {
    TStatement s = db.Statement(
        "INSERT INTO alerts (record_id, level, level_value, value, kind_id, raised_at) "
        "SELECT r.id, 'kind', k.alert_level, r.dose, k.id, ?3 "
        "FROM records AS r JOIN exam_kinds AS k ON k.id = ?2 "
        "WHERE r.id = ?1 AND k.alert_level IS NOT NULL AND r.dose > k.alert_level "
        "ON CONFLICT (record_id, level) DO NOTHING");
    s.Bind(1, recordId).Bind(2, kindId).Bind(3, raisedAt);
    const int rc = s.Step();
    raised = rc == sqlite::kDone && db.Changes() > 0;
    return rc == sqlite::kDone ? sqlite::kOk : rc;
}

std::vector<TAlertRow> TAlerts::Unacknowledged() {
    return Rows(false, {});
}

std::vector<TAlertRow> TAlerts::InPeriod(const TPeriod& period) {
    return Rows(true, period);
}

std::vector<TAlertRow> TAlerts::Rows(bool period, const TPeriod& within) {
    TDatabase& db = journal_.Database();
    // The unacknowledged walk their partial index; a period's, the records' period index.
    TStatement s = period ? db.Statement(VIREL_ALERT_ROW_SELECT VIREL_JOURNAL_PERIOD
                                         " ORDER BY " VIREL_JOURNAL_KEY ", r.device, r.id, a.id")
                          : db.Statement(VIREL_ALERT_ROW_SELECT
                                         " WHERE a.acknowledged_at IS NULL ORDER BY a.id");
    if (period) s.Bind(1, JournalDateText(within.from)).Bind(2, DayAfter(within.to));
    std::vector<TAlertRow> rows;
    while (s.Next()) rows.push_back(RowAt(s));
    return rows;
}

std::vector<TAlert> TAlerts::ForRecord(std::int64_t recordId) {
    TStatement s = journal_.Database().Statement(
        "SELECT id, record_id, level, level_value, value, kind_id, raised_at, acknowledged_at, "
        "acknowledged_by, note FROM alerts WHERE record_id = ?1 ORDER BY id");
    s.Bind(1, recordId);
    std::vector<TAlert> alerts;
    while (s.Next()) {
        TAlert a;
        a.id = s.Int64(0);
        a.recordId = s.Int64(1);
        a.level = AlertLevelOfText(s.Text(2)).value_or(TAlertLevel::Record);
        a.levelValue = s.Double(3);
        a.value = s.Double(4);
        a.kindId = s.OptionalInt64(5);
        a.raisedAt = s.Text(6);
        a.acknowledgedAt = s.OptionalText(7);
        a.acknowledgedBy = s.OptionalText(8);
        a.note = s.Text(9);
        alerts.push_back(std::move(a));
    }
    return alerts;
}

TAcknowledgeResult TAlerts::Acknowledge(std::int64_t id, const std::string& windowsUser,
                                        const std::string& note) {
    TAcknowledgeResult result;
    if (!journal_.Writable()) {
        result.fault = TAcknowledgeFault::NotWritten;
        result.error = journal_.WhyNotWritable();
        return result;
    }
    try {
        TDatabase& db = journal_.WritableDatabase();
        const std::string now = JournalSecondText(FromMilliseconds(journal_.Clock().LocalNowMs()));
        // The update's trigger queues the alert again for the registry.
        TStatement s = db.Statement(
            "UPDATE alerts SET acknowledged_at = ?2, acknowledged_by = ?3, note = ?4 "
            "WHERE id = ?1 AND acknowledged_at IS NULL");
        s.Bind(1, id).Bind(2, now);
        s.Bind(3, windowsUser.empty() ? std::optional<std::string>() : windowsUser);
        s.Bind(4, note.empty() ? std::optional<std::string>() : note);
        s.Run();
        if (db.Changes() > 0) {
            journal_.Wrote();
            return result;
        }
        TStatement exists = db.Statement("SELECT EXISTS (SELECT 1 FROM alerts WHERE id = ?1)");
        exists.Bind(1, id);
        exists.First();
        result.fault = exists.Int(0) ? TAcknowledgeFault::Acknowledged : TAcknowledgeFault::NoAlert;
    } catch (const EJournal& e) {
        result.fault = TAcknowledgeFault::NotWritten;
        result.error = e.what();
    }
    return result;
}

}  // namespace virel
