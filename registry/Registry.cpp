#include "registry/Registry.h"

#include <algorithm>
#include <map>
#include <memory>

#include "core/TextUtil.h"
#include "core/Utf16.h"
#include "registry/Odbc.h"
#include "registry/ServerSchema.h"

namespace virel {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A text the server would not keep as it is: malformed UTF-8 would reach it replaced.
std::optional<std::string> Unsendable(const std::optional<std::string>& text, const char* field) {
    if (!text) return std::nullopt;
    for (std::size_t i = 0; i < text->size();) {
        if (!NextUtf8Character(*text, i))
            return std::string("the field ") + field + " is not valid UTF-8 text";
    }
    // The server's texts end at a zero character: the rest would be lost without a word.
    if (text->find('\0') != std::string::npos)
        return std::string("the field ") + field + " holds a zero character";
    return std::nullopt;
}

std::optional<std::string> Unsendable(const TWaitingItem& item) {
    if (item.record) {
        if (auto why = Unsendable(item.record->firstSeen, "first_seen")) return why;
        return Unsendable(item.record->measuredAt, "measured_at");
    }
    if (item.alert) {
        const TPushAlert& a = *item.alert;
        if (auto why = Unsendable(a.raisedAt, "raised_at")) return why;
        if (auto why = Unsendable(a.acknowledgedAt, "acknowledged_at")) return why;
        if (auto why = Unsendable(a.acknowledgedBy, "acknowledged_by")) return why;
        return Unsendable(a.note, "note");
    }
    const TPushAnnotation& a = *item.annotation;
    if (auto why = Unsendable(a.savedAt, "saved_at")) return why;
    if (auto why = Unsendable(a.patient, "patient")) return why;
    if (auto why = Unsendable(a.operatorName, "operator")) return why;
    return Unsendable(a.note, "note");
}

// Errors in the data of one row (a text with a zero character, a date that does not exist,
// a number out of range): the row is refused, the others go on.
bool RowFault(const std::string& state) {
    return StartsWith(state, "22") || StartsWith(state, "23") || StartsWith(state, "54");
}

// How many rows one INSERT carries: fewer round trips to the server, every value still bound.
constexpr std::size_t kRecordsPerInsert = 100;
constexpr std::size_t kAnnotationsPerInsert = 50;
constexpr std::size_t kAlertsPerInsert = 50;

std::string Insert(const char* head, const char* row, std::size_t rows, const char* tail) {
    std::string sql = head;
    for (std::size_t i = 0; i < rows; ++i) {
        sql += i ? ", " : " VALUES ";
        sql += row;
    }
    return sql + tail;
}

// One connection's prepared inserts, by the number of rows they carry.
class TSender {
public:
    TSender(odbc::TConnection& connection, std::string room)
        : connection_(connection), room_(std::move(room)) {}

    void Catalogue(const std::vector<TExamKind>& kinds) {
        odbc::TStatement& s = Prepared(kinds_,
                                       "INSERT INTO rooms (name) VALUES (?) ON CONFLICT (name) DO "
                                       "UPDATE SET last_push = now()",
                                       0);
        odbc::TParams room;
        room.Text(room_);
        s.Execute(room);
        odbc::TStatement& k = Prepared(
            kinds_,
            "INSERT INTO exam_kinds (room, id, name, k_adult, k_child, reference_level, "
            "alert_level, preventive) VALUES (?, ?, ?, ?, ?, ?, ?, ? <> 0) "
            "ON CONFLICT (room, id) DO UPDATE SET name = excluded.name, "
            "k_adult = excluded.k_adult, k_child = excluded.k_child, "
            "reference_level = excluded.reference_level, alert_level = excluded.alert_level, "
            "preventive = excluded.preventive "
            "WHERE (exam_kinds.name, exam_kinds.k_adult, exam_kinds.k_child, "
            "exam_kinds.reference_level, exam_kinds.alert_level, exam_kinds.preventive) "
            "IS DISTINCT FROM (excluded.name, excluded.k_adult, excluded.k_child, "
            "excluded.reference_level, excluded.alert_level, excluded.preventive)",
            1);
        for (const TExamKind& kind : kinds) {
            odbc::TParams p;
            p.Text(room_);
            p.Int(kind.id);
            p.Text(kind.name);
            p.Double(kind.kAdult);
            p.Double(kind.kChild);
            p.Double(kind.referenceLevel);
            p.Double(kind.alertLevel);
            p.Int(kind.preventive ? 1 : 0);
            k.Execute(p);
        }
    }

    // Sends the items in the open transaction; the rows new to the server.
    std::size_t Send(const std::vector<const TWaitingItem*>& items) {
        std::vector<const TJournalRecord*> records;
        std::vector<const TPushAnnotation*> annotations;
        std::vector<const TPushAlert*> alerts;
        for (const TWaitingItem* item : items) {
            if (item->record) records.push_back(&*item->record);
            if (item->annotation) annotations.push_back(&*item->annotation);
            if (item->alert) alerts.push_back(&*item->alert);
        }
        // Records first: an annotation's record is then on the server in the same transaction.
        std::size_t added = 0;
        for (std::size_t at = 0; at < records.size(); at += kRecordsPerInsert)
            added += SendRecords(records, at, std::min(kRecordsPerInsert, records.size() - at));
        for (std::size_t at = 0; at < annotations.size(); at += kAnnotationsPerInsert) {
            added += SendAnnotations(annotations, at,
                                     std::min(kAnnotationsPerInsert, annotations.size() - at));
        }
        for (std::size_t at = 0; at < alerts.size(); at += kAlertsPerInsert)
            added += SendAlerts(alerts, at, std::min(kAlertsPerInsert, alerts.size() - at));
        return added;
    }

private:
    // records[at .. at + n) in one INSERT; the rows new to the server.
    std::size_t SendRecords(const std::vector<const TJournalRecord*>& records, std::size_t at,
                            std::size_t n) {
        odbc::TStatement& s =
            Prepared(records_,
                     Insert("INSERT INTO records (room, raw, device, number, measured_at, dose, "
                            "device_error, first_seen, source)",
                            "(?, ?, ?, ?, CAST(? AS timestamp), ?, ?, CAST(? AS timestamp), ?)", n,
                            " ON CONFLICT (room, raw) DO NOTHING"),
                     n);
        odbc::TParams p;
        for (std::size_t i = at; i < at + n; ++i) {
            const TJournalRecord& r = *records[i];
            p.Text(room_);
            p.Bytes(r.raw.data(), r.raw.size());
            p.Int(r.device);
            p.Int(r.number);
            p.Text(r.measuredAt);
            p.Double(r.dose);
            p.Int(r.deviceError ? std::optional<std::int64_t>(*r.deviceError) : std::nullopt);
            p.Text(r.firstSeen);
            p.Text(std::string(SourceText(r.source)));
        }
        return static_cast<std::size_t>(std::max<std::int64_t>(s.Execute(p), 0));
    }

    // annotations[at .. at + n) in one INSERT; the rows new to the server.
    std::size_t SendAnnotations(const std::vector<const TPushAnnotation*>& annotations,
                                std::size_t at, std::size_t n) {
        odbc::TStatement& s =
            Prepared(annotations_,
                     Insert("INSERT INTO annotations (room, raw, saved_at, patient, patient_form, "
                            "birth_year, kind_id, images, operator, note, local_id)",
                            "(?, ?, CAST(? AS timestamp), ?, ?, ?, ?, ?, ?, ?, ?)", n,
                            " ON CONFLICT (room, raw, saved_at, local_id) DO NOTHING"),
                     n);
        odbc::TParams p;
        for (std::size_t i = at; i < at + n; ++i) {
            const TPushAnnotation& a = *annotations[i];
            p.Text(room_);
            p.Bytes(a.raw.data(), a.raw.size());
            p.Text(a.savedAt);
            p.Text(a.patient);
            p.Text(std::string(PatientFormText(a.patientForm)));
            p.Int(a.birthYear ? std::optional<std::int64_t>(*a.birthYear) : std::nullopt);
            p.Int(a.kindId);
            p.Int(a.images ? std::optional<std::int64_t>(*a.images) : std::nullopt);
            p.Text(a.operatorName);
            p.Text(a.note);
            p.Int(a.localId);
        }
        return static_cast<std::size_t>(std::max<std::int64_t>(s.Execute(p), 0));
    }

    // alerts[at .. at + n) in one INSERT; the rows new to the server. An alert the server holds
    // takes the acknowledgement that came later; an unacknowledged state (a batch sent again
    // from an old backup) never undoes one. Two states of one alert in a batch: the same row
    // twice in one INSERT would fail, so a batch's duplicates go one by one.
    std::size_t SendAlerts(const std::vector<const TPushAlert*>& alerts, std::size_t at,
                           std::size_t n) {
        std::vector<const TPushAlert*> rows;
        std::vector<const TPushAlert*> again;
        for (std::size_t i = at; i < at + n; ++i) {
            const bool seen = std::any_of(rows.begin(), rows.end(), [&](const TPushAlert* a) {
                return a->raw == alerts[i]->raw && a->level == alerts[i]->level;
            });
            (seen ? again : rows).push_back(alerts[i]);
        }
        std::size_t added = InsertAlerts(rows);
        for (const TPushAlert* alert : again) added += InsertAlerts({alert});
        return added;
    }

    std::size_t InsertAlerts(const std::vector<const TPushAlert*>& alerts) {
        const std::size_t n = alerts.size();
        if (n == 0) return 0;
        odbc::TStatement& s = Prepared(
            alerts_,
            Insert("INSERT INTO alerts AS a (room, raw, level, level_value, value, kind_id, "
                   "raised_at, acknowledged_at, acknowledged_by, note, local_id)",
                   "(?, ?, ?, ?, ?, ?, CAST(? AS timestamp), CAST(? AS timestamp), ?, ?, ?)", n,
                   " ON CONFLICT (room, raw, level) DO UPDATE SET "
                   "acknowledged_at = excluded.acknowledged_at, "
                   "acknowledged_by = excluded.acknowledged_by, note = excluded.note "
                   "WHERE excluded.acknowledged_at IS NOT NULL AND "
                   "(a.acknowledged_at, a.acknowledged_by, a.note) IS DISTINCT FROM "
                   "(excluded.acknowledged_at, excluded.acknowledged_by, excluded.note)"),
            n);
        odbc::TParams p;
        for (const TPushAlert* alert : alerts) {
            const TPushAlert& a = *alert;
            p.Text(room_);
            p.Bytes(a.raw.data(), a.raw.size());
            p.Text(std::string(AlertLevelText(a.level)));
            p.Double(a.levelValue);
            p.Double(a.value);
            p.Int(a.kindId);
            p.Text(a.raisedAt);
            p.Text(a.acknowledgedAt);
            p.Text(a.acknowledgedBy);
            p.Text(a.note);
            p.Int(a.localId);
        }
        return static_cast<std::size_t>(std::max<std::int64_t>(s.Execute(p), 0));
    }

    odbc::TStatement& Prepared(std::map<std::size_t, odbc::TStatement>& cache,
                               const std::string& sql, std::size_t key) {
        auto found = cache.find(key);
        if (found == cache.end()) found = cache.emplace(key, connection_.Prepare(sql)).first;
        return found->second;
    }

    odbc::TConnection& connection_;
    std::string room_;
    std::map<std::size_t, odbc::TStatement> kinds_, records_, annotations_, alerts_;
};

TPushResult Ended(TPushOutcome outcome, std::string reason, TPushResult result) {
    result.outcome = outcome;
    result.reason = std::move(reason);
    return result;
}

// The row is kept in the local queue, marked, and never sent again.
void Refuse(TPushQueue& queue, std::int64_t queueId, const std::string& why, TPushResult& result) {
    queue.Refuse(queueId, why);
    ++result.refused;
    if (result.refusedReason.empty()) result.refusedReason = why;
}

// One server transaction for each row: the bad ones refused, the others sent. The queue ids
// the server committed.
std::vector<std::int64_t> SendOneByOne(TPushQueue& queue, TSender& sender,
                                       odbc::TConnection& connection,
                                       const std::vector<const TWaitingItem*>& items,
                                       TPushResult& result) {
    std::vector<std::int64_t> done;
    for (const TWaitingItem* item : items) {
        try {
            result.added += sender.Send({item});
            connection.Commit();
            done.push_back(item->queueId);
        } catch (const odbc::EOdbc& row) {
            connection.Rollback();
            if (!RowFault(row.State())) throw;
            Refuse(queue, item->queueId, row.what(), result);
        }
    }
    return done;
}

// Sends the oldest waiting rows in one server transaction and takes them off the local queue;
// false when nothing waited.
bool PushBatch(TPushQueue& queue, TSender& sender, odbc::TConnection& connection, std::size_t batch,
               TPushResult& result) {
    const std::vector<TWaitingItem> items = queue.WaitingRows(batch);
    if (items.empty()) return false;
    std::vector<const TWaitingItem*> sendable;
    for (const TWaitingItem& item : items) {
        if (auto why = Unsendable(item))
            Refuse(queue, item.queueId, *why, result);
        else
            sendable.push_back(&item);
    }
    std::vector<std::int64_t> done;
    try {
        result.added += sender.Send(sendable);
        connection.Commit();
        for (const TWaitingItem* item : sendable) done.push_back(item->queueId);
    } catch (const odbc::EOdbc& e) {
        connection.Rollback();
        if (!RowFault(e.State())) throw;
        // One row spoils the batch: each row alone, the bad ones refused.
        done = SendOneByOne(queue, sender, connection, sendable, result);
    }
    // Only now, with the server's commit done: a crash before this line sends the batch
    // again, and the server's unique keys make that add nothing.
    queue.Pushed(done);
    result.pushed += done.size();
    return true;
}

}  // namespace

TLoginRefusal LoginRefusalOf(const std::string& message) {
    // libpq's own text, never translated: the server asked for a password and none was given.
    if (message.find("no password supplied") != std::string::npos) return TLoginRefusal::NoPassword;
    // The server's, in English or (with Russian messages on the server) in Russian.
    if (message.find("password authentication failed") != std::string::npos ||
        message.find("не прошёл проверку подлинности (по паролю)") != std::string::npos)
        return TLoginRefusal::WrongPassword;
    return TLoginRefusal::Other;
}

TPushOutcome OutcomeOf(const std::string& state, const std::string& message) {
    // psqlODBC reports a refused login as 08001 like an unreachable server; the server's text
    // (or libpq's, for a password the server asked for and was not given) tells the two apart.
    if (StartsWith(state, "28") || state == "42501" ||
        LoginRefusalOf(message) != TLoginRefusal::Other ||
        message.find("authentication failed") != std::string::npos ||
        message.find("no pg_hba.conf entry") != std::string::npos ||
        message.find("permission denied") != std::string::npos)
        return TPushOutcome::Refused;
    if (StartsWith(state, "08") || StartsWith(state, "IM") || StartsWith(state, "HYT") ||
        StartsWith(state, "57P") || state == "S1T00")
        return TPushOutcome::Unreachable;
    return TPushOutcome::Failed;
}

bool Configured(const TRegistrySettings& settings) {
    return !Trimmed(settings.connection).empty() && !Trimmed(settings.room).empty();
}

TLinkCheck CheckRegistry(const TRegistrySettings& settings) {
    TLinkCheck check;
    if (Trimmed(settings.connection).empty()) {
        check.reason = "no connection string";
        return check;
    }
    try {
        odbc::TConnection connection(settings.connection, settings.password);
        EnsureServerSchema(connection);
        check.ok = true;
    } catch (const std::exception& e) {
        check.reason = odbc::Scrubbed(e.what(), settings.password);
    }
    return check;
}

TPushResult PushWaiting(TPushQueue& queue, const TRegistrySettings& settings, std::size_t batch) {
    TPushResult result;
    batch = std::max<std::size_t>(batch, 1);
    auto waiting = [&]() {
        try {
            result.waiting = queue.Waiting();
        } catch (const std::exception&) {
            result.waiting = 0;
        }
        return result;
    };
    if (!Configured(settings))
        return Ended(TPushOutcome::NotConfigured, "no connection string or no room", waiting());

    std::unique_ptr<odbc::TConnection> connection;
    try {
        connection = std::make_unique<odbc::TConnection>(settings.connection, settings.password);
    } catch (const odbc::EOdbc& e) {
        // No connection: the server, the network or the driver is not there, or the login was
        // refused. Either way nothing was sent.
        const TPushOutcome outcome = OutcomeOf(e.State(), e.what()) == TPushOutcome::Refused
                                         ? TPushOutcome::Refused
                                         : TPushOutcome::Unreachable;
        return Ended(outcome, odbc::Scrubbed(e.what(), settings.password), waiting());
    }
    try {
        EnsureServerSchema(*connection);
        TSender sender(*connection, Trimmed(settings.room));
        sender.Catalogue(queue.Catalogue());
        connection->Commit();
        while (PushBatch(queue, sender, *connection, batch, result)) {
        }
    } catch (const odbc::EOdbc& e) {
        // A server stopped in the middle of a statement shows as whatever the driver was doing
        // then (a savepoint, a fetch): the lost connection is what counts.
        const TPushOutcome outcome =
            connection->Dead() ? TPushOutcome::Unreachable : OutcomeOf(e.State(), e.what());
        connection->Rollback();
        return Ended(outcome, odbc::Scrubbed(e.what(), settings.password), waiting());
    } catch (const std::exception& e) {
        connection->Rollback();
        return Ended(TPushOutcome::Failed, odbc::Scrubbed(e.what(), settings.password), waiting());
    }
    // Rows queued meanwhile by another connection wait for the next push.
    return Ended(TPushOutcome::Done, "", waiting());
}

std::chrono::milliseconds TPushBackoff::Next(bool lastFailed) {
    if (!lastFailed) {
        last_ = std::chrono::milliseconds{0};
        return kFirst;
    }
    last_ = last_.count() == 0 ? kFirst : std::min(last_ * 2, kLongest);
    return last_;
}

void TPushBackoff::Reset() {
    last_ = std::chrono::milliseconds{0};
}

}  // namespace virel
