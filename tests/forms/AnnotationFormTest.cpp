#include <gtest/gtest.h>

#include "hash/Sha256.h"
#include "forms/AnnotationForm.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::TempDir;

const std::vector<TExamKind> kKinds = {{7, "Грудная клетка", 0.18, 0.2},
                                       {3, "Череп", std::nullopt, 0.03}};

TEST(AnnotationForm, TheYearOfBirthIsEmptyOrAWholeYearFrom1900ToThisYear) {
    TAnnotationFields fields;
    auto parse = ParseAnnotationFields(fields, kKinds, 2025, false);
    ASSERT_TRUE(parse.input) << parse.message;
    EXPECT_FALSE(parse.input->birthYear);
    for (const char* year : {"1900", " 1975 ", "2025"}) {
        fields.birthYear = year;
        parse = ParseAnnotationFields(fields, kKinds, 2025, false);
        ASSERT_TRUE(parse.input) << year << ": " << parse.message;
        EXPECT_EQ(parse.input->birthYear, std::stoi(year));
    }
    for (const char* year : {"1899", "2026", "19750", "0"}) {
        fields.birthYear = year;
        parse = ParseAnnotationFields(fields, kKinds, 2025, false);
        EXPECT_FALSE(parse.input) << year;
        EXPECT_EQ(parse.message, "Год рождения должен быть от 1900 до 2025.") << year;
    }
    for (const char* year : {"19x5", "-1975", "1975.5", "197 5", "123456"}) {
        fields.birthYear = year;
        parse = ParseAnnotationFields(fields, kKinds, 2025, false);
        EXPECT_FALSE(parse.input) << year;
        EXPECT_EQ(parse.message,
                  std::string("Год рождения «") + year + "»: не число (пример: 1975).");
    }
}

TEST(AnnotationForm, ImagesAreEmptyOrAWholeNumberFromZero) {
    TAnnotationFields fields;
    fields.images = "0";
    auto parse = ParseAnnotationFields(fields, kKinds, 2025, false);
    ASSERT_TRUE(parse.input);
    EXPECT_EQ(parse.input->images, 0);
    fields.images = "12";
    EXPECT_EQ(ParseAnnotationFields(fields, kKinds, 2025, false).input->images, 12);
    for (const char* images : {"-1", "2,5", "два"}) {
        fields.images = images;
        parse = ParseAnnotationFields(fields, kKinds, 2025, false);
        EXPECT_FALSE(parse.input) << images;
        EXPECT_EQ(parse.message,
                  std::string("Число снимков «") + images + "»: не целое число от 0 (пример: 2).");
    }
}

TEST(AnnotationForm, TheDropDownChoosesACatalogueKindOrNone) {
    TAnnotationFields fields;
    EXPECT_FALSE(ParseAnnotationFields(fields, kKinds, 2025, false).input->kindId);
    fields.kind = 1;
    EXPECT_EQ(ParseAnnotationFields(fields, kKinds, 2025, false).input->kindId, 7);
    fields.kind = 2;
    EXPECT_EQ(ParseAnnotationFields(fields, kKinds, 2025, false).input->kindId, 3);
    fields.kind = 3;  // beyond the list: as none, never another kind
    EXPECT_FALSE(ParseAnnotationFields(fields, kKinds, 2025, false).input->kindId);
}

TEST(AnnotationForm, TheJournalsFaultsHaveTheirMessages) {
    EXPECT_EQ(AnnotationFaultText({}, 2025), "");
    EXPECT_EQ(AnnotationFaultText({TAnnotationFault::BirthYearInvalid, 0, ""}, 2025),
              "Год рождения должен быть от 1900 до 2025.");
    EXPECT_EQ(AnnotationFaultText({TAnnotationFault::NotWritten, 0, "disk I/O error"}, 2025),
              "Описание не сохранено: журнал доз недоступен для записи: disk I/O error");
    EXPECT_EQ(AnnotationFaultText({TAnnotationFault::NoRecord, 0, ""}, 2025),
              "Записи больше нет в журнале доз.");
    EXPECT_EQ(AnnotationFaultText({TAnnotationFault::UnknownKind, 0, ""}, 2025),
              "Этого вида исследования больше нет в каталоге; выберите другой.");
}

TEST(AnnotationForm, TheRecordsMeasuredFieldsInOneLine) {
    TJournalRow row;
    row.record = MeterRecord{42, 17, {2025, 9, 3, 10, 15, 0, 0}, 0, 123}.Journal();
    RegionalFormats formats;  // dd.MM.yyyy H:mm:ss
    EXPECT_EQ(RecordSummaryText(row, formats),
              "Прибор №42, измерение 17, 03.09.2025 10:15:00, доза 0.123 Гр·см²");
}

TEST(AnnotationForm, OnlyANewEndOfMeasurementIsOffered) {
    TJournalRow row;
    row.id = 10;
    row.record.source = TJournalSource::Print;
    EXPECT_TRUE(IsNewMeasurement(9, row));
    EXPECT_TRUE(IsNewMeasurement(2, row));
    EXPECT_FALSE(IsNewMeasurement(10, row)) << "seen already";
    EXPECT_FALSE(IsNewMeasurement(11, row)) << "an older row came to the top (another period)";
    EXPECT_FALSE(IsNewMeasurement(std::nullopt, row)) << "the window's first look";
    for (const auto source :
         {TJournalSource::Record, TJournalSource::Export, TJournalSource::Harvest}) {
        row.record.source = source;
        EXPECT_FALSE(IsNewMeasurement(9, row)) << static_cast<int>(source);
    }
}

// What the dialog saves reaches the journal as typed and comes back into the dialog the same:
// long texts, quotes, semicolons and line breaks intact.
TEST(AnnotationForm, FieldsGoThroughTheJournalAndBackIntact) {
    TempDir dir;
    FixedClock clock;
    TJournal journal(dir / "VIREL1_Service.db", clock);
    ASSERT_EQ(journal.Open().outcome, TOpenOutcome::Created);
    ASSERT_EQ(journal.Capture({MeterRecord{}.Journal()}).outcome, TCaptureOutcome::Written);
    const TKindResult kind =
        TCatalogue(journal).SaveKind({0, "Кисть; \"прямая\"", 0.01, std::nullopt});
    ASSERT_EQ(kind.fault, TKindFault::None);
    const std::vector<TExamKind> kinds = TCatalogue(journal).Kinds();

    TAnnotationFields typed;
    typed.patient = std::string(10000, 'x') + "\"Иванов\"; И.И.";
    typed.birthYear = "1960";
    typed.kind = 1;
    typed.images = "3";
    typed.operatorName = "O'Brien; \"старший\"";
    typed.note = "строка 1\r\nстрока 2; \"в кавычках\"" + std::string(10000, ';');
    const auto parse = ParseAnnotationFields(typed, kinds, 2025, false);
    ASSERT_TRUE(parse.input) << parse.message;
    const TAnnotationResult saved =
        TAnnotations(journal).Annotate(1, *parse.input, {TPatientForm::Typed, ""});
    ASSERT_EQ(saved.fault, TAnnotationFault::None) << saved.error;

    const auto current = TAnnotations(journal).Current(1);
    const TAnnotationPrefill back = FieldsOfAnnotation(current, kinds);
    EXPECT_FALSE(back.patientHidden);
    EXPECT_EQ(back.fields.patient, typed.patient);
    EXPECT_EQ(back.fields.birthYear, "1960");
    EXPECT_EQ(back.fields.kind, 1u);
    EXPECT_EQ(back.fields.images, "3");
    EXPECT_EQ(back.fields.operatorName, typed.operatorName);
    EXPECT_EQ(back.fields.note, typed.note);
    EXPECT_EQ(KindCellText(current), "Кисть; \"прямая\"");
    RawDb db(dir / "VIREL1_Service.db", SQLITE_OPEN_READONLY);
    EXPECT_EQ(db.One("SELECT length(CAST(note AS BLOB)) FROM annotations"),
              std::to_string(typed.note.size()));

    // A hashed patient cannot be shown back: the dialog says so and shows nothing.
    const TAnnotationResult hashed =
        TAnnotations(journal).Annotate(1, *parse.input, {TPatientForm::Sha256, "соль"});
    ASSERT_EQ(hashed.fault, TAnnotationFault::None);
    const TAnnotationPrefill hidden = FieldsOfAnnotation(TAnnotations(journal).Current(1), kinds);
    EXPECT_TRUE(hidden.patientHidden);
    EXPECT_EQ(hidden.fields.patient, "");
    EXPECT_EQ(hidden.fields.note, typed.note);
    // No annotation: empty fields, no kind.
    const TAnnotationPrefill none = FieldsOfAnnotation(std::nullopt, kinds);
    EXPECT_EQ(none.fields.kind, 0u);
    EXPECT_EQ(KindCellText(std::nullopt), "");
}

// Re-saving a record whose patient is kept as a hash: the empty field leaves that hash as it is
// (never the hash of the hash, never erased), whatever the setting is now; a patient typed
// replaces it.
TEST(AnnotationForm, AHiddenPatientStaysUnlessAnotherIsTyped) {
    TempDir dir;
    FixedClock clock;
    TJournal journal(dir / "VIREL1_Service.db", clock);
    ASSERT_EQ(journal.Open().outcome, TOpenOutcome::Created);
    ASSERT_EQ(journal.Capture({MeterRecord{}.Journal()}).outcome, TCaptureOutcome::Written);
    const TPatientPrivacy hashing{TPatientForm::Sha256, "соль"};
    TAnnotationFields typed;
    typed.patient = "Иванов И.И.";
    auto parse = ParseAnnotationFields(typed, kKinds, 2025, false);
    ASSERT_TRUE(parse.input);
    ASSERT_EQ(TAnnotations(journal).Annotate(1, *parse.input, hashing).fault,
              TAnnotationFault::None);
    const std::string hash = *TAnnotations(journal).Current(1)->patient;
    ASSERT_EQ(hash, Sha256Hex("сольИванов И.И."));

    for (const TPatientPrivacy& now :
         {hashing, TPatientPrivacy{TPatientForm::Typed, ""}, TPatientPrivacy{TPatientForm::None, ""}}) {
        TAnnotationPrefill shown = FieldsOfAnnotation(TAnnotations(journal).Current(1), kKinds);
        ASSERT_TRUE(shown.patientHidden);
        shown.fields.note = std::string("заметка ") + PatientFormText(now.form);
        shown.fields.patient = "  ";  // spaces only: nothing typed
        parse = ParseAnnotationFields(shown.fields, kKinds, 2025, shown.patientHidden);
        ASSERT_TRUE(parse.input);
        EXPECT_TRUE(parse.input->keepPatient);
        ASSERT_EQ(TAnnotations(journal).Annotate(1, *parse.input, now).fault,
                  TAnnotationFault::None);
        const auto current = TAnnotations(journal).Current(1);
        EXPECT_EQ(current->patient, hash) << PatientFormText(now.form);
        EXPECT_EQ(current->patientForm, TPatientForm::Sha256) << PatientFormText(now.form);
        EXPECT_EQ(current->note, shown.fields.note);
    }
    EXPECT_EQ(TAnnotations(journal).History(1).size(), 4u) << "each save a row of its own";

    TAnnotationPrefill shown = FieldsOfAnnotation(TAnnotations(journal).Current(1), kKinds);
    shown.fields.patient = "Петров П.П.";
    parse = ParseAnnotationFields(shown.fields, kKinds, 2025, shown.patientHidden);
    ASSERT_TRUE(parse.input);
    EXPECT_FALSE(parse.input->keepPatient);
    ASSERT_EQ(TAnnotations(journal).Annotate(1, *parse.input, hashing).fault,
              TAnnotationFault::None);
    EXPECT_EQ(TAnnotations(journal).Current(1)->patient, Sha256Hex("сольПетров П.П."));

    // A record without any annotation keeps no patient by keeping.
    MeterRecord second;
    second.number = 2;
    ASSERT_EQ(journal.Capture({second.Journal()}).outcome, TCaptureOutcome::Written);
    TAnnotationInput keep;
    keep.keepPatient = true;
    keep.patient = "не этот";
    ASSERT_EQ(TAnnotations(journal).Annotate(2, keep, hashing).fault, TAnnotationFault::None);
    EXPECT_FALSE(TAnnotations(journal).Current(2)->patient);
    EXPECT_EQ(TAnnotations(journal).Current(2)->patientForm, TPatientForm::None);
    // A shown (typed) patient is never kept by the empty field: emptied, it is gone.
    EXPECT_FALSE(ParseAnnotationFields({}, kKinds, 2025, false).input->keepPatient);
}

}  // namespace
}  // namespace virel
