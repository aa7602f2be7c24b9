// The dose journal's figures: processor time of one capture and of a harvest's 256, then on a
// journal of a million records the file's bytes per record, the journal window's first screen
// (the month's count and total and its first 40 rows), a month's filter, rows deep in the list
// and a meter's newest record.
//
//   build/host/bench/JournalBench [records] [folder]
//
// records defaults to 1000000, folder to a new one in the temporary folder (removed at the
// end). The host build has the sanitizers on; SQLite itself is the system's library, built
// without them, and does most of the work timed here.
#include <sqlite3.h>
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "journal/Journal.h"

namespace {

using namespace virel;

class SystemClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return ToMilliseconds({2025, 9, 14, 10, 0, 0, 0}); }
};

double ProcessorMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double WallMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Timing {
    double wall;
    double processor;
};

Timing Time(const std::function<void()>& work) {
    const double wall = WallMs(), processor = ProcessorMs();
    work();
    return {WallMs() - wall, ProcessorMs() - processor};
}

std::uint8_t Bcd(int v) {
    return static_cast<std::uint8_t>(v / 10 * 16 + v % 10);
}

// A record as the meter sends it, through the decoding the program uses.
TJournalRecord Made(int device, int number, const DateTime& at, int whole, int fraction, int error,
                    bool badTime, TJournalSource source, const DateTime& seen) {
    std::uint8_t b[15] = {static_cast<std::uint8_t>(device >> 8),
                          static_cast<std::uint8_t>(device),
                          static_cast<std::uint8_t>(number >> 8),
                          static_cast<std::uint8_t>(number),
                          badTime ? std::uint8_t{0x6A} : Bcd(at.minute),
                          Bcd(at.hour),
                          Bcd(at.day),
                          Bcd(at.month),
                          Bcd(at.year - 2000),
                          0,
                          static_cast<std::uint8_t>(whole >> 8),
                          static_cast<std::uint8_t>(whole),
                          static_cast<std::uint8_t>(fraction),
                          static_cast<std::uint8_t>(error)};
    b[14] = Checksum(b, 14);
    return JournalRecordOf(*DecodeRecord(b, 15), source, seen);
}

std::uintmax_t FileBytes(const std::string& path) {
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path + suffix, error);
        if (!error) total += size;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    std::string folder;
    bool ownFolder = false;
    if (argc > 2) {
        folder = argv[2];
    } else {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "journal-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        folder = pattern;
        ownFolder = true;
    }
    SystemClock clock;
    std::printf("SQLite %s, folder %s\n", sqlite3_libversion(), folder.c_str());

    // One record per capture, as an end of measurement gives it: each its own transaction,
    // synced to the disk.
    {
        const std::string path = folder + "/single.db";
        TJournal journal(path, clock);
        (void)journal.Open();
        const int captures = 300;
        int number = 0;
        const Timing t = Time([&] {
            for (int i = 0; i < captures; ++i) {
                ++number;
                const auto r = Made(42, number, {2025, 9, 14, 10, number % 60}, 12, 7, 0, false,
                                    TJournalSource::Print, {2025, 9, 14, 10, 30, 0});
                if (journal.Capture({r}).added != 1) std::printf("capture failed\n");
            }
        });
        std::printf("one record per capture (%d): %.3f ms processor, %.2f ms wall each\n", captures,
                    t.processor / captures, t.wall / captures);

        // The same with the alert check on, every record over the level: the check and the
        // alert's row (and its queue entry) in the capture's transaction.
        const Timing alerted = Time([&] {
            for (int i = 0; i < captures; ++i) {
                ++number;
                const auto r = Made(42, number, {2025, 9, 14, 10, number % 60}, 12, 7, 0, false,
                                    TJournalSource::Print, {2025, 9, 14, 10, 30, 0});
                if (journal.Capture({r}, 10.0).alerts != 1) std::printf("alert not raised\n");
            }
        });
        std::printf(
            "one record per capture over the alert level (%d): %.3f ms processor, %.2f ms wall "
            "each\n",
            captures, alerted.processor / captures, alerted.wall / captures);

        std::vector<TJournalRecord> archive;
        for (int n = 0; n < kArchiveRecords; ++n) {
            archive.push_back(Made(43, n, {2025, 9, 13, n / 60, n % 60}, n, 5, 0, false,
                                   TJournalSource::Harvest, {2025, 9, 14, 10, 31, 0}));
        }
        const Timing h = Time([&] { (void)journal.Capture(archive); });
        const Timing again = Time([&] { (void)journal.Capture(archive); });
        std::printf(
            "a harvest's 256 in one capture: %.2f ms processor, %.2f ms wall; "
            "the same 256 again (none new): %.2f ms processor\n",
            h.processor, h.wall, again.processor);
    }

    // A long journal: three meters in daily use over the years, in the order the records
    // come, 256 per capture like a harvest; one record in a hundred with a device error, one in
    // two hundred without a valid time. A fourth meter worked only in the first month.
    const std::string path = folder + "/VIREL1_Service.db";
    DateTime last{};
    {
        TJournal journal(path, clock);
        (void)journal.Open();
        std::mt19937 random(7);
        std::int64_t at = ToMilliseconds({2016, 1, 4, 8, 0, 0, 0});
        const int devices[] = {42, 43, 1057};
        int numbers[] = {0, 0, 0, 0};
        std::vector<TJournalRecord> batch;
        const Timing build = Time([&] {
            for (long i = 0; i < records; ++i) {
                at += (1 + static_cast<std::int64_t>(random() % 9)) * 60'000;
                const DateTime when = FromMilliseconds(at);
                const bool retired = i % 1000 == 0 && i < 20'000;
                const int d = retired ? 3 : static_cast<int>(random() % 3);
                const int device = retired ? 7 : devices[d];
                numbers[d] = (numbers[d] + 1) & 0xFFFF;
                const DateTime seen = FromMilliseconds(at + 3'600'000);
                batch.push_back(Made(device, numbers[d], when, static_cast<int>(random() % 400),
                                     static_cast<int>(random() % 100), random() % 100 == 0 ? 3 : 0,
                                     random() % 200 == 0, TJournalSource::Harvest, seen));
                if (batch.size() == 256) {
                    (void)journal.Capture(batch);
                    batch.clear();
                }
                last = when;
            }
            (void)journal.Capture(batch);
        });
        std::printf("built %ld records in %.1f s (%.1f s processor)\n", records, build.wall / 1000,
                    build.processor / 1000);
    }
    const std::uintmax_t bytes = FileBytes(path);
    std::printf("file: %.1f MB, %.1f bytes a record\n", bytes / 1e6,
                static_cast<double>(bytes) / static_cast<double>(records));

    // The journal window opening on this month: its own connection, count and total, 40 rows.
    const TPeriod thisMonth = MonthOf(last);
    {
        TJournal window(path, clock);
        TJournalRecords records(window);
        TPeriodTotals totals;
        std::size_t shown = 0;
        const Timing first = Time([&] {
            (void)window.Open();
            totals = records.Totals(thisMonth);
            shown = records.Rows(thisMonth, 0, 40).size();
        });
        std::printf(
            "first screen, this month (%lld records, %zu shown): %.2f ms wall, %.2f ms "
            "processor, open included\n",
            static_cast<long long>(totals.count), shown, first.wall, first.processor);

        // Another month chosen in the filter.
        const TPeriod month = MonthOf({2019, 6, 1});
        const Timing filter = Time([&] {
            totals = records.Totals(month);
            shown = records.Rows(month, 0, 40).size();
        });
        std::printf("a month's filter (%lld records): %.2f ms wall, %.2f ms processor\n",
                    static_cast<long long>(totals.count), filter.wall, filter.processor);

        // Everything: the count and total of all years, then positions deep in the list.
        const TPeriod all{{2000, 1, 1}, {2099, 12, 31}};
        const Timing whole = Time([&] { totals = records.Totals(all); });
        std::printf("all years' count and total (%lld records): %.1f ms wall\n",
                    static_cast<long long>(totals.count), whole.wall);
        const std::size_t total = static_cast<std::size_t>(totals.count);
        for (const std::size_t offset : {std::size_t{40}, total / 2, total / 2 + 40,
                                         total / 2 - 3000, total - 40, total / 4}) {
            const Timing t = Time([&] { shown = records.Rows(all, offset, 40).size(); });
            std::printf("rows at %zu (%zu): %.2f ms wall\n", offset, shown, t.wall);
        }

        for (const int device : {42, 7}) {
            std::optional<TJournalRow> newest;
            const Timing t = Time([&] { newest = records.NewestOfMeter(device); });
            std::printf(
                "newest of meter %d (%s): %.2f ms wall\n", device,
                newest && newest->record.measuredAt ? newest->record.measuredAt->c_str() : "-",
                t.wall);
        }
        const Timing absent = Time([&] { (void)records.NewestOfMeter(99); });
        std::printf("a meter the journal does not hold: %.3f ms wall\n", absent.wall);
        sqlite3_int64 current = 0, highest = 0;
        sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &current, &highest, 0);
        std::printf("SQLite's memory: %.1f MB now, %.1f MB at most\n", current / 1e6,
                    highest / 1e6);
    }
    if (ownFolder) std::filesystem::remove_all(folder);
    return 0;
}
