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
// One TJournal is one connection, used by one thread: the window's thread and the main thread
// each open their own, and a scheduled harvest is another process. SQLite's write lock keeps
// them apart; the busy time-out and the retries make them wait for each other.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/DateTimeFormat.h"
#include "core/meter/DeviceSeams.h"
#include "core/Errors.h"
#include "journal/Annotations.h"
#include "journal/JournalRecord.h"
#include "journal/PushQueue.h"
#include "journal/SqliteScopes.h"

namespace virel {

// The schema this program writes. Opening an older journal brings it forward; a newer one
// (another program's later version) opens read only.
inline constexpr int kJournalSchemaVersion = 3;

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

// A query failed (SQLite's message and result code): ends the operation in the error box.
class EJournal : public Exception {
public:
    EJournal(const std::string& message, int code) : Exception(message), code_(code) {}
    int Code() const { return code_; }  // SQLite's extended result code

private:
    int code_;
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
    std::size_t held = 0;       // records held in memory after the capture
    std::size_t dropped = 0;    // held records dropped so far as the oldest beyond maxHeld
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

// Dates from and to, both included; the time of day is ignored.
struct TPeriod {
    DateTime from;
    DateTime to;
};
TPeriod MonthOf(const DateTime& day);  // the calendar month of the day

struct TPeriodTotals {
    std::int64_t count = 0;
    double dose = 0;  // Gy·cm², the sum of the rows' doses
};

struct TJournalRow {
    std::int64_t id = 0;
    TJournalRecord record;  // raw is all zeros for a row imported without its bytes
};

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
    // in the file yet. A journal that could not be opened is tried again first.
    [[nodiscard]] TCaptureResult Capture(const std::vector<TJournalRecord>& records);
    std::size_t Held() const { return held_.size(); }
    std::size_t Dropped() const { return dropped_; }

    // At exit: the held records are tried once more here, then written to a journal at
    // `otherPath` (none when empty). Nothing stays held.
    [[nodiscard]] THeldAtExit SaveHeld(const std::string& otherPath);

    // An end of measurement's clock difference (ClockDifferenceMinutes). Written when the
    // meter is more than kClockDriftNoted minutes off and that is news, or when it is back.
    [[nodiscard]] TNoteOutcome NoteClockDifference(int device, int minutes, const DateTime& pcNow);
    // Each meter whose latest note says its clock is more than kClockDriftNoted minutes off.
    std::vector<TClockDrift> ClockDrifts();

    // The period's count and total dose.
    TPeriodTotals Totals(const TPeriod& period);
    // The period's rows newest first (by the meter's time, a row without one by the time it
    // was first seen), from position `offset`: as fast deep in a long list as at its top,
    // after one walk to the deepest position asked for so far.
    std::vector<TJournalRow> Rows(const TPeriod& period, std::size_t offset, std::size_t count);
    // The meter's newest row by the same order; none when the journal holds none of it.
    std::optional<TJournalRow> NewestOfMeter(int device);
    bool HoldsMeter(int device);

    // True when the file changed (any connection's capture) since the last call: the window
    // counts and pages again.
    bool Changed();

    // Annotations (journal/Annotations.cpp). Saving writes one row in its own transaction.
    [[nodiscard]] TAnnotationResult Annotate(std::int64_t recordId, const TAnnotationInput& input,
                                             const TPatientPrivacy& privacy);
    std::optional<TAnnotation> CurrentAnnotation(std::int64_t recordId);  // the latest row
    std::vector<TAnnotation> AnnotationHistory(std::int64_t recordId);    // oldest first

    // The catalogue of kinds of examination, by name.
    std::vector<TExamKind> Catalogue();
    // Adds a kind (id 0) or changes one (its name and K).
    [[nodiscard]] TKindResult SaveKind(const TExamKind& kind);
    // Removes a kind no annotation refers to.
    [[nodiscard]] TKindResult RemoveKind(std::int64_t id);
    // Adds each kind, or sets the K of the kind of that name, all in one transaction: all of
    // them or none (EJournal). Kinds not in the list stay.
    void MergeCatalogue(const std::vector<TExamKind>& kinds);

    // The period's records with their current annotation's kind and year of birth.
    std::vector<TExamRow> ExamRows(const TPeriod& period);

    // The central registry's queue (journal/PushQueue.cpp). Rows not yet on the server, those
    // refused (a text the server cannot take) not counted.
    std::size_t Waiting();
    // Refused rows: kept in the queue with their reason, never sent again.
    std::size_t Refused();
    // The oldest waiting rows, at most `count`, oldest first. Queue entries whose row is gone
    // (deleted by a tool) are removed on the way.
    std::vector<TWaitingItem> WaitingRows(std::size_t count);
    // Takes the rows the server committed off the queue, in one transaction.
    void Pushed(const std::vector<std::int64_t>& queueIds);
    // Marks a row the server can never take, with the reason.
    void RefusePush(std::int64_t queueId, const std::string& reason);

private:
    enum class TMode { Closed, Writable, ReadOnly, Newer };
    // A position in the rows' order: the row at position (i + 1) * kAnchorStep is anchors[i].
    struct TAnchor {
        std::int64_t key = 0;  // minutes since 1970
        std::int64_t device = 0;
        std::int64_t id = 0;
    };
    struct TPaging {
        std::string from;
        std::string until;
        std::int64_t version = -1;
        std::vector<TAnchor> anchors;
    };

    TOpenResult OpenFile(bool check);
    void Close();
    int WriteHeldAnd(const std::vector<TJournalRecord>& records, TCaptureResult& result);
    int Migrate(int& version);
    void Hold(const std::vector<TJournalRecord>& records);
    int Prepared(const char* sql, sqlite3_stmt*& statement);  // cached; SQLite's result code
    sqlite3_stmt* Statement(const char* sql);                 // cached; throws EJournal
    void BaseLine();
    std::int64_t DataVersion();
    bool ExtendAnchors(const std::string& from, const std::string& until);
    [[noreturn]] void Fail(int code) const;
    std::vector<TAnnotation> Annotations(std::int64_t recordId, bool latestOnly);
    TKindResult KindFault(int code, TKindResult result);
    void RequireOpen() const;

    std::string path_;
    IClock& clock_;
    TJournalOptions options_;
    TMode mode_ = TMode::Closed;
    TOpenResult lastOpen_;
    TSqliteDb db_;
    std::map<const char*, TSqliteStatement> statements_;  // keyed by the SQL text's address
    std::deque<TJournalRecord> held_;
    std::size_t dropped_ = 0;
    std::int64_t ownWrites_ = 0;  // data_version counts only the other connections' commits
    std::int64_t seenVersion_ = -1;
    TPaging paging_;
};

}  // namespace virel
