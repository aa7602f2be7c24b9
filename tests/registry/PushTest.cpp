// Pushing the journal to a real PostgreSQL server through ODBC (unixODBC and Debian's
// PostgreSQL driver): the rows as the server keeps them, idempotence, and the faults to survive.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "forms/JournalView.h"
#include "forms/ReportSources.h"
#include "registry/Odbc.h"
#include "registry/PushCommand.h"
#include "tests/registry/RegistryTestSupport.h"

namespace virel::registrytest {
namespace {

class PushTest : public ::testing::Test {
protected:
    const TServer& server = SuiteServer();
    std::string database = server.NewDatabase();
    TRegistrySettings settings = server.Settings(database, "Кабинет №1");
    TTestJournal journal;

    std::int64_t ServerRecords() { return server.Count(database, "SELECT count(*) FROM records"); }
    std::int64_t ServerAnnotations() {
        return server.Count(database, "SELECT count(*) FROM annotations");
    }
};

TEST_F(PushTest, TheRowsArriveAsTheJournalKeepsThemAndARepeatedPushAddsNothing) {
    journal.Add(1, 3);
    ASSERT_EQ(TCatalogue(*journal).SaveKind({0, "Рентгенография грудной клетки", 0.18, 0.2}).fault,
              TKindFault::None);
    TAnnotationInput input;
    input.patient = "Иванов И. И.";
    input.birthYear = 1960;
    input.kindId = 1;
    input.images = 2;
    input.operatorName = "Петрова";
    input.note = "повтор снимка";
    ASSERT_EQ(TAnnotations(*journal).Annotate(journal.RecordId(2), input, {}).fault,
              TAnnotationFault::None);
    EXPECT_EQ(journal.Queue().Waiting(), 4u);

    const TPushResult first = PushWaiting(journal.Queue(), settings);
    ASSERT_EQ(first.outcome, TPushOutcome::Done) << first.reason;
    EXPECT_EQ(first.pushed, 4u);
    EXPECT_EQ(first.added, 4u);
    EXPECT_EQ(first.waiting, 0u);
    EXPECT_EQ(journal.Queue().Waiting(), 0u);

    EXPECT_EQ(server.Psql(database,
                          "SELECT room, encode(raw, 'hex'), device, number, measured_at, dose, "
                          "coalesce(device_error::text, '-'), first_seen, source, dose_milli, "
                          "at_minute FROM records WHERE number = 2"),
              // the 14 bytes as the meter sent them: meter 42, number 2, 08:02 on 1.3.25, dose
              // 2 "." 2
              "Кабинет №1|002a000202080103250000020200|42|2|2025-03-01 08:02:00|2.2|-|"
              "2025-09-14 10:30:15|print|2200|2025-03-01 08:02:00\n");
    EXPECT_EQ(server.Psql(database,
                          "SELECT a.room, r.number, a.saved_at, a.patient, a.patient_form, "
                          "a.birth_year, k.name, a.images, a.operator, a.note "
                          "FROM annotations a JOIN records r USING (room, raw) "
                          "JOIN exam_kinds k ON k.room = a.room AND k.id = a.kind_id"),
              "Кабинет №1|2|2025-09-14 10:30:15|Иванов И. И.|typed|1960|"
              "Рентгенография грудной клетки|2|Петрова|повтор снимка\n");
    EXPECT_EQ(server.Psql(database, "SELECT id, name, k_adult, k_child FROM exam_kinds"),
              "1|Рентгенография грудной клетки|0.18|0.2\n");
    EXPECT_EQ(server.Psql(database, "SELECT name FROM rooms"), "Кабинет №1\n");
    EXPECT_EQ(server.Psql(database, "SELECT value FROM registry_meta WHERE key = 'schema_version'"),
              "2\n");

    // Nothing waits: a push adds nothing. A crash between the server's commit and the local
    // queue's removal is the same queue sent again: it adds nothing either.
    const TPushResult again = PushWaiting(journal.Queue(), settings);
    EXPECT_EQ(again.outcome, TPushOutcome::Done);
    EXPECT_EQ(again.pushed, 0u);
    {
        RawDb db(journal.Path());
        ASSERT_EQ(db.Exec("INSERT INTO push_queue (record_id) SELECT id FROM records;"
                          "INSERT INTO push_queue (annotation_id) SELECT id FROM annotations;"),
                  SQLITE_OK);
    }
    EXPECT_EQ(journal.Queue().Waiting(), 4u);
    const TPushResult resent = PushWaiting(journal.Queue(), settings, 2);
    ASSERT_EQ(resent.outcome, TPushOutcome::Done) << resent.reason;
    EXPECT_EQ(resent.pushed, 4u);
    EXPECT_EQ(resent.added, 0u);
    EXPECT_EQ(ServerRecords(), 3);
    EXPECT_EQ(ServerAnnotations(), 1);

    // Another room's same meter bytes are its own rows; a kind renamed reaches the server.
    ASSERT_EQ(TCatalogue(*journal).SaveKind({1, "Рентгенография ОГК", 0.18, 0.2}).fault,
              TKindFault::None);
    TTestJournal other;
    other.Add(1, 3);
    const TPushResult second = PushWaiting(other.Queue(), server.Settings(database, "Кабинет 2"));
    ASSERT_EQ(second.outcome, TPushOutcome::Done) << second.reason;
    EXPECT_EQ(second.added, 3u);
    EXPECT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(ServerRecords(), 6);
    EXPECT_EQ(server.Psql(database, "SELECT name FROM exam_kinds WHERE room = 'Кабинет №1'"),
              "Рентгенография ОГК\n");
    EXPECT_EQ(RegistryRooms(settings), (std::vector<std::string>{"Кабинет 2", "Кабинет №1"}));

    // The report window's other rooms: each but this one, its report that room's alone.
    const std::vector<TReportSource> others = OtherRoomSources(settings);
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(others[0].name, "Кабинет 2");
    const TReportOutcome report = others[0].report(
        PeriodBetween({2025, 1, 1, 0, 0, 0, 0}, {2025, 12, 31, 0, 0, 0, 0}), TDoseUnit::Gy);
    ASSERT_TRUE(report.report.has_value()) << report.error;
    EXPECT_EQ(report.report->all.count, 3);
    // A server that does not answer: no other rooms, and no exception.
    EXPECT_TRUE(OtherRoomSources({"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;", "Кабинет №1",
                                  "x"})
                    .empty());
}

TEST_F(PushTest, TheRecordKeepsItsLatestAnnotationWhicheverArrivedFirst) {
    ASSERT_TRUE(CheckRegistry(settings).ok);
    // An annotation already there before its record (another tool's, or a record refused
    // before and taken later): the arriving record takes it.
    EXPECT_EQ(server.Psql(database,
                          "INSERT INTO annotations (room, raw, saved_at, patient_form, kind_id, "
                          "birth_year) VALUES ('Кабинет №1', '\\x002a000101080103250000010100'::bytea"
                          "  , '2025-01-01 00:00', 'none', 7, 1950)"),
              "");
    journal.Add(1, 2);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(server.Psql(database, "SELECT number, coalesce(current_kind_id::text, '-'), "
                                    "coalesce(current_birth_year::text, '-') FROM records "
                                    "ORDER BY number"),
              "1|7|1950\n2|-|-\n");
    // Later annotations replace it on the record; the history stays whole.
    TAnnotationInput input;
    input.birthYear = 1961;
    ASSERT_EQ(TAnnotations(*journal).Annotate(journal.RecordId(1), input, {}).fault,
              TAnnotationFault::None);
    journal.Clock().now.second += 1;
    input.birthYear = 1962;
    ASSERT_EQ(TAnnotations(*journal).Annotate(journal.RecordId(1), input, {}).fault,
              TAnnotationFault::None);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(server.Psql(database, "SELECT coalesce(current_kind_id::text, '-'), "
                                    "current_birth_year FROM records WHERE number = 1"),
              "-|1962\n");
    EXPECT_EQ(ServerAnnotations(), 3);
}

TEST_F(PushTest, TwoSavesWithinOneSecondBothReachTheServerAndTheLaterIsCurrent) {
    journal.Add(1, 1);
    TAnnotationInput input;
    input.birthYear = 1971;
    ASSERT_EQ(TAnnotations(*journal).Annotate(journal.RecordId(1), input, {}).fault,
              TAnnotationFault::None);
    input.birthYear = 1972;  // the operator's correction, in the same second on the clock
    ASSERT_EQ(TAnnotations(*journal).Annotate(journal.RecordId(1), input, {}).fault,
              TAnnotationFault::None);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(ServerAnnotations(), 2);
    EXPECT_EQ(server.Psql(database, "SELECT current_birth_year FROM records WHERE number = 1"),
              "1972\n");
    // Sent again as after a crash before the local queue was emptied: still two.
    {
        RawDb db(journal.Path());
        ASSERT_EQ(db.Exec("INSERT INTO push_queue (annotation_id) SELECT id FROM annotations;"),
                  SQLITE_OK);
    }
    const TPushResult resent = PushWaiting(journal.Queue(), settings);
    ASSERT_EQ(resent.outcome, TPushOutcome::Done) << resent.reason;
    EXPECT_EQ(resent.added, 0u);
    EXPECT_EQ(ServerAnnotations(), 2);
}

TEST_F(PushTest, AJournalRestoredFromAnOldBackupAddsNothing) {
    journal.Add(1, 50);
    const std::string backup = journal.Dir() / "backup.db";
    journal.Close();
    std::filesystem::copy_file(journal.Path(), backup);
    ASSERT_EQ(journal.Reopen().outcome, TOpenOutcome::Opened);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings, 7).outcome, TPushOutcome::Done);
    journal.Add(51, 20);
    ASSERT_EQ(PushWaiting(journal.Queue(), settings).outcome, TPushOutcome::Done);
    EXPECT_EQ(ServerRecords(), 70);

    journal.Close();
    std::filesystem::copy_file(backup, journal.Path(),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(journal.Path() + "-wal");
    std::filesystem::remove(journal.Path() + "-shm");
    ASSERT_EQ(journal.Reopen().outcome, TOpenOutcome::Opened);
    EXPECT_EQ(journal.Queue().Waiting(), 50u);  // the backup's own queue
    const TPushResult restored = PushWaiting(journal.Queue(), settings);
    ASSERT_EQ(restored.outcome, TPushOutcome::Done) << restored.reason;
    EXPECT_EQ(restored.pushed, 50u);
    EXPECT_EQ(restored.added, 0u);
    EXPECT_EQ(ServerRecords(), 70);
    EXPECT_EQ(server.Count(database, "SELECT count(DISTINCT raw) FROM records"), 70);
}

TEST_F(PushTest, HostileTextsArriveIntactOrAreRefusedAndTheTablesStay) {
    journal.Add(1, 8);
    const std::string drop = "x'); DROP TABLE records; --";
    const std::string quotes = "O'Brien \"Ковальчук\" `\\' \\\\ ; -- /* */ $$ $1 ?";
    const std::string longText(10'000, 'W');
    std::string longCyrillic;
    for (int i = 0; i < 10'000; ++i) longCyrillic += (i % 2) ? "ж" : "Ё";
    const std::string replaced = "до\xEF\xBF\xBDпосле";  // a lone surrogate, as the window keeps it
    const std::vector<std::string> texts = {drop, quotes, longText, longCyrillic, replaced,
                                            "'; DROP TABLE annotations; --", "🩻 снимок"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        TAnnotationInput input;
        input.patient = texts[i];
        input.operatorName = texts[(i + 1) % texts.size()];
        input.note = texts[(i + 2) % texts.size()];
        ASSERT_EQ(TAnnotations(*journal)
                      .Annotate(journal.RecordId(static_cast<int>(i) + 1), input, {})
                      .fault,
                  TAnnotationFault::None);
    }
    {  // what only a tool could write: malformed UTF-8 and a zero character
        RawDb db(journal.Path());
        ASSERT_EQ(db.Exec("INSERT INTO annotations (record_id, saved_at, note) VALUES "
                          "(8, '2025-09-14 10:31:00', CAST(x'41FF42' AS TEXT)),"
                          "(8, '2025-09-14 10:32:00', CAST(x'410042' AS TEXT)),"
                          "(8, '2025-09-14 10:33:00', 'fine')"),
                  SQLITE_OK);
    }
    const TPushResult pushed = PushWaiting(journal.Queue(), settings, 4);
    ASSERT_EQ(pushed.outcome, TPushOutcome::Done) << pushed.reason;
    EXPECT_EQ(pushed.refused, 2u) << pushed.refusedReason;
    EXPECT_FALSE(pushed.refusedReason.empty());
    EXPECT_EQ(pushed.pushed, 8u + texts.size() + 1);
    EXPECT_EQ(journal.Queue().Waiting(), 0u);
    EXPECT_EQ(journal.Queue().Refused(), 2u);

    EXPECT_EQ(ServerRecords(), 8);
    EXPECT_EQ(ServerAnnotations(), static_cast<std::int64_t>(texts.size()) + 1);
    // Read back through ODBC: every text byte for byte.
    odbc::TConnection connection(settings.connection, settings.password);
    odbc::TStatement s = connection.NewStatement();
    s.Direct("SELECT r.number, a.patient, a.operator, a.note FROM annotations a "
             "JOIN records r USING (room, raw) WHERE a.note IS DISTINCT FROM 'fine' "
             "ORDER BY r.number");
    std::size_t i = 0;
    while (s.Fetch()) {
        ASSERT_LT(i, texts.size());
        EXPECT_EQ(s.Int(1), static_cast<std::int64_t>(i) + 1);
        EXPECT_EQ(s.Text(2), texts[i]);
        EXPECT_EQ(s.Text(3), texts[(i + 1) % texts.size()]);
        EXPECT_EQ(s.Text(4), texts[(i + 2) % texts.size()]);
        ++i;
    }
    EXPECT_EQ(i, texts.size());
    EXPECT_EQ(server.Count(database, "SELECT max(length(note)) FROM annotations"), 10'000);
}

TEST_F(PushTest, AWrongPasswordIsRefusedWithAClearReasonAndTheQueueStays) {
    journal.Add(1, 5);
    TRegistrySettings wrong = settings;
    wrong.password = "wrong-Pa55word";
    const TPushResult refused = PushWaiting(journal.Queue(), wrong);
    EXPECT_EQ(refused.outcome, TPushOutcome::Refused) << refused.reason;
    EXPECT_NE(refused.reason.find("password authentication failed"), std::string::npos)
        << refused.reason;
    EXPECT_EQ(refused.reason.find("wrong-Pa55word"), std::string::npos);
    EXPECT_EQ(refused.waiting, 5u);
    EXPECT_EQ(journal.Queue().Waiting(), 5u);

    const TLinkCheck check = CheckRegistry(wrong);
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.reason.find("password authentication failed"), std::string::npos)
        << check.reason;
    EXPECT_EQ(check.reason.find("wrong-Pa55word"), std::string::npos);
    EXPECT_TRUE(CheckRegistry(settings).ok);

    // Neither configured nor reachable: said so, nothing lost.
    EXPECT_EQ(PushWaiting(journal.Queue(), {settings.connection, "", ""}).outcome,
              TPushOutcome::NotConfigured);
    const TPushResult noDriver =
        PushWaiting(journal.Queue(), {"Driver={No Such Driver};Server=127.0.0.1", "r", "pw"});
    EXPECT_EQ(noDriver.outcome, TPushOutcome::Unreachable) << noDriver.reason;
    EXPECT_EQ(journal.Queue().Waiting(), 5u);
}

// A login without a password, where the server asks for one, is as refused as a wrong one: a
// scheduled task must not retry it as if the server were down, and its line says which it was.
TEST_F(PushTest, AMissingPasswordIsARefusedLoginAndTheLineSaysWhichPasswordFailed) {
    journal.Add(1, 3);
    TRegistrySettings none = settings;
    none.password.clear();
    const TPushResult missing = PushWaiting(journal.Queue(), none);
    EXPECT_EQ(missing.outcome, TPushOutcome::Refused) << missing.reason;
    EXPECT_EQ(ExitOf(missing), TPushExit::Refused);
    EXPECT_NE(missing.reason.find("no password supplied"), std::string::npos) << missing.reason;
    EXPECT_EQ(missing.waiting, 3u);
    const std::string missingLine = PushSummary(missing);
    EXPECT_NE(missingLine.find("пароль не задан"), std::string::npos) << missingLine;
    EXPECT_EQ(missingLine.find("неверный пароль"), std::string::npos) << missingLine;

    TRegistrySettings wrong = settings;
    wrong.password = "wrong-Pa55word";
    const TPushResult refused = PushWaiting(journal.Queue(), wrong);
    ASSERT_EQ(refused.outcome, TPushOutcome::Refused) << refused.reason;
    const std::string wrongLine = PushSummary(refused);
    EXPECT_NE(wrongLine.find("неверный пароль"), std::string::npos) << wrongLine;
    EXPECT_EQ(wrongLine.find("пароль не задан"), std::string::npos) << wrongLine;
    EXPECT_EQ(wrongLine.find("wrong-Pa55word"), std::string::npos) << wrongLine;

    // The dialog's check says the same of the same settings; the queue is untouched throughout.
    const TLinkCheck check = CheckRegistry(none);
    EXPECT_FALSE(check.ok);
    EXPECT_NE(check.reason.find("no password supplied"), std::string::npos) << check.reason;
    EXPECT_EQ(journal.Queue().Waiting(), 3u);
}

TEST_F(PushTest, RoomsPushingForTheFirstTimeAtOnceMakeTheTablesOnce) {
    constexpr int kRooms = 6;
    std::vector<std::unique_ptr<TTestJournal>> journals;
    for (int i = 0; i < kRooms; ++i) {
        journals.push_back(std::make_unique<TTestJournal>());
        journals.back()->Add(1, 300, 10 + i);
    }
    std::vector<std::future<TPushResult>> pushes;
    for (int i = 0; i < kRooms; ++i) {
        pushes.push_back(std::async(std::launch::async, [&, i] {
            return PushWaiting(journals[i]->Queue(),
                               server.Settings(database, "room " + std::to_string(i)), 64);
        }));
    }
    for (auto& push : pushes) {
        const TPushResult result = push.get();
        EXPECT_EQ(result.outcome, TPushOutcome::Done) << result.reason;
        EXPECT_EQ(result.added, 300u);
    }
    EXPECT_EQ(ServerRecords(), kRooms * 300);
}

// Faults of the server itself: a server of the case's own, stopped and started by the case.
class ServerFaultTest : public ::testing::Test {
protected:
    TOwnServer server;
    std::string database = server.Started() ? server.NewDatabase() : "";
    TRegistrySettings settings = server.Settings(database, "Кабинет 3");
    TTestJournal journal;

    std::int64_t ServerRecords() { return server.Count(database, "SELECT count(*) FROM records"); }
};

TEST_F(ServerFaultTest, AServerDownAtStartKeepsTheQueueAndItDrainsWhenTheServerIsBack) {
    ASSERT_TRUE(server.Started());
    journal.Add(1, 30);
    ASSERT_TRUE(server.Script("halt"));
    const TPushResult down = PushWaiting(journal.Queue(), settings);
    EXPECT_EQ(down.outcome, TPushOutcome::Unreachable) << down.reason;
    EXPECT_FALSE(down.reason.empty());
    EXPECT_EQ(down.reason.find(settings.password), std::string::npos);
    EXPECT_EQ(down.waiting, 30u);
    EXPECT_FALSE(CheckRegistry(settings).ok);

    // Gone "for an hour": the pusher's pauses (fake: only summed) add up past an hour while
    // the rooms go on capturing; every attempt fails and keeps everything.
    TPushBackoff backoff;
    std::chrono::milliseconds waited{0};
    int round = 0;
    while (waited < std::chrono::hours(1)) {
        journal.Add(31 + round * 10, 10);
        ++round;
        const TPushResult attempt = PushWaiting(journal.Queue(), settings);
        ASSERT_EQ(attempt.outcome, TPushOutcome::Unreachable) << attempt.reason;
        waited += backoff.Next(true);
    }
    EXPECT_EQ(round, 17);  // 5 + 10 + … + 160 s, then 300 s each
    const std::size_t total = 30 + 10 * static_cast<std::size_t>(round);
    EXPECT_EQ(journal.Queue().Waiting(), total);

    ASSERT_TRUE(server.Script("resume"));
    const TPushResult back = PushWaiting(journal.Queue(), settings, 37);
    ASSERT_EQ(back.outcome, TPushOutcome::Done) << back.reason;
    EXPECT_EQ(back.pushed, total);
    EXPECT_EQ(journal.Queue().Waiting(), 0u);
    EXPECT_EQ(ServerRecords(), static_cast<std::int64_t>(total));
}

TEST_F(ServerFaultTest, AServerStoppedInTheMiddleOfTheBatchesLosesDoublesAndHalfWritesNothing) {
    ASSERT_TRUE(server.Started());
    constexpr int kRecords = 30'000;
    constexpr std::size_t kBatch = 500;
    for (int first = 1; first <= kRecords; first += 5000) journal.Add(first, 5000);
    ASSERT_TRUE(CheckRegistry(settings).ok);  // the tables made: the push itself is long
    auto push = std::async(std::launch::async, [&] {
        TJournal own(journal.Path(), journal.Clock());  // the pusher's own connection
        EXPECT_EQ(own.Open().outcome, TOpenOutcome::Opened);
        TPushQueue queue(own);
        return PushWaiting(queue, settings, kBatch);
    });
    // Stopped at once (as a crash would) when some batches are in and others are on the way.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ServerRecords() < 2000 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(server.Script("halt"));
    const TPushResult stopped = push.get();
    ASSERT_EQ(stopped.outcome, TPushOutcome::Unreachable) << stopped.reason;
    ASSERT_TRUE(server.Script("resume"));

    const std::int64_t onServer = ServerRecords();
    EXPECT_GT(onServer, 0);
    EXPECT_LT(onServer, kRecords);
    EXPECT_EQ(onServer % static_cast<std::int64_t>(kBatch), 0) << "a batch half-written";
    // Exactly what the server committed left the queue; or one batch more stays queued when the
    // stop fell between the server's commit and the queue's removal (it is sent again).
    const auto waiting = static_cast<std::int64_t>(journal.Queue().Waiting());
    EXPECT_TRUE(waiting == kRecords - onServer ||
                waiting == kRecords - onServer + static_cast<std::int64_t>(kBatch))
        << waiting << " waiting, " << onServer << " on the server";

    const TPushResult rest = PushWaiting(journal.Queue(), settings, kBatch);
    ASSERT_EQ(rest.outcome, TPushOutcome::Done) << rest.reason;
    EXPECT_EQ(ServerRecords(), kRecords);
    EXPECT_EQ(server.Count(database, "SELECT count(DISTINCT number) FROM records"), kRecords);
    EXPECT_EQ(journal.Queue().Waiting(), 0u);
}

}  // namespace
}  // namespace virel::registrytest
