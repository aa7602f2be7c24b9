// The period report's figures: a busy room's five years (100,000 records, each annotated with a
// kind and a year of birth) and the report over all of them, every kind with a reference level
// for the audit: reading the rows, the arithmetic, the tables, and the xlsx and CSV files; then saving an annotation (one row, one transaction
// synced to the disk), timed one by one.
//
//   build/host/bench/ReportBench [records] [folder]
//
// records defaults to 100000, folder to a new one in the temporary folder (removed at the end).
// The host build has the sanitizers on in the program's code; SQLite is the system's library.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "reports/ReportCsv.h"
#include "fileexport/ReportXlsx.h"
#include "journal/Journal.h"
#include "reports/PeriodReport.h"
#include "reports/ReportTables.h"

namespace {

using namespace virel;

class FixedClock : public IClock {
public:
    std::int64_t LocalNowMs() override { return ToMilliseconds({2025, 12, 31, 18, 0, 0, 0}); }
};

double WallMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::atol(argv[1]) : 100'000;
    std::string folder;
    bool remove = false;
    if (argc > 2) {
        folder = argv[2];
    } else {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "report-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return 1;
        folder = pattern;
        remove = true;
    }
    const std::string path = folder + "/VIREL1_Service.db";
    FixedClock clock;
    {
        TJournal journal(path, clock);
        (void)journal.Open();
    }
    // The records and their annotations by SQL, in one transaction: what the bench times is the
    // report, not the filling.
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int k = 1; k <= 40; ++k) {
            const std::string sql =
                "INSERT INTO exam_kinds (name, k_adult, k_child) VALUES ('Вид " +
                std::to_string(k) + "', " + std::to_string(0.01 * k) + ", " +
                (k % 7 == 0 ? std::string("NULL") : std::to_string(0.015 * k)) + ")";
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        }
        sqlite3_stmt* record = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO records (raw, device, number, measured_at, dose, "
                           "device_error, first_seen, source) VALUES (?1, 7, ?2, ?3, ?4, NULL, "
                           "?5, 'print')",
                           -1, &record, nullptr);
        sqlite3_stmt* note = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO annotations (record_id, saved_at, patient, patient_form, "
                           "birth_year, kind_id, images, operator) VALUES (?1, ?2, NULL, 'none', "
                           "?3, ?4, 2, 'Петрова')",
                           -1, &note, nullptr);
        std::mt19937 random(7);
        const std::int64_t start = ToMilliseconds({2021, 1, 1, 8, 0, 0, 0});
        const std::int64_t span = ToMilliseconds({2025, 12, 31, 18, 0, 0, 0}) - start;
        for (long i = 0; i < records; ++i) {
            const DateTime when = FromMilliseconds(start + span / records * i);
            unsigned char raw[14] = {0, 7, static_cast<unsigned char>(i >> 16),
                                     static_cast<unsigned char>(i >> 8),
                                     static_cast<unsigned char>(i)};
            raw[13] = static_cast<unsigned char>(i >> 24);
            sqlite3_bind_blob(record, 1, raw, 14, SQLITE_TRANSIENT);
            sqlite3_bind_int64(record, 2, i % 1000);
            const std::string minute = JournalMinuteText(when);
            sqlite3_bind_text(record, 3, minute.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(record, 4, (random() % 50'000) / 1000.0);
            const std::string seen = JournalSecondText(when);
            sqlite3_bind_text(record, 5, seen.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(record);
            sqlite3_reset(record);
            if (i % 10 != 0) {  // one record in ten without an annotation
                sqlite3_bind_int64(note, 1, sqlite3_last_insert_rowid(db));
                sqlite3_bind_text(note, 2, seen.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(note, 3, 1930 + static_cast<int>(random() % 95));
                sqlite3_bind_int(note, 4, 1 + static_cast<int>(random() % 40));
                sqlite3_step(note);
                sqlite3_reset(note);
            }
        }
        sqlite3_finalize(record);
        sqlite3_finalize(note);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    TJournal journal(path, clock);
    (void)journal.Open();
    const TPeriod all{{2021, 1, 1}, {2025, 12, 31}};
    for (int run = 1; run <= 3; ++run) {
        const double t0 = WallMs();
        const std::vector<TExamRow> rows = TJournalRecords(journal).ExamRows(all);
        std::vector<TExamKind> catalogue = TCatalogue(journal).Kinds();
        // Every kind with a reference level: the audit's table is made of all of them.
        for (TExamKind& kind : catalogue) kind.referenceLevel = 5.0 + static_cast<double>(kind.id);
        const double t1 = WallMs();
        const TPeriodReport report = ComputeReport(all, rows, catalogue);
        const TBook book = ReportBook(report, TDoseUnit::Gy);
        const double t2 = WallMs();
        WriteReportXlsx(folder + "/report.xlsx", folder, book);
        const double t3 = WallMs();
        const std::string csv = ReportCsv(book);
        const double t4 = WallMs();
        std::printf(
            "report over %zu records with the audit of %zu kinds, run %d: rows %.0f ms, "
            "arithmetic and tables %.0f ms, xlsx %.0f ms, CSV %.1f ms; total %.0f ms (with the "
            "xlsx)\n",
            rows.size(), report.audit.size(), run, t1 - t0, t2 - t1, t3 - t2, t4 - t3, t3 - t0);
    }

    // Saving an annotation: the operator's OK in the record's dialog.
    std::vector<double> saves;
    TAnnotations annotations(journal);
    TAnnotationInput input;
    input.patient = "ИД-000123";
    input.birthYear = 1975;
    input.kindId = 3;
    input.images = 2;
    input.operatorName = "Петрова";
    for (int i = 0; i < 50; ++i) {
        const double t0 = WallMs();
        const TAnnotationResult saved =
            annotations.Annotate(1 + i * 1000, input, {TPatientForm::Sha256, "соль клиники"});
        saves.push_back(WallMs() - t0);
        if (saved.fault != TAnnotationFault::None)
            std::printf("not saved: %s\n", saved.error.c_str());
    }
    std::sort(saves.begin(), saves.end());
    std::printf("saving an annotation, 50 saves: median %.1f ms, 90th %.1f ms, max %.1f ms\n",
                saves[saves.size() / 2], saves[saves.size() * 9 / 10], saves.back());
    const double t0 = WallMs();
    const auto current = annotations.Current(1);
    const auto history = annotations.History(1);
    std::printf("reading the current annotation and the history of a record: %.2f ms (%zu rows)\n",
                WallMs() - t0, history.size() + (current ? 1 : 0));
    if (remove) std::filesystem::remove_all(folder);
    return 0;
}
