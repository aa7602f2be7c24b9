// The audit over the registry equals the audit of the rooms' own journals: one room's against
// the levels of its catalogue on the server, and all rooms side by side with the local levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "registry/Odbc.h"
#include "reports/PeriodReport.h"
#include "tests/registry/RegistryTestSupport.h"

namespace virel::registrytest {
namespace {

const std::vector<std::string> kKindNames = {"ОГК", "Череп", "Желудок", "Коронарография"};

// A room's journal: `records` records over 2025, each given one of the kinds the room has (in
// its own numbering), some none.
void FillRoom(TTestJournal& journal, std::mt19937& random, int device, int records,
              std::size_t kinds) {
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < kinds; ++i) {
        const TKindResult saved = TCatalogue(*journal).SaveKind(
            {0, kKindNames[(i + static_cast<std::size_t>(device)) % kKindNames.size()], 0.1 * (i + 1),
             std::nullopt});
        ASSERT_EQ(saved.fault, TKindFault::None);
        ids.push_back(saved.id);
    }
    std::vector<TJournalRecord> batch;
    for (int n = 1; n <= records; ++n) {
        MeterRecord r;
        r.device = device;
        r.number = n;
        r.time = FromMilliseconds(ToMilliseconds(DateTime{2025, 1, 1, 0, 0, 0, 0}) +
                                  static_cast<std::int64_t>(random() % (360LL * 24 * 60)) * 60'000);
        r.doseWhole = static_cast<int>(random() % 40);
        r.doseFraction = static_cast<int>(random() % 256);
        batch.push_back(r.Journal(TJournalSource::Harvest, r.time));
    }
    ASSERT_EQ(journal->Capture(batch).outcome, TCaptureOutcome::Written);
    for (int n = 1; n <= records; ++n) {
        if (random() % 8 == 0) continue;
        TAnnotationInput input;
        input.kindId = ids[random() % ids.size()];
        journal.Clock().now = FromMilliseconds(ToMilliseconds(journal.Clock().now) + 1000);
        ASSERT_EQ(TAnnotations(*journal).Annotate(n, input, {}).fault, TAnnotationFault::None);
    }
}

std::string RowText(const TAuditRow& r) {
    return r.name + "|" + r.room + "|" + std::to_string(r.count) + "|" +
           std::to_string(r.medianQuarter) + "|" + std::to_string(r.p75Quarter) + "|" +
           (r.levelMilli ? std::to_string(*r.levelMilli) : "-");
}

std::vector<std::string> Texts(const std::vector<TAuditRow>& rows) {
    std::vector<std::string> texts;
    for (const TAuditRow& row : rows) texts.push_back(RowText(row));
    return texts;
}

TEST(RegistryAudit, EachRoomsAuditAndTheLocalLevelsAreThoseOfTheRoomsJournals) {
    const TServer& server = SuiteServer();
    const std::string database = server.NewDatabase();
    std::mt19937 random(20251209);
    const std::vector<std::string> rooms = {"Кабинет 1", "Кабинет 2", "Операционная"};
    const int records[] = {400, 300, 25};  // the last room has few of each kind
    std::vector<std::unique_ptr<TTestJournal>> journals;
    for (std::size_t i = 0; i < rooms.size(); ++i) {
        journals.push_back(std::make_unique<TTestJournal>());
        FillRoom(*journals.back(), random, static_cast<int>(i), records[i], 3 + i % 2);
        const TPushResult pushed =
            PushWaiting(journals.back()->Queue(), server.Settings(database, rooms[i]), 300);
        ASSERT_EQ(pushed.outcome, TPushOutcome::Done) << pushed.reason;
    }
    const TRegistrySettings settings = server.Settings(database, rooms[1]);

    // Levels as the rooms' catalogues give them to the server: each room its own, one kind of
    // each room without. The journals' catalogues get the same, for the local reports.
    std::vector<std::vector<TExamKind>> catalogues;
    {
        odbc::TConnection connection(settings.connection, settings.password);
        for (std::size_t i = 0; i < rooms.size(); ++i) {
            std::vector<TExamKind> catalogue = TCatalogue(**journals[i]).Kinds();
            for (std::size_t k = 1; k < catalogue.size(); ++k) {
                const double level = 0.5 * static_cast<double>(10 + random() % 50);
                catalogue[k].referenceLevel = level;
                odbc::TStatement set = connection.Prepare(
                    "UPDATE exam_kinds SET reference_level = ? WHERE room = ? AND id = ?");
                odbc::TParams p;
                p.Double(level);
                p.Text(rooms[i]);
                p.Int(catalogue[k].id);
                set.Execute(p);
            }
            catalogues.push_back(std::move(catalogue));
        }
        connection.Commit();
    }

    const std::vector<TPeriod> periods = {{{2025, 1, 1}, {2025, 12, 31}},
                                          {{2025, 3, 1}, {2025, 4, 30}},
                                          {{2026, 1, 1}, {2026, 1, 31}}};  // no records
    for (const TPeriod& period : periods) {
        SCOPED_TRACE(JournalDateText(period.from) + " .. " + JournalDateText(period.to));
        std::vector<TAuditRow> expected;
        for (std::size_t i = 0; i < rooms.size(); ++i) {
            const TPeriodReport local = ComputeReport(
                period, TJournalRecords(**journals[i]).ExamRows(period), catalogues[i]);
            // One room: its journal's audit against its own levels.
            const TPeriodReport one = RegistryReport(settings, period, rooms[i]);
            EXPECT_FALSE(one.rooms);
            EXPECT_EQ(Texts(one.audit), Texts(local.audit)) << rooms[i];
            for (const TKindFigures& kind : local.kinds) {
                const auto level = std::find_if(
                    catalogues[i].begin(), catalogues[i].end(),
                    [&](const TExamKind& k) { return k.id == kind.kindId; });
                expected.push_back({kind.name, rooms[i], kind.figures.count,
                                    kind.figures.medianQuarter, kind.figures.p75Quarter,
                                    LevelMilliOf(level->referenceLevel)});
            }
        }
        std::sort(expected.begin(), expected.end(), [](const TAuditRow& a, const TAuditRow& b) {
            return std::tie(a.name, a.room) < std::tie(b.name, b.room);
        });
        const TPeriodReport all = RegistryReport(settings, period, "");
        ASSERT_TRUE(all.rooms);
        EXPECT_TRUE(all.audit.empty()) << "the rooms' levels are their own";
        EXPECT_EQ(Texts(all.rooms->rows), Texts(expected));
        const std::vector<TLocalLevel> levels = LocalLevels(expected);
        ASSERT_EQ(all.rooms->levels.size(), levels.size());
        for (std::size_t k = 0; k < levels.size(); ++k) {
            EXPECT_EQ(all.rooms->levels[k].name, levels[k].name);
            EXPECT_EQ(all.rooms->levels[k].rooms, levels[k].rooms) << levels[k].name;
            EXPECT_EQ(all.rooms->levels[k].levelSixteenth, levels[k].levelSixteenth);
            // K from this room's catalogue when it has the kind.
            for (const TExamKind& own : catalogues[1]) {
                if (own.name == levels[k].name) {
                    EXPECT_EQ(all.rooms->levels[k].kAdult, own.kAdult);
                }
            }
        }
        if (period.to.month == 12) {
            EXPECT_GT(expected.size(), 6u);
            EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](const TAuditRow& r) {
                return r.count < kAuditMinRecords && r.count > 0;
            })) << "a room with too few records of a kind";
            EXPECT_TRUE(std::any_of(levels.begin(), levels.end(),
                                    [](const TLocalLevel& l) { return l.rooms >= 2; }));
        }
    }
}

}  // namespace
}  // namespace virel::registrytest
