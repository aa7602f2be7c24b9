// The journal as the device side hands it records: each accepted record captured at once with
// the PC's time, a harvest's records in one transaction, the meter's newest time and its clock;
// the registry's pusher told when rows went in.
#include <gtest/gtest.h>

#include "journal/JournalSink.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel::journaltest {
namespace {

// The pusher as the sink sees it: how often it was told.
class CountingWaker : public IQueueWaker {
public:
    void Wake() override { ++wakes; }
    int wakes = 0;
};

class JournalSinkTest : public ::testing::Test {
protected:
    JournalSinkTest() { EXPECT_NE(journal.Open().outcome, TOpenOutcome::Unavailable); }

    std::int64_t Rows() {
        return TJournalRecords(journal).Totals({{2000, 1, 1}, {2099, 12, 31}}).count;
    }

    TempDir dir;
    FixedClock clock;
    TJournal journal{dir / "VIREL1_Service.db", clock};
    CountingWaker pusher;
    TNoAlertWaker noNotice;
    TJournalSink sink{journal, clock, pusher, noNotice, 0};
};

TEST_F(JournalSinkTest, AKeptRecordIsInTheFileAtOnceWithItsSourceAndThePcsTime) {
    MeterRecord meter;
    sink.Keep(meter.Decoded(), TRecordSource::Print);
    EXPECT_EQ(sink.LastCapture().outcome, TCaptureOutcome::Written);
    const auto rows = TJournalRecords(journal).Rows({{2025, 9, 1}, {2025, 9, 30}}, 0, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].record.source, TRecordSource::Print);
    EXPECT_EQ(rows[0].record.firstSeen, "2025-09-14 10:30:15");
    EXPECT_EQ(rows[0].record.measuredAt, "2025-09-14 10:25");
    sink.Keep(meter.Decoded(), TRecordSource::Record);  // the same record from the archive
    EXPECT_EQ(Rows(), 1);
}

TEST_F(JournalSinkTest, ABatchIsOneCaptureAndADiscardedOneLeavesNothing) {
    sink.BeginBatch();
    for (int n = 1; n <= 3; ++n) {
        MeterRecord meter;
        meter.number = n;
        sink.Keep(meter.Decoded(), TRecordSource::Harvest);
    }
    EXPECT_EQ(Rows(), 0) << "nothing is written before the batch ends";
    const TBatchResult result = sink.EndBatch();
    EXPECT_EQ(result.added, 3u);
    EXPECT_FALSE(result.held);
    EXPECT_EQ(Rows(), 3);

    sink.BeginBatch();
    MeterRecord other;
    other.number = 99;
    sink.Keep(other.Decoded(), TRecordSource::Harvest);
    sink.DiscardBatch();
    sink.BeginBatch();
    EXPECT_EQ(sink.EndBatch().added, 0u);
    EXPECT_EQ(Rows(), 3);
}

TEST_F(JournalSinkTest, TheMetersNewestTimeAsTheJournalHoldsIt) {
    EXPECT_FALSE(sink.NewestTimeOf(42));
    MeterRecord older, newer, invalid;
    older.time = {2025, 9, 1, 8, 0, 0, 0};
    newer.number = 2;
    newer.time = {2025, 9, 13, 17, 45, 0, 0};
    for (const MeterRecord& meter : {older, newer})
        sink.Keep(meter.Decoded(), TRecordSource::Print);
    auto newest = sink.NewestTimeOf(42);
    ASSERT_TRUE(newest);
    EXPECT_EQ(ToMilliseconds(*newest), ToMilliseconds(DateTime{2025, 9, 13, 17, 45, 0, 0}));
    EXPECT_FALSE(sink.NewestTimeOf(43));
    // A record whose own time is invalid is left out: the PC's time (10:30 on the 14th) is no
    // time of the meter's clock.
    invalid.number = 3;
    invalid.badTime = true;
    sink.Keep(invalid.Decoded(), TRecordSource::Print);
    newest = sink.NewestTimeOf(42);
    ASSERT_TRUE(newest);
    EXPECT_EQ(ToMilliseconds(*newest), ToMilliseconds(DateTime{2025, 9, 13, 17, 45, 0, 0}));
}

TEST_F(JournalSinkTest, AMeterWithOnlyRecordsWithoutAValidTimeHasNoNewestTime) {
    MeterRecord invalid;
    invalid.device = 7;
    invalid.badTime = true;
    sink.Keep(invalid.Decoded(), TRecordSource::Print);
    EXPECT_EQ(Rows(), 1);
    EXPECT_FALSE(sink.NewestTimeOf(7));
}

TEST_F(JournalSinkTest, AMeterClockFarOffThePcsIsNoted) {
    MeterRecord meter;
    meter.time = {2025, 9, 14, 10, 10, 0, 0};  // 20 minutes behind the PC's 10:30
    sink.NoteClock(meter.Decoded());
    const auto drifts = TClockNotes(journal).Drifts();
    ASSERT_EQ(drifts.size(), 1u);
    EXPECT_EQ(drifts[0].device, 42);
    EXPECT_EQ(drifts[0].minutes, -20);
    meter.time = {2025, 9, 14, 10, 29, 0, 0};  // back within a few minutes
    sink.NoteClock(meter.Decoded());
    EXPECT_TRUE(TClockNotes(journal).Drifts().empty());
}

TEST_F(JournalSinkTest, ARecordWakesThePusherAsItGoesInABatchOnceWhenSomethingNewWentIn) {
    MeterRecord a, b, c;
    b.number = 2;
    c.number = 3;

    sink.Keep(a.Decoded(), TRecordSource::Print);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(pusher.wakes, 1);
    sink.Keep(a.Decoded(), TRecordSource::Record);
    EXPECT_EQ(pusher.wakes, 1) << "a record the journal had: nothing new waits";

    sink.BeginBatch();
    sink.Keep(a.Decoded(), TRecordSource::Harvest);
    sink.Keep(b.Decoded(), TRecordSource::Harvest);
    EXPECT_EQ(pusher.wakes, 1) << "not while the batch gathers";
    EXPECT_EQ(sink.EndBatch().added, 1u);
    EXPECT_EQ(pusher.wakes, 2);
    EXPECT_EQ(Rows(), 2);

    sink.BeginBatch();
    sink.Keep(a.Decoded(), TRecordSource::Harvest);
    EXPECT_EQ(sink.EndBatch().added, 0u);
    EXPECT_EQ(pusher.wakes, 2) << "nothing new, nothing to push";

    sink.BeginBatch();
    sink.Keep(c.Decoded(), TRecordSource::Export);
    sink.DiscardBatch();
    EXPECT_EQ(pusher.wakes, 2);
    sink.Keep(c.Decoded(), TRecordSource::Record);
    EXPECT_EQ(pusher.wakes, 3) << "single records wake again after a discarded batch";

    MeterRecord late;
    late.time = {2025, 9, 14, 10, 10, 0, 0};  // 20 minutes behind the PC
    sink.NoteClock(late.Decoded());
    EXPECT_EQ(TClockNotes(journal).Drifts().size(), 1u);
    EXPECT_EQ(pusher.wakes, 3) << "a clock note is not for the registry";
}

TEST_F(JournalSinkTest, RecordsHeldInMemoryWakeThePusherWhenTheyGoIn) {
    MeterRecord a, b;
    b.number = 2;
    {
        // Another writer keeps the file: the record waits in memory, the queue has nothing.
        RawDb other(dir / "VIREL1_Service.db");
        ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
        TJournal busy(dir / "VIREL1_Service.db", clock, {.busyTimeoutMs = 10, .attempts = 1});
        ASSERT_EQ(busy.Open().outcome, TOpenOutcome::Opened);
        TJournalSink held(busy, clock, pusher, noNotice, 0);
        held.Keep(a.Decoded(), TRecordSource::Print);
        EXPECT_EQ(held.LastCapture().outcome, TCaptureOutcome::Held);
        EXPECT_EQ(pusher.wakes, 0);
        ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
        // Let go: the next capture writes the held one first.
        held.Keep(b.Decoded(), TRecordSource::Print);
        EXPECT_EQ(held.LastCapture().addedHeld, 1u);
        EXPECT_EQ(pusher.wakes, 1);
    }
    EXPECT_EQ(Rows(), 2);
}

TEST(JournalMinute, ReadsOnlyTheJournalsMinuteText) {
    const auto value = JournalMinute("2025-02-28 23:59");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->year, 2025);
    EXPECT_EQ(value->minute, 59);
    for (const char* text : {"", "2025-02-30 10:00", "2025-02-28 24:00", "2025-02-28 10:00:00",
                             "2025-2-28 10:00", "junk"}) {
        EXPECT_FALSE(JournalMinute(text)) << text;
    }
}

}  // namespace
}  // namespace virel::journaltest
