// The journal window's portable side against a real journal file: the rows' cell texts, the
// period it opens with, the count and total line, the clock lines, the paging of the virtual
// list and where it stays when records come in, and the shown period as the file export's sheet.
#include <gtest/gtest.h>

#include "core/export/ArchiveCsv.h"
#include "forms/JournalView.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::TempDir;

class JournalViewTest : public ::testing::Test {
protected:
    TempDir dir;
    FixedClock clock;
    RegionalFormats formats;  // dd.MM.yyyy and H:mm:ss
};

TEST_F(JournalViewTest, RowsShowAsTheMainWindowWritesThemNewestFirst) {
    TJournal j(dir / "j.db", clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    MeterRecord older;  // 14.09.2025 10:25, 12.7, printed
    MeterRecord newer;
    newer.device = 7;
    newer.number = 300;
    newer.time = {2025, 9, 20, 0, 0, 0, 0};
    newer.doseWhole = 0;
    newer.doseFraction = 50;  // "0.50": the digits the meter sends
    newer.error = 3;
    MeterRecord noTime;
    noTime.number = 2;
    noTime.badTime = true;  // goes by when it was first seen: 14.09.2025 10:30
    ASSERT_EQ(j.Capture({older.Journal(), newer.Journal(TJournalSource::Harvest),
                         noTime.Journal(TJournalSource::Record)})
                  .added,
              3u);
    const auto rows = TJournalRecords(j).Rows(DefaultJournalPeriod({2025, 9, 14}), 0, 10);
    ASSERT_EQ(rows.size(), 3u);
    auto texts = [&](const TJournalRow& row) {
        std::vector<std::string> cells;
        for (std::size_t c = 0; c < kJournalColumns; ++c)
            cells.push_back(JournalCellText(row, static_cast<TJournalColumn>(c), formats));
        return cells;
    };
    EXPECT_EQ(texts(rows[0]),
              (std::vector<std::string>{"20.09.2025", "7", "300", "0.50", "3", "сбор"}));
    EXPECT_EQ(texts(rows[1]),
              (std::vector<std::string>{"—", "42", "2", "12.7", "", "запись"}));
    EXPECT_EQ(texts(rows[2]),
              (std::vector<std::string>{"14.09.2025 10:25:00", "42", "1", "12.7", "", "печать"}));
    EXPECT_EQ(SourceWords(TJournalSource::Export), "выгрузка");
    EXPECT_EQ(JournalColumnHeaders().size(), kJournalColumns);

    // A row imported by SQL, without the meter's bytes, shows from its fields.
    RawDb tool(dir / "j.db");
    ASSERT_EQ(tool.Exec("INSERT INTO records (raw, device, number, measured_at, dose, "
                        "device_error, first_seen, source) VALUES (NULL, 5, 11, "
                        "'2025-09-30 23:59', 3.25, NULL, '2025-10-01 08:00:00', 'export')"),
              SQLITE_OK);
    const auto top = TJournalRecords(j).Rows(DefaultJournalPeriod({2025, 9, 1}), 0, 1);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(texts(top[0]),
              (std::vector<std::string>{"30.09.2025 23:59:00", "5", "11", "3.25", "", "выгрузка"}));
}

TEST_F(JournalViewTest, PeriodsCountAndTotalLines) {
    // This month by default, whatever day it is; the pickers in either order.
    const TPeriod february = DefaultJournalPeriod({2024, 2, 29, 17, 5, 3, 0});
    EXPECT_EQ(JournalDateText(february.from), "2024-02-01");
    EXPECT_EQ(JournalDateText(february.to), "2024-02-29");
    const TPeriod between = PeriodBetween({2025, 9, 30, 13, 0, 0, 0}, {2025, 9, 2, 8, 0, 0, 0});
    EXPECT_EQ(JournalSecondText(between.from), "2025-09-02 00:00:00");
    EXPECT_EQ(JournalSecondText(between.to), "2025-09-30 00:00:00");

    EXPECT_EQ(TotalsText({12, 345.67}), "Записей за период: 12, сумма доз: 345.67 Гр·см²");
    EXPECT_EQ(TotalsText({0, 0}), "Записей за период: 0, сумма доз: 0 Гр·см²");
    // A sum of many doses keeps the meter's thousandths and loses the float's noise.
    double sum = 0;
    for (int i = 0; i < 10; ++i) sum += 0.1;
    EXPECT_EQ(DoseSumText(sum), "1");
    EXPECT_EQ(DoseSumText(1234567.125), "1234567.125");

    // Against the file: the window's line for a period is the journal's count and total.
    TJournal j(dir / "j.db", clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    std::vector<TJournalRecord> records;
    for (int n = 1; n <= 30; ++n) {
        MeterRecord r;
        r.number = n;
        r.time = {2025, 9, n, 9, 0, 0, 0};
        r.doseWhole = n;
        r.doseFraction = 5;
        records.push_back(r.Journal());
    }
    ASSERT_EQ(j.Capture(records).added, 30u);
    // Days 10 to 12: 10.5 + 11.5 + 12.5.
    EXPECT_EQ(TotalsText(TJournalRecords(j).Totals(PeriodBetween({2025, 9, 12}, {2025, 9, 10}))),
              "Записей за период: 3, сумма доз: 34.5 Гр·см²");
}

TEST_F(JournalViewTest, ClockLinesNameTheMeterOnlyWhenThereAreSeveral) {
    TJournal j(dir / "j.db", clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    EXPECT_TRUE(ClockDriftTexts(TClockNotes(j).Drifts()).empty());
    ASSERT_EQ(TClockNotes(j).Note(42, -12, clock.now), TNoteOutcome::Noted);
    EXPECT_EQ(ClockDriftTexts(TClockNotes(j).Drifts()),
              std::vector<std::string>{"Часы прибора расходятся с часами компьютера на 12 мин"});
    // The latest note counts.
    ASSERT_EQ(TClockNotes(j).Note(42, 47, clock.now), TNoteOutcome::Noted);
    ASSERT_EQ(TClockNotes(j).Note(7, 6, clock.now), TNoteOutcome::Noted);
    EXPECT_EQ(ClockDriftTexts(TClockNotes(j).Drifts()),
              (std::vector<std::string>{
                  "Прибор №7: Часы прибора расходятся с часами компьютера на 6 мин",
                  "Прибор №42: Часы прибора расходятся с часами компьютера на 47 мин"}));
    // A clock that is back within the minutes allowed says nothing any more.
    ASSERT_EQ(TClockNotes(j).Note(7, 1, clock.now), TNoteOutcome::Noted);
    EXPECT_EQ(ClockDriftTexts(TClockNotes(j).Drifts()),
              std::vector<std::string>{"Часы прибора расходятся с часами компьютера на 47 мин"});
}

TEST_F(JournalViewTest, TheListFetchesWholePagesAroundWhatIsOnScreen) {
    // Pages of 100 around the asked rows, never past the end.
    EXPECT_EQ(PageSpan(0, 39, 2189, 100).first, 0u);
    EXPECT_EQ(PageSpan(0, 39, 2189, 100).count, 100u);
    EXPECT_EQ(PageSpan(150, 230, 2189, 100).first, 100u);
    EXPECT_EQ(PageSpan(150, 230, 2189, 100).count, 200u);
    EXPECT_EQ(PageSpan(2180, 2200, 2189, 100).first, 2100u);
    EXPECT_EQ(PageSpan(2180, 2200, 2189, 100).count, 89u);
    EXPECT_EQ(PageSpan(5, 1, 10, 100).count, 10u) << "the range in either order";
    EXPECT_EQ(PageSpan(0, 5, 0, 100).count, 0u);
    EXPECT_EQ(PageSpan(10, 12, 10, 100).count, 0u);

    TRowCache cache(100);
    EXPECT_EQ(cache.Find(0), nullptr);
    auto missing = cache.Missing(120, 160, 1000);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->first, 100u);
    EXPECT_EQ(missing->count, 100u);
    std::vector<TJournalRow> rows(100);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].id = static_cast<std::int64_t>(100 + i);
    cache.Store(missing->first, rows);
    ASSERT_NE(cache.Find(160), nullptr);
    EXPECT_EQ(cache.Find(160)->id, 160);
    EXPECT_EQ(cache.Find(99), nullptr);
    EXPECT_EQ(cache.Find(200), nullptr);
    EXPECT_FALSE(cache.Missing(100, 199, 1000)) << "held: nothing to fetch";
    EXPECT_TRUE(cache.Missing(150, 210, 1000));
    EXPECT_FALSE(cache.Missing(1000, 1010, 1000)) << "nothing beyond the end";
    cache.Clear();
    EXPECT_EQ(cache.Find(160), nullptr);

    // Against the file: the pages fetched give the rows of one walk through the period.
    TJournal j(dir / "j.db", clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    std::vector<TJournalRecord> records;
    for (int n = 1; n <= 250; ++n) {
        MeterRecord r;
        r.number = n;
        r.time = {2025, 9, 1 + n / 10, n % 24, n % 60, 0, 0};
        records.push_back(r.Journal());
    }
    ASSERT_EQ(j.Capture(records).added, 250u);
    const TPeriod period = DefaultJournalPeriod({2025, 9, 1});
    const auto all = TJournalRecords(j).Rows(period, 0, 1000);
    ASSERT_EQ(all.size(), 250u);
    TRowCache paged(100);
    for (std::size_t at = 0; at < all.size(); at += 37) {
        const std::size_t to = std::min<std::size_t>(at + 36, 249);
        if (const auto span = paged.Missing(at, to, all.size())) {
            paged.Store(span->first, TJournalRecords(j).Rows(period, span->first, span->count));
        }
        for (std::size_t i = at; i <= to; ++i) {
            ASSERT_NE(paged.Find(i), nullptr) << i;
            EXPECT_EQ(paged.Find(i)->id, all[i].id) << i;
        }
    }
}

TEST_F(JournalViewTest, TheListStaysWhereItWasWhenRecordsComeIn) {
    EXPECT_EQ(TopAfterRefresh(0, 100, 103), 0u) << "at the top: the new rows show";
    EXPECT_EQ(TopAfterRefresh(40, 100, 103), 43u) << "scrolled: the same rows stay in view";
    EXPECT_EQ(TopAfterRefresh(40, 100, 100), 40u);
    EXPECT_EQ(TopAfterRefresh(90, 100, 50), 40u) << "fewer rows above: moved up by as many";
    EXPECT_EQ(TopAfterRefresh(10, 100, 5), 0u) << "never above the first row";
    EXPECT_EQ(TopAfterRefresh(120, 100, 100), 99u) << "never below the last";
    EXPECT_EQ(TopAfterRefresh(10, 100, 0), 0u);
}

TEST_F(JournalViewTest, TheShownPeriodIsWrittenInTheFileExportsLayout) {
    TJournal j(dir / "j.db", clock);
    ASSERT_EQ(j.Open().outcome, TOpenOutcome::Created);
    MeterRecord a;  // 14.09.2025 10:25, 12.7
    MeterRecord b;
    b.device = 7;
    b.number = 9;
    b.time = {2025, 9, 15, 8, 5, 0, 0};
    b.doseWhole = 3;
    b.doseFraction = 25;
    b.error = 4;
    ASSERT_EQ(j.Capture({a.Journal(), b.Journal(TJournalSource::Harvest)}).added, 2u);
    const TPeriod period = DefaultJournalPeriod({2025, 9, 14});
    const TArchiveSheet sheet =
        JournalSheet(TJournalRecords(j).Rows(period, 0, 100), period, formats);
    ASSERT_EQ(sheet.records.size(), 2u);
    EXPECT_EQ(sheet.records[0]->raw, b.Decoded().raw) << "the meter's own record, decoded again";
    EXPECT_EQ(JournalFileName(period), "Журнал доз 01.09.2025-30.09.2025");
    EXPECT_EQ(ArchiveCsv(sheet, formats),
              "\xEF\xBB\xBF;Журнал доз ВИРЕЛ1 с 01.09.2025 по 30.09.2025;;;;\r\n"
              "Дата, время;Номер измерения;Доза, Гр*см^2;Ошибка прибора;Прибор;Источник\r\n"
              "15.09.2025 8:05:00;9;3,25;4;7;сбор\r\n"
              "14.09.2025 10:25:00;1;12,7;;42;печать\r\n");

    TJournalRow imported;
    imported.record.device = 5;
    imported.record.measuredAt = "2025-09-30 23:59";
    // An imported row's dose as the meter would write it: the nearest fraction it can hold.
    for (const auto& [dose, text] : std::vector<std::pair<double, std::string>>{
             {3.25, "3.25"}, {0.125, "0.125"}, {7.0, "7.0"}, {2.9996, "3.0"}, {1.999, "2.0"},
             {0.005, "0.0"}, {0.06, "0.1"}, {0.3, "0.3"}}) {
        imported.record.dose = dose;
        EXPECT_EQ(RecordOfRow(imported).DoseText(), text) << dose;
    }
    // The list shows the number it holds.
    imported.record.dose = 0.005;
    EXPECT_EQ(JournalCellText(imported, TJournalColumn::Dose, formats), "0.005");
    // So does the export: no digit of an imported dose is rounded away.
    imported.record.number = 3;
    imported.record.source = TJournalSource::Export;
    std::vector<TJournalRow> rows{imported, imported};
    rows[1].record.dose = 1.2345;
    const std::string csv = ArchiveCsv(JournalSheet(rows, period, formats), formats);
    EXPECT_NE(csv.find("30.09.2025 23:59:00;3;0,005;;5;выгрузка\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("30.09.2025 23:59:00;3;1,2345;;5;выгрузка\r\n"), std::string::npos) << csv;
}

TEST(ColumnWidths, TheDraggedWidthsGoBothWaysAndJunkReadsAsNoneDragged) {
    EXPECT_EQ(ColumnWidthsText({0, 30, 0, 0, 190, 0, 0}), "0,30,0,0,190,0,0");
    EXPECT_EQ(ParseColumnWidths("0,30,0,0,190,0,0", 7), (std::vector<int>{0, 30, 0, 0, 190, 0, 0}));
    EXPECT_EQ(ParseColumnWidths(ColumnWidthsText({2000, 1}), 2), (std::vector<int>{2000, 1}));
    const std::vector<int> none(3, 0);
    for (const char* junk : {"", "1,2", "1,2,3,4", "1,,3", "1,2,", ",1,2", "a,2,3", "-1,2,3",
                             "1, 2,3", "2001,2,3", "99999,2,3", "1.5,2,3", "1,2,3\n"}) {
        EXPECT_EQ(ParseColumnWidths(junk, 3), none) << '"' << junk << '"';
    }
}

}  // namespace
}  // namespace virel
