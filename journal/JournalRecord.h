#pragma once
// One record as the dose journal keeps it: a row of the table `records` (docs/journal.md), made
// from a record the meter sent and accepted (its checksum matched).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DateTimeFormat.h"
#include "core/meter/MeasurementRecord.h"
#include "core/meter/RecordJournal.h"

namespace virel {

// Which reading put the record into the journal first (core's TRecordSource), stored as the
// text "print", "record", "export" or "harvest".
using TJournalSource = TRecordSource;
const char* SourceText(TJournalSource source);
std::optional<TJournalSource> SourceOfText(std::string_view text);

struct TJournalRecord {
    // The 14 data bytes: the record's identity. The same measurement read by FPR and later by RD
    // is one row; two records that differ in any byte (the dose alone) are two.
    std::array<std::uint8_t, kRecordSize - 1> raw{};
    int device = 0;
    int number = 0;
    std::optional<std::string> measuredAt;  // "YYYY-MM-DD HH:MM", the meter's clock; none when
                                            // the time stamp is invalid
    double dose = 0;                        // Gy·cm², the number the exports write (DoseValue)
    std::optional<int> deviceError;         // the meter's error number; none for 0
    std::string firstSeen;                  // "YYYY-MM-DD HH:MM:SS", the PC's clock
    TJournalSource source = TJournalSource::Print;
};

TJournalRecord JournalRecordOf(const MeasurementRecord& record, TJournalSource source,
                               const DateTime& pcNow);

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM" and "YYYY-MM-DD HH:MM:SS": the journal's texts of time.
std::string JournalDateText(const DateTime& value);
std::string JournalMinuteText(const DateTime& value);
std::string JournalSecondText(const DateTime& value);

// Dates from and to, both included; the time of day is ignored.
struct TPeriod {
    DateTime from;
    DateTime to;
};
TPeriod MonthOf(const DateTime& day);  // the calendar month of the day
// "DD.MM.YYYY-DD.MM.YYYY": the period in the names offered for its files.
std::string PeriodFileDates(const TPeriod& period);

struct TPeriodTotals {
    std::int64_t count = 0;
    double dose = 0;  // Gy·cm², the sum of the rows' doses
};

// The rows the journal took after a row id (every row after 0): how many, how many of them
// lie in a period, the first and last minute of their order (the meter's time, a row without
// one by the time it was first seen) and the newest id; none of either when count is 0.
struct TRecordSpan {
    std::int64_t count = 0;
    std::int64_t inPeriod = 0;
    DateTime first;
    DateTime last;
    std::int64_t lastId = 0;
};

struct TJournalRow {
    std::int64_t id = 0;
    TJournalRecord record;  // raw is all zeros for a row imported without its bytes
};

// One record as a period report needs it: when (the minute the period filter uses), the dose,
// and from its current annotation the kind and the year of birth. Nothing of the patient.
struct TExamRow {
    std::int64_t minute = 0;  // minutes since 1970, the meter's clock (or first seen)
    double dose = 0;          // Gy·cm²
    std::optional<std::int64_t> kindId;
    std::optional<int> birthYear;
};

class TJournal;

// The journal's records as the window, the reports and the harvest read them, on the
// journal's connection. Queries throw EJournal.
class TJournalRecords {
public:
    explicit TJournalRecords(TJournal& journal) : journal_(journal) {}

    // The period's count and total dose.
    TPeriodTotals Totals(const TPeriod& period);
    // The period's rows newest first (by the meter's time, a row without one by the time it
    // was first seen), from position `offset`: as fast deep in a long list as at its top,
    // after one walk to the deepest position asked for so far.
    std::vector<TJournalRow> Rows(const TPeriod& period, std::size_t offset, std::size_t count);
    // The meter's newest row by the same order; none when the journal holds none of it.
    std::optional<TJournalRow> NewestOfMeter(int device);
    // The meter's newest time of its own ("YYYY-MM-DD HH:MM", the meter's clock); rows whose
    // time stamp was invalid are left out. None when the journal holds no such row of it.
    std::optional<std::string> NewestMeasuredOfMeter(int device);
    bool HoldsMeter(int device);
    // The period's records with their current annotation's kind and year of birth.
    std::vector<TExamRow> ExamRows(const TPeriod& period);
    // The rows after `afterId` (a range of the primary key), `period` for their inPeriod.
    TRecordSpan SpanAfter(std::int64_t afterId, const TPeriod& period);

private:
    // A position in the rows' order: the row at position (i + 1) * kAnchorStep is anchors[i].
    struct TAnchor {
        std::int64_t key = 0;  // minutes since 1970
        std::int64_t device = 0;
        std::int64_t id = 0;
    };
    // Kept while the period, the file's opening and its contents stay.
    struct TPaging {
        std::string from;
        std::string until;
        std::size_t opening = 0;
        std::int64_t version = -1;
        std::vector<TAnchor> anchors;
    };

    bool ExtendAnchors(const std::string& from, const std::string& until);

    TJournal& journal_;
    TPaging paging_;
};

}  // namespace virel
