#include <gtest/gtest.h>

#include "hash/Sha256.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::TempDir;

// The first released schema, as journals written by the first version hold it.
constexpr const char* kFirstSchema =
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value);"
    "CREATE TABLE records (id INTEGER PRIMARY KEY,"
    "  raw BLOB UNIQUE CHECK (raw IS NULL OR length(raw) = 14), device INTEGER NOT NULL,"
    "  number INTEGER NOT NULL, measured_at TEXT, dose REAL NOT NULL, device_error INTEGER,"
    "  first_seen TEXT NOT NULL,"
    "  source TEXT NOT NULL CHECK (source IN ('print', 'record', 'export', 'harvest')));"
    "CREATE INDEX records_period ON records ((CAST(strftime('%s', coalesce(measured_at, "
    "substr(first_seen, 1, 16))) AS INTEGER) / 60), device);"
    "CREATE TABLE clock_drift (id INTEGER PRIMARY KEY, device INTEGER NOT NULL,"
    "  noted_at TEXT NOT NULL, minutes INTEGER NOT NULL);"
    "CREATE INDEX clock_drift_device ON clock_drift (device, id);"
    "INSERT INTO meta VALUES ('schema_version', 1);"
    "INSERT INTO records (raw, device, number, measured_at, dose, device_error, first_seen, "
    "source) VALUES (NULL, 5, 9, '2024-03-02 11:15', 4.25, NULL, '2024-03-02 11:20:00', "
    "'print');";

class AnnotationsTest : public ::testing::Test {
protected:
    std::string Path() const { return dir / "VIREL1_Service.db"; }
    TJournal& Opened() {
        journal = std::make_unique<TJournal>(Path(), clock);
        const TOpenResult opened = journal->Open();
        EXPECT_TRUE(opened.outcome == TOpenOutcome::Created ||
                    opened.outcome == TOpenOutcome::Opened)
            << static_cast<int>(opened.outcome) << " " << opened.error;
        return *journal;
    }
    // Adds the record and returns its row's id.
    std::int64_t Add(const MeterRecord& record) {
        EXPECT_EQ(journal->Capture({record.Journal()}).outcome, TCaptureOutcome::Written);
        RawDb db(Path(), SQLITE_OPEN_READONLY);
        return std::stoll(db.One("SELECT max(id) FROM records"));
    }
    std::int64_t Kind(const std::string& name, std::optional<double> adult,
                      std::optional<double> child) {
        const TKindResult saved = TCatalogue(*journal).SaveKind({0, name, adult, child});
        EXPECT_EQ(saved.fault, TKindFault::None) << saved.error;
        return saved.id;
    }

    TempDir dir;
    FixedClock clock;
    std::unique_ptr<TJournal> journal;
};

TEST_F(AnnotationsTest, AFirstVersionJournalIsBroughtForwardWithItsRecords) {
    {
        RawDb db(Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        ASSERT_EQ(db.Exec(kFirstSchema), SQLITE_OK) << sqlite3_errmsg(db.get());
    }
    TJournal j(Path(), clock);
    const TOpenResult opened = j.Open();
    EXPECT_EQ(opened.outcome, TOpenOutcome::Opened);
    EXPECT_EQ(opened.version, kJournalSchemaVersion);
    const auto rows = TJournalRecords(j).ExamRows({{2024, 3, 1}, {2024, 3, 31}});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_DOUBLE_EQ(rows[0].dose, 4.25);
    EXPECT_FALSE(rows[0].kindId);

    RawDb db(Path());
    EXPECT_EQ(db.One("SELECT value FROM meta WHERE key = 'schema_version'"),
              std::to_string(kJournalSchemaVersion));
    const std::vector<std::vector<std::string>> annotations = {
        {"id", "INTEGER", "0"},      {"record_id", "INTEGER", "1"}, {"saved_at", "TEXT", "1"},
        {"patient", "TEXT", "0"},    {"patient_form", "TEXT", "1"}, {"birth_year", "INTEGER", "0"},
        {"kind_id", "INTEGER", "0"}, {"images", "INTEGER", "0"},    {"operator", "TEXT", "0"},
        {"note", "TEXT", "0"}};
    EXPECT_EQ(db.All("SELECT name, type, \"notnull\" FROM pragma_table_info('annotations')"),
              annotations);
    const std::vector<std::vector<std::string>> kinds = {
        {"id", "INTEGER", "0"},           {"name", "TEXT", "1"},
        {"k_adult", "REAL", "0"},         {"k_child", "REAL", "0"},
        {"reference_level", "REAL", "0"}, {"alert_level", "REAL", "0"},
        {"preventive", "INTEGER", "1"}};
    EXPECT_EQ(db.All("SELECT name, type, \"notnull\" FROM pragma_table_info('exam_kinds')"), kinds);
    // Every added column has a default: a row with the record alone is valid, and the old
    // columns of records alone still make a valid record.
    EXPECT_EQ(db.Exec("INSERT INTO annotations (record_id) VALUES (1)"), SQLITE_OK)
        << sqlite3_errmsg(db.get());
    EXPECT_EQ(db.One("SELECT patient_form || '|' || length(saved_at) FROM annotations"), "none|19");
    EXPECT_EQ(db.Exec("INSERT INTO records (raw, device, number, measured_at, dose, device_error, "
                      "first_seen, source) VALUES (NULL, 5, 10, '2024-03-02 12:00', 1, NULL, "
                      "'2024-03-02 12:00:00', 'export')"),
              SQLITE_OK);
    EXPECT_NE(db.Exec("INSERT INTO annotations (record_id, patient) VALUES (1, 'x')"), SQLITE_OK)
        << "a patient needs the form it was kept in";
    EXPECT_NE(db.Exec("INSERT INTO annotations (record_id, birth_year) VALUES (1, 1850)"),
              SQLITE_OK);
}

TEST_F(AnnotationsTest, EveryChangeIsANewRowAndTheMeasuredFieldsStay) {
    TJournal& j = Opened();
    const std::int64_t chest = Kind("Рентгенография грудной клетки", 0.18, 0.3);
    const std::int64_t spine = Kind("Рентгенография позвоночника", 0.2, std::nullopt);
    const std::int64_t record = Add({});
    RawDb db(Path());
    const auto measured = db.All("SELECT * FROM records");

    EXPECT_FALSE(TAnnotations(j).Current(record));
    TAnnotationInput input;
    input.patient = "Иванов И. И.";
    input.birthYear = 1970;
    input.kindId = chest;
    input.images = 2;
    input.operatorName = "Петрова";
    const TAnnotationResult first = TAnnotations(j).Annotate(record, input, {});
    ASSERT_EQ(first.fault, TAnnotationFault::None) << first.error;

    clock.now.minute += 5;
    input.kindId = spine;
    input.note = "повтор";
    input.images.reset();
    const TAnnotationResult second = TAnnotations(j).Annotate(record, input, {});
    ASSERT_EQ(second.fault, TAnnotationFault::None) << second.error;
    EXPECT_GT(second.id, first.id);

    const auto current = TAnnotations(j).Current(record);
    ASSERT_TRUE(current);
    EXPECT_EQ(current->id, second.id);
    EXPECT_EQ(current->kindId, spine);
    EXPECT_EQ(current->kindName, "Рентгенография позвоночника");
    EXPECT_EQ(current->note, "повтор");
    EXPECT_FALSE(current->images);
    EXPECT_EQ(current->savedAt, "2025-09-14 10:35:15");

    const auto history = TAnnotations(j).History(record);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].kindId, chest);
    EXPECT_EQ(history[0].images, 2);
    EXPECT_EQ(history[0].savedAt, "2025-09-14 10:30:15");
    EXPECT_EQ(history[0].operatorName, "Петрова");
    EXPECT_EQ(history[0].patient, "Иванов И. И.");
    EXPECT_EQ(history[0].birthYear, 1970);
    EXPECT_EQ(history[1].id, second.id);

    EXPECT_EQ(db.All("SELECT * FROM records"), measured) << "the measurement itself never changes";
    const auto rows = TJournalRecords(j).ExamRows({{2025, 9, 1}, {2025, 9, 30}});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].kindId, spine) << "the report takes the current annotation";
    EXPECT_EQ(rows[0].birthYear, 1970);
}

TEST_F(AnnotationsTest, ThePatientIsKeptAsTypedAsASaltedHashOrNotAtAll) {
    TJournal& j = Opened();
    const std::int64_t record = Add({});
    TAnnotationInput input;
    input.patient = "  ИД-00042 ";
    ASSERT_EQ(TAnnotations(j).Annotate(record, input, {TPatientForm::Typed, "соль"}).fault,
              TAnnotationFault::None);
    EXPECT_EQ(TAnnotations(j).Current(record)->patient, "ИД-00042");
    EXPECT_EQ(TAnnotations(j).Current(record)->patientForm, TPatientForm::Typed);

    ASSERT_EQ(TAnnotations(j).Annotate(record, input, {TPatientForm::Sha256, "соль"}).fault,
              TAnnotationFault::None);
    const auto hashed = TAnnotations(j).Current(record);
    EXPECT_EQ(hashed->patientForm, TPatientForm::Sha256);
    EXPECT_EQ(hashed->patient, Sha256Hex("сольИД-00042"));
    // The same patient typed again links to the same hash; another clinic's salt does not.
    EXPECT_EQ(KeptPatient("ИД-00042", {TPatientForm::Sha256, "соль"}), hashed->patient);
    EXPECT_NE(KeptPatient("ИД-00042", {TPatientForm::Sha256, "другая"}), hashed->patient);

    ASSERT_EQ(TAnnotations(j).Annotate(record, input, {TPatientForm::None, "соль"}).fault,
              TAnnotationFault::None);
    EXPECT_FALSE(TAnnotations(j).Current(record)->patient);
    EXPECT_EQ(TAnnotations(j).Current(record)->patientForm, TPatientForm::None);
    RawDb db(Path());
    EXPECT_EQ(db.One("SELECT count(*) FROM annotations WHERE instr(patient, 'ИД') > 0"), "1")
        << "only the row saved as typed holds the text";
}

TEST_F(AnnotationsTest, BadInputIsRefusedAndLongOrOddTextSurvives) {
    TJournal& j = Opened();
    const std::int64_t record = Add({});
    TAnnotationInput input;
    input.birthYear = 2026;  // the clock says 2025
    EXPECT_EQ(TAnnotations(j).Annotate(record, input, {}).fault,
              TAnnotationFault::BirthYearInvalid);
    input.birthYear = 1899;
    EXPECT_EQ(TAnnotations(j).Annotate(record, input, {}).fault,
              TAnnotationFault::BirthYearInvalid);
    input.birthYear = 2025;
    EXPECT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::None);
    input.birthYear = 1900;
    EXPECT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::None);
    input.images = -1;
    EXPECT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::ImagesInvalid);
    input.images = 0;
    input.kindId = 999;
    EXPECT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::UnknownKind);
    input.kindId.reset();
    EXPECT_EQ(TAnnotations(j).Annotate(record + 1, input, {}).fault, TAnnotationFault::NoRecord);
    EXPECT_EQ(TAnnotations(j).History(record).size(), 2u) << "refused changes leave no row";

    std::string longText;
    while (longText.size() < 10'000) longText += "Я;\"x\"\r\n'";
    input.patient = "a;b\"c\"";
    input.operatorName = "O'Brien; \"старший\"";
    input.note = longText;
    ASSERT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::None);
    const auto current = TAnnotations(j).Current(record);
    EXPECT_EQ(current->note, longText);
    EXPECT_EQ(current->operatorName, input.operatorName);
    EXPECT_EQ(current->patient, input.patient);
}

TEST_F(AnnotationsTest, TheCatalogueKeepsNamesUniqueAndKindsInUse) {
    TJournal& j = Opened();
    const std::int64_t chest = Kind("Грудная клетка", 0.18, std::nullopt);
    EXPECT_EQ(TCatalogue(j).SaveKind({0, " Грудная клетка ", 1, 1}).fault,
              TKindFault::DuplicateName);
    EXPECT_EQ(TCatalogue(j).SaveKind({0, "  ", 1, 1}).fault, TKindFault::EmptyName);
    EXPECT_EQ(TCatalogue(j).SaveKind({0, "Череп", -0.1, 1}).fault, TKindFault::NegativeK);
    EXPECT_EQ(TCatalogue(j).SaveKind({chest + 5, "Череп", 1, 1}).fault, TKindFault::NoKind);
    const std::int64_t skull = Kind("Череп", std::nullopt, std::nullopt);

    // A name corrected carries over to the records given the kind.
    const std::int64_t record = Add({});
    TAnnotationInput input;
    input.kindId = chest;
    ASSERT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::None);
    ASSERT_EQ(TCatalogue(j).SaveKind({chest, "Органы грудной клетки", 0.2, 0.25}).fault,
              TKindFault::None);
    EXPECT_EQ(TAnnotations(j).Current(record)->kindName, "Органы грудной клетки");

    EXPECT_EQ(TCatalogue(j).RemoveKind(chest).fault, TKindFault::InUse);
    EXPECT_EQ(TCatalogue(j).RemoveKind(skull).fault, TKindFault::None);
    EXPECT_EQ(TCatalogue(j).RemoveKind(skull).fault, TKindFault::NoKind);
    const auto catalogue = TCatalogue(j).Kinds();
    ASSERT_EQ(catalogue.size(), 1u);
    EXPECT_EQ(catalogue[0].name, "Органы грудной клетки");
    EXPECT_EQ(catalogue[0].kAdult, 0.2);
    EXPECT_EQ(catalogue[0].kChild, 0.25);
}

TEST_F(AnnotationsTest, AMergeSetsKByNameAndIsAllOrNothing) {
    TJournal& j = Opened();
    const std::int64_t chest = Kind("Грудная клетка", 0.18, std::nullopt);
    TCatalogue(j).Merge({{0, "Грудная клетка", 0.2, 0.3}, {0, "Череп", std::nullopt, 0.05}});
    auto catalogue = TCatalogue(j).Kinds();
    ASSERT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue[0].id, chest) << "the same kind, its id kept";
    EXPECT_EQ(catalogue[0].kChild, 0.3);
    EXPECT_FALSE(catalogue[1].kAdult);

    // The second kind breaks a rule of the table: the first is not taken either.
    EXPECT_THROW(TCatalogue(j).Merge({{0, "Кисть", 0.01, 0.01}, {0, "Стопа", -1.0, 0.01}}),
                 EJournal);
    catalogue = TCatalogue(j).Kinds();
    EXPECT_EQ(catalogue.size(), 2u);
}

TEST_F(AnnotationsTest, ExamRowsAreThePeriodsRecordsWithTheirCurrentKind) {
    TJournal& j = Opened();
    const std::int64_t chest = Kind("Грудная клетка", 0.18, std::nullopt);
    MeterRecord august;
    august.time = {2025, 8, 31, 23, 59};
    MeterRecord september;
    september.number = 2;
    september.time = {2025, 9, 1, 0, 0};
    september.doseWhole = 3;
    september.doseFraction = 25;
    MeterRecord noTime;
    noTime.number = 3;
    noTime.badTime = true;  // counted where it was first seen: 14 September
    Add(august);
    const std::int64_t annotated = Add(september);
    Add(noTime);
    TAnnotationInput input;
    input.kindId = chest;
    input.birthYear = 2010;
    ASSERT_EQ(TAnnotations(j).Annotate(annotated, input, {}).fault, TAnnotationFault::None);

    const auto rows = TJournalRecords(j).ExamRows({{2025, 9, 1}, {2025, 9, 30}});
    ASSERT_EQ(rows.size(), 2u);
    const auto& first = rows[0].kindId ? rows[0] : rows[1];
    const auto& other = rows[0].kindId ? rows[1] : rows[0];
    EXPECT_EQ(first.minute, ToMilliseconds({2025, 9, 1, 0, 0}) / 60000);
    EXPECT_DOUBLE_EQ(first.dose, 3.25);
    EXPECT_EQ(first.kindId, chest);
    EXPECT_EQ(first.birthYear, 2010);
    EXPECT_EQ(other.minute, ToMilliseconds({2025, 9, 14, 10, 30}) / 60000);
    EXPECT_FALSE(other.birthYear);
    EXPECT_EQ(TJournalRecords(j).ExamRows({{2025, 8, 31}, {2025, 8, 31}}).size(), 1u);
    EXPECT_TRUE(TJournalRecords(j).ExamRows({{2025, 10, 1}, {2025, 10, 31}}).empty());
}

TEST_F(AnnotationsTest, ANewerProgramsJournalIsReadButNotAnnotated) {
    {
        TJournal& j = Opened();
        const std::int64_t record = Add({});
        TAnnotationInput input;
        input.kindId = Kind("Череп", 0.05, 0.07);
        ASSERT_EQ(TAnnotations(j).Annotate(record, input, {}).fault, TAnnotationFault::None);
        journal.reset();
        RawDb db(Path());
        ASSERT_EQ(db.Exec("UPDATE meta SET value = 99 WHERE key = 'schema_version'"), SQLITE_OK);
    }
    TJournal newer(Path(), clock);
    ASSERT_EQ(newer.Open().outcome, TOpenOutcome::Newer);
    const TAnnotationResult refused = TAnnotations(newer).Annotate(1, {}, {});
    EXPECT_EQ(refused.fault, TAnnotationFault::NotWritten);
    EXPECT_FALSE(refused.error.empty());
    EXPECT_EQ(TCatalogue(newer).SaveKind({0, "Кисть", 0.01, 0.01}).fault, TKindFault::NotWritten);
    EXPECT_EQ(TCatalogue(newer).RemoveKind(1).fault, TKindFault::NotWritten);
    EXPECT_THROW(TCatalogue(newer).Merge({{0, "Кисть", 0.01, 0.01}}), EJournal);
    EXPECT_EQ(TAnnotations(newer).History(1).size(), 1u) << "still readable";
    EXPECT_EQ(TCatalogue(newer).Kinds().size(), 1u);
    EXPECT_EQ(TJournalRecords(newer).ExamRows({{2025, 9, 1}, {2025, 9, 30}}).size(), 1u);
}

}  // namespace
}  // namespace virel
