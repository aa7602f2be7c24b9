// The journal window's quick periods, table-driven over the edges of months and years, and what
// it says about records that came outside the shown period, with the span the journal gives.
#include <gtest/gtest.h>

#include <cstdio>

#include "forms/JournalPeriods.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::TempDir;

std::string Text(const TPeriod& period) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d..%04d-%02d-%02d", period.from.year,
                  period.from.month, period.from.day, period.to.year, period.to.month,
                  period.to.day);
    return text;
}

struct TQuickCase {
    DateTime today;
    TQuickPeriod which;
    const char* expected;
};

TEST(QuickPeriod, MonthAndYearEdges) {
    const TQuickCase cases[] = {
        {{2025, 9, 14, 10, 30}, TQuickPeriod::ThisMonth, "2025-09-01..2025-09-30"},
        {{2025, 1, 1, 0, 0}, TQuickPeriod::ThisMonth, "2025-01-01..2025-01-31"},
        {{2024, 2, 29, 23, 59}, TQuickPeriod::ThisMonth, "2024-02-01..2024-02-29"},
        {{2025, 9, 14, 10, 30}, TQuickPeriod::LastMonth, "2025-08-01..2025-08-31"},
        // January's last month is December of the year before.
        {{2025, 1, 1, 0, 0}, TQuickPeriod::LastMonth, "2024-12-01..2024-12-31"},
        {{2025, 1, 31, 23, 59}, TQuickPeriod::LastMonth, "2024-12-01..2024-12-31"},
        // The month before a long one is shorter: its own last day, not the day's number.
        {{2024, 3, 31, 12, 0}, TQuickPeriod::LastMonth, "2024-02-01..2024-02-29"},
        {{2023, 3, 31, 12, 0}, TQuickPeriod::LastMonth, "2023-02-01..2023-02-28"},
        {{2025, 12, 31, 23, 59}, TQuickPeriod::LastMonth, "2025-11-01..2025-11-30"},
        {{2025, 5, 1, 0, 0}, TQuickPeriod::LastMonth, "2025-04-01..2025-04-30"},
        {{2025, 9, 14, 10, 30}, TQuickPeriod::ThisYear, "2025-01-01..2025-12-31"},
        {{2024, 12, 31, 23, 59}, TQuickPeriod::ThisYear, "2024-01-01..2024-12-31"},
        {{2025, 1, 1, 0, 0}, TQuickPeriod::ThisYear, "2025-01-01..2025-12-31"},
        // An empty journal: its whole is this month.
        {{2025, 9, 14, 10, 30}, TQuickPeriod::WholeJournal, "2025-09-01..2025-09-30"},
    };
    for (const TQuickCase& c : cases) {
        EXPECT_EQ(Text(QuickPeriodOf(c.which, c.today, {})), c.expected)
            << static_cast<int>(c.which) << " on " << c.today.year << "-" << c.today.month << "-"
            << c.today.day;
    }
}

TEST(QuickPeriod, TheWholeJournalRunsFromTheDayOfItsFirstRecordToThatOfItsLast) {
    TRecordSpan all;
    all.count = 3;
    all.first = {2007, 3, 5, 14, 35};
    all.last = {2025, 10, 1, 0, 0};
    EXPECT_EQ(Text(QuickPeriodOf(TQuickPeriod::WholeJournal, {2025, 9, 14, 10, 30}, all)),
              "2007-03-05..2025-10-01")
        << "a record dated after today is in it too";
    EXPECT_EQ(Text(WholeJournalPeriod(all, {2030, 1, 1})), "2007-03-05..2025-10-01");
}

TEST(OutsideRecords, OnlyRecordsOutsideTheShownPeriodAreNamedWithThePeriodThatHoldsThemAll) {
    struct TCase {
        std::int64_t count, inPeriod;
        std::optional<std::int64_t> outside;
    };
    const TCase cases[] = {{0, 0, std::nullopt}, {5, 5, std::nullopt}, {256, 0, 256},
                           {256, 6, 250},        {1, 0, 1},             {3, 4, std::nullopt}};
    for (const TCase& c : cases) {
        TRecordSpan added;
        added.count = c.count;
        added.inPeriod = c.inPeriod;
        added.first = {2007, 3, 5, 14, 35};
        added.last = {2007, 5, 31, 23, 59};
        const auto outside = OutsideRecords(added);
        ASSERT_EQ(outside.has_value(), c.outside.has_value()) << c.count << "/" << c.inPeriod;
        if (!outside) continue;
        EXPECT_EQ(outside->count, *c.outside);
        EXPECT_EQ(Text(outside->period), "2007-03-05..2007-05-31") << "whole days";
    }
}

TEST(OutsideRecords, TheLineSaysHowManyWhereAndHowToShowThem) {
    RegionalFormats formats;  // dd.MM.yyyy
    EXPECT_EQ(OutsideRecordsText({256, {{2007, 3, 5}, {2007, 5, 31}}}, formats),
              "Записи вне показанного периода: 256 (05.03.2007 - 31.05.2007). Показать их: "
              "щелчок по этой строке или Ctrl+G");
}

// A harvest of an old archive into a journal shown at this month, as the window sees it: the
// span after the last row it saw, then the period offered shows exactly those records.
TEST(OutsideRecords, AHarvestOfAnOldArchiveIsOfferedInAPeriodThatShowsItWhole) {
    TempDir dir;
    FixedClock clock;
    TJournal j(dir / "j.db", clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    TJournalRecords records(j);
    ASSERT_EQ(j.Capture({MeterRecord{}.Journal()}).added, 1u);  // 14.09.2025, shown
    const TPeriod shown = MonthOf(clock.now);
    const std::int64_t seen = records.SpanAfter(0, shown).lastId;
    std::vector<TJournalRecord> archive;
    for (int n = 0; n < 40; ++n) {
        MeterRecord old;
        old.number = 100 + n;
        old.time = {2007, 3 + n / 20, 1 + n % 20, 9, n};
        archive.push_back(old.Journal(TJournalSource::Harvest));
    }
    MeterRecord today;
    today.number = 2;
    today.time = {2025, 9, 14, 11, 0};
    archive.push_back(today.Journal(TJournalSource::Harvest));
    ASSERT_EQ(j.Capture(archive).added, 41u);

    const auto outside = OutsideRecords(records.SpanAfter(seen, shown));
    ASSERT_TRUE(outside);
    EXPECT_EQ(outside->count, 40) << "the one of this month is shown already";
    EXPECT_EQ(Text(outside->period), "2007-03-01..2025-09-14");
    EXPECT_EQ(records.Totals(outside->period).count, 42) << "every record that came, and more";
    EXPECT_FALSE(OutsideRecords(records.SpanAfter(records.SpanAfter(0, shown).lastId, shown)))
        << "seen once, not offered again";
}

}  // namespace
}  // namespace virel
