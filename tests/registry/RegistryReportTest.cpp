// The period report made by the server equals ComputeReport on the same rows: random journals,
// several rooms with catalogues of their own numbering, all rooms and one.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "reports/PeriodReport.h"
#include "tests/registry/RegistryTestSupport.h"

namespace virel::registrytest {
namespace {

struct TKindSpec {
    std::string name;
    std::optional<double> adult, child;
};

const std::vector<TKindSpec> kKinds = {
    {"Рентгенография ОГК", 0.18, 0.2},       {"Рентгеноскопия желудка", 0.06, std::nullopt},
    {"Ирригоскопия", 0.28, 0.31},            {"Урография", std::nullopt, std::nullopt},
    {"ЭРХПГ", 0.26, 0.26},                   {"Коронарография", 0.2, 0.12},
    {"Ангиография конечностей", 0.1, 0.0}};

// A room's journal: records over two years, some without the meter's time, most annotated
// (some twice: the latest counts), kinds numbered in the room's own order.
void FillRoom(TTestJournal& journal, std::mt19937& random, int device, int records) {
    std::vector<std::size_t> order(kKinds.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {  // one kind this room lacks
        const TKindSpec& k = kKinds[order[i]];
        const TKindResult saved = TCatalogue(*journal).SaveKind({0, k.name, k.adult, k.child});
        EXPECT_EQ(saved.fault, TKindFault::None);
        ids.push_back(saved.id);
    }
    std::vector<TJournalRecord> batch;
    for (int n = 1; n <= records; ++n) {
        MeterRecord r;
        r.device = device;
        r.number = n;
        r.time = FromMilliseconds(ToMilliseconds(DateTime{2024, 1, 1, 0, 0, 0, 0}) +
                                  static_cast<std::int64_t>(random() % (730LL * 24 * 60)) * 60'000);
        r.doseWhole = static_cast<int>(random() % 400);
        r.doseFraction = static_cast<int>(random() % 100);
        r.badTime = random() % 20 == 0;
        const DateTime seen =
            FromMilliseconds(ToMilliseconds(r.time) + static_cast<std::int64_t>(random() % 5000) * 1000);
        batch.push_back(r.Journal(TJournalSource::Harvest, seen));
    }
    ASSERT_EQ(journal->Capture(batch).outcome, TCaptureOutcome::Written);
    for (int n = 1; n <= records; ++n) {
        for (int times = static_cast<int>(random() % 4) - 1; times > 0 || times == 0; --times) {
            if (times == 0 && random() % 3 != 0) break;
            TAnnotationInput input;
            if (random() % 6 != 0) input.kindId = ids[random() % ids.size()];
            if (random() % 5 != 0) input.birthYear = 1930 + static_cast<int>(random() % 95);
            journal.Clock().now = FromMilliseconds(ToMilliseconds(journal.Clock().now) + 1000);
            ASSERT_EQ(TAnnotations(*journal).Annotate(n, input, {}).fault, TAnnotationFault::None);
        }
    }
}

void ExpectSameFigures(const TDoseFigures& a, const TDoseFigures& b, const std::string& what) {
    EXPECT_EQ(a.count, b.count) << what;
    EXPECT_EQ(a.totalMilli, b.totalMilli) << what;
    EXPECT_EQ(a.medianQuarter, b.medianQuarter) << what;
    EXPECT_EQ(a.p75Quarter, b.p75Quarter) << what;
    EXPECT_EQ(a.withEffective, b.withEffective) << what;
    EXPECT_EQ(a.effectiveNano, b.effectiveNano) << what;
}

void ExpectSameReport(const TPeriodReport& server, const TPeriodReport& local) {
    ASSERT_EQ(server.kinds.size(), local.kinds.size());
    for (std::size_t i = 0; i < local.kinds.size(); ++i) {
        EXPECT_EQ(server.kinds[i].name, local.kinds[i].name);
        EXPECT_EQ(server.kinds[i].kindId, local.kinds[i].kindId) << local.kinds[i].name;
        ExpectSameFigures(server.kinds[i].figures, local.kinds[i].figures, local.kinds[i].name);
    }
    ExpectSameFigures(server.withoutKind, local.withoutKind, "without a kind");
    ExpectSameFigures(server.all, local.all, "all");
    ASSERT_EQ(server.months.size(), local.months.size());
    for (std::size_t i = 0; i < local.months.size(); ++i) {
        EXPECT_EQ(server.months[i].year, local.months[i].year);
        EXPECT_EQ(server.months[i].month, local.months[i].month);
        EXPECT_EQ(server.months[i].count, local.months[i].count) << i;
        EXPECT_EQ(server.months[i].totalMilli, local.months[i].totalMilli) << i;
    }
}

TEST(RegistryReport, TheServersFiguresAreThoseOfTheJournalsForAllRoomsAndForOne) {
    const TServer& server = SuiteServer();
    const std::string database = server.NewDatabase();
    std::mt19937 random(20251208);
    const std::vector<std::string> rooms = {"Кабинет 1", "Кабинет 2", "Операционная"};
    std::vector<std::unique_ptr<TTestJournal>> journals;
    for (std::size_t i = 0; i < rooms.size(); ++i) {
        journals.push_back(std::make_unique<TTestJournal>());
        FillRoom(*journals.back(), random, 100 + static_cast<int>(i % 2), 700);
        const TPushResult pushed =
            PushWaiting(journals.back()->Queue(), server.Settings(database, rooms[i]), 300);
        ASSERT_EQ(pushed.outcome, TPushOutcome::Done) << pushed.reason;
    }
    const TRegistrySettings settings = server.Settings(database, rooms[0]);

    const std::vector<TPeriod> periods = {{{2024, 3, 15}, {2025, 2, 10}},
                                          {{2024, 1, 1}, {2025, 12, 31}},
                                          {{2025, 6, 1}, {2025, 6, 30}},
                                          {{2026, 1, 1}, {2026, 3, 31}}};  // no records
    for (const TPeriod& period : periods) {
        SCOPED_TRACE(JournalDateText(period.from) + " .. " + JournalDateText(period.to));
        // One room: the very report of its journal, ids included.
        TJournal& second = **journals[1];
        ExpectSameReport(RegistryReport(settings, period, rooms[1]),
                         ComputeReport(period, TJournalRecords(second).ExamRows(period),
                                       TCatalogue(second).Kinds()));

        // All rooms: each room's kinds matched by name into one catalogue.
        std::vector<TExamKind> catalogue;
        for (std::size_t i = 0; i < kKinds.size(); ++i)
            catalogue.push_back({static_cast<std::int64_t>(i) + 1, kKinds[i].name, kKinds[i].adult,
                                 kKinds[i].child});
        std::vector<TExamRow> rows;
        for (auto& journal : journals) {
            std::map<std::int64_t, std::int64_t> global;
            for (const TExamKind& kind : TCatalogue(**journal).Kinds()) {
                for (const TExamKind& g : catalogue)
                    if (g.name == kind.name) global[kind.id] = g.id;
            }
            for (TExamRow row : TJournalRecords(**journal).ExamRows(period)) {
                if (row.kindId) row.kindId = global.at(*row.kindId);
                rows.push_back(row);
            }
        }
        TPeriodReport expected = ComputeReport(period, rows, catalogue);
        for (TKindFigures& kind : expected.kinds) kind.kindId = 0;
        const TPeriodReport all = RegistryReport(settings, period, "");
        ExpectSameReport(all, expected);
        if (period.from.year == 2024 && period.to.year == 2025 && period.from.month == 1) {
            EXPECT_EQ(all.all.count, 2100);  // every record of every room
            EXPECT_GT(all.all.withEffective, 0);
            EXPECT_GT(all.withoutKind.count, 0);
        }
    }
    EXPECT_EQ(RegistryReport(settings, periods[1], "нет такого").all.count, 0);
    TRegistrySettings wrong = settings;
    wrong.password = "nope";
    EXPECT_THROW(RegistryReport(wrong, periods[0], ""), Exception);
}

}  // namespace
}  // namespace virel::registrytest
