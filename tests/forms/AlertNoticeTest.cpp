// The notice "Высокая доза" without its window: its lines in every unit and for every level,
// the count and the lines it holds, when it shows, changes and goes, and "Принято" kept in a
// real journal file.
#include <gtest/gtest.h>

#include "forms/AlertNotice.h"
#include "forms/JournalView.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::FixedClock;
using journaltest::MeterRecord;
using journaltest::RawDb;
using journaltest::TempDir;

// 05.03.2007 14:35 in minutes since 1970.
const std::int64_t kMinute = ToMilliseconds({2007, 3, 5, 14, 35, 0, 0}) / 60'000;

TAlertRow Alert(std::int64_t id, int number, double dose, TAlertLevel level = TAlertLevel::Record,
                double levelValue = 200) {
    TAlertRow row;
    row.alertId = id;
    row.recordId = 100 + id;
    row.minute = kMinute + id;
    row.device = 42;
    row.number = number;
    row.dose = dose;
    row.level = level;
    row.levelValue = levelValue;
    return row;
}

TEST(AlertNotice, ALineNamesTheRecordItsDoseAndTheLevelInTheUnit) {
    const RegionalFormats formats;  // dd.MM.yyyy H:mm:ss
    TAlertRow kind = Alert(0, 7, 258.45, TAlertLevel::Kind, 150);
    kind.kindName = "Таз";
    TAlertRow unnamed = kind;
    unnamed.kindName.reset();
    const TAlertRow checkup = Alert(0, 7, 258.45, TAlertLevel::Checkup, 1.5);
    const struct {
        TAlertRow alert;
        TDoseUnit unit;
        const char* line;
    } cases[] = {
        {Alert(0, 7, 258.45), TDoseUnit::Gy,
         "Прибор №42, запись №7, 05.03.2007 14:35:00 — 258.45 Гр·см² (порог для всех записей: "
         "200 Гр·см²)"},
        {Alert(0, 7, 258.45), TDoseUnit::mGy,
         "Прибор №42, запись №7, 05.03.2007 14:35:00 — 258450 мГр·см² (порог для всех записей: "
         "200000 мГр·см²)"},
        {kind, TDoseUnit::cGy,
         "Прибор №42, запись №7, 05.03.2007 14:35:00 — 25845 сГр·см² (порог вида «Таз»: "
         "15000 сГр·см²)"},
        {unnamed, TDoseUnit::Gy,
         "Прибор №42, запись №7, 05.03.2007 14:35:00 — 258.45 Гр·см² (порог вида: 150 Гр·см²)"},
        {checkup, TDoseUnit::Gy,
         "Прибор №42, запись №7, 05.03.2007 14:35:00 — 258.45 Гр·см² (годовой предел "
         "профилактических исследований: 1.5 мЗв)"},
    };
    for (const auto& c : cases) EXPECT_EQ(AlertLineText(c.alert, c.unit, formats), c.line);
}

TEST(AlertNotice, OneWindowCountsThemAllAndShowsTheNewestFirst) {
    const RegionalFormats formats;
    EXPECT_EQ(AlertNoticeOf({}, TDoseUnit::Gy, formats).count, 0u);
    EXPECT_TRUE(AlertNoticeOf({}, TDoseUnit::Gy, formats).lines.empty());

    std::vector<TAlertRow> open;  // oldest first, as the journal lists them
    for (int n = 1; n <= 6; ++n) open.push_back(Alert(n, n, 200 + n));
    const TAlertNotice six = AlertNoticeOf(open, TDoseUnit::Gy, formats);
    EXPECT_EQ(six.count, 6u);
    EXPECT_EQ(six.countText, "Оповещений: 6");
    ASSERT_EQ(six.lines.size(), kAlertNoticeLines + 1);
    EXPECT_EQ(six.lines[0], AlertLineText(open[5], TDoseUnit::Gy, formats));
    EXPECT_EQ(six.lines[3], AlertLineText(open[2], TDoseUnit::Gy, formats));
    EXPECT_EQ(six.lines[4], "и ещё 2");
    // "Принято" takes only the lines on screen: the two oldest stay for the next look.
    EXPECT_EQ(six.shownIds, (std::vector<std::int64_t>{6, 5, 4, 3}));
    EXPECT_EQ(six.recordId, 106);
    EXPECT_EQ(six.record.record.number, 6);
    EXPECT_EQ(six.record.record.measuredAt, "2007-03-05 14:41");
    EXPECT_DOUBLE_EQ(six.record.record.dose, 206);

    const TAlertNotice one = AlertNoticeOf({open[0]}, TDoseUnit::Gy, formats);
    EXPECT_EQ(one.countText, "Оповещений: 1");
    EXPECT_EQ(one.lines.size(), 1u);
    EXPECT_EQ(one.shownIds, std::vector<std::int64_t>{1});
}

TEST(AlertNotice, ShowsWhenAlertsWaitChangesWithThemAndGoesWhenNoneIsLeft) {
    const RegionalFormats formats;
    const TAlertNotice none;
    const TAlertNotice one = AlertNoticeOf({Alert(1, 1, 300)}, TDoseUnit::Gy, formats);
    const TAlertNotice two =
        AlertNoticeOf({Alert(1, 1, 300), Alert(2, 2, 400)}, TDoseUnit::Gy, formats);
    const TAlertNotice oneInMGy = AlertNoticeOf({Alert(1, 1, 300)}, TDoseUnit::mGy, formats);
    const struct {
        bool visible;
        const TAlertNotice& shown;
        const TAlertNotice& now;
        TNoticeStep step;
    } cases[] = {
        {false, none, none, TNoticeStep::None}, {true, one, none, TNoticeStep::Hide},
        {false, none, one, TNoticeStep::Show},  {false, one, one, TNoticeStep::Show},
        {true, one, one, TNoticeStep::None},    {true, one, two, TNoticeStep::Update},
        {true, two, one, TNoticeStep::Update},  {true, one, oneInMGy, TNoticeStep::Update},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NextNoticeStep(c.visible, c.shown, c.now), c.step)
            << c.visible << " " << c.shown.count << " " << c.now.count;
}

TEST(AlertNotice, TheJournalWindowMarksAlertRowsAndShowsThemAlone) {
    TAlertRow kind = Alert(2, 2, 300, TAlertLevel::Kind, 150);
    kind.kindName = "Таз";
    kind.recordId = Alert(1, 1, 300).recordId;  // the record's second alert
    const TAlertMarks marks =
        AlertMarksOf({Alert(1, 1, 300), kind, Alert(3, 3, 250)}, TDoseUnit::Gy);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks.at(101), "порог для всех записей: 200 Гр·см²; порог вида «Таз»: 150 Гр·см²");
    EXPECT_EQ(marks.at(103), "порог для всех записей: 200 Гр·см²");
    EXPECT_EQ(AlertMarksOf({Alert(1, 1, 300)}, TDoseUnit::mGy).at(101),
              "порог для всех записей: 200000 мГр·см²");

    std::vector<TJournalRow> rows(5);  // newest first, as the list shows them
    for (std::size_t n = 0; n < rows.size(); ++n) rows[n].id = 105 - static_cast<int>(n);
    const std::vector<TJournalRow> only = AlertRowsOnly(rows, marks);
    ASSERT_EQ(only.size(), 2u);
    EXPECT_EQ(only[0].id, 103);
    EXPECT_EQ(only[1].id, 101);
    EXPECT_TRUE(AlertRowsOnly(rows, {}).empty());
}

class AlertAcknowledge : public ::testing::Test {
protected:
    AlertAcknowledge() {
        EXPECT_NE(journal.Open().outcome, TOpenOutcome::Unavailable);
        std::vector<TJournalRecord> records;
        for (int n = 1; n <= 6; ++n)
            records.push_back(MeterRecord{.number = n, .doseWhole = 300 + n}.Journal());
        EXPECT_EQ(journal.Capture(records, 200).alerts, 6u);
    }

    TempDir dir;
    FixedClock clock;
    TJournal journal{dir / "VIREL1_Service.db", clock};
    TAlerts alerts{journal};
};

TEST_F(AlertAcknowledge, PrinyatoKeepsTheShownOnesWithUserAndNoteAndLeavesTheRest) {
    const TAlertNotice notice = AlertNoticeOf(alerts.Unacknowledged(), TDoseUnit::Gy, {});
    ASSERT_EQ(notice.shownIds.size(), kAlertNoticeLines);
    EXPECT_EQ(AcknowledgeShown(alerts, notice.shownIds, "ivanova", "повтор снимка"), "");

    const TAlertNotice left = AlertNoticeOf(alerts.Unacknowledged(), TDoseUnit::Gy, {});
    EXPECT_EQ(left.countText, "Оповещений: 2");
    ASSERT_EQ(left.lines.size(), 2u);
    EXPECT_EQ(left.record.record.number, 2);  // the newest of those left
    RawDb db(dir / "VIREL1_Service.db", SQLITE_OPEN_READONLY);
    EXPECT_EQ(db.All("SELECT r.number, a.acknowledged_by, a.acknowledged_at, a.note FROM alerts a"
                     " JOIN records r ON r.id = a.record_id"
                     " WHERE a.acknowledged_at IS NOT NULL ORDER BY r.number"),
              (std::vector<std::vector<std::string>>{
                  {"3", "ivanova", "2025-09-14 10:30:15", "повтор снимка"},
                  {"4", "ivanova", "2025-09-14 10:30:15", "повтор снимка"},
                  {"5", "ivanova", "2025-09-14 10:30:15", "повтор снимка"},
                  {"6", "ivanova", "2025-09-14 10:30:15", "повтор снимка"}}));

    // Another window took them meanwhile: a second "Принято" changes nothing and says nothing.
    EXPECT_EQ(AcknowledgeShown(alerts, notice.shownIds, "petrov", ""), "");
    EXPECT_EQ(db.One("SELECT count(*) FROM alerts WHERE acknowledged_by = 'petrov'"), "0");
}

TEST_F(AlertAcknowledge, AJournalThatCannotBeWrittenSaysWhyAndKeepsTheAlertsOpen) {
    const std::vector<std::int64_t> ids = {alerts.Unacknowledged().back().alertId};
    {
        RawDb db(dir / "VIREL1_Service.db");
        ASSERT_EQ(db.Exec("UPDATE meta SET value = 99 WHERE key = 'schema_version'"), SQLITE_OK);
    }
    TJournal newer(dir / "VIREL1_Service.db", clock);
    ASSERT_EQ(newer.Open().outcome, TOpenOutcome::Newer);
    TAlerts readOnly(newer);
    const std::string why = AcknowledgeShown(readOnly, ids, "ivanova", "");
    EXPECT_EQ(why.rfind("Не сохранено: ", 0), 0u) << why;
    EXPECT_GT(why.size(), std::string("Не сохранено: ").size());
    EXPECT_EQ(readOnly.Unacknowledged().size(), 6u);
}

}  // namespace
}  // namespace virel
