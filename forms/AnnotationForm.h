#pragma once
// The record's dialog in the window "Журнал доз", apart from the window: its texts, what the
// operator typed checked and turned into an annotation (or the message that says what is
// wrong), the fields filled from the record's current annotation, and the record's measured
// fields as the dialog shows them. Portable, tested natively; the dialog only moves texts.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/Regional.h"
#include "journal/Annotations.h"
#include "journal/Journal.h"

namespace virel {

namespace texts {
inline constexpr char kAnnotationCaption[] = "Исследование";
inline constexpr char kAnnotationRecord[] = "Запись:";
inline constexpr char kAnnotationPatient[] = "&Пациент:";
inline constexpr char kAnnotationBirthYear[] = "&Год рождения:";
inline constexpr char kAnnotationKind[] = "&Вид исследования:";
inline constexpr char kAnnotationImages[] = "&Число снимков:";
inline constexpr char kAnnotationOperator[] = "&Оператор:";
inline constexpr char kAnnotationNote[] = "П&римечание:";
inline constexpr char kAnnotationOk[] = "OK";
inline constexpr char kAnnotationCancel[] = "Отмена";
inline constexpr char kAnnotationNoKind[] = "(не указан)";
// The patient was kept as a hash: the dialog cannot show it back, and an empty field keeps it.
inline constexpr char kAnnotationPatientHidden[] =
    "Пациент сохранён не текстом и останется прежним; введите другого, только чтобы заменить его.";
// The record's measured fields, read-only: "Прибор №42, измерение 17, 03.09.2025 10:15,
// доза 0.123 Гр·см²".
inline constexpr char kAnnotationMeter[] = "Прибор №";
inline constexpr char kAnnotationNumber[] = ", измерение ";
inline constexpr char kAnnotationDose[] = ", доза ";
// Bad input: nothing is saved and the dialog stays open.
inline constexpr char kBirthYearNotNumber[] = "Год рождения «";  // the text, then the rest
inline constexpr char kBirthYearNotNumberEnd[] = "»: не число (пример: 1975).";
inline constexpr char kBirthYearRange[] = "Год рождения должен быть от 1900 до ";  // year, "."
inline constexpr char kImagesNotNumber[] = "Число снимков «";
inline constexpr char kImagesNotNumberEnd[] = "»: не целое число от 0 (пример: 2).";
inline constexpr char kAnnotationNoRecord[] = "Записи больше нет в журнале доз.";
inline constexpr char kAnnotationUnknownKind[] =
    "Этого вида исследования больше нет в каталоге; выберите другой.";
inline constexpr char kAnnotationNotWritten[] =
    "Описание не сохранено: журнал доз недоступен для записи: ";
// The list's column and the status line that offers a new record.
inline constexpr char kJournalHeaderKind[] = "Вид исследования";
inline constexpr char kJournalNewRecord[] = "Новая запись: Enter — указать исследование";
inline constexpr char kAnnotationSaved[] = "Описание записи сохранено";
}  // namespace texts

// The dialog's fields as typed. `kind` is the drop-down's choice: 0 for none, i for the
// catalogue's kind i - 1.
struct TAnnotationFields {
    std::string patient;
    std::string birthYear;
    std::size_t kind = 0;
    std::string images;
    std::string operatorName;
    std::string note;
};

struct TAnnotationParse {
    std::optional<TAnnotationInput> input;  // none: `message` says what is wrong
    std::string message;
};

// The fields checked: the year of birth empty or kEarliestBirthYear..currentYear, the images
// empty or a whole number from 0; every other text kept exactly as typed. `patientHidden`: the
// current annotation's patient is kept but could not be shown (FieldsOfAnnotation); an empty
// patient field then keeps it as it is, and only a patient typed replaces it.
TAnnotationParse ParseAnnotationFields(const TAnnotationFields& fields,
                                       const std::vector<TExamKind>& kinds, int currentYear,
                                       bool patientHidden);

// The dialog's fields for the record's current annotation (empty without one). A patient kept
// only as a hash or not at all is not shown (`patientHidden` says so).
struct TAnnotationPrefill {
    TAnnotationFields fields;
    bool patientHidden = false;
};
TAnnotationPrefill FieldsOfAnnotation(const std::optional<TAnnotation>& current,
                                      const std::vector<TExamKind>& kinds);

// What the operator reads when the journal refused the annotation; empty for none.
std::string AnnotationFaultText(const TAnnotationResult& result, int currentYear);

// The record's measured fields in one line.
std::string RecordSummaryText(const TJournalRow& row, const RegionalFormats& formats);

// After the journal changed: the newest row is a new end of measurement, offered for
// annotation. Not a row seen before, not the first look, not an archive's record.
bool IsNewMeasurement(std::optional<std::int64_t> newestBefore, const TJournalRow& newest);

// The kind's cell of the list: the current annotation's kind, or nothing.
std::string KindCellText(const std::optional<TAnnotation>& current);

}  // namespace virel
