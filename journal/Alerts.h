#pragma once
// High-dose alerts: a record whose DAP is above a level raises one, kept in the journal like the
// records (who acknowledged it, when, with what note) and pushed to the central registry.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "journal/JournalRecord.h"

namespace virel {

// Which level a record went over.
enum class TAlertLevel {
    Record,   // the journal's level for every record, whatever its kind
    Kind,     // the alert level of the record's kind of examination
    Checkup,  // a patient's yearly check-up dose (mSv), brought to the limit by this record
};
const char* AlertLevelText(TAlertLevel level);  // "record", "kind", "checkup"
// The level a stored text names; none for anything else.
std::optional<TAlertLevel> AlertLevelOfText(const std::string& text);

// One alert as the journal keeps it.
struct TAlert {
    std::int64_t id = 0;
    std::int64_t recordId = 0;
    TAlertLevel level = TAlertLevel::Record;
    // The level as it was when the alert was raised, and the value that went over it: DAP in
    // Gy·cm² (Record, Kind), effective dose in mSv (Checkup).
    double levelValue = 0;
    double value = 0;
    std::optional<std::int64_t> kindId;  // Kind, Checkup: the kind of examination then
    std::string raisedAt;                // "YYYY-MM-DD HH:MM:SS", the PC's clock
    std::optional<std::string> acknowledgedAt;
    std::optional<std::string> acknowledgedBy;  // the Windows user
    std::string note;
};

// An alert as a report lists it: its record and where it was raised.
struct TAlertRow {
    std::string room;           // the central registry's room; empty for this room's journal
    std::int64_t alertId = 0;   // this journal's alert (Acknowledge); 0 from the registry
    std::int64_t recordId = 0;  // this journal's record (its dialog); 0 from the registry
    std::int64_t minute = 0;  // the record's place in time (minutes since 1970), as periods file it
    int device = 0;
    int number = 0;
    double dose = 0;  // Gy·cm²
    TAlertLevel level = TAlertLevel::Record;
    double levelValue = 0;
    std::optional<std::string> kindName;
    bool acknowledged = false;
    std::optional<std::string> acknowledgedBy;
    std::string note;
    std::string raisedAt;  // "YYYY-MM-DD HH:MM:SS", the PC's clock
    std::optional<std::string> acknowledgedAt;
};

enum class TAcknowledgeFault {
    None,
    NoAlert,       // no alert with that id
    Acknowledged,  // acknowledged before: who did and the note stay
    NotWritten,    // the journal cannot be written now (error says why)
};

struct TAcknowledgeResult {
    TAcknowledgeFault fault = TAcknowledgeFault::None;
    std::string error;
};

class TJournal;
class TDatabase;

// The alerts on the journal's connection. Reads throw EJournal.
class TAlerts {
public:
    explicit TAlerts(TJournal& journal) : journal_(journal) {}

    // Not acknowledged yet, oldest first: what the notice shows.
    std::vector<TAlertRow> Unacknowledged();
    // Those of the records in the period (the record's time, as the period's records are
    // filed), in the records' order: oldest first.
    std::vector<TAlertRow> InPeriod(const TPeriod& period);
    // A record's alerts, in the order raised.
    std::vector<TAlert> ForRecord(std::int64_t recordId);
    // Acknowledged now by the Windows user, with the note (may be empty): kept in the journal
    // and queued for the registry.
    [[nodiscard]] TAcknowledgeResult Acknowledge(std::int64_t id, const std::string& windowsUser,
                                                 const std::string& note);

private:
    std::vector<TAlertRow> Rows(bool period, const TPeriod& within);

    TJournal& journal_;
};

// Raising, inside a transaction the caller holds (the capture's, the annotation's); each
// returns SQLite's code. At most one alert per record and level: one raised before stays as
// it is, and `raised` says whether this call added one.
//
// The journal's level for every record: the capture calls it for a new row whose dose is over
// the level (one comparison, made by the caller).
[[nodiscard]] int RaiseRecordAlert(TDatabase& db, std::int64_t recordId, double level, double dose,
                                   const std::string& raisedAt, bool& raised);
// The kind's alert level, when the record's dose is over it (the kind read from the catalogue).
[[nodiscard]] int RaiseKindAlert(TDatabase& db, std::int64_t recordId, std::int64_t kindId,
                                 const std::string& raisedAt, bool& raised);

}  // namespace virel
