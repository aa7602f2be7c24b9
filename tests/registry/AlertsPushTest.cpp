// High-dose alerts pushed to a real PostgreSQL server: each once, keyed by its record and
// level, its acknowledgement arriving later as an update of the same row; the kinds' levels
// with the catalogue; a period's alerts read back for the reports.
#include <gtest/gtest.h>

#include <filesystem>

#include "registry/RegistryAlerts.h"
#include "tests/registry/RegistryTestSupport.h"

namespace virel::registrytest {
namespace {

// Where a test's records stand: the meter and the minute before the first.
struct TAt {
    int device = 42;
    DateTime start{2025, 3, 1, 8, 0, 0, 0};
};

class AlertsPushTest : public ::testing::Test {
protected:
    const TServer& server = SuiteServer();
    std::string database = server.NewDatabase();
    TRegistrySettings settings = server.Settings(database, "Кабинет №1");
    TTestJournal journal;

    // Records as TTestJournal::Add makes them (record n: dose n.n Gy·cm² for n < 100, one a
    // minute), captured with the record alert level `level`.
    void Capture(int first, int count, double level, const TAt& add = {}) {
        std::vector<TJournalRecord> records;
        for (int i = 0; i < count; ++i) {
            MeterRecord r;
            r.device = add.device;
            r.number = first + i;
            r.time = FromMilliseconds(ToMilliseconds(add.start) + (first + i) * 60'000LL);
            r.doseWhole = (first + i) % 200;
            r.doseFraction = (first + i) % 100;
            records.push_back(r.Journal());
        }
        ASSERT_EQ(journal->Capture(records, level).outcome, TCaptureOutcome::Written);
    }
    std::string Alerts() {
        return server.Psql(database,
                           "SELECT a.room, r.number, a.level, a.level_value, a.value, "
                           "coalesce(a.kind_id::text, '-'), a.raised_at, "
                           "coalesce(a.acknowledged_at::text, '-'), "
                           "coalesce(a.acknowledged_by, '-'), coalesce(a.note, '-') "
                           "FROM alerts a JOIN records r USING (room, raw) ORDER BY r.number, "
                           "a.level");
    }
};

TEST_F(AlertsPushTest, AnAlertAndItsLaterAcknowledgementPushedTwiceAreOneRow) {
    Capture(1, 11, 10.0);  // 10.10 and 11.11 are over 10
    ASSERT_EQ(TAlerts(*journal).Unacknowledged().size(), 2u);
    const TPushResult first = PushWaiting(journal.Queue(), settings);
    ASSERT_EQ(first.outcome, TPushOutcome::Done) << first.reason;
    EXPECT_EQ(first.pushed, 13u) << "11 records, 2 alerts";
    EXPECT_EQ(Alerts(),
              "Кабинет №1|10|record|10|10.1|-|2025-09-14 10:30:15|-|-|-\n"
              "Кабинет №1|11|record|10|11.11|-|2025-09-14 10:30:15|-|-|-\n");

    // Acknowledged, then the queue pushed and (a crash before its removal) pushed once more.
    journal.Clock().now = {2025, 9, 14, 11, 0, 0, 0};
    const std::vector<TAlertRow> open = TAlerts(*journal).Unacknowledged();
    ASSERT_EQ(TAlerts(*journal).Acknowledge(open[0].alertId, "ivanova", "повтор снимка").fault,
              TAcknowledgeFault::None);
    const std::vector<TWaitingItem> waiting = journal.Queue().WaitingRows(10);
    ASSERT_EQ(waiting.size(), 1u);
    ASSERT_TRUE(waiting[0].alert);
    const TPushResult second = PushWaiting(journal.Queue(), settings);
    ASSERT_EQ(second.outcome, TPushOutcome::Done) << second.reason;
    EXPECT_EQ(second.pushed, 1u);
    {
        RawDb db(journal.Path());
        ASSERT_EQ(db.Exec("INSERT INTO push_queue (alert_id) SELECT id FROM alerts"), SQLITE_OK);
    }
    const TPushResult again = PushWaiting(journal.Queue(), settings);
    ASSERT_EQ(again.outcome, TPushOutcome::Done) << again.reason;
    EXPECT_EQ(again.pushed, 2u);
    EXPECT_EQ(again.added, 0u) << "nothing new, nothing changed";
    EXPECT_EQ(Alerts(),
              "Кабинет №1|10|record|10|10.1|-|2025-09-14 10:30:15|2025-09-14 11:00:00|ivanova|"
              "повтор снимка\n"
              "Кабинет №1|11|record|10|11.11|-|2025-09-14 10:30:15|-|-|-\n");
}

TEST_F(AlertsPushTest, AnOldUnacknowledgedStateNeverUndoesAnAcknowledgement) {
    Capture(20, 1, 5.0);
    const std::vector<TAlertRow> open = TAlerts(*journal).Unacknowledged();
    ASSERT_EQ(open.size(), 1u);
    // The raised state and the acknowledged one in the same batch, then a restored journal
    // that has only the raised one.
    const std::string backup = journal.Dir() / "backup.db";
    journal.Close();
    std::filesystem::copy_file(journal.Path(), backup);
    ASSERT_EQ(journal.Reopen().outcome, TOpenOutcome::Opened);
    ASSERT_EQ(TAlerts(*journal).Acknowledge(open[0].alertId, "petrov", "").fault,
              TAcknowledgeFault::None);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(server.Count(database, "SELECT count(*) FROM alerts"), 1);

    journal.Close();
    std::filesystem::copy_file(backup, journal.Path(),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(journal.Path() + "-wal");
    std::filesystem::remove(journal.Path() + "-shm");
    ASSERT_EQ(journal.Reopen().outcome, TOpenOutcome::Opened);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(server.Psql(database, "SELECT acknowledged_by, note IS NULL FROM alerts"),
              "petrov|t\n");
}

TEST_F(AlertsPushTest, TheKindsLevelsGoWithTheCatalogueAndAPeriodsAlertsAreReadBack) {
    TCatalogue catalogue(*journal);
    ASSERT_EQ(catalogue.SaveKind({0, "Таз", 0.29, 0.4, 0.9, 5.0, false}).fault, TKindFault::None);
    ASSERT_EQ(
        catalogue
            .SaveKind({0, "Флюорография", 0.02, std::nullopt, std::nullopt, std::nullopt, true})
            .fault,
        TKindFault::None);
    Capture(6, 2, 7.0);                                          // 6.6 and 7.7: 7.7 over 7
    Capture(30, 1, 100.0, {.start = {2025, 4, 1, 8, 0, 0, 0}});  // in April: none
    TAnnotationInput input;
    input.kindId = catalogue.Kinds()[0].id;  // "Таз", alert level 5
    ASSERT_TRUE(TAnnotations(*journal).Annotate(journal.RecordId(6), input, {}).alertRaised);
    ASSERT_TRUE(TAnnotations(*journal).Annotate(journal.RecordId(7), input, {}).alertRaised);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);

    EXPECT_EQ(server.Psql(database,
                          "SELECT name, coalesce(reference_level::text, '-'), "
                          "coalesce(alert_level::text, '-'), preventive FROM exam_kinds "
                          "ORDER BY id"),
              "Таз|0.9|5|f\nФлюорография|-|-|t\n");

    // Another room's alert, and the period's read back by room and in the records' order.
    TTestJournal other;
    std::vector<TJournalRecord> records = {MeterRecord{.device = 7,
                                                       .number = 1,
                                                       .time = {2025, 3, 2, 9, 0, 0, 0},
                                                       .doseWhole = 300,
                                                       .doseFraction = 0}
                                               .Journal()};
    ASSERT_EQ(other->Capture(records, 200).alerts, 1u);
    ASSERT_EQ(PushWaiting(other.Queue(), server.Settings(database, "Ангио")).outcome,
              TPushOutcome::Done);

    const std::vector<TAlertRow> march =
        RegistryAlerts(settings, {{2025, 3, 1}, {2025, 3, 31}}, "");
    ASSERT_EQ(march.size(), 4u);
    EXPECT_EQ(march[0].room, "Ангио");
    EXPECT_EQ(march[0].device, 7);
    EXPECT_DOUBLE_EQ(march[0].dose, 300);
    EXPECT_FALSE(march[0].kindName);
    EXPECT_EQ(march[1].room, "Кабинет №1");
    EXPECT_EQ(march[1].number, 6);
    EXPECT_EQ(march[1].level, TAlertLevel::Kind);
    EXPECT_DOUBLE_EQ(march[1].levelValue, 5);
    EXPECT_EQ(march[1].kindName, "Таз");
    EXPECT_EQ(march[2].number, 7);
    EXPECT_EQ(march[2].level, TAlertLevel::Record);
    EXPECT_EQ(march[2].kindName, "Таз") << "the record's current kind";
    EXPECT_EQ(march[3].number, 7);
    EXPECT_EQ(march[3].level, TAlertLevel::Kind);
    EXPECT_EQ(march[3].minute, ToMilliseconds({2025, 3, 1, 8, 7, 0, 0}) / 60'000);
    EXPECT_FALSE(march[3].acknowledged);
    EXPECT_EQ(march[3].raisedAt, "2025-09-14 10:30:15");

    const std::vector<TAlertRow> one =
        RegistryAlerts(settings, {{2025, 3, 1}, {2025, 3, 31}}, " Ангио ");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(RegistryAlerts(settings, {{2025, 4, 1}, {2025, 4, 30}}, "").empty());
    TRegistrySettings wrong = settings;
    wrong.password = "не тот";
    EXPECT_THROW(RegistryAlerts(wrong, {{2025, 3, 1}, {2025, 3, 31}}, ""), Exception);
}

}  // namespace
}  // namespace virel::registrytest
