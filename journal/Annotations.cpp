// The journal's annotations and its catalogue of kinds of examination (schema step 2).
#include "journal/Annotations.h"

#include <sqlite3.h>

#include <cmath>

#include "hash/Sha256.h"
#include "journal/Journal.h"
#include "journal/JournalSql.h"

namespace virel {

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void BindText(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// An empty text is kept as NULL: nothing was typed.
void BindOptionalText(sqlite3_stmt* s, int index, const std::string& text) {
    if (!text.empty()) BindText(s, index, text);
}

void BindK(sqlite3_stmt* s, int index, const std::optional<double>& k) {
    if (k) sqlite3_bind_double(s, index, *k);
}

std::string ColumnText(sqlite3_stmt* s, int column) {
    const auto* text = sqlite3_column_text(s, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(s, column)))
                : std::string();
}

bool IsNull(sqlite3_stmt* s, int column) {
    return sqlite3_column_type(s, column) == SQLITE_NULL;
}

std::optional<double> ColumnK(sqlite3_stmt* s, int column) {
    if (IsNull(s, column)) return std::nullopt;
    return sqlite3_column_double(s, column);
}

TPatientForm PatientFormOf(const std::string& text) {
    if (text == "typed") return TPatientForm::Typed;
    if (text == "sha256") return TPatientForm::Sha256;
    return TPatientForm::None;
}

bool ValidK(const std::optional<double>& k) {
    return !k || (std::isfinite(*k) && *k >= 0);
}

}  // namespace

const char* PatientFormText(TPatientForm form) {
    switch (form) {
        case TPatientForm::Typed:
            return "typed";
        case TPatientForm::Sha256:
            return "sha256";
        case TPatientForm::None:
            break;
    }
    return "none";
}

std::optional<std::string> KeptPatient(const std::string& typed, const TPatientPrivacy& privacy) {
    const std::string patient = Trimmed(typed);
    if (patient.empty()) return std::nullopt;
    switch (privacy.form) {
        case TPatientForm::Typed:
            return patient;
        case TPatientForm::Sha256:
            return Sha256Hex(privacy.salt + patient);
        case TPatientForm::None:
            break;
    }
    return std::nullopt;
}

TAnnotationResult TJournal::Annotate(std::int64_t recordId, const TAnnotationInput& input,
                                     const TPatientPrivacy& privacy) {
    TAnnotationResult result;
    const DateTime now = FromMilliseconds(clock_.LocalNowMs());
    if (input.birthYear && (*input.birthYear < kEarliestBirthYear || *input.birthYear > now.year)) {
        result.fault = TAnnotationFault::BirthYearInvalid;
        return result;
    }
    if (input.images && *input.images < 0) {
        result.fault = TAnnotationFault::ImagesInvalid;
        return result;
    }
    if (mode_ != TMode::Writable) {
        result.fault = TAnnotationFault::NotWritten;
        result.error = db_ ? "read only" : lastOpen_.error;
        return result;
    }
    try {
        if (input.kindId) {
            sqlite3_stmt* s = Statement("SELECT EXISTS (SELECT 1 FROM exam_kinds WHERE id = ?1)");
            TStatementUse use(s);
            sqlite3_bind_int64(s, 1, *input.kindId);
            const int rc = sqlite3_step(s);
            if (rc != SQLITE_ROW) Fail(rc);
            if (sqlite3_column_int(s, 0) == 0) {
                result.fault = TAnnotationFault::UnknownKind;
                return result;
            }
        }
        std::optional<std::string> patient = KeptPatient(input.patient, privacy);
        TPatientForm form = patient ? privacy.form : TPatientForm::None;
        if (input.keepPatient) {
            const std::optional<TAnnotation> current = CurrentAnnotation(recordId);
            patient = current ? current->patient : std::nullopt;
            form = patient ? current->patientForm : TPatientForm::None;
        }
        sqlite3_stmt* s = Statement(
            "INSERT INTO annotations (record_id, saved_at, patient, patient_form, birth_year, "
            "kind_id, images, operator, note) "
            "SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9 "
            "WHERE EXISTS (SELECT 1 FROM records WHERE id = ?1)");
        TStatementUse use(s);
        sqlite3_bind_int64(s, 1, recordId);
        BindText(s, 2, JournalSecondText(now));
        if (patient) BindText(s, 3, *patient);
        sqlite3_bind_text(s, 4, PatientFormText(form), -1, SQLITE_STATIC);
        if (input.birthYear) sqlite3_bind_int(s, 5, *input.birthYear);
        if (input.kindId) sqlite3_bind_int64(s, 6, *input.kindId);
        if (input.images) sqlite3_bind_int(s, 7, *input.images);
        BindOptionalText(s, 8, input.operatorName);
        BindOptionalText(s, 9, input.note);
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE) Fail(rc);
        if (sqlite3_changes(db_.get()) == 0) {
            result.fault = TAnnotationFault::NoRecord;
            return result;
        }
        ++ownWrites_;
        result.id = sqlite3_last_insert_rowid(db_.get());
    } catch (const EJournal& e) {
        result.fault = TAnnotationFault::NotWritten;
        result.error = e.what();
    }
    return result;
}

std::vector<TAnnotation> TJournal::Annotations(std::int64_t recordId, bool latestOnly) {
    RequireOpen();
#define VIREL_ANNOTATION_SELECT                                                       \
    "SELECT a.id, a.record_id, a.saved_at, a.patient_form, a.patient, a.birth_year, " \
    "a.kind_id, k.name, a.images, a.operator, a.note FROM annotations AS a "          \
    "LEFT JOIN exam_kinds AS k ON k.id = a.kind_id WHERE a.record_id = ?1 ORDER BY a.id"
    sqlite3_stmt* s = latestOnly ? Statement(VIREL_ANNOTATION_SELECT " DESC LIMIT 1")
                                 : Statement(VIREL_ANNOTATION_SELECT);
#undef VIREL_ANNOTATION_SELECT
    TStatementUse use(s);
    sqlite3_bind_int64(s, 1, recordId);
    std::vector<TAnnotation> rows;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        TAnnotation a;
        a.id = sqlite3_column_int64(s, 0);
        a.recordId = sqlite3_column_int64(s, 1);
        a.savedAt = ColumnText(s, 2);
        a.patientForm = PatientFormOf(ColumnText(s, 3));
        if (!IsNull(s, 4)) a.patient = ColumnText(s, 4);
        if (!IsNull(s, 5)) a.birthYear = sqlite3_column_int(s, 5);
        if (!IsNull(s, 6)) a.kindId = sqlite3_column_int64(s, 6);
        if (!IsNull(s, 7)) a.kindName = ColumnText(s, 7);
        if (!IsNull(s, 8)) a.images = sqlite3_column_int(s, 8);
        a.operatorName = ColumnText(s, 9);
        a.note = ColumnText(s, 10);
        rows.push_back(std::move(a));
    }
    if (rc != SQLITE_DONE) Fail(rc);
    return rows;
}

std::optional<TAnnotation> TJournal::CurrentAnnotation(std::int64_t recordId) {
    std::vector<TAnnotation> latest = Annotations(recordId, true);
    if (latest.empty()) return std::nullopt;
    return std::move(latest.front());
}

std::vector<TAnnotation> TJournal::AnnotationHistory(std::int64_t recordId) {
    return Annotations(recordId, false);
}

std::vector<TExamKind> TJournal::Catalogue() {
    RequireOpen();
    sqlite3_stmt* s = Statement("SELECT id, name, k_adult, k_child FROM exam_kinds ORDER BY name");
    TStatementUse use(s);
    std::vector<TExamKind> kinds;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        kinds.push_back(
            {sqlite3_column_int64(s, 0), ColumnText(s, 1), ColumnK(s, 2), ColumnK(s, 3)});
    }
    if (rc != SQLITE_DONE) Fail(rc);
    return kinds;
}

TKindResult TJournal::KindFault(int code, TKindResult result) {
    result.fault =
        (code & 0xFF) == SQLITE_CONSTRAINT ? TKindFault::DuplicateName : TKindFault::NotWritten;
    result.error = db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(code);
    return result;
}

TKindResult TJournal::SaveKind(const TExamKind& kind) {
    TKindResult result;
    const std::string name = Trimmed(kind.name);
    if (name.empty()) {
        result.fault = TKindFault::EmptyName;
        return result;
    }
    if (!ValidK(kind.kAdult) || !ValidK(kind.kChild)) {
        result.fault = TKindFault::NegativeK;
        return result;
    }
    if (mode_ != TMode::Writable) {
        result.fault = TKindFault::NotWritten;
        result.error = db_ ? "read only" : lastOpen_.error;
        return result;
    }
    try {
        sqlite3_stmt* s =
            kind.id == 0
                ? Statement("INSERT INTO exam_kinds (name, k_adult, k_child) VALUES (?1, ?2, ?3)")
                : Statement(
                      "UPDATE exam_kinds SET name = ?1, k_adult = ?2, k_child = ?3 "
                      "WHERE id = ?4");
        TStatementUse use(s);
        BindText(s, 1, name);
        BindK(s, 2, kind.kAdult);
        BindK(s, 3, kind.kChild);
        if (kind.id != 0) sqlite3_bind_int64(s, 4, kind.id);
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE) return KindFault(rc, result);
        if (sqlite3_changes(db_.get()) == 0) {
            result.fault = TKindFault::NoKind;
            return result;
        }
        ++ownWrites_;
        result.id = kind.id == 0 ? sqlite3_last_insert_rowid(db_.get()) : kind.id;
    } catch (const EJournal& e) {
        result.fault = TKindFault::NotWritten;
        result.error = e.what();
    }
    return result;
}

TKindResult TJournal::RemoveKind(std::int64_t id) {
    TKindResult result;
    result.id = id;
    if (mode_ != TMode::Writable) {
        result.fault = TKindFault::NotWritten;
        result.error = db_ ? "read only" : lastOpen_.error;
        return result;
    }
    try {
        {
            // Any row of the history, not just a current one: the history must stay readable.
            sqlite3_stmt* s =
                Statement("SELECT EXISTS (SELECT 1 FROM annotations WHERE kind_id = ?1)");
            TStatementUse use(s);
            sqlite3_bind_int64(s, 1, id);
            const int rc = sqlite3_step(s);
            if (rc != SQLITE_ROW) Fail(rc);
            if (sqlite3_column_int(s, 0) != 0) {
                result.fault = TKindFault::InUse;
                return result;
            }
        }
        sqlite3_stmt* s = Statement("DELETE FROM exam_kinds WHERE id = ?1");
        TStatementUse use(s);
        sqlite3_bind_int64(s, 1, id);
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE) return KindFault(rc, result);
        if (sqlite3_changes(db_.get()) == 0) {
            result.fault = TKindFault::NoKind;
            return result;
        }
        ++ownWrites_;
    } catch (const EJournal& e) {
        result.fault = TKindFault::NotWritten;
        result.error = e.what();
    }
    return result;
}

void TJournal::MergeCatalogue(const std::vector<TExamKind>& kinds) {
    RequireOpen();
    if (mode_ != TMode::Writable) throw EJournal(path_ + ": read only", SQLITE_READONLY);
    sqlite3* db = db_.get();
    sqlite3_stmt* s = Statement(
        "INSERT INTO exam_kinds (name, k_adult, k_child) VALUES (?1, ?2, ?3) "
        "ON CONFLICT (name) DO UPDATE SET k_adult = excluded.k_adult, k_child = excluded.k_child");
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (std::size_t i = 0; rc == SQLITE_OK && i < kinds.size(); ++i) {
        TStatementUse use(s);
        BindText(s, 1, Trimmed(kinds[i].name));
        BindK(s, 2, kinds[i].kAdult);
        BindK(s, 3, kinds[i].kChild);
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

std::vector<TExamRow> TJournal::ExamRows(const TPeriod& period) {
    RequireOpen();
    // The current annotation is the latest row of the record's history: one step into the
    // index on (record_id, id) for each record.
    sqlite3_stmt* s =
        Statement("SELECT " VIREL_JOURNAL_KEY
                  ", dose, a.kind_id, a.birth_year FROM records AS r "
                  "LEFT JOIN annotations AS a ON a.id = "
                  "(SELECT max(id) FROM annotations WHERE record_id = r.id)" VIREL_JOURNAL_PERIOD);
    TStatementUse use(s);
    BindText(s, 1, JournalDateText(period.from));
    BindText(s, 2, DayAfter(period.to));
    std::vector<TExamRow> rows;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        TExamRow row;
        row.minute = sqlite3_column_int64(s, 0);
        row.dose = sqlite3_column_double(s, 1);
        if (!IsNull(s, 2)) row.kindId = sqlite3_column_int64(s, 2);
        if (!IsNull(s, 3)) row.birthYear = sqlite3_column_int(s, 3);
        rows.push_back(row);
    }
    if (rc != SQLITE_DONE) Fail(rc);
    return rows;
}

}  // namespace virel
