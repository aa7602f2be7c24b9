// The window and a scheduled harvest write the same journal at the same time: two processes,
// each with its own connection. Neither ever meets "database is locked": each waits for the
// other's short transaction, no record is held in memory, and every record is in the file once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RowCount;
using journaltest::TempDir;

std::vector<TJournalRecord> Numbered(int count, int firstNumber, int device,
                                     TJournalSource source) {
    std::vector<TJournalRecord> records;
    for (int n = firstNumber; n < firstNumber + count; ++n) {
        MeterRecord m;
        m.device = device;
        m.number = n;
        m.time = {2025, 9, 1 + n % 28, n % 24, n % 60, 0, 0};
        records.push_back(m.Journal(source));
    }
    return records;
}

TEST(JournalTwoWriters, TheWindowAndAScheduledHarvestWriteSideBySideWithoutHolding) {
    TempDir dir;
    const std::string path = dir / "VIREL1_Service.db";
    FixedClock clock;
    {
        TJournal made(path, clock);
        ASSERT_EQ(made.Open().outcome, TOpenOutcome::Created);
    }
    constexpr int kHarvests = 12;
    constexpr int kStep = 64;  // each harvest overlaps the one before, as the meter's ring moves
    constexpr int kCaptures = 150;

    const pid_t harvester = fork();
    ASSERT_GE(harvester, 0);
    if (harvester == 0) {
        // The scheduled harvest's process: 256 records a transaction, one after the other.
        int held = 0;
        {
            FixedClock own;
            TJournal journal(path, own);
            if (journal.Open().outcome != TOpenOutcome::Opened) _exit(100);
            for (int h = 0; h < kHarvests; ++h) {
                const TCaptureResult result = journal.Capture(
                    Numbered(kArchiveRecords, 1 + h * kStep, 42, TJournalSource::Harvest));
                if (result.outcome != TCaptureOutcome::Written) ++held;
            }
        }
        _exit(held);
    }

    // The window: an end of measurement every few milliseconds, the journal window's totals
    // between them.
    TJournal window(path, clock);
    ASSERT_EQ(window.Open().outcome, TOpenOutcome::Opened);
    int held = 0;
    for (int n = 1; n <= kCaptures; ++n) {
        const TCaptureResult result = window.Capture(Numbered(1, n, 7, TJournalSource::Print));
        if (result.outcome != TCaptureOutcome::Written) {
            ++held;
            ADD_FAILURE() << "capture " << n << " held: " << result.error;
        }
        EXPECT_NO_THROW(static_cast<void>(TJournalRecords(window).Totals(MonthOf({2025, 9, 1}))));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    int status = 0;
    ASSERT_EQ(waitpid(harvester, &status, 0), harvester);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the harvest's captures held (100: it could not open)";
    EXPECT_EQ(held, 0);
    EXPECT_EQ(window.Held(), 0u);
    EXPECT_EQ(RowCount(path), kCaptures + (kHarvests - 1) * kStep + kArchiveRecords);
}

}  // namespace
}  // namespace virel
