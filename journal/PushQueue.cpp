// The central registry's queue in the journal (schema step 3): what is waiting, and taking off
// what the server committed.
#include "journal/PushQueue.h"

#include <algorithm>

#include "journal/Journal.h"
#include "journal/JournalSql.h"

namespace virel {

namespace {

// The record's columns of the query below, from `at` on; none when its bytes are gone (none
// are queued without them, but a tool may have changed a row since).
std::optional<TJournalRecord> RecordAt(const TStatement& s, int at) {
    TJournalRecord r;
    if (!ReadRecordColumns(s, at, r)) return std::nullopt;
    return r;
}

// The annotation's columns from `at` on; none when it or its record is gone.
std::optional<TPushAnnotation> AnnotationAt(const TStatement& s, int at) {
    TPushAnnotation a;
    if (s.IsNull(at + 1) || !ReadRawColumn(s, at, a.raw)) return std::nullopt;
    a.savedAt = s.Text(at + 1);
    a.patientForm = PatientFormOfText(s.Text(at + 2));
    a.patient = s.OptionalText(at + 3);
    a.birthYear = s.OptionalInt(at + 4);
    a.kindId = s.OptionalInt64(at + 5);
    a.images = s.OptionalInt(at + 6);
    a.operatorName = s.OptionalText(at + 7);
    a.note = s.OptionalText(at + 8);
    a.localId = s.Int64(at + 9);
    return a;
}

// The alert's columns from `at` on; none when it or its record is gone.
std::optional<TPushAlert> AlertAt(const TStatement& s, int at) {
    TPushAlert a;
    if (s.IsNull(at + 1) || !ReadRawColumn(s, at, a.raw)) return std::nullopt;
    a.localId = s.Int64(at + 1);
    a.level = AlertLevelOfText(s.Text(at + 2)).value_or(TAlertLevel::Record);
    a.levelValue = s.Double(at + 3);
    a.value = s.Double(at + 4);
    a.kindId = s.OptionalInt64(at + 5);
    a.raisedAt = s.Text(at + 6);
    a.acknowledgedAt = s.OptionalText(at + 7);
    a.acknowledgedBy = s.OptionalText(at + 8);
    a.note = s.OptionalText(at + 9);
    return a;
}

}  // namespace

std::size_t TPushQueue::Count(const char* sql) {
    TStatement s = journal_.Database().Statement(sql);
    s.First();
    return static_cast<std::size_t>(s.Int64(0));
}

std::size_t TPushQueue::Waiting() {
    return Count("SELECT count(*) FROM push_queue WHERE refused IS NULL");
}

std::size_t TPushQueue::Refused() {
    return Count("SELECT count(*) FROM push_queue WHERE refused IS NOT NULL");
}

std::vector<TWaitingItem> TPushQueue::WaitingRows(std::size_t count) {
    std::vector<TWaitingItem> items;
    std::vector<std::int64_t> gone;
    {
        // One query for all kinds of row, in queue order: an annotation or an alert is never
        // sent before a record queued ahead of it. The record's columns come first, then the
        // annotation's, then the alert's.
        TStatement s = journal_.Database().Statement(
            "SELECT q.id, q.record_id,"
            "  r.raw, r.device, r.number, r.measured_at, r.dose, r.device_error, r.first_seen, "
            "  r.source,"
            "  ar.raw, a.saved_at, a.patient_form, a.patient, a.birth_year, a.kind_id, a.images,"
            "  a.operator, a.note, a.id, "
            "  q.alert_id, lr.raw, l.id, l.level, l.level_value, l.value, l.kind_id, l.raised_at,"
            "  l.acknowledged_at, l.acknowledged_by, l.note "
            "FROM push_queue AS q "
            "LEFT JOIN records AS r ON r.id = q.record_id "
            "LEFT JOIN annotations AS a ON a.id = q.annotation_id "
            "LEFT JOIN records AS ar ON ar.id = a.record_id "
            "LEFT JOIN alerts AS l ON l.id = q.alert_id "
            "LEFT JOIN records AS lr ON lr.id = l.record_id "
            "WHERE q.refused IS NULL ORDER BY q.id LIMIT ?1");
        s.Bind(1, static_cast<std::int64_t>(count));
        while (s.Next()) {
            TWaitingItem item;
            item.queueId = s.Int64(0);
            if (!s.IsNull(1))
                item.record = RecordAt(s, 2);
            else if (!s.IsNull(20))
                item.alert = AlertAt(s, 21);
            else
                item.annotation = AnnotationAt(s, 10);
            if (item.record || item.annotation || item.alert)
                items.push_back(std::move(item));
            else
                gone.push_back(item.queueId);
        }
    }
    // A row deleted since it was queued cannot be pushed; its entry would wait for ever.
    if (!gone.empty() && journal_.Writable()) Pushed(gone);
    return items;
}

void TPushQueue::Pushed(const std::vector<std::int64_t>& queueIds) {
    TDatabase& db = journal_.WritableDatabase();
    const TTransactionResult removed = db.Transaction(1, [&] {
        for (const std::int64_t id : queueIds) {
            TStatement s = db.Statement("DELETE FROM push_queue WHERE id = ?1");
            s.Bind(1, id);
            if (const int rc = s.Step(); rc != sqlite::kDone) return rc;
        }
        return sqlite::kOk;
    });
    if (!removed.Committed()) throw EJournal(removed.error, removed.code);
    journal_.Wrote();
}

void TPushQueue::Refuse(std::int64_t queueId, const std::string& reason) {
    TStatement s =
        journal_.WritableDatabase().Statement("UPDATE push_queue SET refused = ?2 WHERE id = ?1");
    s.Bind(1, queueId).Bind(2, reason);
    s.Run();
    journal_.Wrote();
}

std::vector<TExamKind> TPushQueue::Catalogue() {
    return TCatalogue(journal_).Kinds();
}

}  // namespace virel
