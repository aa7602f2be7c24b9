#pragma once
// The central registry: every room's dose journal pushed to one PostgreSQL server through ODBC
// (docs/registry.md describes the server's tables for the clinic's IT). Portable C++ over the
// ODBC API: unixODBC natively, odbc32 on Windows; no <windows.h> here.
//
// A push sends what the local journal has waiting (journal schema step 3 queues every record
// and every annotation as its row arrives) in batches, each batch one server transaction, and
// takes a batch off the local queue only after the server committed it. The server's unique
// keys make a push idempotent: a batch sent twice (a crash between the server's commit and the
// local removal, a journal restored from an old backup) adds nothing the second time.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "journal/Journal.h"
#include "reports/PeriodReport.h"

namespace virel {

// "Центральный журнал": where the registry is and what this room is called in it.
struct TRegistrySettings {
    std::string
        connection;  // UTF-8: an ODBC connection string ("Driver=…;Server=…;…") or a DSN name
    std::string room;      // UTF-8: this room's name in the registry
    std::string password;  // UTF-8, plain in memory only; added as Pwd={…} when not empty
};

// Connection and room both given (after trimming spaces).
bool Configured(const TRegistrySettings& settings);

struct TLinkCheck {
    bool ok = false;
    std::string reason;  // the server's or driver's text (SQLSTATE + message); never the password
};

// Connects, creates or brings forward the server's tables, and says whether that worked.
TLinkCheck CheckRegistry(const TRegistrySettings& settings);

enum class TPushOutcome {
    Done,           // nothing left waiting
    Unreachable,    // no connection to the server (down, no network, no driver): try again later
    Refused,        // the server refused the login or the permission
    Failed,         // another error (the reason says it); what was not committed stays waiting
    NotConfigured,  // no connection or no room
};

struct TPushResult {
    TPushOutcome outcome = TPushOutcome::Failed;
    std::size_t pushed = 0;     // records and annotations the server committed in this push
    std::size_t waiting = 0;    // left waiting in the local journal after it
    std::string reason;         // empty for Done; else one line, never the password
    std::size_t added = 0;      // of those pushed, the rows new to the server
    std::size_t refused = 0;    // rows the server can never take (a malformed text, a date that
                                // does not exist): kept in the local queue, marked, not waiting
    std::string refusedReason;  // the first of them
};

// The outcome an ODBC error's SQLSTATE and text mean for a push.
TPushOutcome OutcomeOf(const std::string& state, const std::string& message);

// What a refused login's text says of the password: none was given where the server asks for
// one, the one given is wrong, or it is not the password (no permission, no pg_hba.conf entry).
enum class TLoginRefusal { NoPassword, WrongPassword, Other };
TLoginRefusal LoginRefusalOf(const std::string& message);

// Pushes what the local journal's queue has waiting, in batches of at most `batch` rows, each
// batch one server transaction, idempotent by (room, raw) for records and by (room, raw,
// saved_at and the journal's number of the row) for annotations. Never throws for the
// server's or the journal's troubles: the result says.
TPushResult PushWaiting(TPushQueue& queue, const TRegistrySettings& settings,
                        std::size_t batch = 500);

// Growing pauses while the server does not answer: 5 s, 10, 20, 40 … at most 300 s. The clock
// belongs to the caller (the pusher's thread waits the returned time), so it is tested without
// waiting.
class TPushBackoff {
public:
    static constexpr std::chrono::milliseconds kFirst{5'000};
    static constexpr std::chrono::milliseconds kLongest{300'000};
    // The pause before the next attempt: after a success the first pause again (the next
    // regular push), after a failure twice the last one, at most kLongest.
    std::chrono::milliseconds Next(bool lastFailed);
    void Reset();  // the next failure starts again from kFirst

private:
    std::chrono::milliseconds last_{0};
};

// The period report over the server's tables: all rooms (room empty) or one room. The same
// figures ComputeReport gives for the same rows (each room's own catalogue names the kinds).
// Throws virel::Exception with the reason (never the password).
TPeriodReport RegistryReport(const TRegistrySettings& settings, const TPeriod& period,
                             const std::string& room);
// The rooms the registry holds, by name. Throws likewise.
std::vector<std::string> RegistryRooms(const TRegistrySettings& settings);

}  // namespace virel
