// High-dose alerts in the journal: raised in the capture's or the annotation's transaction, once
// per record and level, listed and acknowledged, queued for the registry; and a journal of the
// previous version brought forward with nothing lost.
#include <gtest/gtest.h>

#include <cmath>

#include "journal/JournalSink.h"
#include "journal/JournalSql.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel::journaltest {
namespace {

// A journal as version 3 of the program made it, statement for statement: its released steps.
constexpr const char* kVersion3 =
    "CREATE TABLE meta (key TEXT PRIMARY KEY, value);"
    "CREATE TABLE records (id INTEGER PRIMARY KEY,"
    "  raw BLOB UNIQUE CHECK (raw IS NULL OR length(raw) = 14), device INTEGER NOT NULL,"
    "  number INTEGER NOT NULL, measured_at TEXT, dose REAL NOT NULL, device_error INTEGER,"
    "  first_seen TEXT NOT NULL,"
    "  source TEXT NOT NULL CHECK (source IN ('print', 'record', 'export', 'harvest')));"
    "CREATE INDEX records_period ON records (" VIREL_JOURNAL_KEY
    ", device);"
    "CREATE TABLE clock_drift (id INTEGER PRIMARY KEY, device INTEGER NOT NULL,"
    "  noted_at TEXT NOT NULL, minutes INTEGER NOT NULL);"
    "CREATE INDEX clock_drift_device ON clock_drift (device, id);"
    "CREATE TABLE exam_kinds (id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL UNIQUE CHECK (length(name) > 0),"
    "  k_adult REAL CHECK (k_adult IS NULL OR k_adult >= 0),"
    "  k_child REAL CHECK (k_child IS NULL OR k_child >= 0));"
    "CREATE TABLE annotations (id INTEGER PRIMARY KEY,"
    "  record_id INTEGER NOT NULL REFERENCES records (id),"
    "  saved_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')),"
    "  patient TEXT, patient_form TEXT NOT NULL DEFAULT 'none'"
    "    CHECK (patient_form IN ('typed', 'sha256', 'none')"
    "           AND (patient_form = 'none') = (patient IS NULL)),"
    "  birth_year INTEGER CHECK (birth_year IS NULL OR birth_year >= 1900),"
    "  kind_id INTEGER REFERENCES exam_kinds (id),"
    "  images INTEGER CHECK (images IS NULL OR images >= 0), operator TEXT, note TEXT);"
    "CREATE INDEX annotations_record ON annotations (record_id, id);"
    "CREATE INDEX annotations_kind ON annotations (kind_id);"
    "CREATE TABLE push_queue (id INTEGER PRIMARY KEY, record_id INTEGER, annotation_id INTEGER,"
    "  refused TEXT, CHECK ((record_id IS NULL) <> (annotation_id IS NULL)));"
    "CREATE TRIGGER push_queue_record AFTER INSERT ON records WHEN NEW.raw IS NOT NULL "
    "BEGIN INSERT INTO push_queue (record_id) VALUES (NEW.id); END;"
    "CREATE TRIGGER push_queue_annotation AFTER INSERT ON annotations "
    "WHEN (SELECT raw FROM records WHERE id = NEW.record_id) IS NOT NULL "
    "BEGIN INSERT INTO push_queue (annotation_id) VALUES (NEW.id); END;"
    "INSERT INTO meta (key, value) VALUES ('schema_version', 3);";

class CountingNotice : public IAlertWaker {
public:
    void AlertsRaised(std::size_t count) override { raised.push_back(count); }
    std::vector<std::size_t> raised;
};

class AlertsTest : public ::testing::Test {
protected:
    std::string Path() const { return dir / "VIREL1_Service.db"; }
    TJournal& Opened() {
        journal = std::make_unique<TJournal>(Path(), clock);
        const TOpenResult opened = journal->Open();
        EXPECT_TRUE(opened.outcome == TOpenOutcome::Created ||
                    opened.outcome == TOpenOutcome::Opened)
            << opened.error;
        return *journal;
    }
    std::int64_t IdOf(int number) {
        RawDb db(Path(), SQLITE_OPEN_READONLY);
        return std::stoll(
            db.One("SELECT id FROM records WHERE number = " + std::to_string(number)));
    }
    // A kind with an alert level, written as a clinic's tool would.
    std::int64_t Kind(const std::string& name, const char* alertLevel) {
        RawDb db(Path());
        EXPECT_EQ(db.Exec("INSERT INTO exam_kinds (name, alert_level) VALUES ('" + name + "', " +
                          alertLevel + ")"),
                  SQLITE_OK)
            << sqlite3_errmsg(db.get());
        return std::stoll(db.One("SELECT id FROM exam_kinds WHERE name = '" + name + "'"));
    }
    static MeterRecord Dose(int number, int whole, int fraction = 0) {
        return MeterRecord{.number = number, .doseWhole = whole, .doseFraction = fraction};
    }

    TempDir dir;
    FixedClock clock;
    std::unique_ptr<TJournal> journal;
};

TEST_F(AlertsTest, AVersion3JournalIsBroughtForwardWithItsQueueInOrder) {
    {
        RawDb db(Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        ASSERT_EQ(db.Exec(kVersion3), SQLITE_OK) << sqlite3_errmsg(db.get());
        ASSERT_EQ(db.Exec("INSERT INTO exam_kinds (name, k_adult) VALUES ('Грудь', 0.18);"
                          "INSERT INTO records (raw, device, number, measured_at, dose, first_seen,"
                          " source) VALUES"
                          " (x'0001000100000000000000000001', 1, 1, '2025-01-02 03:04', 250.5,"
                          "  '2025-01-02 03:05:00', 'print'),"
                          " (x'0001000200000000000000000002', 1, 2, '2025-01-02 03:06', 3.5,"
                          "  '2025-01-02 03:07:00', 'print'),"
                          " (NULL, 1, 3, NULL, 1.25, '2025-01-02 03:08:00', 'harvest');"
                          "INSERT INTO annotations (record_id, kind_id, note) VALUES (2, 1, 'n');"
                          // The server took the first record; a text it refused stays marked.
                          "DELETE FROM push_queue WHERE record_id = 1;"
                          "UPDATE push_queue SET refused = 'bad' WHERE record_id = 2;"),
                  SQLITE_OK)
            << sqlite3_errmsg(db.get());
    }
    RawDb before(Path(), SQLITE_OPEN_READONLY);
    const auto queue = before.All("SELECT id, record_id, annotation_id, refused FROM push_queue");
    const auto records = before.All("SELECT * FROM records ORDER BY id");
    const auto annotations = before.All("SELECT * FROM annotations ORDER BY id");
    ASSERT_EQ(queue.size(), 2u);

    TJournal& j = Opened();
    RawDb db(Path());
    EXPECT_EQ(db.One("SELECT value FROM meta WHERE key = 'schema_version'"), "4");
    EXPECT_EQ(db.All("SELECT id, record_id, annotation_id, refused FROM push_queue ORDER BY id"),
              queue);
    EXPECT_EQ(db.All("SELECT * FROM records ORDER BY id"), records);
    EXPECT_EQ(db.All("SELECT * FROM annotations ORDER BY id"), annotations);
    EXPECT_EQ(db.All("SELECT name, k_adult, reference_level, alert_level, preventive "
                     "FROM exam_kinds"),
              (std::vector<std::vector<std::string>>{{"Грудь", "0.18", "NULL", "NULL", "0"}}));
    EXPECT_EQ(db.One("SELECT count(*) FROM alerts"), "0") << "nothing raised by the upgrade";
    EXPECT_EQ(db.One("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master "
                     "WHERE type = 'trigger' ORDER BY name)"),
              "push_queue_alert,push_queue_alert_acknowledged,push_queue_annotation,"
              "push_queue_record");

    // The rebuilt queue still takes records and annotations, now alerts too, after the old rows.
    ASSERT_EQ(j.Capture({Dose(9, 300).Journal()}, 200).alerts, 1u);
    const std::vector<TWaitingItem> items = TPushQueue(j).WaitingRows(10);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].annotation);
    EXPECT_TRUE(items[1].record);
    ASSERT_TRUE(items[2].alert);
    EXPECT_EQ(items[2].alert->raw, items[1].record->raw);
    EXPECT_LT(std::stoll(queue.back()[0]), items[1].queueId) << "ids go on after the old ones";

    // Exactly one of the three per queue row, and the kinds' new columns hold only sense.
    EXPECT_NE(db.Exec("INSERT INTO push_queue (record_id, alert_id) VALUES (1, 1)"), SQLITE_OK);
    EXPECT_NE(db.Exec("INSERT INTO push_queue (refused) VALUES ('x')"), SQLITE_OK);
    EXPECT_NE(db.Exec("UPDATE exam_kinds SET alert_level = 0"), SQLITE_OK);
    EXPECT_NE(db.Exec("UPDATE exam_kinds SET reference_level = -1"), SQLITE_OK);
    EXPECT_NE(db.Exec("UPDATE exam_kinds SET preventive = 2"), SQLITE_OK);
    EXPECT_NE(db.Exec("INSERT INTO alerts (record_id, level, level_value, value, raised_at) "
                      "VALUES (1, 'patient', 1, 2, '2025-01-01 00:00:00')"),
              SQLITE_OK);
}

TEST_F(AlertsTest, ACaptureRaisesOneAlertForANewRecordOverTheLevel) {
    TJournal& j = Opened();
    const TCaptureResult first =
        j.Capture({Dose(1, 200).Journal(), Dose(2, 200, 1).Journal(), Dose(3, 5).Journal()}, 200);
    EXPECT_EQ(first.added, 3u);
    EXPECT_EQ(first.alerts, 1u) << "strictly above the level";
    EXPECT_EQ(j.Capture({Dose(2, 200, 1).Journal()}, 200).alerts, 0u) << "in the file already";
    EXPECT_EQ(j.Capture({Dose(4, 999).Journal()}, 0).alerts, 0u) << "0: no level";

    const std::vector<TAlert> alerts = TAlerts(j).ForRecord(IdOf(2));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].level, TAlertLevel::Record);
    EXPECT_DOUBLE_EQ(alerts[0].levelValue, 200);
    EXPECT_DOUBLE_EQ(alerts[0].value, 200.1);
    EXPECT_FALSE(alerts[0].kindId);
    EXPECT_EQ(alerts[0].raisedAt, "2025-09-14 10:30:15");
    EXPECT_FALSE(alerts[0].acknowledgedAt);
    EXPECT_TRUE(TAlerts(j).ForRecord(IdOf(1)).empty());
    EXPECT_TRUE(TAlerts(j).ForRecord(IdOf(4)).empty());
}

TEST_F(AlertsTest, HeldRecordsRaiseTheirAlertsWhenTheyGoInAndTheSinkTellsOnce) {
    Opened();
    CountingNotice notice;
    TNoQueueWaker pusher;
    {
        RawDb other(Path());
        ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
        TJournal busy(Path(), clock, {.busyTimeoutMs = 10, .attempts = 1});
        ASSERT_EQ(busy.Open().outcome, TOpenOutcome::Opened);
        TJournalSink sink(busy, clock, pusher, notice, 100);
        sink.Keep(Dose(1, 150).Decoded(), TRecordSource::Print);
        EXPECT_EQ(sink.LastCapture().outcome, TCaptureOutcome::Held);
        EXPECT_TRUE(notice.raised.empty()) << "nothing is in the file yet";
        ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
        sink.Keep(Dose(2, 120).Decoded(), TRecordSource::Print);
        EXPECT_EQ(notice.raised, std::vector<std::size_t>{2}) << "one call for the commit";
        sink.Keep(Dose(3, 50).Decoded(), TRecordSource::Print);
        EXPECT_EQ(notice.raised.size(), 1u) << "nothing raised: nobody told";

        // A new level from the settings holds for the next capture; a batch counts its alerts.
        sink.SetRecordAlertLevel(40);
        sink.BeginBatch();
        for (int n = 10; n < 14; ++n) sink.Keep(Dose(n, 30 + n).Decoded(), TRecordSource::Harvest);
        const TBatchResult batch = sink.EndBatch();
        EXPECT_EQ(batch.added, 4u);
        EXPECT_EQ(batch.alerts, 3u);
        EXPECT_EQ(notice.raised, (std::vector<std::size_t>{2, 3}));
    }
    EXPECT_EQ(TAlerts(*journal).Unacknowledged().size(), 5u);
}

TEST_F(AlertsTest, AnAnnotationsKindRaisesItsAlertOnceAndAChangedKindDeletesNothing) {
    TJournal& j = Opened();
    ASSERT_EQ(j.Capture({Dose(1, 80).Journal(), Dose(2, 20).Journal()}, 200).alerts, 0u);
    const std::int64_t chest = Kind("Грудь", "50");
    const std::int64_t spine = Kind("Позвоночник", "10");
    const std::int64_t plain = Kind("Без порога", "NULL");
    TAnnotations annotations(j);
    TAnnotationInput input;

    input.kindId = plain;
    EXPECT_FALSE(annotations.Annotate(IdOf(1), input, {}).alertRaised);
    input.kindId = chest;
    EXPECT_FALSE(annotations.Annotate(IdOf(2), input, {}).alertRaised) << "below its level";
    const TAnnotationResult raised = annotations.Annotate(IdOf(1), input, {});
    EXPECT_EQ(raised.fault, TAnnotationFault::None);
    EXPECT_TRUE(raised.alertRaised);
    EXPECT_FALSE(annotations.Annotate(IdOf(1), input, {}).alertRaised) << "once per level";
    input.kindId = spine;
    EXPECT_FALSE(annotations.Annotate(IdOf(1), input, {}).alertRaised) << "once per level";
    input.kindId = plain;
    EXPECT_FALSE(annotations.Annotate(IdOf(1), input, {}).alertRaised);

    const std::vector<TAlert> alerts = TAlerts(j).ForRecord(IdOf(1));
    ASSERT_EQ(alerts.size(), 1u) << "the alert raised stays";
    EXPECT_EQ(alerts[0].level, TAlertLevel::Kind);
    EXPECT_EQ(alerts[0].kindId, chest);
    EXPECT_DOUBLE_EQ(alerts[0].levelValue, 50);
    EXPECT_DOUBLE_EQ(alerts[0].value, 80);
    EXPECT_EQ(annotations.History(IdOf(1)).size(), 5u);

    // No record: neither an annotation nor an alert.
    input.kindId = chest;
    const TAnnotationResult none = annotations.Annotate(999, input, {});
    EXPECT_EQ(none.fault, TAnnotationFault::NoRecord);
    EXPECT_FALSE(none.alertRaised);

    // Both levels: the record's at the capture, the kind's at the annotation.
    ASSERT_EQ(j.Capture({Dose(3, 300).Journal()}, 200).alerts, 1u);
    EXPECT_TRUE(annotations.Annotate(IdOf(3), input, {}).alertRaised);
    const std::vector<TAlert> both = TAlerts(j).ForRecord(IdOf(3));
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].level, TAlertLevel::Record);
    EXPECT_EQ(both[1].level, TAlertLevel::Kind);
}

TEST_F(AlertsTest, ListsAcknowledgementAndTheQueue) {
    TJournal& j = Opened();
    MeterRecord early = Dose(1, 300), late = Dose(2, 400), other = Dose(3, 500);
    early.time = {2025, 8, 31, 23, 59, 0, 0};
    late.time = {2025, 9, 2, 8, 0, 0, 0};
    other.time = {2025, 9, 1, 9, 0, 0, 0};
    ASSERT_EQ(j.Capture({early.Journal(), late.Journal(), other.Journal()}, 200).alerts, 3u);
    const std::int64_t kind = Kind("Таз", "100");
    TAnnotationInput input;
    input.kindId = kind;
    ASSERT_TRUE(TAnnotations(j).Annotate(IdOf(3), input, {}).alertRaised);

    TAlerts alerts(j);
    const std::vector<TAlertRow> september = alerts.InPeriod({{2025, 9, 1}, {2025, 9, 30}});
    ASSERT_EQ(september.size(), 3u);
    // In the records' order, the record's two alerts together.
    EXPECT_EQ(september[0].number, 3);
    EXPECT_EQ(september[0].level, TAlertLevel::Record);
    EXPECT_EQ(september[0].kindName, "Таз") << "filed under the record's kind";
    EXPECT_EQ(september[1].number, 3);
    EXPECT_EQ(september[1].level, TAlertLevel::Kind);
    EXPECT_DOUBLE_EQ(september[1].levelValue, 100);
    EXPECT_EQ(september[2].number, 2);
    EXPECT_DOUBLE_EQ(september[2].dose, 400);
    EXPECT_EQ(september[2].device, 42);
    EXPECT_EQ(september[2].minute, ToMilliseconds(late.time) / 60'000);
    EXPECT_FALSE(september[2].kindName);
    EXPECT_TRUE(september[2].room.empty());
    EXPECT_EQ(september[2].recordId, IdOf(2));

    std::vector<TAlertRow> open = alerts.Unacknowledged();
    ASSERT_EQ(open.size(), 4u);
    EXPECT_EQ(open[0].number, 1) << "oldest raised first";
    const std::size_t queued = TPushQueue(j).Waiting();

    clock.now = {2025, 9, 14, 11, 0, 5, 0};
    const TAcknowledgeResult done = alerts.Acknowledge(open[0].alertId, "ivanova", "повтор снимка");
    EXPECT_EQ(done.fault, TAcknowledgeFault::None) << done.error;
    EXPECT_EQ(alerts.Acknowledge(open[0].alertId, "petrov", "").fault,
              TAcknowledgeFault::Acknowledged);
    EXPECT_EQ(alerts.Acknowledge(12345, "petrov", "").fault, TAcknowledgeFault::NoAlert);
    EXPECT_EQ(alerts.Acknowledge(open[1].alertId, "", "").fault, TAcknowledgeFault::None);
    EXPECT_EQ(alerts.Unacknowledged().size(), 2u);

    const std::vector<TAlert> first = alerts.ForRecord(IdOf(1));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].acknowledgedAt, "2025-09-14 11:00:05");
    EXPECT_EQ(first[0].acknowledgedBy, "ivanova") << "the first to acknowledge stays";
    EXPECT_EQ(first[0].note, "повтор снимка");
    const std::vector<TAlert> second = alerts.ForRecord(IdOf(2));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_FALSE(second[0].acknowledgedBy);
    EXPECT_TRUE(second[0].note.empty());
    const std::vector<TAlertRow> august = alerts.InPeriod({{2025, 8, 1}, {2025, 8, 31}});
    ASSERT_EQ(august.size(), 1u);
    EXPECT_TRUE(august[0].acknowledged);
    EXPECT_EQ(august[0].acknowledgedBy, "ivanova");
    EXPECT_EQ(august[0].note, "повтор снимка");

    // Each acknowledgement goes to the registry again, in its state then.
    EXPECT_EQ(TPushQueue(j).Waiting(), queued + 2);
    const std::vector<TWaitingItem> items = TPushQueue(j).WaitingRows(100);
    const TPushAlert* acknowledged = nullptr;
    int alertItems = 0;
    for (const TWaitingItem& item : items) {
        if (!item.alert) continue;
        ++alertItems;
        if (item.alert->acknowledgedBy == "ivanova") acknowledged = &*item.alert;
    }
    EXPECT_EQ(alertItems, 6) << "four raised, two acknowledged";
    ASSERT_NE(acknowledged, nullptr);
    EXPECT_EQ(acknowledged->note, "повтор снимка");
    EXPECT_EQ(acknowledged->acknowledgedAt, "2025-09-14 11:00:05");
    EXPECT_EQ(acknowledged->level, TAlertLevel::Record);
    EXPECT_DOUBLE_EQ(acknowledged->value, 300);
    EXPECT_EQ(acknowledged->raisedAt, "2025-09-14 10:30:15");
}

TEST_F(AlertsTest, AReadOnlyJournalListsButAcknowledgesNothing) {
    {
        TJournal& j = Opened();
        ASSERT_EQ(j.Capture({Dose(1, 300).Journal()}, 200).alerts, 1u);
        journal.reset();
    }
    {
        RawDb db(Path());
        ASSERT_EQ(db.Exec("UPDATE meta SET value = 99 WHERE key = 'schema_version'"), SQLITE_OK);
    }
    TJournal j(Path(), clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Newer);
    TAlerts alerts(j);
    const std::vector<TAlertRow> open = alerts.Unacknowledged();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(alerts.Acknowledge(open[0].alertId, "ivanova", "").fault,
              TAcknowledgeFault::NotWritten);
    EXPECT_EQ(alerts.Unacknowledged().size(), 1u);
}

TEST_F(AlertsTest, TheCatalogueKeepsTheLevelsAndTheFlag) {
    TJournal& j = Opened();
    TCatalogue catalogue(j);
    const TKindResult saved =
        catalogue.SaveKind({0, "Флюорография", 0.02, std::nullopt, 0.15, 1.5, true});
    ASSERT_EQ(saved.fault, TKindFault::None) << saved.error;
    ASSERT_EQ(catalogue.SaveKind({0, "Таз", 0.29, 0.4}).fault, TKindFault::None);
    std::vector<TExamKind> kinds = catalogue.Kinds();
    ASSERT_EQ(kinds.size(), 2u);
    EXPECT_EQ(kinds[1].name, "Флюорография");
    EXPECT_EQ(kinds[1].referenceLevel, 0.15);
    EXPECT_EQ(kinds[1].alertLevel, 1.5);
    EXPECT_TRUE(kinds[1].preventive);
    EXPECT_FALSE(kinds[0].referenceLevel || kinds[0].alertLevel || kinds[0].preventive);

    // Changed, and refused when a level is not above zero.
    kinds[1].alertLevel.reset();
    kinds[1].preventive = false;
    ASSERT_EQ(catalogue.SaveKind(kinds[1]).fault, TKindFault::None);
    EXPECT_FALSE(catalogue.Kinds()[1].alertLevel);
    EXPECT_FALSE(catalogue.Kinds()[1].preventive);
    EXPECT_EQ(catalogue.Kinds()[1].referenceLevel, 0.15);
    for (const double bad : {0.0, -2.0, std::nan("")}) {
        EXPECT_EQ(catalogue.SaveKind({0, "Череп", 1, 1, bad}).fault, TKindFault::InvalidLevel);
        EXPECT_EQ(catalogue.SaveKind({0, "Череп", 1, 1, std::nullopt, bad}).fault,
                  TKindFault::InvalidLevel);
    }

    // A merge sets only what the list carries: today's three columns leave the levels alone.
    catalogue.Merge({{0, "Флюорография", 0.03, std::nullopt}, {0, "Кисть", 0.01, std::nullopt}});
    kinds = catalogue.Kinds();
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds[2].kAdult, 0.03);
    EXPECT_EQ(kinds[2].referenceLevel, 0.15) << "kept";
    catalogue.Merge({{0, "Флюорография", 0.03, std::nullopt, std::nullopt, 2.0, true},
                     {0, "Таз", 0.29, 0.4, 0.9, std::nullopt, false}},
                    {.referenceLevel = false, .alertLevel = true, .preventive = true});
    kinds = catalogue.Kinds();
    EXPECT_EQ(kinds[2].referenceLevel, 0.15) << "the list carries no reference levels";
    EXPECT_EQ(kinds[2].alertLevel, 2.0);
    EXPECT_TRUE(kinds[2].preventive);
    EXPECT_FALSE(kinds[1].referenceLevel);
    catalogue.Merge({{0, "Флюорография", 0.03, std::nullopt}}, {true, true, true});
    kinds = catalogue.Kinds();
    EXPECT_FALSE(kinds[2].referenceLevel || kinds[2].alertLevel || kinds[2].preventive)
        << "empty cells of the columns given clear them";
    EXPECT_THROW(catalogue.Merge({{0, "Стопа", 0.01, std::nullopt, 0.0}}, {true, false, false}),
                 EJournal);
    EXPECT_EQ(catalogue.Kinds().size(), 3u) << "all or nothing";
}

}  // namespace
}  // namespace virel::journaltest
