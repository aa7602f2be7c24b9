#include "forms/AnnotationForm.h"

#include <algorithm>

#include "core/TextUtil.h"
#include "forms/JournalView.h"

namespace virel {

namespace {

// A whole number of at most `digits` digits, with spaces at its ends allowed; nothing for any
// other text (signs, fractions, letters). Empty text is the caller's "not given".
std::optional<int> WholeNumber(const std::string& text, std::size_t digits) {
    const std::string number = Trimmed(text, " ");
    if (number.empty() || number.size() > digits) return std::nullopt;
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoi(number);
}

bool Blank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

std::string RangeText(int currentYear) {
    return texts::kBirthYearRange + std::to_string(currentYear) + ".";
}

}  // namespace

TAnnotationParse ParseAnnotationFields(const TAnnotationFields& fields,
                                       const std::vector<TExamKind>& kinds, int currentYear,
                                       bool patientHidden) {
    TAnnotationParse parse;
    TAnnotationInput input;
    if (!Blank(fields.birthYear)) {
        // Five digits are read so that 19750 is a year out of range, not "not a number".
        const auto year = WholeNumber(fields.birthYear, 5);
        if (!year) {
            parse.message =
                texts::kBirthYearNotNumber + fields.birthYear + texts::kBirthYearNotNumberEnd;
            return parse;
        }
        if (*year < kEarliestBirthYear || *year > currentYear) {
            parse.message = RangeText(currentYear);
            return parse;
        }
        input.birthYear = *year;
    }
    if (!Blank(fields.images)) {
        const auto images = WholeNumber(fields.images, 6);
        if (!images) {
            parse.message = texts::kImagesNotNumber + fields.images + texts::kImagesNotNumberEnd;
            return parse;
        }
        input.images = *images;
    }
    if (fields.kind > 0 && fields.kind <= kinds.size()) input.kindId = kinds[fields.kind - 1].id;
    input.patient = fields.patient;
    input.keepPatient = patientHidden && Blank(fields.patient);
    input.operatorName = fields.operatorName;
    input.note = fields.note;
    parse.input = std::move(input);
    return parse;
}

TAnnotationPrefill FieldsOfAnnotation(const std::optional<TAnnotation>& current,
                                      const std::vector<TExamKind>& kinds) {
    TAnnotationPrefill prefill;
    if (!current) return prefill;
    TAnnotationFields& f = prefill.fields;
    if (current->patientForm == TPatientForm::Typed && current->patient) {
        f.patient = *current->patient;
    } else if (current->patient) {
        prefill.patientHidden = true;
    }
    if (current->birthYear) f.birthYear = std::to_string(*current->birthYear);
    if (current->kindId) {
        const auto at = std::find_if(kinds.begin(), kinds.end(),
                                     [&](const TExamKind& k) { return k.id == *current->kindId; });
        if (at != kinds.end()) f.kind = static_cast<std::size_t>(at - kinds.begin()) + 1;
    }
    if (current->images) f.images = std::to_string(*current->images);
    f.operatorName = current->operatorName;
    f.note = current->note;
    return prefill;
}

std::string AnnotationFaultText(const TAnnotationResult& result, int currentYear) {
    switch (result.fault) {
        case TAnnotationFault::None:
            return {};
        case TAnnotationFault::NoRecord:
            return texts::kAnnotationNoRecord;
        case TAnnotationFault::BirthYearInvalid:
            return RangeText(currentYear);
        case TAnnotationFault::ImagesInvalid:
            return texts::kImagesNotNumber + std::string("-") + texts::kImagesNotNumberEnd;
        case TAnnotationFault::UnknownKind:
            return texts::kAnnotationUnknownKind;
        case TAnnotationFault::NotWritten:
            return texts::kAnnotationNotWritten + result.error;
    }
    return {};
}

std::string RecordSummaryText(const TJournalRow& row, const RegionalFormats& formats) {
    return texts::kAnnotationMeter + std::to_string(row.record.device) + texts::kAnnotationNumber +
           std::to_string(row.record.number) + ", " +
           JournalCellText(row, TJournalColumn::Time, formats) + texts::kAnnotationDose +
           JournalCellText(row, TJournalColumn::Dose, formats) + texts::kJournalDoseUnit;
}

bool IsNewMeasurement(std::optional<std::int64_t> newestBefore, const TJournalRow& newest) {
    // Ids grow with every row written: a larger one is a row the window has not shown.
    return newestBefore && newest.id > *newestBefore &&
           newest.record.source == TJournalSource::Print;
}

std::string KindCellText(const std::optional<TAnnotation>& current) {
    return current && current->kindName ? *current->kindName : std::string();
}

}  // namespace virel
