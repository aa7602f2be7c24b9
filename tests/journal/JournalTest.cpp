#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::RowCount;
using journaltest::TempDir;

class JournalTest : public ::testing::Test {
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
    std::size_t Add(TJournal& j, const std::vector<TJournalRecord>& records) {
        const TCaptureResult result = j.Capture(records);
        EXPECT_EQ(result.outcome, TCaptureOutcome::Written) << result.error;
        return result.added;
    }

    TempDir dir;
    FixedClock clock;
    std::unique_ptr<TJournal> journal;
};

TEST_F(JournalTest, TheSchemaHasTheDocumentedColumnsAndAPlainInsertIsValid) {
    const TOpenResult created = [&] {
        TJournal j(Path(), clock);
        return j.Open();
    }();
    EXPECT_EQ(created.outcome, TOpenOutcome::Created);
    EXPECT_EQ(created.version, kJournalSchemaVersion);
    EXPECT_EQ(created.path, Path());

    RawDb db(Path());
    const std::vector<std::vector<std::string>> expected = {
        {"id", "INTEGER", "1"},           {"raw", "BLOB", "0"},         {"device", "INTEGER", "0"},
        {"number", "INTEGER", "0"},       {"measured_at", "TEXT", "0"}, {"dose", "REAL", "0"},
        {"device_error", "INTEGER", "0"}, {"first_seen", "TEXT", "0"},  {"source", "TEXT", "0"}};
    EXPECT_EQ(db.All("SELECT name, type, pk FROM pragma_table_info('records')"), expected);
    EXPECT_EQ(db.One("SELECT value FROM meta WHERE key = 'schema_version'"),
              std::to_string(kJournalSchemaVersion));
    EXPECT_EQ(db.One("PRAGMA journal_mode"), "wal");
    // raw is unique by a constraint of the column itself.
    EXPECT_EQ(db.One("SELECT group_concat(ii.name) FROM pragma_index_list('records') AS il, "
                     "pragma_index_info(il.name) AS ii WHERE il.[unique] = 1"),
              "raw");

    // A clinic's import names the documented columns only; raw may be unknown.
    EXPECT_EQ(
        db.Exec("INSERT INTO records (raw, device, number, measured_at, dose, device_error, "
                "first_seen, source) VALUES (X'0001000200000000000000000000', 1, 2, "
                "'2019-05-06 07:08', 1.5, NULL, '2025-09-01 12:00:00', 'export'), "
                "(NULL, 77, 3, '2019-05-07 08:00', 2.25, 4, '2025-09-01 12:00:00', 'record')"),
        SQLITE_OK)
        << sqlite3_errmsg(db.get());
    EXPECT_NE(db.Exec("INSERT INTO records (raw, device, number, measured_at, dose, device_error, "
                      "first_seen, source) VALUES (NULL, 1, 2, NULL, 1, NULL, "
                      "'2025-09-01 12:00:00', 'import')"),
              SQLITE_OK)
        << "the sources are the four the reports know";
    EXPECT_NE(db.Exec("INSERT INTO records (raw, device, number, measured_at, dose, device_error, "
                      "first_seen, source) VALUES (X'00', 1, 2, NULL, 1, NULL, "
                      "'2025-09-01 12:00:00', 'print')"),
              SQLITE_OK)
        << "raw is the 14 data bytes or nothing";

    TJournalRecords records(Opened());
    const auto rows = records.Rows({{2019, 5, 1}, {2019, 5, 31}}, 0, 10);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].record.device, 77);
    EXPECT_EQ(rows[0].record.deviceError, 4);
    EXPECT_EQ(rows[0].record.raw, (std::array<std::uint8_t, 14>{})) << "imported without bytes";
    EXPECT_EQ(rows[1].record.source, TJournalSource::Export);
    EXPECT_DOUBLE_EQ(rows[1].record.dose, 1.5);
    EXPECT_TRUE(records.HoldsMeter(77)) << "a meter known only from rows without bytes";
    EXPECT_TRUE(records.HoldsMeter(1));
    EXPECT_FALSE(records.HoldsMeter(2));
}

TEST_F(JournalTest, IdentityIsTheFourteenBytes) {
    TJournal& j = Opened();
    MeterRecord m;
    // The end of measurement shows it first; the archive read later gives the same bytes.
    EXPECT_EQ(Add(j, {m.Journal(TJournalSource::Print, {2025, 9, 14, 10, 30, 15})}), 1u);
    EXPECT_EQ(Add(j, {m.Journal(TJournalSource::Record, {2025, 9, 15, 8, 0, 0})}), 0u);
    EXPECT_EQ(Add(j, {m.Journal(TJournalSource::Harvest, {2025, 9, 16, 8, 0, 0})}), 0u);
    RawDb db(Path());
    EXPECT_EQ(db.All("SELECT source, first_seen FROM records"),
              (std::vector<std::vector<std::string>>{{"print", "2025-09-14 10:30:15"}}))
        << "the first sighting stays";

    // Equal but for the dose: two measurements.
    MeterRecord other = m;
    other.doseFraction = 8;
    EXPECT_EQ(Add(j, {other.Journal()}), 1u);
    // Equal but for the error byte, or the unused byte's neighbours: also two.
    MeterRecord failed = m;
    failed.error = 3;
    // The same record twice in one capture is added once.
    EXPECT_EQ(Add(j, {failed.Journal(), failed.Journal()}), 1u);
    EXPECT_EQ(RowCount(Path()), 3);

    // A whole archive read where some are known: only the others are new.
    std::vector<TJournalRecord> archive;
    for (int n = 0; n < kArchiveRecords; ++n) {
        MeterRecord r;
        r.number = n;
        r.time.minute = n % 60;
        r.time.hour = n / 60;
        archive.push_back(r.Journal(TJournalSource::Harvest));
    }
    EXPECT_EQ(Add(j, {archive[3], archive[100]}), 2u);
    const TCaptureResult harvest = j.Capture(archive);
    EXPECT_EQ(harvest.added, 254u);
    EXPECT_EQ(j.Capture(archive).added, 0u) << "the archive read twice gives no new rows";
    EXPECT_EQ(RowCount(Path()), 3 + 256);
}

TEST_F(JournalTest, AnInvalidTimeAndADeviceErrorGoInAsTheyAre) {
    TJournal& j = Opened();
    MeterRecord broken;
    broken.badTime = true;
    broken.error = 7;
    MeterRecord clean;
    clean.number = 2;
    ASSERT_EQ(
        Add(j, {broken.Journal(TJournalSource::Print, {2025, 9, 20, 23, 59, 30}), clean.Journal()}),
        2u);
    RawDb db(Path());
    EXPECT_EQ(db.All("SELECT number, measured_at, device_error FROM records ORDER BY number"),
              (std::vector<std::vector<std::string>>{{"1", "NULL", "7"},
                                                     {"2", "2025-09-14 10:25", "NULL"}}));

    // Without the meter's time the row stands where the PC first saw it.
    const auto day = TJournalRecords(j).Rows({{2025, 9, 20}, {2025, 9, 20}}, 0, 10);
    ASSERT_EQ(day.size(), 1u);
    EXPECT_EQ(day[0].record.measuredAt, std::nullopt);
    EXPECT_EQ(day[0].record.deviceError, 7);
    EXPECT_EQ(day[0].record.firstSeen, "2025-09-20 23:59:30");
    EXPECT_EQ(day[0].record.raw, broken.Decoded().raw);
    const auto month = TJournalRecords(j).Rows(MonthOf({2025, 9, 1}), 0, 10);
    ASSERT_EQ(month.size(), 2u);
    EXPECT_EQ(month[1].record.measuredAt, "2025-09-14 10:25");
    EXPECT_EQ(month[1].record.deviceError, std::nullopt);
    EXPECT_EQ(TJournalRecords(j).Totals({{2025, 9, 21}, {2025, 9, 30}}).count, 0);
}

TEST_F(JournalTest, AJournalOpensAgainAndANewerOneOnlyForReading) {
    {
        TJournal& j = Opened();
        EXPECT_EQ(Add(j, {MeterRecord{}.Journal()}), 1u);
        journal.reset();
    }
    {
        TJournal again(Path(), clock);
        const TOpenResult opened = again.Open();
        EXPECT_EQ(opened.outcome, TOpenOutcome::Opened);
        EXPECT_EQ(opened.version, kJournalSchemaVersion);
        EXPECT_EQ(TJournalRecords(again).Totals(MonthOf({2025, 9, 1})).count, 1);
    }
    {
        RawDb db(Path());
        ASSERT_EQ(db.Exec("UPDATE meta SET value = 99 WHERE key = 'schema_version'"), SQLITE_OK);
    }
    TJournal newer(Path(), clock);
    const TOpenResult opened = newer.Open();
    EXPECT_EQ(opened.outcome, TOpenOutcome::Newer);
    EXPECT_EQ(opened.version, 99);
    EXPECT_TRUE(newer.IsOpen());
    EXPECT_FALSE(newer.Writable());
    EXPECT_EQ(TJournalRecords(newer).Totals(MonthOf({2025, 9, 1})).count, 1) << "still readable";

    MeterRecord next;
    next.number = 2;
    const TCaptureResult refused = newer.Capture({next.Journal()});
    EXPECT_EQ(refused.outcome, TCaptureOutcome::Held);
    EXPECT_EQ(refused.reason, THoldReason::Newer);
    EXPECT_EQ(refused.held, 1u);
    EXPECT_EQ(TClockNotes(newer).Note(42, 30, clock.now), TNoteOutcome::NotWritten);
    EXPECT_EQ(RowCount(Path()), 1);
    RawDb db(Path());
    EXPECT_EQ(db.One("SELECT value FROM meta WHERE key = 'schema_version'"), "99")
        << "the newer program's journal is left as it was";

    // At exit the held record goes to a journal of the user's own.
    const THeldAtExit atExit = newer.SaveHeld(dir / "user.db");
    EXPECT_EQ(atExit.outcome, THeldAtExit::Outcome::Saved);
    EXPECT_EQ(atExit.records, 1u);
    EXPECT_EQ(atExit.savedTo, dir / "user.db");
    EXPECT_EQ(newer.Held(), 0u);
    EXPECT_EQ(RowCount(dir / "user.db"), 1);
}

TEST_F(JournalTest, TwoProgramsStartingOnANewFileMakeItOnce) {
    std::vector<TOpenOutcome> outcomes(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            TJournal j(Path(), clock);
            outcomes[i] = j.Open().outcome;
        });
    }
    for (auto& t : threads) t.join();
    std::sort(outcomes.begin(), outcomes.end());
    EXPECT_EQ(outcomes, (std::vector<TOpenOutcome>{TOpenOutcome::Opened, TOpenOutcome::Created}));
    RawDb db(Path());
    EXPECT_EQ(db.One("SELECT count(*) FROM meta"), "1");
}

// Rows made from a fixed pseudo-random sequence, and what the journal should say about them
// computed here independently: the order is the meter's minute (the first-seen minute without
// one), then the meter, then the order of arrival.
struct Expected {
    std::string key;
    int device;
    std::int64_t id;
    TJournalRecord record;
};

std::vector<Expected> Sorted(std::vector<Expected> rows) {
    std::sort(rows.begin(), rows.end(), [](const Expected& a, const Expected& b) {
        return std::tie(a.key, a.device, a.id) > std::tie(b.key, b.device, b.id);
    });
    return rows;
}

TEST_F(JournalTest, PeriodsCountAndPageNewestFirst) {
    TJournal& j = Opened();
    std::mt19937 random(20);
    std::vector<Expected> all;
    std::vector<TJournalRecord> batch;
    const int devices[] = {42, 43, 1057};
    int numbers[] = {0, 0, 0};
    for (int i = 0; i < 3200; ++i) {
        const int d = static_cast<int>(random() % 3);
        MeterRecord m;
        m.device = devices[d];
        m.number = ++numbers[d];
        // Mostly September and October 2025, a few minutes shared by several meters.
        m.time = {2025,
                  9 + static_cast<int>(random() % 2),
                  1 + static_cast<int>(random() % 30),
                  static_cast<int>(random() % 24),
                  static_cast<int>(random() % 4),
                  0,
                  0};
        m.doseWhole = static_cast<int>(random() % 500);
        m.doseFraction = static_cast<int>(random() % 100);
        m.badTime = random() % 50 == 0;
        const DateTime seen{2025, 10, 1 + static_cast<int>(random() % 31),
                            12,   0,  static_cast<int>(random() % 60),
                            0};
        const TJournalRecord r = m.Journal(TJournalSource::Harvest, seen);
        const std::string key = r.measuredAt ? *r.measuredAt : r.firstSeen.substr(0, 16);
        all.push_back({key, r.device, static_cast<std::int64_t>(all.size()) + 1, r});
        batch.push_back(r);
        if (batch.size() == 256) {
            EXPECT_EQ(Add(j, batch), 256u);
            batch.clear();
        }
    }
    EXPECT_EQ(Add(j, batch), batch.size());

    const TPeriod periods[] = {MonthOf({2025, 9, 1}),           MonthOf({2025, 10, 1}),
                               {{2025, 9, 30}, {2025, 10, 1}},  {{2025, 10, 5}, {2025, 10, 5}},
                               {{2025, 11, 1}, {2025, 11, 30}}, {{2025, 10, 5}, {2025, 10, 4}}};
    for (const TPeriod& period : periods) {
        const std::string from = JournalDateText(period.from);
        const std::string to = JournalDateText(period.to);
        std::vector<Expected> inPeriod;
        for (const Expected& e : all) {
            if (e.key.substr(0, 10) >= from && e.key.substr(0, 10) <= to) inPeriod.push_back(e);
        }
        inPeriod = Sorted(inPeriod);
        double dose = 0;
        for (const Expected& e : inPeriod) dose += e.record.dose;
        SCOPED_TRACE(from + " .. " + to);
        TJournalRecords records(j);  // kept: later pages start at the anchors of earlier ones
        const TPeriodTotals totals = records.Totals(period);
        EXPECT_EQ(totals.count, static_cast<std::int64_t>(inPeriod.size()));
        EXPECT_NEAR(totals.dose, dose, 1e-6);

        // Every position, in pages the way a list asks for them, jumps included.
        const std::size_t n = inPeriod.size();
        for (std::size_t offset :
             {std::size_t{0}, std::size_t{37}, n / 2, std::size_t{999}, std::size_t{1000},
              std::size_t{1001}, std::size_t{1999}, std::size_t{2000}, n > 40 ? n - 40 : 0,
              n - std::min(n, std::size_t{1}), n, n + 5, std::size_t{120}}) {
            const auto rows = records.Rows(period, offset, 40);
            const std::size_t want = offset < n ? std::min<std::size_t>(40, n - offset) : 0;
            ASSERT_EQ(rows.size(), want) << "offset " << offset;
            for (std::size_t k = 0; k < rows.size(); ++k) {
                const Expected& e = inPeriod[offset + k];
                ASSERT_EQ(rows[k].id, e.id) << "offset " << offset + k;
                EXPECT_EQ(rows[k].record.raw, e.record.raw);
                EXPECT_EQ(rows[k].record.measuredAt, e.record.measuredAt);
                EXPECT_DOUBLE_EQ(rows[k].record.dose, e.record.dose);
                EXPECT_EQ(rows[k].record.firstSeen, e.record.firstSeen);
                EXPECT_EQ(rows[k].record.source, TJournalSource::Harvest);
            }
        }
    }

    // The newest row of each meter, by the same order.
    const auto sorted = Sorted(all);
    TJournalRecords records(j);
    for (const int device : devices) {
        const auto newest = std::find_if(sorted.begin(), sorted.end(),
                                         [&](const Expected& e) { return e.device == device; });
        const auto row = records.NewestOfMeter(device);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->id, newest->id);
        EXPECT_TRUE(records.HoldsMeter(device));
    }
    for (const int absent : {0, 41, 44, 1056, 1058, 65535, 65536, -1}) {
        EXPECT_FALSE(records.HoldsMeter(absent)) << absent;
        EXPECT_FALSE(records.NewestOfMeter(absent)) << absent;
    }
}

TEST_F(JournalTest, APageStaysRightWhenAnotherConnectionAddsARow) {
    TJournal& window = Opened();
    TJournalRecords shown(window);  // the window's, with its anchors
    TJournal main(Path(), clock);
    ASSERT_EQ(main.Open().outcome, TOpenOutcome::Opened);
    std::vector<TJournalRecord> records;
    for (int n = 0; n < 2500; ++n) {
        MeterRecord m;
        m.number = n;
        m.time = {2025, 9, 1 + n / 100, n % 24, n % 60, 0, 0};
        records.push_back(m.Journal());
    }
    EXPECT_EQ(Add(main, records), records.size());
    EXPECT_TRUE(window.Changed());
    EXPECT_FALSE(window.Changed());
    const TPeriod september = MonthOf({2025, 9, 1});
    const auto before = shown.Rows(september, 1499, 3);
    ASSERT_EQ(before.size(), 3u);

    // The newest of all arrives through the other connection: every row moves down by one.
    MeterRecord latest;
    latest.number = 9999;
    latest.time = {2025, 9, 30, 23, 59, 0, 0};
    EXPECT_EQ(Add(main, {latest.Journal()}), 1u);
    EXPECT_TRUE(window.Changed());
    const auto after = shown.Rows(september, 1500, 3);
    ASSERT_EQ(after.size(), 3u);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(after[k].id, before[k].id);
    EXPECT_EQ(shown.Rows(september, 0, 1).at(0).record.number, 9999);
    EXPECT_EQ(shown.Totals(september).count, 2501);

    // Its own captures count as changes too.
    MeterRecord own;
    own.number = 10000;
    EXPECT_EQ(Add(window, {own.Journal()}), 1u);
    EXPECT_TRUE(window.Changed());
}

TEST_F(JournalTest, TheMeterClockIsNotedWhenItIsOffAndWhenItIsBack) {
    TClockNotes notes(Opened());
    const DateTime t{2025, 9, 14, 10, 30, 15};
    EXPECT_EQ(notes.Note(42, 3, t), TNoteOutcome::Unchanged) << "within 5 minutes";
    EXPECT_EQ(notes.Note(42, 5, t), TNoteOutcome::Unchanged) << "5 is not more than 5";
    EXPECT_EQ(notes.Note(42, -7, t), TNoteOutcome::Noted);
    EXPECT_EQ(notes.Note(42, -7, t), TNoteOutcome::Unchanged);
    EXPECT_EQ(notes.Note(42, -8, {2025, 9, 15, 9, 0, 0}), TNoteOutcome::Noted);
    EXPECT_EQ(notes.Note(43, 6, t), TNoteOutcome::Noted);
    EXPECT_EQ(notes.Note(1057, 90, t), TNoteOutcome::Noted);
    EXPECT_EQ(notes.Note(1057, 0, {2025, 9, 16, 9, 0, 0}), TNoteOutcome::Noted) << "back in time";
    EXPECT_EQ(notes.Note(1057, 1, t), TNoteOutcome::Unchanged);

    const auto drifts = notes.Drifts();
    ASSERT_EQ(drifts.size(), 2u);
    EXPECT_EQ(drifts[0].device, 42);
    EXPECT_EQ(drifts[0].minutes, -8);
    EXPECT_EQ(drifts[0].notedAt, "2025-09-15 09:00:00");
    EXPECT_EQ(drifts[1].device, 43);
    EXPECT_EQ(drifts[1].minutes, 6);
    RawDb db(Path());
    EXPECT_EQ(db.One("SELECT count(*) FROM clock_drift"), "5");
}

TEST_F(JournalTest, QueriesOnAJournalThatDidNotOpenSayWhy) {
    TJournal j(dir / "missing/folder/VIREL1_Service.db", clock);
    const TOpenResult opened = j.Open();
    EXPECT_EQ(opened.outcome, TOpenOutcome::Unavailable);
    EXPECT_EQ(opened.sqliteCode & 0xFF, SQLITE_CANTOPEN);
    EXPECT_FALSE(opened.error.empty());
    EXPECT_FALSE(j.IsOpen());
    try {
        (void)TJournalRecords(j).Totals(MonthOf({2025, 9, 1}));
        ADD_FAILURE() << "no exception";
    } catch (const EJournal& e) {
        EXPECT_EQ(e.Code() & 0xFF, SQLITE_CANTOPEN);
        EXPECT_NE(std::string(e.what()).find("missing/folder"), std::string::npos) << e.what();
    }
}

TEST_F(JournalTest, TheSpanAfterARowCountsTheNewerRowsAndTheirFirstAndLastMinute) {
    TJournal& j = Opened();
    TJournalRecords records(j);
    EXPECT_EQ(records.SpanAfter(0, MonthOf({2025, 9, 1})).count, 0) << "an empty journal";
    MeterRecord september;
    september.time = {2025, 9, 14, 10, 25, 0, 0};
    ASSERT_EQ(Add(j, {september.Journal()}), 1u);
    const TRecordSpan first = records.SpanAfter(0, MonthOf({2025, 9, 1}));
    EXPECT_EQ(first.count, 1);
    EXPECT_EQ(first.inPeriod, 1);
    EXPECT_EQ(ToMilliseconds(first.first), ToMilliseconds(september.time));
    EXPECT_EQ(ToMilliseconds(first.last), ToMilliseconds(september.time));

    // An old archive and a record without the meter's time (it stands where the PC saw it).
    MeterRecord march2007, may2007, broken;
    march2007.number = 2;
    march2007.time = {2007, 3, 5, 14, 35, 0, 0};
    may2007.number = 3;
    may2007.time = {2007, 5, 31, 23, 59, 0, 0};
    broken.number = 4;
    broken.badTime = true;
    ASSERT_EQ(Add(j, {march2007.Journal(), may2007.Journal(),
                      broken.Journal(TJournalSource::Harvest, {2025, 10, 1, 0, 0, 30})}),
              3u);
    const TRecordSpan added = records.SpanAfter(first.lastId, MonthOf({2025, 9, 1}));
    EXPECT_EQ(added.count, 3);
    EXPECT_EQ(added.inPeriod, 0) << "none of them in September 2025";
    EXPECT_EQ(ToMilliseconds(added.first), ToMilliseconds(march2007.time));
    EXPECT_EQ(ToMilliseconds(added.last), ToMilliseconds(DateTime{2025, 10, 1, 0, 0, 0, 0}));
    EXPECT_EQ(added.lastId, first.lastId + 3);
    EXPECT_EQ(records.SpanAfter(0, {{2007, 5, 31}, {2025, 9, 14}}).inPeriod, 2)
        << "both ends of the period are whole days";
    EXPECT_EQ(records.SpanAfter(added.lastId, MonthOf({2025, 9, 1})).count, 0);
}

}  // namespace
}  // namespace virel
