// What a harvest says it did when the journal cannot take its records: how many of the records
// read were new, and (without a window) how many went to the user's own journal, for an archive
// with none, some or all of its records new, the journal writable or not. Through the real
// journal, its sink and the harvest's lines.
#include <gtest/gtest.h>

#include "core/meter/DeviceTexts.h"
#include "core/meter/Harvest.h"
#include "core/meter/HarvestCommand.h"
#include "journal/JournalSink.h"
#include "journal/JournalTexts.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel::journaltest {
namespace {

class NoWaker : public IQueueWaker {
public:
    void Wake() override {}
};

// Archive record n (0..255) of meter 42.
MeterRecord ArchiveRecord(int n) {
    MeterRecord meter;
    meter.number = 1000 + n;
    meter.time = {2025, 9, 1 + n / 24, n % 24, n % 60, 0, 0};
    return meter;
}

struct TCountCase {
    int fresh;  // records of the archive the journal does not hold yet
    bool writable;
};

class HarvestCounts : public ::testing::TestWithParam<TCountCase> {
protected:
    std::string Path() const { return dir / "VIREL1_Service.db"; }
    std::string Other() const { return dir / "user.db"; }

    TempDir dir;
    FixedClock clock;
    NoWaker waker;
};

TEST_P(HarvestCounts, TheLineCountsTheNewRecordsAndWhatWentWhere) {
    const auto [fresh, writable] = GetParam();
    {
        // The journal holds the archive's first 256 - fresh records already.
        TJournal earlier(Path(), clock);
        ASSERT_EQ(earlier.Open().outcome, TOpenOutcome::Created);
        std::vector<TJournalRecord> known;
        for (int n = 0; n < 256 - fresh; ++n)
            known.push_back(ArchiveRecord(n).Journal(TJournalSource::Print));
        ASSERT_EQ(earlier.Capture(known).outcome, TCaptureOutcome::Written);
    }
    if (!writable) {
        // Written by a newer program: read only here, as a full disk is write-refused.
        RawDb db(Path());
        ASSERT_EQ(db.Exec("UPDATE meta SET value = 99 WHERE key = 'schema_version'"), SQLITE_OK);
    }
    TJournal journal(Path(), clock);
    ASSERT_EQ(journal.Open().outcome, writable ? TOpenOutcome::Opened : TOpenOutcome::Newer);
    TNoAlertWaker noAlerts;
    TJournalSink sink(journal, clock, waker, noAlerts, 0);
    sink.BeginBatch();
    for (int n = 0; n < 256; ++n) sink.Keep(ArchiveRecord(n).Decoded(), TRecordSource::Harvest);
    const TBatchResult kept = sink.EndBatch();

    THarvestResult result;
    result.meter = 42;
    result.read = 256;
    result.added = kept.added;
    result.held = kept.held;
    const std::string added =
        "В журнал добавлено " + std::to_string(fresh) + " новых записей из 256";
    const bool held = !writable && fresh > 0;
    EXPECT_EQ(HarvestSummary(result, "COM3"), held ? added + texts::kHarvestHeld : added);

    // Without a window the held records go to the user's own journal at the end.
    const std::string heldMessage = HeldRecordsMessage(journal.SaveHeld(Other()));
    const std::string summary =
        HarvestCommandSummary(result, "COM3", RegionalFormats(), Path(), heldMessage);
    if (held) {
        EXPECT_EQ(summary, "Архив прочитан, но журнал доз " + Path() +
                               " недоступен для записи. Не удалось записать в журнал доз "
                               "записей: " +
                               std::to_string(fresh) + "; они сохранены в журнале " + Other());
        EXPECT_EQ(RowCount(Other()), fresh) << "only the new records, no copies of the journal's";
        EXPECT_EQ(HarvestExitOf(result), THarvestExit::JournalUnwritable);
    } else {
        EXPECT_EQ(summary, added);
        EXPECT_FALSE(FileExists(Other()));
        EXPECT_EQ(HarvestExitOf(result), THarvestExit::Done);
    }
    EXPECT_EQ(RowCount(Path()), writable ? 256 : 256 - fresh);
}

INSTANTIATE_TEST_SUITE_P(NewAndWritable, HarvestCounts,
                         ::testing::Values(TCountCase{0, true}, TCountCase{50, true},
                                           TCountCase{256, true}, TCountCase{0, false},
                                           TCountCase{50, false}, TCountCase{256, false}),
                         [](const auto& info) {
                             return std::to_string(info.param.fresh) + "New" +
                                    (info.param.writable ? "Writable" : "Unwritable");
                         });

TEST(HarvestCountsHeld, RecordsHeldAlreadyAreNotHeldOrCountedTwice) {
    TempDir dir;
    FixedClock clock;
    TJournal journal(dir / "missing-folder/VIREL1_Service.db", clock);
    EXPECT_EQ(journal.Open().outcome, TOpenOutcome::Unavailable);
    std::vector<TJournalRecord> records;
    for (int n = 0; n < 10; ++n) records.push_back(ArchiveRecord(n).Journal());
    EXPECT_EQ(journal.Capture(records).heldNew, 10u) << "a file that cannot be read: all new";
    for (int n : {10, 11, 12, 13, 14, 14}) records.push_back(ArchiveRecord(n).Journal());
    const TCaptureResult again = journal.Capture(records);
    EXPECT_EQ(again.heldNew, 5u);
    EXPECT_EQ(again.held, 15u);
}

}  // namespace
}  // namespace virel::journaltest
