// The journal when its file is in trouble: corrupt or foreign, locked by another writer, its
// writer killed in the middle, the disk full, the folder missing or read-only. Whatever
// happens, a record handed to Capture ends in the file, in memory, or at exit in another
// journal, and the counts say which.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FileExists;
using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::RowCount;
using journaltest::TempDir;

std::vector<TJournalRecord> Records(int count, int firstNumber = 1, int device = 42) {
    std::vector<TJournalRecord> records;
    for (int n = firstNumber; n < firstNumber + count; ++n) {
        MeterRecord m;
        m.device = device;
        m.number = n;
        m.time = {2025, 9, 1 + n % 28, n % 24, n % 60, 0, 0};
        records.push_back(m.Journal(TJournalSource::Harvest));
    }
    return records;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Overwrites one page of a closed journal (its log already folded into the file).
void Scribble(const std::string& path, std::int64_t page, std::size_t from, unsigned seed) {
    std::int64_t pageSize;
    {
        RawDb db(path, SQLITE_OPEN_READONLY);
        pageSize = std::stoll(db.One("PRAGMA page_size"));
    }
    ASSERT_TRUE(!FileExists(path + "-wal") || std::filesystem::file_size(path + "-wal") == 0)
        << "the log must be folded in first";
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp((page - 1) * pageSize + static_cast<std::int64_t>(from));
    const std::string junk = RandomBytes(static_cast<std::size_t>(pageSize) - from, seed);
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
}

class JournalSafety : public ::testing::Test {
protected:
    std::string Path() const { return dir / "VIREL1_Service.db"; }
    // The fixed clock's day.
    std::string Aside(const std::string& suffix = "") const {
        return dir / ("VIREL1_Service.corrupt-2025-09-14" + suffix + ".db");
    }

    TempDir dir;
    FixedClock clock;
};

TEST_F(JournalSafety, AFileThatIsNoJournalGoesAsideAndANewJournalStarts) {
    // Random bytes, with a write-ahead log of random bytes beside them.
    const std::string junk = RandomBytes(8192, 1);
    WriteFile(Path(), junk);
    WriteFile(Path() + "-wal", RandomBytes(5000, 2));
    {
        TJournal j(Path(), clock);
        const TOpenResult opened = j.Open();
        EXPECT_EQ(opened.outcome, TOpenOutcome::Replaced);
        EXPECT_EQ(opened.path, Path());
        EXPECT_EQ(opened.movedTo, Aside());
        EXPECT_EQ(ReadFile(Aside()), junk);
        EXPECT_EQ(ReadFile(Aside() + "-wal"), RandomBytes(5000, 2)) << "the log went with it";
        const TCaptureResult captured = j.Capture(Records(3));
        EXPECT_EQ(captured.outcome, TCaptureOutcome::Written);
        EXPECT_EQ(captured.added, 3u);
    }
    EXPECT_EQ(RowCount(Path()), 3);

    // Another program's database on the same day: aside under the next free name.
    ASSERT_EQ(std::remove(Path().c_str()), 0);
    {
        RawDb other(Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        ASSERT_EQ(
            other.Exec("CREATE TABLE patients (name TEXT); INSERT INTO patients VALUES ('x')"),
            SQLITE_OK);
    }
    {
        TJournal j(Path(), clock);
        const TOpenResult opened = j.Open();
        EXPECT_EQ(opened.outcome, TOpenOutcome::Replaced);
        EXPECT_EQ(opened.movedTo, Aside("-2"));
        EXPECT_EQ(TJournalRecords(j).Totals(MonthOf({2025, 9, 1})).count, 0);
    }
    RawDb moved(Aside("-2"), SQLITE_OPEN_READONLY);
    EXPECT_EQ(moved.One("SELECT name FROM patients"), "x") << "moved as it was";

    // A database whose `meta` is someone else's.
    std::remove(Path().c_str());
    {
        RawDb other(Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        ASSERT_EQ(other.Exec("CREATE TABLE meta (a); CREATE TABLE records (b)"), SQLITE_OK);
    }
    TJournal j(Path(), clock);
    EXPECT_EQ(j.Open().movedTo, Aside("-3"));
}

TEST_F(JournalSafety, AnEmptyOrMissingFileIsSimplyANewJournal) {
    WriteFile(Path(), "");
    TJournal j(Path(), clock);
    const TOpenResult opened = j.Open();
    EXPECT_EQ(opened.outcome, TOpenOutcome::Created);
    EXPECT_TRUE(opened.movedTo.empty());
    EXPECT_FALSE(FileExists(Aside()));

    TJournal fresh(dir / "other.db", clock);
    EXPECT_EQ(fresh.Open().outcome, TOpenOutcome::Created);
}

TEST_F(JournalSafety, DamageToTheSchemaShowsAtOpen) {
    {
        TJournal j(Path(), clock);
        ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(j.Capture(Records(10)).added, 10u);
    }
    Scribble(Path(), 1, 100, 3);  // the header stays, the schema's page is lost
    const std::string damaged = ReadFile(Path());
    TJournal j(Path(), clock);
    const TOpenResult opened = j.Open();
    EXPECT_EQ(opened.outcome, TOpenOutcome::Replaced);
    EXPECT_EQ(ReadFile(opened.movedTo), damaged);
    EXPECT_EQ(j.Capture(Records(2)).added, 2u);
}

TEST_F(JournalSafety, DamageMetWhileCapturingReplacesTheFileAndKeepsTheRecords) {
    {
        TJournal j(Path(), clock);
        ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(j.Capture(Records(3000)).added, 3000u);
    }
    std::int64_t indexRoot;
    {
        RawDb db(Path(), SQLITE_OPEN_READONLY);
        indexRoot = std::stoll(
            db.One("SELECT rootpage FROM sqlite_master WHERE name = 'sqlite_autoindex_records_1'"));
    }
    Scribble(Path(), indexRoot, 0, 4);  // the unique index's root: every insert passes it

    TJournal j(Path(), clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Opened) << "the schema is whole";
    const TCaptureResult captured = j.Capture(Records(2, 5000));
    EXPECT_EQ(captured.outcome, TCaptureOutcome::Written);
    EXPECT_EQ(captured.added, 2u);
    ASSERT_TRUE(captured.reopened);
    EXPECT_EQ(captured.reopened->outcome, TOpenOutcome::Replaced);
    EXPECT_EQ(captured.reopened->movedTo, Aside());
    EXPECT_EQ(TJournalRecords(j).Totals(MonthOf({2025, 9, 1})).count, 2);
    EXPECT_TRUE(FileExists(Aside()));
}

TEST_F(JournalSafety, ASecondWriterHoldingTheLockDelaysOrHoldsTheRecords) {
    {
        TJournal first(Path(), clock);
        ASSERT_EQ(first.Open().outcome, TOpenOutcome::Created);
    }
    TJournalOptions options;
    options.busyTimeoutMs = 150;
    options.attempts = 2;
    TJournal j(Path(), clock, options);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Opened);

    std::promise<void> locked, release;
    std::thread other([&, releaseNow = release.get_future()] {
        RawDb db(Path());
        db.Exec("BEGIN IMMEDIATE");
        db.Exec(
            "INSERT INTO records (raw, device, number, measured_at, dose, device_error, "
            "first_seen, source) VALUES (randomblob(14), 9, 1, NULL, 1, NULL, "
            "'2025-09-14 10:00:00', 'harvest')");
        locked.set_value();
        releaseNow.wait();
        db.Exec("COMMIT");
    });
    locked.get_future().wait();

    const auto start = std::chrono::steady_clock::now();
    const TCaptureResult first = j.Capture(Records(2));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(first.outcome, TCaptureOutcome::Held);
    EXPECT_EQ(first.reason, THoldReason::Busy);
    EXPECT_EQ(first.held, 2u);
    EXPECT_GE(waited, std::chrono::milliseconds(2 * 150)) << "each attempt waited its time-out";
    // Readers are not kept waiting by a writer.
    EXPECT_EQ(TJournalRecords(j).Totals(MonthOf({2025, 9, 1})).count, 0);
    const TCaptureResult second = j.Capture(Records(1, 10));
    EXPECT_EQ(second.outcome, TCaptureOutcome::Held);
    EXPECT_EQ(second.held, 3u);

    release.set_value();
    other.join();
    const TCaptureResult after = j.Capture(Records(1, 20));
    EXPECT_EQ(after.outcome, TCaptureOutcome::Written);
    EXPECT_EQ(after.addedHeld, 3u);
    EXPECT_EQ(after.added, 1u);
    EXPECT_EQ(after.held, 0u);
    EXPECT_EQ(RowCount(Path()), 5);

    // A lock released within the time-out is simply waited for.
    TJournalOptions patient;
    patient.busyTimeoutMs = 5000;
    TJournal waiting(Path(), clock, patient);
    ASSERT_EQ(waiting.Open().outcome, TOpenOutcome::Opened);
    std::promise<void> lockedAgain;
    std::thread brief([&] {
        RawDb db(Path());
        db.Exec("BEGIN IMMEDIATE");
        lockedAgain.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        db.Exec("COMMIT");
    });
    lockedAgain.get_future().wait();
    const TCaptureResult waitedFor = waiting.Capture(Records(1, 30));
    brief.join();
    EXPECT_EQ(waitedFor.outcome, TCaptureOutcome::Written);
    EXPECT_EQ(waitedFor.added, 1u);
}

TEST_F(JournalSafety, AWriterKilledInTheMiddleLeavesAllOrNothing) {
    {
        TJournal j(Path(), clock);
        ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(j.Capture(Records(7)).added, 7u);
    }
    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child: one transaction committed, the next one large enough to spill its pages
        // into the log before it is killed, uncommitted.
        sqlite3* db = nullptr;
        sqlite3_open_v2(Path().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const char* insert =
            "INSERT INTO records (raw, device, number, measured_at, dose, device_error, "
            "first_seen, source) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
            "WHERE i < %d) SELECT randomblob(14), 9, i, '2025-09-02 10:00', i / 10.0, NULL, "
            "'2025-09-14 10:00:00', 'harvest' FROM n";
        char sql[512];
        int ok = sqlite3_exec(db, "PRAGMA synchronous = FULL; PRAGMA cache_size = 8; BEGIN",
                              nullptr, nullptr, nullptr) == SQLITE_OK;
        std::snprintf(sql, sizeof sql, insert, 5000);
        ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        ok = ok && sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (write(toParent[1], ok ? "c" : "x", 1) != 1) _exit(2);
        std::snprintf(sql, sizeof sql, insert, 20000);
        ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        if (write(toParent[1], ok ? "u" : "x", 1) != 1) _exit(2);
        for (;;) pause();
    }
    close(toParent[1]);
    char step = 0;
    ASSERT_EQ(read(toParent[0], &step, 1), 1);
    EXPECT_EQ(step, 'c');
    const auto committedLog = std::filesystem::file_size(Path() + "-wal");
    ASSERT_EQ(read(toParent[0], &step, 1), 1);
    EXPECT_EQ(step, 'u');
    EXPECT_GT(std::filesystem::file_size(Path() + "-wal"), committedLog + 100'000)
        << "uncommitted pages are in the log when the writer dies";
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(toParent[0]);
    EXPECT_TRUE(WIFSIGNALED(status));

    TJournal j(Path(), clock);
    EXPECT_EQ(j.Open().outcome, TOpenOutcome::Opened);
    EXPECT_EQ(TJournalRecords(j).Totals(MonthOf({2025, 9, 1})).count, 7 + 5000)
        << "the committed transaction whole, the killed one not at all";
    EXPECT_EQ(j.Capture(Records(1, 100)).added, 1u);
    RawDb db(Path());
    EXPECT_EQ(db.One("PRAGMA integrity_check"), "ok");
}

TEST_F(JournalSafety, AMissingFolderHoldsTheRecordsUntilItExists) {
    const std::string folder = dir / "data";
    TJournalOptions options;
    options.maxHeld = 3;
    TJournal j(folder + "/VIREL1_Service.db", clock, options);
    EXPECT_EQ(j.Open().outcome, TOpenOutcome::Unavailable);
    TCaptureResult result;
    for (int n = 1; n <= 5; ++n) result = j.Capture(Records(1, n));
    EXPECT_EQ(result.outcome, TCaptureOutcome::Held);
    EXPECT_EQ(result.reason, THoldReason::Unwritable);
    EXPECT_EQ(result.sqliteCode & 0xFF, SQLITE_CANTOPEN);
    EXPECT_EQ(result.held, 3u);
    EXPECT_EQ(result.dropped, 2u) << "the oldest beyond the limit, counted";

    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const TCaptureResult written = j.Capture(Records(1, 6));
    EXPECT_EQ(written.outcome, TCaptureOutcome::Written);
    EXPECT_EQ(written.addedHeld, 3u);
    EXPECT_EQ(written.added, 1u);
    EXPECT_TRUE(j.Writable());
    RawDb db(folder + "/VIREL1_Service.db");
    EXPECT_EQ(db.One("SELECT group_concat(number) FROM (SELECT number FROM records ORDER BY id)"),
              "3,4,5,6")
        << "the held ones first, in their order";
}

TEST_F(JournalSafety, HeldRecordsAtExitGoWhereTheyCan) {
    const std::string folder = dir / "data";
    auto heldJournal = [&](int records) {
        auto j = std::make_unique<TJournal>(folder + "/VIREL1_Service.db", clock);
        (void)j->Open();
        for (int n = 1; n <= records; ++n) (void)j->Capture(Records(1, n));
        return j;
    };
    EXPECT_EQ(heldJournal(0)->SaveHeld(dir / "user.db").outcome, THeldAtExit::Outcome::None);
    EXPECT_FALSE(FileExists(dir / "user.db"));

    auto lost = heldJournal(2);
    const THeldAtExit nowhere = lost->SaveHeld(dir / "no/such/folder/user.db");
    EXPECT_EQ(nowhere.outcome, THeldAtExit::Outcome::Lost);
    EXPECT_EQ(nowhere.records, 2u);
    EXPECT_EQ(lost->Held(), 0u);
    EXPECT_EQ(heldJournal(1)->SaveHeld("").outcome, THeldAtExit::Outcome::Lost);

    auto saved = heldJournal(4);
    const THeldAtExit elsewhere = saved->SaveHeld(dir / "user.db");
    EXPECT_EQ(elsewhere.outcome, THeldAtExit::Outcome::Saved);
    EXPECT_EQ(elsewhere.records, 4u);
    EXPECT_EQ(elsewhere.savedTo, dir / "user.db");
    EXPECT_EQ(RowCount(dir / "user.db"), 4);

    auto late = heldJournal(2);
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const THeldAtExit written = late->SaveHeld(dir / "user.db");
    EXPECT_EQ(written.outcome, THeldAtExit::Outcome::Written) << "the journal itself took them";
    EXPECT_EQ(RowCount(folder + "/VIREL1_Service.db"), 2);
    EXPECT_EQ(RowCount(dir / "user.db"), 4);
}

// A small file system of its own (root only; skipped elsewhere).
class JournalOnSmallDisk : public JournalSafety {
protected:
    void SetUp() override {
        disk = dir / "disk";
        std::filesystem::create_directory(disk);
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        }
        mounted = true;
    }
    void TearDown() override {
        if (mounted) umount2(disk.c_str(), MNT_DETACH);
    }
    std::string OnDisk() const { return disk + "/VIREL1_Service.db"; }
    // Takes every free byte of the disk.
    void Fill() {
        const int fd = open((disk + "/filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'x');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        close(fd);
    }
    void Free() { std::filesystem::remove(disk + "/filler"); }

    std::string disk;
    bool mounted = false;
};

TEST_F(JournalOnSmallDisk, AFullDiskHoldsTheRecordsUntilThereIsRoom) {
    TJournal j(OnDisk(), clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    ASSERT_EQ(j.Capture(Records(10)).added, 10u);
    Fill();
    const TCaptureResult full = j.Capture(Records(2000, 100));
    EXPECT_EQ(full.outcome, TCaptureOutcome::Held);
    EXPECT_EQ(full.reason, THoldReason::Full);
    EXPECT_EQ(full.held, 2000u);
    EXPECT_EQ(TJournalRecords(j).Totals(MonthOf({2025, 9, 1})).count, 10)
        << "nothing of it in the file";

    Free();
    const TCaptureResult room = j.Capture({});
    EXPECT_EQ(room.outcome, TCaptureOutcome::Written);
    EXPECT_EQ(room.addedHeld, 2000u);
    EXPECT_EQ(TJournalRecords(j).Totals(MonthOf({2025, 9, 1})).count, 2010);

    // Full again at exit: saved to the user's own journal.
    Fill();
    EXPECT_EQ(j.Capture(Records(1500, 5000)).outcome, TCaptureOutcome::Held);
    const THeldAtExit atExit = j.SaveHeld(dir / "user.db");
    EXPECT_EQ(atExit.outcome, THeldAtExit::Outcome::Saved);
    EXPECT_EQ(atExit.records, 1500u);
    EXPECT_EQ(RowCount(dir / "user.db"), 1500);
    Free();
    RawDb db(OnDisk());
    EXPECT_EQ(db.One("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(db.One("SELECT count(*) FROM records"), "2010");
}

TEST_F(JournalOnSmallDisk, AReadOnlyFolderHoldsTheRecords) {
    {
        TJournal j(OnDisk(), clock);
        ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
        ASSERT_EQ(j.Capture(Records(10)).added, 10u);
    }
    ASSERT_EQ(mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=1m"), 0)
        << std::strerror(errno);
    // The log's shared index cannot be made beside the file: SQLite cannot open it at all.
    TJournal j(OnDisk(), clock);
    const TOpenResult opened = j.Open();
    EXPECT_EQ(opened.outcome, TOpenOutcome::Unavailable);
    EXPECT_EQ(opened.sqliteCode & 0xFF, SQLITE_CANTOPEN);
    const TCaptureResult held = j.Capture(Records(3, 100));
    EXPECT_EQ(held.outcome, TCaptureOutcome::Held);
    EXPECT_EQ(held.reason, THoldReason::Unwritable);
    EXPECT_EQ(held.held, 3u);

    // Opened again at the next capture once the folder can be written.
    ASSERT_EQ(mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT, "size=1m"), 0);
    const TCaptureResult written = j.Capture({});
    EXPECT_EQ(written.outcome, TCaptureOutcome::Written);
    EXPECT_EQ(written.addedHeld, 3u);
    EXPECT_EQ(RowCount(OnDisk()), 13);
}

}  // namespace
}  // namespace virel
