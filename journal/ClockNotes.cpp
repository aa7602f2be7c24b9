#include "journal/ClockNotes.h"

#include <cstdlib>

#include "journal/Journal.h"

namespace virel {

std::optional<int> ClockDifferenceMinutes(const MeasurementRecord& record, const DateTime& pcNow) {
    if (!record.TimeIsValid() || !IsValidDateTime(pcNow)) return std::nullopt;
    DateTime pcMinute = pcNow;
    pcMinute.second = 0;
    pcMinute.millisecond = 0;
    const std::int64_t difference = ToMilliseconds(record.time) - ToMilliseconds(pcMinute);
    return static_cast<int>(difference / 60'000);
}

TNoteOutcome TClockNotes::Note(int device, int minutes, const DateTime& pcNow) {
    if (!journal_.Writable()) return TNoteOutcome::NotWritten;
    try {
        TDatabase& db = journal_.WritableDatabase();
        std::optional<int> latest;
        {
            TStatement s = db.Statement(
                "SELECT minutes FROM clock_drift WHERE device = ?1 ORDER BY id DESC LIMIT 1");
            s.Bind(1, device);
            const int rc = s.Step();
            if (rc == sqlite::kRow)
                latest = s.Int(0);
            else if (rc != sqlite::kDone)
                return TNoteOutcome::NotWritten;
        }
        const bool off = std::abs(minutes) > kClockDriftNoted;
        const bool wasOff = latest && std::abs(*latest) > kClockDriftNoted;
        if (off ? latest == minutes : !wasOff) return TNoteOutcome::Unchanged;
        TStatement s =
            db.Statement("INSERT INTO clock_drift (device, noted_at, minutes) VALUES (?1, ?2, ?3)");
        s.Bind(1, device).Bind(2, JournalSecondText(pcNow)).Bind(3, minutes);
        if (s.Step() != sqlite::kDone) return TNoteOutcome::NotWritten;
        journal_.Wrote();
        return TNoteOutcome::Noted;
    } catch (const EJournal&) {
        return TNoteOutcome::NotWritten;
    }
}

std::vector<TClockDrift> TClockNotes::Drifts() {
    TStatement s = journal_.Database().Statement(
        "SELECT device, noted_at, minutes FROM clock_drift AS c "
        "WHERE id = (SELECT max(id) FROM clock_drift WHERE device = c.device) "
        "AND abs(minutes) > ?1 ORDER BY device");
    s.Bind(1, kClockDriftNoted);
    std::vector<TClockDrift> drifts;
    while (s.Next()) drifts.push_back({s.Int(0), s.Text(1), s.Int(2)});
    return drifts;
}

}  // namespace virel
