#pragma once
// The dose journal: every accepted record kept in a local SQLite file beyond the meter's 256,
// each once (docs/journal.md describes the file for the clinic's IT and physicists).
//
// Records are never lost to the file's troubles: what the file cannot take (another writer
// holding it too long, a full disk, a read-only folder, a newer program's journal) is held in
// memory, written first at the next capture that succeeds, and at exit saved to a journal
// elsewhere. Captures therefore never throw; they say what became of the records. Queries (the
// journal window, the reports, the harvest's gap warning) throw EJournal: a failed query ends
// what the operator asked for with an error box.
//
// One TJournal is the file and one connection to it, used by one thread: the window's thread
// and the main thread each open their own, and a scheduled harvest is another process.
// SQLite's write lock keeps them apart; the busy time-out and the retries make them wait for
// each other. The tables are read and written through classes of their own on that
// connection: the records (JournalRecord.h), the annotations and the catalogue
// (Annotations.h), the high-dose alerts (Alerts.h), the registry's queue (PushQueue.h) and the
// meters' clock notes (ClockNotes.h).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/DateTimeFormat.h"
#include "core/Errors.h"
#include "core/meter/DeviceSeams.h"
#include "journal/Alerts.h"
#include "journal/Annotations.h"
#include "journal/ClockNotes.h"
#include "journal/Database.h"
#include "journal/JournalRecord.h"
#include "journal/PushQueue.h"

namespace virel {

// The schema this program writes. Opening an older journal brings it forward; a newer one
// (another program's later version) opens read only.
inline constexpr int kJournalSchemaVersion = 4;

struct TJournalOptions {
    // How long one statement waits for another connection's write lock (SQLite's busy
    // handler), and how many times a whole capture is tried before its records are held. The
    // other writers' transactions take milliseconds; a wait this long means a tool keeps a
    // transaction open, and then the records wait in memory instead of the operator.
    int busyTimeoutMs = 2000;
    int attempts = 3;
    // Records held in memory at most; beyond it the oldest are dropped and counted.
    std::size_t maxHeld = 100'000;
};

enum class TOpenOutcome {
    Opened,       // an existing journal, brought forward when it was older
    Created,      // no file, or an empty one: a new journal
    Replaced,     // the file was corrupt or not a journal: renamed aside (movedTo), a new
                  // journal started. The caller shows a box naming both files.
    ReadOnly,     // the file or its folder cannot be written: queries work, captures are held
    Newer,        // written by a newer version (version): read only, captures are held
    Unavailable,  // could not be opened or created (sqliteCode, error): captures are held, and
                  // each capture tries to open it again
};

struct TOpenResult {
    TOpenOutcome outcome = TOpenOutcome::Unavailable;
    std::string path;     // the journal's file
    std::string movedTo;  // Replaced: where the old file went
    int version = 0;      // the file's schema version as it is now
    int sqliteCode = 0;   // Unavailable, ReadOnly: SQLite's extended result code
    std::string error;    // SQLite's text of it, for the log and the box
};

// Why a capture's records are held in memory.
enum class THoldReason {
    None,
    Busy,        // another connection kept the write lock beyond the waits and retries
    Full,        // the disk is full
    Unwritable,  // read-only file or folder, cannot open, input/output error
    Newer,       // the journal belongs to a newer version
    Corrupt,     // the file turned out corrupt and could not be replaced
    Other,
};

enum class TCaptureOutcome {
    Written,  // in the file, with every record held before
    Held,     // kept in memory (reason); written first at the next capture that succeeds
};

struct TCaptureResult {
    TCaptureOutcome outcome = TCaptureOutcome::Written;
    std::size_t added = 0;      // Written: rows new to the file among the records given
    std::size_t addedHeld = 0;  // Written: rows new to the file among the records held before
    std::size_t alerts = 0;     // Written: alerts raised for the new rows (of both)
    std::size_t held = 0;       // records held in memory after the capture
    std::size_t dropped = 0;    // held records dropped so far as the oldest beyond maxHeld
    // Held: how many of the records given are new, neither in the file nor held before; only
    // those are held. All of them when the file cannot be read.
    std::size_t heldNew = 0;
    THoldReason reason = THoldReason::None;
    int sqliteCode = 0;
    std::string error;
    // The capture found the file corrupt and replaced it (a box names both files).
    std::optional<TOpenResult> reopened;
};

// What became of the held records when the program ends.
struct THeldAtExit {
    enum class Outcome {
        None,     // nothing was held
        Written,  // the journal took them after all
        Saved,    // they went to the journal at the other path
        Lost,     // neither took them
    };
    Outcome outcome = Outcome::None;
    std::size_t records = 0;  // held at exit
    std::size_t dropped = 0;  // dropped earlier as the oldest beyond the limit
    std::string savedTo;      // Saved: the other journal's path
};

class TJournal {
public:
    // `clock` dates the name of a corrupt file moved aside. Nothing is opened yet.
    TJournal(std::string path, IClock& clock, TJournalOptions options = {});
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // Opens the file (again, when it is open), making or bringing forward its tables.
    [[nodiscard]] TOpenResult Open();
    bool IsOpen() const { return mode_ != TMode::Closed; }
    bool Writable() const { return mode_ == TMode::Writable; }
    const std::string& Path() const { return path_; }

    // Adds, in one transaction, the held records and then these, each whose 14 bytes are not
    // in the file yet. A journal that could not be opened is tried again first. A new row whose
    // dose is above `recordAlertLevel` (Gy·cm²; 0: none) raises its alert in that transaction.
    [[nodiscard]] TCaptureResult Capture(const std::vector<TJournalRecord>& records,
                                         double recordAlertLevel = 0);
    std::size_t Held() const { return held_.size(); }
    std::size_t Dropped() const { return dropped_; }

    // At exit: the held records are tried once more here, then written to a journal at
    // `otherPath` (none when empty), each raising its alert as a capture does. Nothing stays
    // held.
    [[nodiscard]] THeldAtExit SaveHeld(const std::string& otherPath, double recordAlertLevel = 0);

    // True when the file changed (any connection's capture) since the last call: the window
    // counts and pages again.
    bool Changed();

    // What the journal's tables (TJournalRecords, TAnnotations, TCatalogue, TPushQueue,
    // TClockNotes) are read and written on. The connection; throws EJournal, with the reason
    // the file could not be opened, while it is not open.
    TDatabase& Database();
    // The same for a write: throws EJournal also while the file is open read only.
    TDatabase& WritableDatabase();
    // Why the file cannot be written now: "read only", or why it could not be opened.
    std::string WhyNotWritable() const;
    // A write of this connection went in: Changed reports it as it reports another's.
    void Wrote() { ++ownWrites_; }
    // Moves on with every commit to the file, this connection's and the others'. Throws
    // EJournal.
    std::int64_t DataVersion();
    // Counts the openings of the file: a place remembered in it holds within one.
    std::size_t Openings() const { return openings_; }
    IClock& Clock() const { return clock_; }

private:
    enum class TMode { Closed, Writable, ReadOnly, Newer };
    struct TInspection;

    TOpenResult OpenFile(bool check);
    int Reach(bool check, TInspection& file, std::string& movedTo);
    static TInspection Broken(int code);
    TInspection Inspect(bool check);
    TInspection QuickCheck(TInspection found);
    TOpenResult Failed(TOpenResult result, int code);
    TOpenResult OpenedNewer(TOpenResult result, int version);
    TOpenResult Upgraded(TOpenResult result, int version);
    int Migrate(int& version);
    int AddColumns(int step);
    void Close();
    int WriteHeldAnd(const std::vector<TJournalRecord>& records, double recordAlertLevel,
                     TCaptureResult& result);
    void Hold(const std::vector<TJournalRecord>& records);
    // The records given that neither the file, as far as it can be read, nor the memory holds.
    std::vector<TJournalRecord> NewOnes(const std::vector<TJournalRecord>& records);
    TCaptureResult HeldResult(const std::vector<TJournalRecord>& records, int code,
                              TCaptureResult result);
    void BaseLine();

    std::string path_;
    IClock& clock_;
    TJournalOptions options_;
    TMode mode_ = TMode::Closed;
    TOpenResult lastOpen_;
    TDatabase database_;
    std::deque<TJournalRecord> held_;
    std::size_t dropped_ = 0;
    std::int64_t ownWrites_ = 0;  // data_version counts only the other connections' commits
    std::int64_t seenVersion_ = -1;
    std::size_t openings_ = 0;
};

}  // namespace virel
