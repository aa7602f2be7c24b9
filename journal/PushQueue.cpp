// The central registry's queue in the journal (schema step 3): what is waiting, and taking off
// what the server committed.
#include "journal/PushQueue.h"

#include <sqlite3.h>

#include <algorithm>

#include "journal/Journal.h"

namespace virel {

namespace {

std::string ColumnText(sqlite3_stmt* s, int column) {
    const auto* text = sqlite3_column_text(s, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(s, column)))
                : std::string();
}

bool IsNull(sqlite3_stmt* s, int column) {
    return sqlite3_column_type(s, column) == SQLITE_NULL;
}

std::optional<std::string> OptionalText(sqlite3_stmt* s, int column) {
    if (IsNull(s, column)) return std::nullopt;
    return ColumnText(s, column);
}

std::optional<int> OptionalInt(sqlite3_stmt* s, int column) {
    if (IsNull(s, column)) return std::nullopt;
    return sqlite3_column_int(s, column);
}

// The 14 bytes; false for a row whose bytes are not 14 (none are queued, but a tool may have
// changed one since).
bool ReadRaw(sqlite3_stmt* s, int column, std::array<std::uint8_t, kRecordSize - 1>& raw) {
    if (sqlite3_column_type(s, column) != SQLITE_BLOB ||
        sqlite3_column_bytes(s, column) != static_cast<int>(raw.size()))
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, column));
    std::copy(bytes, bytes + raw.size(), raw.begin());
    return true;
}

TPatientForm FormOf(const std::string& text) {
    if (text == "typed") return TPatientForm::Typed;
    if (text == "sha256") return TPatientForm::Sha256;
    return TPatientForm::None;
}

}  // namespace

std::size_t TJournal::Waiting() {
    RequireOpen();
    sqlite3_stmt* s = Statement("SELECT count(*) FROM push_queue WHERE refused IS NULL");
    TStatementUse use(s);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) Fail(rc);
    return static_cast<std::size_t>(sqlite3_column_int64(s, 0));
}

std::size_t TJournal::Refused() {
    RequireOpen();
    sqlite3_stmt* s = Statement("SELECT count(*) FROM push_queue WHERE refused IS NOT NULL");
    TStatementUse use(s);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) Fail(rc);
    return static_cast<std::size_t>(sqlite3_column_int64(s, 0));
}

std::vector<TWaitingItem> TJournal::WaitingRows(std::size_t count) {
    RequireOpen();
    // One query for both kinds, in queue order: an annotation is never sent before a record
    // queued ahead of it. The record's columns come first, then the annotation's.
    sqlite3_stmt* s = Statement(
        "SELECT q.id, q.record_id, q.annotation_id,"
        "  r.raw, r.device, r.number, r.measured_at, r.dose, r.device_error, r.first_seen, "
        "  r.source,"
        "  ar.raw, a.saved_at, a.patient_form, a.patient, a.birth_year, a.kind_id, a.images,"
        "  a.operator, a.note, a.id "
        "FROM push_queue AS q "
        "LEFT JOIN records AS r ON r.id = q.record_id "
        "LEFT JOIN annotations AS a ON a.id = q.annotation_id "
        "LEFT JOIN records AS ar ON ar.id = a.record_id "
        "WHERE q.refused IS NULL ORDER BY q.id LIMIT ?1");
    std::vector<TWaitingItem> items;
    std::vector<std::int64_t> gone;
    {
        TStatementUse use(s);
        sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(count));
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            TWaitingItem item;
            item.queueId = sqlite3_column_int64(s, 0);
            if (!IsNull(s, 1)) {
                TJournalRecord r;
                if (!ReadRaw(s, 3, r.raw)) {
                    gone.push_back(item.queueId);
                    continue;
                }
                r.device = sqlite3_column_int(s, 4);
                r.number = sqlite3_column_int(s, 5);
                r.measuredAt = OptionalText(s, 6);
                r.dose = sqlite3_column_double(s, 7);
                r.deviceError = OptionalInt(s, 8);
                r.firstSeen = ColumnText(s, 9);
                r.source = SourceOfText(ColumnText(s, 10)).value_or(TJournalSource::Print);
                item.record = std::move(r);
            } else {
                TPushAnnotation a;
                if (IsNull(s, 12) || !ReadRaw(s, 11, a.raw)) {
                    gone.push_back(item.queueId);
                    continue;
                }
                a.savedAt = ColumnText(s, 12);
                a.patientForm = FormOf(ColumnText(s, 13));
                a.patient = OptionalText(s, 14);
                a.birthYear = OptionalInt(s, 15);
                if (!IsNull(s, 16)) a.kindId = sqlite3_column_int64(s, 16);
                a.images = OptionalInt(s, 17);
                a.operatorName = OptionalText(s, 18);
                a.note = OptionalText(s, 19);
                a.localId = sqlite3_column_int64(s, 20);
                item.annotation = std::move(a);
            }
            items.push_back(std::move(item));
        }
        if (rc != SQLITE_DONE) Fail(rc);
    }
    // A row deleted since it was queued cannot be pushed; its entry would wait for ever.
    if (!gone.empty() && Writable()) Pushed(gone);
    return items;
}

void TJournal::Pushed(const std::vector<std::int64_t>& queueIds) {
    RequireOpen();
    if (!Writable()) throw EJournal(path_ + ": read only", SQLITE_READONLY);
    sqlite3* db = db_.get();
    sqlite3_stmt* s = Statement("DELETE FROM push_queue WHERE id = ?1");
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (std::size_t i = 0; rc == SQLITE_OK && i < queueIds.size(); ++i) {
        TStatementUse use(s);
        sqlite3_bind_int64(s, 1, queueIds[i]);
        rc = sqlite3_step(s);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        if (!sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw EJournal(path_ + ": " + message, rc);
    }
    ++ownWrites_;
}

void TJournal::RefusePush(std::int64_t queueId, const std::string& reason) {
    RequireOpen();
    if (!Writable()) throw EJournal(path_ + ": read only", SQLITE_READONLY);
    sqlite3_stmt* s = Statement("UPDATE push_queue SET refused = ?2 WHERE id = ?1");
    TStatementUse use(s);
    sqlite3_bind_int64(s, 1, queueId);
    sqlite3_bind_text(s, 2, reason.data(), static_cast<int>(reason.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE) Fail(rc);
    ++ownWrites_;
}

}  // namespace virel
