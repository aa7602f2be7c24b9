#pragma once
// High-dose alerts: a record whose DAP is above a level raises one, kept in the journal like the
// records (who acknowledged it, when, with what note) and pushed to the central registry.
#include <cstdint>
#include <optional>
#include <string>

namespace virel {

// Which level a record went over.
enum class TAlertLevel {
    Record,   // the journal's level for every record, whatever its kind
    Kind,     // the alert level of the record's kind of examination
    Checkup,  // a patient's yearly check-up dose (mSv), brought to the limit by this record
};
const char* AlertLevelText(TAlertLevel level);  // "record", "kind", "checkup"

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
    std::string room;         // the central registry's room; empty for this room's journal
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
};

}  // namespace virel
