#include "journal/JournalRecord.h"

#include <algorithm>
#include <cstdio>

#include "core/export/ArchiveSheet.h"
#include "journal/Journal.h"
#include "journal/JournalSql.h"

namespace virel {

namespace {

constexpr const char* kSourceTexts[] = {"print", "record", "export", "harvest"};

constexpr std::size_t kAnchorStep = 1000;

std::string Format(const char* pattern, const DateTime& v) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, v.year, v.month, v.day, v.hour, v.minute, v.second);
    return text;
}

// A row of VIREL_JOURNAL_COLUMNS; a row imported without its bytes keeps them all zeros.
TJournalRow RowOf(const TStatement& s) {
    TJournalRow row;
    row.id = s.Int64(0);
    (void)ReadRecordColumns(s, 1, row.record);
    return row;
}

}  // namespace

bool ReadRecordColumns(const TStatement& s, int at, TJournalRecord& r) {
    r.device = s.Int(at + 1);
    r.number = s.Int(at + 2);
    r.measuredAt = s.OptionalText(at + 3);
    r.dose = s.Double(at + 4);
    r.deviceError = s.OptionalInt(at + 5);
    r.firstSeen = s.Text(at + 6);
    r.source = SourceOfText(s.Text(at + 7)).value_or(TJournalSource::Print);
    return ReadRawColumn(s, at, r.raw);
}

bool ReadRawColumn(const TStatement& s, int column,
                   std::array<std::uint8_t, kRecordSize - 1>& raw) {
    if (s.Type(column) != TColumnType::Blob) return false;
    const auto bytes = s.Blob(column);
    if (bytes.size() != raw.size()) return false;
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    return true;
}

const char* SourceText(TJournalSource source) {
    return kSourceTexts[static_cast<int>(source)];
}

std::optional<TJournalSource> SourceOfText(std::string_view text) {
    for (int i = 0; i < 4; ++i) {
        if (text == kSourceTexts[i]) return static_cast<TJournalSource>(i);
    }
    return std::nullopt;
}

std::string JournalDateText(const DateTime& value) {
    return Format("%04d-%02d-%02d", value);
}

std::string JournalMinuteText(const DateTime& value) {
    return Format("%04d-%02d-%02d %02d:%02d", value);
}

std::string JournalSecondText(const DateTime& value) {
    return Format("%04d-%02d-%02d %02d:%02d:%02d", value);
}

TJournalRecord JournalRecordOf(const MeasurementRecord& record, TJournalSource source,
                               const DateTime& pcNow) {
    TJournalRecord r;
    r.raw = record.raw;
    r.device = record.deviceNumber;
    r.number = record.measureNumber;
    if (record.TimeIsValid()) r.measuredAt = JournalMinuteText(record.time);
    r.dose = DoseValue(record);
    if (record.deviceError != 0) r.deviceError = record.deviceError;
    r.firstSeen = JournalSecondText(pcNow);
    r.source = source;
    return r;
}

std::string DayAfter(const DateTime& day) {
    DateTime start{day.year, day.month, day.day, 0, 0, 0, 0};
    return JournalDateText(FromMilliseconds(ToMilliseconds(start) + 24 * 3600 * 1000LL));
}

TPeriod MonthOf(const DateTime& day) {
    return {DateTime{day.year, day.month, 1},
            DateTime{day.year, day.month, DaysInMonth(day.year, day.month)}};
}

std::string PeriodFileDates(const TPeriod& period) {
    char dates[32];
    std::snprintf(dates, sizeof dates, "%02d.%02d.%04d-%02d.%02d.%04d", period.from.day % 100,
                  period.from.month % 100, period.from.year % 10000, period.to.day % 100,
                  period.to.month % 100, period.to.year % 10000);
    return dates;
}

TPeriodTotals TJournalRecords::Totals(const TPeriod& period) {
    TStatement s = journal_.Database().Statement(
        "SELECT count(*), total(dose) FROM records" VIREL_JOURNAL_PERIOD);
    s.Bind(1, JournalDateText(period.from)).Bind(2, DayAfter(period.to));
    s.First();
    return {s.Int64(0), s.Double(1)};
}

// Finds the next anchor: kAnchorStep rows on from the last one (or from the first row), reading
// the index alone. False when the period has no row there.
bool TJournalRecords::ExtendAnchors(const std::string& from, const std::string& until) {
    std::vector<TAnchor>& anchors = paging_.anchors;
    TDatabase& db = journal_.Database();
    TStatement s =
        anchors.empty()
            ? db.Statement("SELECT " VIREL_JOURNAL_KEY
                           ", device, id FROM records" VIREL_JOURNAL_PERIOD VIREL_JOURNAL_ORDER
                           " LIMIT 1 OFFSET ?6")
            : db.Statement("SELECT " VIREL_JOURNAL_KEY
                           ", device, id FROM records" VIREL_JOURNAL_FROM_ANCHOR VIREL_JOURNAL_ORDER
                           " LIMIT 1 OFFSET ?6");
    s.Bind(1, from);
    if (anchors.empty()) s.Bind(2, until);
    if (!anchors.empty()) {
        s.Bind(3, anchors.back().key).Bind(4, anchors.back().device).Bind(5, anchors.back().id);
    }
    s.Bind(6, static_cast<std::int64_t>(kAnchorStep));
    if (!s.Next()) return false;
    anchors.push_back({s.Int64(0), s.Int64(1), s.Int64(2)});
    return true;
}

std::vector<TJournalRow> TJournalRecords::Rows(const TPeriod& period, std::size_t offset,
                                               std::size_t count) {
    TDatabase& db = journal_.Database();
    const std::string from = JournalDateText(period.from);
    const std::string until = DayAfter(period.to);
    const std::int64_t version = journal_.DataVersion();
    if (paging_.from != from || paging_.until != until || paging_.opening != journal_.Openings() ||
        paging_.version != version) {
        paging_ = {from, until, journal_.Openings(), version, {}};
    }
    // Positions below kAnchorStep start at the top; deeper ones at the anchor just above them,
    // found once by walking the index and kept until the period or the file changes.
    const std::size_t step = offset / kAnchorStep;
    while (paging_.anchors.size() < step) {
        if (!ExtendAnchors(from, until)) return {};
    }
    std::vector<TJournalRow> rows;
    if (count == 0) return rows;
    TStatement s = step == 0
                       ? db.Statement("SELECT " VIREL_JOURNAL_COLUMNS
                                      " FROM records" VIREL_JOURNAL_PERIOD VIREL_JOURNAL_ORDER
                                      " LIMIT ?7 OFFSET ?6")
                       : db.Statement("SELECT " VIREL_JOURNAL_COLUMNS
                                      " FROM records" VIREL_JOURNAL_FROM_ANCHOR VIREL_JOURNAL_ORDER
                                      " LIMIT ?7 OFFSET ?6");
    s.Bind(1, from);
    if (step == 0) s.Bind(2, until);
    if (step > 0) {
        const TAnchor& anchor = paging_.anchors[step - 1];
        s.Bind(3, anchor.key).Bind(4, anchor.device).Bind(5, anchor.id);
    }
    s.Bind(6, static_cast<std::int64_t>(offset - step * kAnchorStep));
    s.Bind(7, static_cast<std::int64_t>(count));
    while (s.Next()) rows.push_back(RowOf(s));
    return rows;
}

bool TJournalRecords::HoldsMeter(int device) {
    TDatabase& db = journal_.Database();
    // The raw bytes start with the meter's number (big-endian), so its rows are one range of
    // the unique index; rows imported without bytes are the NULLs at that index's start.
    const bool meterNumber = device >= 0 && device <= 0xFFFF;
    // Not a meter's number: only an imported row can have it.
    TStatement s = meterNumber
                       ? db.Statement(
                             "SELECT EXISTS (SELECT 1 FROM records WHERE raw >= ?1 AND "
                             "raw < ?2) OR EXISTS (SELECT 1 FROM records WHERE raw IS "
                             "NULL AND device = ?3)")
                       : db.Statement("SELECT EXISTS (SELECT 1 FROM records WHERE device = ?3)");
    const std::uint8_t low[] = {static_cast<std::uint8_t>(device >> 8),
                                static_cast<std::uint8_t>(device)};
    const int next = device + 1;
    // Above the last meter number the upper bound is a longer blob, still above every raw of
    // that meter: blobs compare byte by byte, then the shorter first.
    const std::uint8_t high[] = {static_cast<std::uint8_t>(next >> 16),
                                 static_cast<std::uint8_t>(next >> 8),
                                 static_cast<std::uint8_t>(next)};
    s.Bind(1, std::span<const std::uint8_t>(low, 2));
    s.Bind(2, next > 0xFFFF ? std::span<const std::uint8_t>(high, 3)
                            : std::span<const std::uint8_t>(high + 1, 2));
    s.Bind(3, device);
    s.First();
    return s.Int(0) != 0;
}

std::optional<TJournalRow> TJournalRecords::NewestOfMeter(int device) {
    // A meter the journal does not hold would cost a walk through every row below.
    if (!HoldsMeter(device)) return std::nullopt;
    // "+device": the meter is a filter on the index's entries, not an equality the order could
    // lean on; so SQLite walks the period index from its newest end and stops at the first.
    TStatement s = journal_.Database().Statement(
        "SELECT " VIREL_JOURNAL_COLUMNS " FROM records WHERE +device = ?1" VIREL_JOURNAL_ORDER
        " LIMIT 1");
    s.Bind(1, device);
    if (!s.Next()) return std::nullopt;
    return RowOf(s);
}

std::optional<std::string> TJournalRecords::NewestMeasuredOfMeter(int device) {
    if (!HoldsMeter(device)) return std::nullopt;
    // The same walk as NewestOfMeter's, past the rows without a time of their own.
    TStatement s = journal_.Database().Statement(
        "SELECT measured_at FROM records WHERE +device = ?1 AND measured_at IS NOT "
        "NULL" VIREL_JOURNAL_ORDER " LIMIT 1");
    s.Bind(1, device);
    if (!s.Next()) return std::nullopt;
    return s.Text(0);
}

std::vector<TExamRow> TJournalRecords::ExamRows(const TPeriod& period) {
    // The current annotation is the latest row of the record's history: one step into the
    // index on (record_id, id) for each record.
    TStatement s = journal_.Database().Statement(
        "SELECT " VIREL_JOURNAL_KEY
        ", dose, a.kind_id, a.birth_year FROM records AS r "
        "LEFT JOIN annotations AS a ON a.id = "
        "(SELECT max(id) FROM annotations WHERE record_id = r.id)" VIREL_JOURNAL_PERIOD);
    s.Bind(1, JournalDateText(period.from)).Bind(2, DayAfter(period.to));
    std::vector<TExamRow> rows;
    while (s.Next())
        rows.push_back({s.Int64(0), s.Double(1), s.OptionalInt64(2), s.OptionalInt(3)});
    return rows;
}

TRecordSpan TJournalRecords::SpanAfter(std::int64_t afterId, const TPeriod& period) {
    TStatement s = journal_.Database().Statement(
        "SELECT count(*), total(k >= " VIREL_JOURNAL_MINUTE("?2") " AND k < " VIREL_JOURNAL_MINUTE(
            "?3") "), min(k), max(k), max(id) FROM (SELECT " VIREL_JOURNAL_KEY
                  " AS k, id FROM records WHERE id > ?1)");
    s.Bind(1, afterId).Bind(2, JournalDateText(period.from)).Bind(3, DayAfter(period.to));
    s.First();
    TRecordSpan span;
    span.count = s.Int64(0);
    if (span.count == 0) return span;
    span.inPeriod = static_cast<std::int64_t>(s.Double(1));
    // Minutes since 1970 of the local time, as the order's key counts them.
    span.first = FromMilliseconds(s.Int64(2) * 60'000);
    span.last = FromMilliseconds(s.Int64(3) * 60'000);
    span.lastId = s.Int64(4);
    return span;
}

}  // namespace virel
