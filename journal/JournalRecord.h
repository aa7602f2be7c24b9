#pragma once
// One record as the dose journal keeps it: a row of the table `records` (docs/journal.md), made
// from a record the meter sent and accepted (its checksum matched).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The meter's clock against the PC's at an end of measurement, in whole minutes (meter minus
// PC, positive when the meter is ahead); none when the record's time stamp is invalid. The
// meter stamps the end of the measurement in whole minutes, so the PC's time is cut to its
// minute before the two are compared.
std::optional<int> ClockDifferenceMinutes(const MeasurementRecord& record, const DateTime& pcNow);

// A difference the journal keeps: the meter's clock is more than this many minutes off.
inline constexpr int kClockDriftNoted = 5;

}  // namespace virel
