#pragma once
// The meters' clocks as noted at an end of measurement: a meter whose clock is off puts wrong
// times on its records, and the journal window tells the operator so.
#include <optional>
#include <string>
#include <vector>

#include "core/DateTimeFormat.h"
#include "core/meter/MeasurementRecord.h"

namespace virel {

// The meter's clock against the PC's at an end of measurement, in whole minutes (meter minus
// PC, positive when the meter is ahead); none when the record's time stamp is invalid. The
// meter stamps the end of the measurement in whole minutes, so the PC's time is cut to its
// minute before the two are compared.
std::optional<int> ClockDifferenceMinutes(const MeasurementRecord& record, const DateTime& pcNow);

// A difference the journal keeps: the meter's clock is more than this many minutes off.
inline constexpr int kClockDriftNoted = 5;

// A meter's clock as last noted at an end of measurement.
struct TClockDrift {
    int device = 0;
    std::string notedAt;  // "YYYY-MM-DD HH:MM:SS", the PC's clock
    int minutes = 0;      // meter minus PC
};

enum class TNoteOutcome {
    Noted,       // a new difference, or the clock back within kClockDriftNoted
    Unchanged,   // as last noted, or within kClockDriftNoted as before: nothing written
    NotWritten,  // the journal cannot be written now (the note is not held)
};

class TJournal;

// The notes on the journal's connection (the table clock_drift).
class TClockNotes {
public:
    explicit TClockNotes(TJournal& journal) : journal_(journal) {}

    // An end of measurement's clock difference (ClockDifferenceMinutes). Written when the
    // meter is more than kClockDriftNoted minutes off and that is news, or when it is back.
    [[nodiscard]] TNoteOutcome Note(int device, int minutes, const DateTime& pcNow);
    // Each meter whose latest note says its clock is more than kClockDriftNoted minutes off.
    // Throws EJournal.
    std::vector<TClockDrift> Drifts();

private:
    TJournal& journal_;
};

}  // namespace virel
