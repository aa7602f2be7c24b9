// The central registry's queue in the journal: filled by triggers whatever writes the rows,
// emptied only by what the push says the server committed.
#include <gtest/gtest.h>

#include "tests/journal/JournalTestSupport.h"

namespace virel::journaltest {
namespace {

class PushQueueTest : public ::testing::Test {
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
    std::int64_t LastRecordId() {
        RawDb db(Path(), SQLITE_OPEN_READONLY);
        return std::stoll(db.One("SELECT max(id) FROM records"));
    }

    TempDir dir;
    FixedClock clock;
    std::unique_ptr<TJournal> journal;
};

TEST_F(PushQueueTest, EveryRecordAndAnnotationIsQueuedOnceWhateverWroteIt) {
    TJournal& j = Opened();
    EXPECT_EQ(TPushQueue(j).Waiting(), 0u);
    ASSERT_EQ(
        j.Capture({MeterRecord{.number = 1}.Journal(), MeterRecord{.number = 2}.Journal()}).outcome,
        TCaptureOutcome::Written);
    // The same record again is no new row, so nothing new waits.
    ASSERT_EQ(j.Capture({MeterRecord{.number = 2}.Journal()}).outcome, TCaptureOutcome::Written);
    EXPECT_EQ(TPushQueue(j).Waiting(), 2u);

    const std::int64_t second = LastRecordId();
    TAnnotationInput input;
    input.note = "первая";
    ASSERT_EQ(TAnnotations(j).Annotate(second, input, {}).fault, TAnnotationFault::None);
    input.note = "вторая";
    ASSERT_EQ(TAnnotations(j).Annotate(second, input, {}).fault, TAnnotationFault::None);
    EXPECT_EQ(TPushQueue(j).Waiting(), 4u);

    {  // a clinic's tool writes behind the program's back: queued too; a row without bytes not
        RawDb db(Path());
        ASSERT_EQ(db.Exec("INSERT INTO records (raw, device, number, measured_at, dose, "
                          "first_seen, source) VALUES (x'0000000000000000000000000001', 7, 1, "
                          "'2025-01-02 03:04', 1.5, '2025-01-02 03:05:00', 'harvest');"
                          "INSERT INTO records (raw, device, number, dose, first_seen, source) "
                          "VALUES (NULL, 7, 2, 2.5, '2025-01-02 03:05:00', 'harvest');"),
                  SQLITE_OK)
            << sqlite3_errmsg(db.get());
        ASSERT_EQ(db.Exec("INSERT INTO annotations (record_id, note) VALUES "
                          "((SELECT max(id) FROM records), 'без байтов')"),
                  SQLITE_OK);
    }
    EXPECT_EQ(TPushQueue(j).Waiting(), 5u);

    const std::vector<TWaitingItem> items = TPushQueue(j).WaitingRows(100);
    ASSERT_EQ(items.size(), 5u);
    // Queue order: records, then the annotations of the second one, then the tool's record.
    ASSERT_TRUE(items[0].record && items[1].record && items[2].annotation && items[3].annotation &&
                items[4].record);
    EXPECT_EQ(items[0].record->number, 1);
    EXPECT_EQ(items[1].record->number, 2);
    EXPECT_EQ(items[2].annotation->raw, items[1].record->raw);
    EXPECT_EQ(items[2].annotation->note, "первая");
    EXPECT_EQ(items[3].annotation->note, "вторая");
    EXPECT_EQ(items[2].annotation->savedAt, "2025-09-14 10:30:15");
    EXPECT_FALSE(items[2].annotation->operatorName);
    EXPECT_EQ(items[4].record->device, 7);
    EXPECT_EQ(items[4].record->measuredAt, "2025-01-02 03:04");
    EXPECT_DOUBLE_EQ(items[4].record->dose, 1.5);
    EXPECT_EQ(items[4].record->source, TJournalSource::Harvest);
    for (std::size_t i = 1; i < items.size(); ++i)
        EXPECT_LT(items[i - 1].queueId, items[i].queueId);

    EXPECT_EQ(TPushQueue(j).WaitingRows(2).size(), 2u);
    TPushQueue(j).Pushed({items[0].queueId, items[2].queueId});
    EXPECT_EQ(TPushQueue(j).Waiting(), 3u);
    const std::vector<TWaitingItem> rest = TPushQueue(j).WaitingRows(100);
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(rest[0].queueId, items[1].queueId);

    TPushQueue(j).Refuse(rest[1].queueId, "текст, которого сервер не примет");
    EXPECT_EQ(TPushQueue(j).Waiting(), 2u);
    EXPECT_EQ(TPushQueue(j).Refused(), 1u);
    for (const TWaitingItem& item : TPushQueue(j).WaitingRows(100))
        EXPECT_NE(item.queueId, rest[1].queueId);
}

TEST_F(PushQueueTest, AnOlderJournalQueuesAllItHeldAndARowDeletedSinceLeavesTheQueue) {
    {
        TJournal j(Path(), clock);
        ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(j.Capture({MeterRecord{.number = 1}.Journal(), MeterRecord{.number = 2}.Journal(),
                             MeterRecord{.number = 3}.Journal()})
                      .outcome,
                  TCaptureOutcome::Written);
        TAnnotationInput input;
        input.note = "n";
        ASSERT_EQ(TAnnotations(j).Annotate(1, input, {}).fault, TAnnotationFault::None);
    }
    {  // back to what the previous version wrote: no queue, version 2
        RawDb db(Path());
        ASSERT_EQ(db.Exec("DROP TRIGGER push_queue_record; DROP TRIGGER push_queue_annotation;"
                          "DROP TABLE push_queue;"
                          "UPDATE meta SET value = 2 WHERE key = 'schema_version';"),
                  SQLITE_OK);
    }
    TJournal& j = Opened();
    EXPECT_EQ(TPushQueue(j).Waiting(), 4u);
    {
        RawDb db(Path());
        EXPECT_EQ(db.One("SELECT value FROM meta WHERE key = 'schema_version'"),
                  std::to_string(kJournalSchemaVersion));
        ASSERT_EQ(db.Exec("DELETE FROM records WHERE number = 2"), SQLITE_OK);
    }
    const std::vector<TWaitingItem> items = TPushQueue(j).WaitingRows(100);
    EXPECT_EQ(items.size(), 3u);
    EXPECT_EQ(TPushQueue(j).Waiting(), 3u);  // the deleted record's entry went
}

TEST_F(PushQueueTest, AReadOnlyJournalListsWhatWaitsButTakesNothingOff) {
    {
        TJournal j(Path(), clock);
        ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(j.Capture({MeterRecord{}.Journal()}).outcome, TCaptureOutcome::Written);
    }
    {
        RawDb db(Path());
        ASSERT_EQ(db.Exec("UPDATE meta SET value = 99 WHERE key = 'schema_version'"), SQLITE_OK);
    }
    TJournal j(Path(), clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Newer);
    const std::vector<TWaitingItem> items = TPushQueue(j).WaitingRows(10);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_THROW(TPushQueue(j).Pushed({items[0].queueId}), EJournal);
    EXPECT_EQ(TPushQueue(j).Waiting(), 1u);
}

}  // namespace
}  // namespace virel::journaltest
