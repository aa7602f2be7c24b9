// The journal's annotations and its catalogue of kinds of examination (schema step 2).
#include "journal/Annotations.h"

#include <cmath>

#include "core/TextUtil.h"
#include "hash/Sha256.h"
#include "journal/Alerts.h"
#include "journal/Journal.h"

namespace virel {

namespace {

// An empty text is kept as NULL: nothing was typed.
std::optional<std::string> Typed(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return text;
}

// The journal cannot be written now: the result says so, and why.
template <class TResult>
bool Unwritable(const TJournal& journal, TResult& result) {
    if (journal.Writable()) return false;
    result.fault = decltype(result.fault)::NotWritten;
    result.error = journal.WhyNotWritable();
    return true;
}

bool ValidK(const std::optional<double>& k) {
    return !k || (std::isfinite(*k) && *k >= 0);
}

bool ValidLevel(const std::optional<double>& level) {
    return !level || (std::isfinite(*level) && *level > 0);
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

TPatientForm PatientFormOfText(const std::string& text) {
    if (text == "typed") return TPatientForm::Typed;
    if (text == "sha256") return TPatientForm::Sha256;
    return TPatientForm::None;
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

TAnnotationResult TAnnotations::Annotate(std::int64_t recordId, const TAnnotationInput& input,
                                         const TPatientPrivacy& privacy) {
    TAnnotationResult result;
    const DateTime now = FromMilliseconds(journal_.Clock().LocalNowMs());
    if (input.birthYear && (*input.birthYear < kEarliestBirthYear || *input.birthYear > now.year)) {
        result.fault = TAnnotationFault::BirthYearInvalid;
        return result;
    }
    if (input.images && *input.images < 0) {
        result.fault = TAnnotationFault::ImagesInvalid;
        return result;
    }
    if (Unwritable(journal_, result)) return result;
    try {
        if (input.kindId && !KindExists(*input.kindId)) {
            result.fault = TAnnotationFault::UnknownKind;
            return result;
        }
        std::optional<std::string> patient = KeptPatient(input.patient, privacy);
        TPatientForm form = patient ? privacy.form : TPatientForm::None;
        if (input.keepPatient) {
            const std::optional<TAnnotation> current = Current(recordId);
            patient = current ? current->patient : std::nullopt;
            form = patient ? current->patientForm : TPatientForm::None;
        }
        TDatabase& db = journal_.WritableDatabase();
        const std::string savedAt = JournalSecondText(now);
        const TTransactionResult saved = db.Transaction(1, [&] {
            result.id = 0;
            TStatement s = db.Statement(
                "INSERT INTO annotations (record_id, saved_at, patient, patient_form, birth_year, "
                "kind_id, images, operator, note) "
                "SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9 "
                "WHERE EXISTS (SELECT 1 FROM records WHERE id = ?1)");
            s.Bind(1, recordId).Bind(2, savedAt).Bind(3, patient);
            s.Bind(4, PatientFormText(form)).Bind(5, input.birthYear).Bind(6, input.kindId);
            s.Bind(7, input.images).Bind(8, Typed(input.operatorName)).Bind(9, Typed(input.note));
            s.Run();
            if (db.Changes() == 0) return sqlite::kOk;  // no record: nothing written
            result.id = db.LastInsertId();
            if (!input.kindId) return sqlite::kOk;
            return RaiseKindAlert(db, recordId, *input.kindId, savedAt, result.alertRaised);
        });
        if (!saved.Committed()) throw EJournal(saved.error, saved.code);
        if (result.id == 0) {
            result.fault = TAnnotationFault::NoRecord;
            result.alertRaised = false;
            return result;
        }
        journal_.Wrote();
    } catch (const EJournal& e) {
        result.fault = TAnnotationFault::NotWritten;
        result.error = e.what();
        result.id = 0;
        result.alertRaised = false;
    }
    return result;
}

bool TAnnotations::KindExists(std::int64_t kindId) {
    TStatement s =
        journal_.Database().Statement("SELECT EXISTS (SELECT 1 FROM exam_kinds WHERE id = ?1)");
    s.Bind(1, kindId);
    s.First();
    return s.Int(0) != 0;
}

std::vector<TAnnotation> TAnnotations::Read(std::int64_t recordId, bool latestOnly) {
    TDatabase& db = journal_.Database();
#define VIREL_ANNOTATION_SELECT                                                       \
    "SELECT a.id, a.record_id, a.saved_at, a.patient_form, a.patient, a.birth_year, " \
    "a.kind_id, k.name, a.images, a.operator, a.note FROM annotations AS a "          \
    "LEFT JOIN exam_kinds AS k ON k.id = a.kind_id WHERE a.record_id = ?1 ORDER BY a.id"
    TStatement s = latestOnly ? db.Statement(VIREL_ANNOTATION_SELECT " DESC LIMIT 1")
                              : db.Statement(VIREL_ANNOTATION_SELECT);
#undef VIREL_ANNOTATION_SELECT
    s.Bind(1, recordId);
    std::vector<TAnnotation> rows;
    while (s.Next()) {
        TAnnotation a;
        a.id = s.Int64(0);
        a.recordId = s.Int64(1);
        a.savedAt = s.Text(2);
        a.patientForm = PatientFormOfText(s.Text(3));
        a.patient = s.OptionalText(4);
        a.birthYear = s.OptionalInt(5);
        a.kindId = s.OptionalInt64(6);
        a.kindName = s.OptionalText(7);
        a.images = s.OptionalInt(8);
        a.operatorName = s.Text(9);
        a.note = s.Text(10);
        rows.push_back(std::move(a));
    }
    return rows;
}

std::optional<TAnnotation> TAnnotations::Current(std::int64_t recordId) {
    std::vector<TAnnotation> latest = Read(recordId, true);
    if (latest.empty()) return std::nullopt;
    return std::move(latest.front());
}

std::vector<TAnnotation> TAnnotations::History(std::int64_t recordId) {
    return Read(recordId, false);
}

std::vector<TExamKind> TCatalogue::Kinds() {
    TStatement s = journal_.Database().Statement(
        "SELECT id, name, k_adult, k_child, reference_level, alert_level, preventive "
        "FROM exam_kinds ORDER BY name");
    std::vector<TExamKind> kinds;
    while (s.Next()) {
        kinds.push_back({s.Int64(0), s.Text(1), s.OptionalDouble(2), s.OptionalDouble(3),
                         s.OptionalDouble(4), s.OptionalDouble(5), s.Int(6) != 0});
    }
    return kinds;
}

TKindResult TCatalogue::Fault(int code, TKindResult result) {
    result.fault = sqlite::Primary(code) == sqlite::kConstraint ? TKindFault::DuplicateName
                                                                : TKindFault::NotWritten;
    result.error = journal_.Database().Message(code);
    return result;
}

TKindResult TCatalogue::SaveKind(const TExamKind& kind) {
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
    if (!ValidLevel(kind.referenceLevel) || !ValidLevel(kind.alertLevel)) {
        result.fault = TKindFault::InvalidLevel;
        return result;
    }
    if (Unwritable(journal_, result)) return result;
    try {
        TDatabase& db = journal_.WritableDatabase();
        TStatement s = kind.id == 0 ? db.Statement(
                                          "INSERT INTO exam_kinds (name, k_adult, k_child, "
                                          "reference_level, alert_level, preventive) "
                                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
                                    : db.Statement(
                                          "UPDATE exam_kinds SET name = ?1, k_adult = ?2, "
                                          "k_child = ?3, reference_level = ?4, alert_level = ?5, "
                                          "preventive = ?6 WHERE id = ?7");
        s.Bind(1, name).Bind(2, kind.kAdult).Bind(3, kind.kChild).Bind(4, kind.referenceLevel);
        s.Bind(5, kind.alertLevel).Bind(6, kind.preventive ? 1 : 0);
        if (kind.id != 0) s.Bind(7, kind.id);
        if (const int rc = s.Step(); rc != sqlite::kDone) return Fault(rc, result);
        if (db.Changes() == 0) {
            result.fault = TKindFault::NoKind;
            return result;
        }
        journal_.Wrote();
        result.id = kind.id == 0 ? db.LastInsertId() : kind.id;
    } catch (const EJournal& e) {
        result.fault = TKindFault::NotWritten;
        result.error = e.what();
    }
    return result;
}

TKindResult TCatalogue::RemoveKind(std::int64_t id) {
    TKindResult result;
    result.id = id;
    if (Unwritable(journal_, result)) return result;
    try {
        TDatabase& db = journal_.WritableDatabase();
        {
            // Any row of the history, not just a current one: the history must stay readable.
            TStatement s =
                db.Statement("SELECT EXISTS (SELECT 1 FROM annotations WHERE kind_id = ?1)");
            s.Bind(1, id);
            s.First();
            if (s.Int(0) != 0) {
                result.fault = TKindFault::InUse;
                return result;
            }
        }
        TStatement s = db.Statement("DELETE FROM exam_kinds WHERE id = ?1");
        s.Bind(1, id);
        if (const int rc = s.Step(); rc != sqlite::kDone) return Fault(rc, result);
        if (db.Changes() == 0) {
            result.fault = TKindFault::NoKind;
            return result;
        }
        journal_.Wrote();
    } catch (const EJournal& e) {
        result.fault = TKindFault::NotWritten;
        result.error = e.what();
    }
    return result;
}

void TCatalogue::Merge(const std::vector<TExamKind>& kinds, TKindColumns given) {
    TDatabase& db = journal_.WritableDatabase();
    // A field the list does not carry keeps the kind's own value; a new kind has none then.
    static constexpr const char* kUpsert =
        "INSERT INTO exam_kinds (name, k_adult, k_child, reference_level, alert_level, "
        "preventive) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
        "ON CONFLICT (name) DO UPDATE SET k_adult = excluded.k_adult, k_child = excluded.k_child,"
        " reference_level = CASE WHEN ?7 THEN excluded.reference_level ELSE reference_level END,"
        " alert_level = CASE WHEN ?8 THEN excluded.alert_level ELSE alert_level END,"
        " preventive = CASE WHEN ?9 THEN excluded.preventive ELSE preventive END";
    const TTransactionResult merged = db.Transaction(1, [&] {
        for (const TExamKind& kind : kinds) {
            TStatement s = db.Statement(kUpsert);
            s.Bind(1, Trimmed(kind.name)).Bind(2, kind.kAdult).Bind(3, kind.kChild);
            s.Bind(4, given.referenceLevel ? kind.referenceLevel : std::nullopt);
            s.Bind(5, given.alertLevel ? kind.alertLevel : std::nullopt);
            s.Bind(6, given.preventive && kind.preventive ? 1 : 0);
            s.Bind(7, given.referenceLevel ? 1 : 0).Bind(8, given.alertLevel ? 1 : 0);
            s.Bind(9, given.preventive ? 1 : 0);
            if (const int rc = s.Step(); rc != sqlite::kDone) return rc;
        }
        return sqlite::kOk;
    });
    if (!merged.Committed()) throw EJournal(merged.error, merged.code);
    journal_.Wrote();
}

}  // namespace virel
