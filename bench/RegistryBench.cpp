// The central registry's figures against a real PostgreSQL server (bench/registry-bench.sh
// starts a private one and runs every case):
//   RegistryBench push CONNECTION PASSWORD FOLDER [records]        waiting records pushed
//   RegistryBench rooms CONNECTION PASSWORD FOLDER [rooms] [records]  rooms pushing at once
//   RegistryBench report CONNECTION PASSWORD FOLDER [rooms] [records]  a year's report
// Natively (the host build) and, for "push", under Wine (the Windows build) alike.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/meter/DeviceSeams.h"
#include "journal/Journal.h"
#include "registry/Odbc.h"
#include "registry/Registry.h"
#include "registry/ServerSchema.h"

namespace {

using namespace virel;
using Clock = std::chrono::steady_clock;

class FixedClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return ToMilliseconds({2025, 12, 1, 9, 0, 0, 0}); }
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// `count` distinct records of one meter over 2025, each with its 14 bytes.
std::vector<TJournalRecord> Records(int device, int count) {
    std::vector<TJournalRecord> records;
    std::mt19937 random(static_cast<unsigned>(device));
    for (int n = 0; n < count; ++n) {
        TJournalRecord r;
        r.raw = {static_cast<std::uint8_t>(device >> 8), static_cast<std::uint8_t>(device),
                 static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 8),
                 static_cast<std::uint8_t>(n), 0, 0, 0, 0, 0, 0, 0, 0, 0};
        r.device = device;
        r.number = n % 65536;
        const DateTime when = FromMilliseconds(ToMilliseconds({2025, 1, 1, 0, 0, 0, 0}) +
                                               static_cast<std::int64_t>(random() % 525'000) * 60'000);
        r.measuredAt = JournalMinuteText(when);
        r.dose = static_cast<double>(random() % 300'000) / 1000;
        r.firstSeen = JournalSecondText(when);
        r.source = TJournalSource::Harvest;
        records.push_back(r);
    }
    return records;
}

std::string Fresh(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    for (const char* tail : {"", "-wal", "-shm"}) std::filesystem::remove(path + tail);
    return path;
}

int Push(const TRegistrySettings& settings, const std::string& folder, int count) {
    FixedClock clock;
    TJournal journal(Fresh(folder, "push.db"), clock);
    (void)journal.Open();
    // A meter number of the run's own, so that every run's records are new to the server.
    const int device = 1000 + static_cast<int>(std::random_device{}() % 60000);
    for (const auto& part : {Records(device, count)}) (void)journal.Capture(part);
    TPushQueue queue(journal);
    std::printf("waiting: %zu\n", queue.Waiting());
    const auto start = Clock::now();
    const TPushResult result = PushWaiting(queue, settings);
    std::printf("pushed %zu (new %zu) in %.2f s, %zu left waiting, outcome %d %s\n",
                result.pushed, result.added, Seconds(start), result.waiting,
                static_cast<int>(result.outcome), result.reason.c_str());
    return result.outcome == TPushOutcome::Done ? 0 : 1;
}

std::int64_t Scalar(odbc::TConnection& connection, const std::string& sql) {
    odbc::TStatement s = connection.NewStatement();
    s.Direct(sql);
    return s.Fetch() ? s.Int(1).value_or(-1) : -1;
}

int Rooms(const TRegistrySettings& base, const std::string& folder, int rooms, int count) {
    const std::string tag = std::to_string(std::random_device{}() % 1000000);
    std::vector<std::unique_ptr<FixedClock>> clocks;
    std::vector<std::unique_ptr<TJournal>> journals;
    for (int i = 0; i < rooms; ++i) {
        clocks.push_back(std::make_unique<FixedClock>());
        journals.push_back(std::make_unique<TJournal>(
            Fresh(folder, "room" + std::to_string(i) + ".db"), *clocks.back()));
        (void)journals.back()->Open();
        // The same meters in every room: only the room tells their rows apart.
        (void)journals.back()->Capture(Records(7 + i % 3, count));
    }
    std::vector<TPushResult> results(static_cast<std::size_t>(rooms));
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < rooms; ++i) {
        threads.emplace_back([&, i] {
            TRegistrySettings settings = base;
            settings.room = "bench " + tag + " room " + std::to_string(i);
            TPushQueue queue(*journals[static_cast<std::size_t>(i)]);
            results[static_cast<std::size_t>(i)] = PushWaiting(queue, settings);
        });
    }
    for (auto& thread : threads) thread.join();
    const double seconds = Seconds(start);
    int failed = 0;
    std::size_t pushed = 0;
    for (const TPushResult& r : results) {
        pushed += r.added;
        if (r.outcome != TPushOutcome::Done) {
            ++failed;
            std::printf("a room failed: %s\n", r.reason.c_str());
        }
    }
    odbc::TConnection connection(base.connection, base.password);
    const std::string mine = "room LIKE 'bench " + tag + " room %'";  // the run's own tag
    const std::int64_t rows = Scalar(connection, "SELECT count(*) FROM records WHERE " + mine);
    const std::int64_t distinct =
        Scalar(connection, "SELECT count(*) FROM (SELECT DISTINCT room, raw FROM records WHERE " +
                               mine + ") AS d");
    std::printf("%d rooms x %d records pushed at once in %.2f s; rooms failed: %d; new rows %zu; "
                "on the server %lld rows, %lld distinct (expected %lld)\n",
                rooms, count, seconds, failed, pushed, static_cast<long long>(rows),
                static_cast<long long>(distinct), static_cast<long long>(rooms) * count);
    return failed == 0 && rows == static_cast<std::int64_t>(rooms) * count && distinct == rows ? 0
                                                                                               : 1;
}

int Report(const TRegistrySettings& settings, int rooms, int count) {
    {
        odbc::TConnection connection(settings.connection, settings.password);
        EnsureServerSchema(connection);
        const std::int64_t have =
            Scalar(connection, "SELECT count(*) FROM records WHERE room LIKE 'year %'");
        if (have != static_cast<std::int64_t>(rooms) * count) {
            std::printf("making %d rooms x %d records of 2024 on the server...\n", rooms, count);
            const auto start = Clock::now();
            // Generated by the server: the figures are of the report, not of a push. Every
            // number here is the program's own constant.
            const std::string n = std::to_string(rooms), per = std::to_string(count);
            connection.Execute("DELETE FROM records WHERE room LIKE 'year %'");
            connection.Execute("DELETE FROM annotations WHERE room LIKE 'year %'");
            connection.Execute("DELETE FROM exam_kinds WHERE room LIKE 'year %'");
            connection.Execute(
                "INSERT INTO exam_kinds (room, id, name, k_adult, k_child, reference_level) "
                "SELECT 'year ' || r, k, 'Вид ' || k, 0.01 * k, CASE WHEN k % 4 = 0 THEN NULL "
                "ELSE 0.012 * k END, CASE WHEN k % 5 = 0 THEN NULL ELSE 100 + r + k END "
                "FROM generate_series(0, " + n + " - 1) r, generate_series(1, 40) k");
            connection.Execute(
                "INSERT INTO records (room, raw, device, number, measured_at, dose, first_seen, "
                "source) SELECT 'year ' || (g % " + n + "), "
                "decode(lpad(to_hex(g), 28, '0'), 'hex'), 1 + g % 7, g % 65536, "
                "timestamp '2024-01-01' + (hashint4(g) & 524287) * interval '1 minute', "
                "((hashint4(g + 7) & 262143) % 300000) / 1000.0, "
                "timestamp '2024-01-01' + (hashint4(g) & 524287) * interval '1 minute', "
                "'harvest' FROM generate_series(1, " + n + " * " + per + ") g");
            connection.Execute(
                "INSERT INTO annotations (room, raw, saved_at, patient_form, birth_year, kind_id) "
                "SELECT room, raw, first_seen + interval '1 hour', 'none', "
                "1930 + number % 90, 1 + number % 40 FROM records "
                "WHERE room LIKE 'year %' AND number % 10 <> 0");
            connection.Execute("ANALYZE records");
            connection.Execute("ANALYZE annotations");
            connection.Execute("ANALYZE exam_kinds");
            connection.Commit();
            std::printf("made in %.1f s\n", Seconds(start));
        }
    }
    const TPeriod year{{2024, 1, 1}, {2024, 12, 31}};
    for (int run = 0; run < 3; ++run) {
        auto start = Clock::now();
        const TPeriodReport all = RegistryReport(settings, year, "");
        const double allSeconds = Seconds(start);
        start = Clock::now();
        const TPeriodReport one = RegistryReport(settings, year, "year 7");
        std::printf("a year's report, all rooms: %lld records, %zu kinds, the audit of %zu rooms' "
                    "kinds and %zu local levels in %.2f s; one room: %lld records, the audit of "
                    "%zu kinds in %.2f s\n",
                    static_cast<long long>(all.all.count), all.kinds.size(),
                    all.rooms ? all.rooms->rows.size() : 0, all.rooms ? all.rooms->levels.size() : 0,
                    allSeconds, static_cast<long long>(one.all.count), one.audit.size(),
                    Seconds(start));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: RegistryBench push|rooms|report CONNECTION PASSWORD FOLDER [n] [m]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const TRegistrySettings settings{argv[2], "bench", argv[3]};
    const std::string folder = argv[4];
    std::filesystem::create_directories(folder);
    try {
        if (mode == "push") return Push(settings, folder, argc > 5 ? std::stoi(argv[5]) : 10'000);
        if (mode == "rooms")
            return Rooms(settings, folder, argc > 5 ? std::stoi(argv[5]) : 50,
                         argc > 6 ? std::stoi(argv[6]) : 1000);
        if (mode == "report")
            return Report(settings, argc > 5 ? std::stoi(argv[5]) : 50,
                          argc > 6 ? std::stoi(argv[6]) : 20'000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
