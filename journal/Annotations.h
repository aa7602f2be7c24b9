#pragma once
// What a clinic adds to a record of the dose journal: the examination it was (a kind from the
// catalogue), the patient's year of birth, the patient, the number of images, the operator and
// a note. The measured fields of the record are never changed; an annotation is a row of its
// own, and every change a new row with its time (docs/journal.md).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace virel {

// How the patient field is kept, a setting of the clinic's: as typed (an ID or a name), only a
// salted SHA-256 of it (the same patient gives the same hash, the text cannot be read back), or
// not at all.
enum class TPatientForm { Typed, Sha256, None };
const char* PatientFormText(TPatientForm form);  // "typed", "sha256", "none"
// The form a stored text names; anything else is None.
TPatientForm PatientFormOfText(const std::string& text);

struct TPatientPrivacy {
    TPatientForm form = TPatientForm::Typed;
    std::string salt;  // the clinic's own secret text, hashed before the patient
};

// The patient as kept: the text trimmed of spaces at its ends; its hash of the salt followed by
// that text (UTF-8), in lowercase hexadecimal; or nothing (also for an empty text).
std::optional<std::string> KeptPatient(const std::string& typed, const TPatientPrivacy& privacy);

// The earliest year of birth taken; the latest is the current year.
inline constexpr int kEarliestBirthYear = 1900;

// What the operator typed into the record's dialog.
struct TAnnotationInput {
    std::string patient;
    std::optional<int> birthYear;
    std::optional<std::int64_t> kindId;  // an id of exam_kinds
    std::optional<int> images;
    std::string operatorName;
    std::string note;
    // The patient as the record's current annotation keeps it, copied as it is: a hash is
    // neither hashed again nor lost when the rest is re-saved (`patient` is not looked at).
    bool keepPatient = false;
};

// One row of the annotation history.
struct TAnnotation {
    std::int64_t id = 0;
    std::int64_t recordId = 0;
    std::string savedAt;  // "YYYY-MM-DD HH:MM:SS", the PC's clock
    TPatientForm patientForm = TPatientForm::None;
    std::optional<std::string> patient;  // as typed or its hash (patientForm says which)
    std::optional<int> birthYear;
    std::optional<std::int64_t> kindId;
    std::optional<std::string> kindName;  // the catalogue's name of it now
    std::optional<int> images;
    std::string operatorName;
    std::string note;
};

enum class TAnnotationFault {
    None,
    NoRecord,          // no record with that id
    BirthYearInvalid,  // before kEarliestBirthYear or after the current year
    ImagesInvalid,     // negative
    UnknownKind,       // no kind with that id in the catalogue
    NotWritten,        // the journal cannot be written now (error says why)
};

struct TAnnotationResult {
    TAnnotationFault fault = TAnnotationFault::None;
    std::int64_t id = 0;  // the new row's
    std::string error;    // NotWritten: SQLite's text
    // The kind given has an alert level the record's dose is over, and the record had no such
    // alert yet: one was raised with the annotation.
    bool alertRaised = false;
};

// A kind of examination with its conversion coefficients K, in mSv per Gy·cm²: E = DAP × K.
// An empty K gives no effective dose.
struct TExamKind {
    std::int64_t id = 0;  // 0: not in the catalogue yet
    std::string name;
    std::optional<double> kAdult;
    std::optional<double> kChild;
    // The kind's diagnostic reference level (РДУ), which a facility's median DAP is audited
    // against, and its alert level, above which a record of the kind raises an alert: DAP in
    // Gy·cm², none when not set.
    std::optional<double> referenceLevel;
    std::optional<double> alertLevel;
    // A check-up (профилактическое исследование): counts toward a patient's yearly check-up dose.
    bool preventive = false;
};

enum class TKindFault {
    None,
    EmptyName,
    NegativeK,
    InvalidLevel,   // a reference or alert level that is not above zero
    DuplicateName,  // another kind has that name
    NoKind,         // no kind with that id
    InUse,          // records are annotated with it: it cannot be removed
    NotWritten,
};

struct TKindResult {
    TKindFault fault = TKindFault::None;
    std::int64_t id = 0;
    std::string error;
};

// Which of a kind's later fields a list of kinds carries (a catalogue file's optional columns).
struct TKindColumns {
    bool referenceLevel = false;
    bool alertLevel = false;
    bool preventive = false;
};

class TJournal;

// The records' annotations on the journal's connection. Saving writes one row in its own
// transaction, with the alert its kind's level raises.
class TAnnotations {
public:
    explicit TAnnotations(TJournal& journal) : journal_(journal) {}

    [[nodiscard]] TAnnotationResult Annotate(std::int64_t recordId, const TAnnotationInput& input,
                                             const TPatientPrivacy& privacy);
    std::optional<TAnnotation> Current(std::int64_t recordId);  // the latest row
    std::vector<TAnnotation> History(std::int64_t recordId);    // oldest first

private:
    std::vector<TAnnotation> Read(std::int64_t recordId, bool latestOnly);
    [[nodiscard]] bool KindExists(std::int64_t kindId);

    TJournal& journal_;
};

// The catalogue of kinds of examination on the journal's connection.
class TCatalogue {
public:
    explicit TCatalogue(TJournal& journal) : journal_(journal) {}

    // The kinds, by name.
    std::vector<TExamKind> Kinds();
    // Adds a kind (id 0) or changes one (its name, K, levels and flag).
    [[nodiscard]] TKindResult SaveKind(const TExamKind& kind);
    // Removes a kind no annotation refers to.
    [[nodiscard]] TKindResult RemoveKind(std::int64_t id);
    // Adds each kind, or sets the K of the kind of that name, and the levels and the flag
    // `given` says the list carries (a file of today's three columns says nothing of them: a
    // kind's own stay), all in one transaction: all of them or none (EJournal). Kinds not in
    // the list stay.
    void Merge(const std::vector<TExamKind>& kinds, TKindColumns given = {});

private:
    TKindResult Fault(int code, TKindResult result);

    TJournal& journal_;
};

}  // namespace virel
