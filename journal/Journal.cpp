#include "journal/Journal.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "journal/JournalSql.h"

namespace virel {

namespace {

// Step n brings a journal from version n - 1 to n, in the transaction that records n in
// `meta`. Version 2 adds its step at the end and raises kJournalSchemaVersion; a step never
// changes once released, because journals written with it exist.
//
// The columns of `records` keep their names and meanings: reports, checks and the clinic's own
// queries rely on them. What is added later has a default, so that a row inserted with these
// columns alone stays valid (old records imported by SQL). `raw` may be NULL for such a row:
// its bytes are unknown, and the program never writes one.
constexpr const char* kSteps[] = {
    // 1: the records, their period index and the meters' clock notes.
    "CREATE TABLE meta ("
    "  key TEXT PRIMARY KEY,"
    "  value);"
    "CREATE TABLE records ("
    "  id INTEGER PRIMARY KEY,"
    "  raw BLOB UNIQUE CHECK (raw IS NULL OR length(raw) = 14),"
    "  device INTEGER NOT NULL,"
    "  number INTEGER NOT NULL,"
    "  measured_at TEXT,"
    "  dose REAL NOT NULL,"
    "  device_error INTEGER,"
    "  first_seen TEXT NOT NULL,"
    "  source TEXT NOT NULL CHECK (source IN ('print', 'record', 'export', 'harvest')));"
    // The period filter and the newest-first list walk this index; the meter's number in it
    // lets the search for one meter's newest row skip the others' rows without reading them.
    "CREATE INDEX records_period ON records (" VIREL_JOURNAL_KEY
    ", device);"
    "CREATE TABLE clock_drift ("
    "  id INTEGER PRIMARY KEY,"
    "  device INTEGER NOT NULL,"
    "  noted_at TEXT NOT NULL,"
    "  minutes INTEGER NOT NULL);"
    "CREATE INDEX clock_drift_device ON clock_drift (device, id);",
    // 2: the catalogue of kinds of examination and the records' annotations. An annotation is
    // never changed: every change is a new row, the current one is the latest, and the history
    // stays for an audit. The kind is referred to by the catalogue's id, so that correcting a
    // kind's name carries over to every record already given it.
    "CREATE TABLE exam_kinds ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL UNIQUE CHECK (length(name) > 0),"
    "  k_adult REAL CHECK (k_adult IS NULL OR k_adult >= 0),"
    "  k_child REAL CHECK (k_child IS NULL OR k_child >= 0));"
    "CREATE TABLE annotations ("
    "  id INTEGER PRIMARY KEY,"
    "  record_id INTEGER NOT NULL REFERENCES records (id),"
    "  saved_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime')),"
    "  patient TEXT,"
    "  patient_form TEXT NOT NULL DEFAULT 'none'"
    "    CHECK (patient_form IN ('typed', 'sha256', 'none')"
    "           AND (patient_form = 'none') = (patient IS NULL)),"
    "  birth_year INTEGER CHECK (birth_year IS NULL OR birth_year >= 1900),"
    "  kind_id INTEGER REFERENCES exam_kinds (id),"
    "  images INTEGER CHECK (images IS NULL OR images >= 0),"
    "  operator TEXT,"
    "  note TEXT);"
    "CREATE INDEX annotations_record ON annotations (record_id, id);"
    "CREATE INDEX annotations_kind ON annotations (kind_id);",
    // 3: the central registry's queue. Triggers fill it, so that a row inserted by any writer
    // (the program, a harvest, a clinic's tool) is pushed; a row leaves it only after the server
    // committed it. A record without its 14 bytes has no identity the registry could keep it
    // by, and is not queued; nor is an annotation of such a record. The rows the journal held
    // before this step are queued too: the registry starts with the whole journal.
    "CREATE TABLE push_queue ("
    "  id INTEGER PRIMARY KEY,"
    "  record_id INTEGER,"
    "  annotation_id INTEGER,"
    "  refused TEXT,"
    "  CHECK ((record_id IS NULL) <> (annotation_id IS NULL)));"
    "CREATE TRIGGER push_queue_record AFTER INSERT ON records WHEN NEW.raw IS NOT NULL "
    "BEGIN INSERT INTO push_queue (record_id) VALUES (NEW.id); END;"
    "CREATE TRIGGER push_queue_annotation AFTER INSERT ON annotations "
    "WHEN (SELECT raw FROM records WHERE id = NEW.record_id) IS NOT NULL "
    "BEGIN INSERT INTO push_queue (annotation_id) VALUES (NEW.id); END;"
    "INSERT INTO push_queue (record_id) SELECT id FROM records WHERE raw IS NOT NULL ORDER BY id;"
    "INSERT INTO push_queue (annotation_id) SELECT a.id FROM annotations AS a "
    "JOIN records AS r ON r.id = a.record_id WHERE r.raw IS NOT NULL ORDER BY a.id;",
};
static_assert(std::size(kSteps) == kJournalSchemaVersion);

constexpr std::size_t kAnchorStep = 1000;

int Primary(int code) {
    return code & 0xFF;
}

bool IsBusy(int code) {
    return Primary(code) == SQLITE_BUSY || Primary(code) == SQLITE_LOCKED;
}

bool IsCorrupt(int code) {
    return Primary(code) == SQLITE_CORRUPT || Primary(code) == SQLITE_NOTADB;
}

THoldReason ReasonOf(int code) {
    switch (Primary(code)) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return THoldReason::Busy;
        case SQLITE_FULL:
            return THoldReason::Full;
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_IOERR:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return THoldReason::Unwritable;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return THoldReason::Corrupt;
        default:
            return THoldReason::Other;
    }
}

// Paths are UTF-8 throughout (SQLite takes them so); the file system is told so explicitly,
// since a narrow path means the ANSI code page on Windows.
std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(FsPath(path), error);
}

bool Rename(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(FsPath(from), FsPath(to), error);
    return !error;
}

// "<name>.corrupt-<date>.db" beside the journal, "<name>" being its name without ".db"; a
// number follows the date when that exists already.
std::string AsideName(const std::string& path, const DateTime& today) {
    std::string stem = path;
    if (stem.size() > 3 && stem.compare(stem.size() - 3, 3, ".db") == 0)
        stem.resize(stem.size() - 3);
    const std::string base = stem + ".corrupt-" + JournalDateText(today);
    std::string name = base + ".db";
    for (int n = 2; Exists(name) || Exists(name + "-wal"); ++n) {
        name = base + "-" + std::to_string(n) + ".db";
    }
    return name;
}

// Moves the file aside with its write-ahead log: a new journal at the old name must never
// take the old one's log for its own. The shared-memory index is rebuilt from the log.
bool MoveAside(const std::string& path, const std::string& aside) {
    if (!Rename(path, aside)) return false;
    if (Exists(path + "-wal") && !Rename(path + "-wal", aside + "-wal")) {
        Rename(aside, path);  // the log is in use: leave both where they were
        return false;
    }
    std::error_code error;
    std::filesystem::remove(FsPath(path + "-shm"), error);
    return true;
}

// A file with bytes that do not start as every SQLite database does. Such a file is moved
// aside before SQLite sees it: a connection to it would take a log beside it for its own and
// could rewrite or remove that log on closing.
bool NotADatabase(const std::string& path) {
    static constexpr char kMagic[] = "SQLite format 3";  // with its terminating zero: 16 bytes
    std::ifstream file(FsPath(path), std::ios::binary);
    char header[sizeof kMagic] = {};
    file.read(header, sizeof header);
    return file.gcount() > 0 && !std::equal(header, header + sizeof header, kMagic);
}

std::string Text(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : std::string();
}

std::optional<int> OptionalInt(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int(statement, column);
}

TJournalRow RowOf(sqlite3_stmt* s) {
    TJournalRow row;
    row.id = sqlite3_column_int64(s, 0);
    TJournalRecord& r = row.record;
    if (sqlite3_column_bytes(s, 1) == static_cast<int>(r.raw.size())) {
        const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 1));
        std::copy(bytes, bytes + r.raw.size(), r.raw.begin());
    }
    r.device = sqlite3_column_int(s, 2);
    r.number = sqlite3_column_int(s, 3);
    if (sqlite3_column_type(s, 4) != SQLITE_NULL) r.measuredAt = Text(s, 4);
    r.dose = sqlite3_column_double(s, 5);
    r.deviceError = OptionalInt(s, 6);
    r.firstSeen = Text(s, 7);
    r.source = SourceOfText(Text(s, 8)).value_or(TJournalSource::Print);
    return row;
}

void Bind(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void BindRecord(sqlite3_stmt* s, const TJournalRecord& r) {
    sqlite3_bind_blob(s, 1, r.raw.data(), static_cast<int>(r.raw.size()), SQLITE_STATIC);
    sqlite3_bind_int(s, 2, r.device);
    sqlite3_bind_int(s, 3, r.number);
    if (r.measuredAt) Bind(s, 4, *r.measuredAt);
    sqlite3_bind_double(s, 5, r.dose);
    if (r.deviceError) sqlite3_bind_int(s, 6, *r.deviceError);
    Bind(s, 7, r.firstSeen);
    sqlite3_bind_text(s, 8, SourceText(r.source), -1, SQLITE_STATIC);
}

}  // namespace

std::string DayAfter(const DateTime& day) {
    DateTime start{day.year, day.month, day.day, 0, 0, 0, 0};
    return JournalDateText(FromMilliseconds(ToMilliseconds(start) + 24 * 3600 * 1000LL));
}

void TSqliteClose::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

void TSqliteFinalize::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

TStatementUse::~TStatementUse() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

TPeriod MonthOf(const DateTime& day) {
    return {DateTime{day.year, day.month, 1},
            DateTime{day.year, day.month, DaysInMonth(day.year, day.month)}};
}

TJournal::TJournal(std::string path, IClock& clock, TJournalOptions options)
    : path_(std::move(path)), clock_(clock), options_(options) {}

TJournal::~TJournal() = default;

void TJournal::Close() {
    statements_.clear();
    db_.reset();
    mode_ = TMode::Closed;
    paging_ = {};
}

TOpenResult TJournal::Open() {
    lastOpen_ = OpenFile(false);
    return lastOpen_;
}

// What the file at the path turned out to be.
namespace {
enum class TFileKind { Empty, Journal, Foreign, Corrupt, Failed };
struct TInspection {
    TFileKind kind = TFileKind::Failed;
    int version = 0;
    int code = SQLITE_OK;
};

TInspection Inspect(sqlite3* db, bool check) {
    // Reading the schema reads the file's header and first page: a file that is no database,
    // or a damaged one, shows here.
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db,
                                "SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'",
                                -1, &raw, nullptr);
    TSqliteStatement tables(raw);
    bool meta = false, records = false, any = false;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(tables.get());
        if (rc != SQLITE_ROW) break;
        const std::string name = Text(tables.get(), 0);
        any = true;
        meta = meta || name == "meta";
        records = records || name == "records";
    }
    if (rc != SQLITE_DONE) return {IsCorrupt(rc) ? TFileKind::Corrupt : TFileKind::Failed, 0, rc};
    if (!any) return {TFileKind::Empty, 0, SQLITE_OK};
    if (!meta || !records) return {TFileKind::Foreign, 0, SQLITE_OK};

    sqlite3_stmt* rawVersion = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT value FROM meta WHERE key = 'schema_version'", -1,
                            &rawVersion, nullptr);
    TSqliteStatement version(rawVersion);
    if (rc == SQLITE_OK) rc = sqlite3_step(version.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        if (Primary(rc) == SQLITE_ERROR) return {TFileKind::Foreign, 0, rc};  // another `meta`
        return {IsCorrupt(rc) ? TFileKind::Corrupt : TFileKind::Failed, 0, rc};
    }
    if (rc != SQLITE_ROW || sqlite3_column_type(version.get(), 0) != SQLITE_INTEGER ||
        sqlite3_column_int(version.get(), 0) < 1) {
        return {TFileKind::Foreign, 0, SQLITE_OK};
    }
    TInspection result{TFileKind::Journal, sqlite3_column_int(version.get(), 0), SQLITE_OK};
    version.reset();

    if (check) {
        // Reads every page: only when a capture has met damage, not at every start.
        sqlite3_stmt* rawCheck = nullptr;
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &rawCheck, nullptr);
        TSqliteStatement quick(rawCheck);
        if (rc == SQLITE_OK) rc = sqlite3_step(quick.get());
        if (rc == SQLITE_ROW && Text(quick.get(), 0) != "ok")
            return {TFileKind::Corrupt, 0, SQLITE_CORRUPT};
        if (rc != SQLITE_ROW)
            return {IsCorrupt(rc) ? TFileKind::Corrupt : TFileKind::Failed, 0, rc};
    }
    return result;
}

int Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

std::string Message(sqlite3* db, int code) {
    return db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

}  // namespace

TOpenResult TJournal::OpenFile(bool check) {
    Close();
    TOpenResult result;
    result.path = path_;
    auto fail = [&](int code) {
        result.outcome = TOpenOutcome::Unavailable;
        result.sqliteCode = code;
        result.error = Message(db_.get(), code);
        Close();
        return result;
    };
    auto connect = [&]() {
        sqlite3* raw = nullptr;
        // One thread per connection: SQLite's own locking of the connection is not needed.
        const int rc = sqlite3_open_v2(
            path_.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
            nullptr);
        db_.reset(raw);
        if (raw) {
            sqlite3_extended_result_codes(raw, 1);
            sqlite3_busy_timeout(raw, options_.busyTimeoutMs);
        }
        return rc;
    };

    int rc = SQLITE_OK;
    TInspection file{TFileKind::Corrupt, 0, SQLITE_NOTADB};
    if (!NotADatabase(path_)) {
        rc = connect();
        if (rc != SQLITE_OK) return fail(rc);
        file = Inspect(db_.get(), check);
    }
    if (file.kind == TFileKind::Corrupt || file.kind == TFileKind::Foreign) {
        Close();
        const std::string aside = AsideName(path_, FromMilliseconds(clock_.LocalNowMs()));
        // Not movable (in use by another program on Windows): nothing is written to it.
        if (!MoveAside(path_, aside))
            return fail(file.code != SQLITE_OK ? file.code : SQLITE_NOTADB);
        result.movedTo = aside;
        rc = connect();
        if (rc != SQLITE_OK) return fail(rc);
        file = Inspect(db_.get(), false);
    }
    if (file.kind == TFileKind::Failed) return fail(file.code);
    if (file.kind != TFileKind::Empty && file.kind != TFileKind::Journal)
        return fail(SQLITE_CANTOPEN);

    auto newer = [&](int version) {
        // A later program's journal: read what it shares with this one, change nothing.
        Exec(db_.get(), "PRAGMA query_only = ON");
        mode_ = TMode::Newer;
        BaseLine();
        result.outcome = TOpenOutcome::Newer;
        result.version = version;
        return result;
    };
    if (file.version > kJournalSchemaVersion) return newer(file.version);
    if (sqlite3_db_readonly(db_.get(), "main") == 1) {
        if (file.version < kJournalSchemaVersion) return fail(SQLITE_READONLY);
        mode_ = TMode::ReadOnly;
        BaseLine();
        result.outcome = TOpenOutcome::ReadOnly;
        result.version = file.version;
        result.sqliteCode = SQLITE_READONLY;
        return result;
    }

    // Write-ahead log: readers (the window, a physicist's query) never wait for a writer, and a
    // commit appends to the log instead of rewriting pages in place. The mode stays in the file.
    rc = Exec(db_.get(), "PRAGMA journal_mode = WAL");
    if (rc != SQLITE_OK) return fail(rc);
    // FULL: each commit syncs the log, so a capture that returned Written survives a power cut.
    // NORMAL would sync only at checkpoints and could lose the last captures with the power,
    // records the meter may already have overwritten. The cost is one sync per capture: time
    // waiting for the disk, not processor time.
    rc = Exec(db_.get(), "PRAGMA synchronous = FULL");
    if (rc != SQLITE_OK) return fail(rc);

    int found = file.version;
    rc = Migrate(found);
    if (rc != SQLITE_OK) return fail(rc);
    if (found > kJournalSchemaVersion) return newer(found);  // made so meanwhile
    mode_ = TMode::Writable;
    BaseLine();
    result.version = kJournalSchemaVersion;
    result.outcome = !result.movedTo.empty() ? TOpenOutcome::Replaced
                     : found == 0            ? TOpenOutcome::Created
                                             : TOpenOutcome::Opened;
    return result;
}

// Runs the steps from the file's version to this program's, all in one write transaction: a
// second program opening the same new file at the same moment waits and then finds it done.
// `version` is the version found, read again inside the transaction.
int TJournal::Migrate(int& version) {
    if (version == kJournalSchemaVersion) return SQLITE_OK;
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < options_.attempts; ++attempt) {
        rc = Exec(db_.get(), "BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) {
            const TInspection now = Inspect(db_.get(), false);
            version = now.kind == TFileKind::Journal ? now.version : 0;
            rc = now.kind == TFileKind::Failed ? now.code : SQLITE_OK;
            for (int step = version + 1; rc == SQLITE_OK && step <= kJournalSchemaVersion; ++step) {
                rc = Exec(db_.get(), kSteps[step - 1]);
            }
            if (rc == SQLITE_OK && version < kJournalSchemaVersion) {
                const std::string set = "INSERT INTO meta (key, value) VALUES ('schema_version', " +
                                        std::to_string(kJournalSchemaVersion) +
                                        ") ON CONFLICT (key) DO UPDATE SET value = excluded.value";
                rc = Exec(db_.get(), set.c_str());
            }
            if (rc == SQLITE_OK) rc = Exec(db_.get(), "COMMIT");
        }
        if (rc == SQLITE_OK) {
            ++ownWrites_;
            return rc;
        }
        if (!sqlite3_get_autocommit(db_.get())) Exec(db_.get(), "ROLLBACK");
        if (!IsBusy(rc)) break;
    }
    return rc;
}

int TJournal::Prepared(const char* sql, sqlite3_stmt*& statement) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        sqlite3_stmt* raw = nullptr;
        const int rc =
            sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
        TSqliteStatement prepared(raw);
        if (rc != SQLITE_OK) return rc;
        found = statements_.emplace(sql, std::move(prepared)).first;
    }
    statement = found->second.get();
    return SQLITE_OK;
}

sqlite3_stmt* TJournal::Statement(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    const int rc = Prepared(sql, statement);
    if (rc != SQLITE_OK) Fail(rc);
    return statement;
}

void TJournal::Fail(int code) const {
    std::string message = db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(code);
    throw EJournal(path_ + ": " + message, code);
}

void TJournal::RequireOpen() const {
    if (!db_) throw EJournal(path_ + ": " + lastOpen_.error, lastOpen_.sqliteCode);
}

void TJournal::Hold(const std::vector<TJournalRecord>& records) {
    held_.insert(held_.end(), records.begin(), records.end());
    while (held_.size() > options_.maxHeld) {
        held_.pop_front();
        ++dropped_;
    }
}

// One transaction: the held records first (they are older), then the new ones. On any failure
// nothing of it is in the file and everything is still in memory.
int TJournal::WriteHeldAnd(const std::vector<TJournalRecord>& records, TCaptureResult& result) {
    static constexpr const char* kInsert =
        "INSERT INTO records (raw, device, number, measured_at, dose, device_error, first_seen, "
        "source) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT (raw) DO NOTHING";
    sqlite3* db = db_.get();
    sqlite3_stmt* insert = nullptr;
    if (const int rc = Prepared(kInsert, insert); rc != SQLITE_OK) return rc;
    auto insertAll = [&](const auto& list, std::size_t& added) {
        added = 0;
        for (const TJournalRecord& record : list) {
            TStatementUse use(insert);
            BindRecord(insert, record);
            const int rc = sqlite3_step(insert);
            if (rc != SQLITE_DONE) return rc;
            added += static_cast<std::size_t>(sqlite3_changes(db));
        }
        return SQLITE_OK;
    };

    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < options_.attempts; ++attempt) {
        // IMMEDIATE takes the write lock at the start, so waiting for another writer happens
        // in the busy handler here and never as a failure in the middle.
        rc = Exec(db, "BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) rc = insertAll(held_, result.addedHeld);
        if (rc == SQLITE_OK) rc = insertAll(records, result.added);
        if (rc == SQLITE_OK) rc = Exec(db, "COMMIT");
        if (rc == SQLITE_OK) {
            held_.clear();
            ++ownWrites_;
            return rc;
        }
        if (!sqlite3_get_autocommit(db)) Exec(db, "ROLLBACK");
        result.added = result.addedHeld = 0;
        if (!IsBusy(rc)) break;
    }
    return rc;
}

TCaptureResult TJournal::Capture(const std::vector<TJournalRecord>& records) {
    TCaptureResult result;
    if (mode_ == TMode::Closed) {
        lastOpen_ = OpenFile(false);
        if (lastOpen_.outcome == TOpenOutcome::Replaced) result.reopened = lastOpen_;
    }
    int rc = SQLITE_OK;
    if (mode_ == TMode::Writable) {
        rc = WriteHeldAnd(records, result);
        if (IsCorrupt(rc)) {
            // Damage met while writing: the file is checked through, and when it is damaged it
            // goes aside like one found so at the start, and the records go to a new journal.
            lastOpen_ = OpenFile(true);
            if (lastOpen_.outcome == TOpenOutcome::Replaced) result.reopened = lastOpen_;
            rc = mode_ == TMode::Writable ? WriteHeldAnd(records, result) : SQLITE_CORRUPT;
        }
    }
    if (mode_ == TMode::Writable && rc == SQLITE_OK) {
        result.held = 0;
        result.dropped = dropped_;
        return result;
    }

    Hold(records);
    result.outcome = TCaptureOutcome::Held;
    result.held = held_.size();
    result.dropped = dropped_;
    if (mode_ == TMode::Newer) {
        result.reason = THoldReason::Newer;
    } else if (mode_ == TMode::ReadOnly) {
        result.reason = THoldReason::Unwritable;
        result.sqliteCode = SQLITE_READONLY;
    } else if (mode_ == TMode::Closed) {
        result.sqliteCode = lastOpen_.sqliteCode;
        result.reason = ReasonOf(lastOpen_.sqliteCode);
        result.error = lastOpen_.error;
    } else {
        result.sqliteCode = rc;
        result.reason = ReasonOf(rc);
        result.error = sqlite3_errstr(rc);
    }
    return result;
}

THeldAtExit TJournal::SaveHeld(const std::string& otherPath) {
    THeldAtExit result;
    result.records = held_.size();
    result.dropped = dropped_;
    if (held_.empty()) return result;
    if (Capture({}).outcome == TCaptureOutcome::Written) {
        result.outcome = THeldAtExit::Outcome::Written;
        return result;
    }
    const std::vector<TJournalRecord> records(held_.begin(), held_.end());
    held_.clear();
    result.outcome = THeldAtExit::Outcome::Lost;
    if (otherPath.empty()) return result;
    TJournal other(otherPath, clock_, options_);
    (void)other.Open();  // Capture tells whether it took them
    if (other.Capture(records).outcome == TCaptureOutcome::Written) {
        result.outcome = THeldAtExit::Outcome::Saved;
        result.savedTo = otherPath;
    }
    return result;
}

TNoteOutcome TJournal::NoteClockDifference(int device, int minutes, const DateTime& pcNow) {
    if (mode_ != TMode::Writable) return TNoteOutcome::NotWritten;
    try {
        std::optional<int> latest;
        {
            sqlite3_stmt* s = Statement(
                "SELECT minutes FROM clock_drift WHERE device = ?1 ORDER BY id DESC LIMIT 1");
            TStatementUse use(s);
            sqlite3_bind_int(s, 1, device);
            const int rc = sqlite3_step(s);
            if (rc == SQLITE_ROW)
                latest = sqlite3_column_int(s, 0);
            else if (rc != SQLITE_DONE)
                return TNoteOutcome::NotWritten;
        }
        const bool off = std::abs(minutes) > kClockDriftNoted;
        const bool wasOff = latest && std::abs(*latest) > kClockDriftNoted;
        if (off ? latest == minutes : !wasOff) return TNoteOutcome::Unchanged;
        sqlite3_stmt* s =
            Statement("INSERT INTO clock_drift (device, noted_at, minutes) VALUES (?1, ?2, ?3)");
        TStatementUse use(s);
        sqlite3_bind_int(s, 1, device);
        Bind(s, 2, JournalSecondText(pcNow));
        sqlite3_bind_int(s, 3, minutes);
        if (sqlite3_step(s) != SQLITE_DONE) return TNoteOutcome::NotWritten;
        ++ownWrites_;
        return TNoteOutcome::Noted;
    } catch (const EJournal&) {
        return TNoteOutcome::NotWritten;
    }
}

std::vector<TClockDrift> TJournal::ClockDrifts() {
    RequireOpen();
    sqlite3_stmt* s = Statement(
        "SELECT device, noted_at, minutes FROM clock_drift AS c "
        "WHERE id = (SELECT max(id) FROM clock_drift WHERE device = c.device) "
        "AND abs(minutes) > ?1 ORDER BY device");
    TStatementUse use(s);
    sqlite3_bind_int(s, 1, kClockDriftNoted);
    std::vector<TClockDrift> drifts;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        drifts.push_back({sqlite3_column_int(s, 0), Text(s, 1), sqlite3_column_int(s, 2)});
    }
    if (rc != SQLITE_DONE) Fail(rc);
    return drifts;
}

TPeriodTotals TJournal::Totals(const TPeriod& period) {
    RequireOpen();
    sqlite3_stmt* s = Statement("SELECT count(*), total(dose) FROM records" VIREL_JOURNAL_PERIOD);
    TStatementUse use(s);
    Bind(s, 1, JournalDateText(period.from));
    Bind(s, 2, DayAfter(period.to));
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) Fail(rc);
    return {sqlite3_column_int64(s, 0), sqlite3_column_double(s, 1)};
}

std::int64_t TJournal::DataVersion() {
    sqlite3_stmt* s = Statement("PRAGMA data_version");
    TStatementUse use(s);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) Fail(rc);
    return sqlite3_column_int64(s, 0) + ownWrites_;
}

// What Changed compares with first: the file as it was opened.
void TJournal::BaseLine() {
    try {
        seenVersion_ = DataVersion();
    } catch (const EJournal&) {
        seenVersion_ = -1;  // the first query will fail and say why
    }
}

bool TJournal::Changed() {
    RequireOpen();
    const std::int64_t version = DataVersion();
    const bool changed = seenVersion_ >= 0 && version != seenVersion_;
    seenVersion_ = version;
    return changed;
}

// Finds the next anchor: kAnchorStep rows on from the last one (or from the first row), reading
// the index alone. False when the period has no row there.
bool TJournal::ExtendAnchors(const std::string& from, const std::string& until) {
    std::vector<TAnchor>& anchors = paging_.anchors;
    sqlite3_stmt* s =
        anchors.empty()
            ? Statement("SELECT " VIREL_JOURNAL_KEY
                        ", device, id FROM records" VIREL_JOURNAL_PERIOD VIREL_JOURNAL_ORDER
                        " LIMIT 1 OFFSET ?6")
            : Statement("SELECT " VIREL_JOURNAL_KEY
                        ", device, id FROM records" VIREL_JOURNAL_FROM_ANCHOR VIREL_JOURNAL_ORDER
                        " LIMIT 1 OFFSET ?6");
    TStatementUse use(s);
    Bind(s, 1, from);
    if (anchors.empty()) Bind(s, 2, until);
    if (!anchors.empty()) {
        sqlite3_bind_int64(s, 3, anchors.back().key);
        sqlite3_bind_int64(s, 4, anchors.back().device);
        sqlite3_bind_int64(s, 5, anchors.back().id);
    }
    sqlite3_bind_int64(s, 6, static_cast<std::int64_t>(kAnchorStep));
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return false;
    if (rc != SQLITE_ROW) Fail(rc);
    anchors.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                       sqlite3_column_int64(s, 2)});
    return true;
}

std::vector<TJournalRow> TJournal::Rows(const TPeriod& period, std::size_t offset,
                                        std::size_t count) {
    RequireOpen();
    const std::string from = JournalDateText(period.from);
    const std::string until = DayAfter(period.to);
    const std::int64_t version = DataVersion();
    if (paging_.from != from || paging_.until != until || paging_.version != version) {
        paging_ = {from, until, version, {}};
    }
    // Positions below kAnchorStep start at the top; deeper ones at the anchor just above them,
    // found once by walking the index and kept until the period or the file changes.
    const std::size_t step = offset / kAnchorStep;
    while (paging_.anchors.size() < step) {
        if (!ExtendAnchors(from, until)) return {};
    }
    std::vector<TJournalRow> rows;
    if (count == 0) return rows;
    sqlite3_stmt* s = step == 0
                          ? Statement("SELECT " VIREL_JOURNAL_COLUMNS
                                      " FROM records" VIREL_JOURNAL_PERIOD VIREL_JOURNAL_ORDER
                                      " LIMIT ?7 OFFSET ?6")
                          : Statement("SELECT " VIREL_JOURNAL_COLUMNS
                                      " FROM records" VIREL_JOURNAL_FROM_ANCHOR VIREL_JOURNAL_ORDER
                                      " LIMIT ?7 OFFSET ?6");
    TStatementUse use(s);
    Bind(s, 1, from);
    if (step == 0) Bind(s, 2, until);
    if (step > 0) {
        const TAnchor& anchor = paging_.anchors[step - 1];
        sqlite3_bind_int64(s, 3, anchor.key);
        sqlite3_bind_int64(s, 4, anchor.device);
        sqlite3_bind_int64(s, 5, anchor.id);
    }
    sqlite3_bind_int64(s, 6, static_cast<std::int64_t>(offset - step * kAnchorStep));
    sqlite3_bind_int64(s, 7, static_cast<std::int64_t>(count));
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) rows.push_back(RowOf(s));
    if (rc != SQLITE_DONE) Fail(rc);
    return rows;
}

bool TJournal::HoldsMeter(int device) {
    RequireOpen();
    // The raw bytes start with the meter's number (big-endian), so its rows are one range of
    // the unique index; rows imported without bytes are the NULLs at that index's start.
    sqlite3_stmt* s = Statement(
        "SELECT EXISTS (SELECT 1 FROM records WHERE raw >= ?1 AND raw < ?2) "
        "OR EXISTS (SELECT 1 FROM records WHERE raw IS NULL AND device = ?3)");
    if (device < 0 || device > 0xFFFF) {
        // Not a meter's number: only an imported row can have it.
        s = Statement("SELECT EXISTS (SELECT 1 FROM records WHERE device = ?3)");
    }
    TStatementUse use(s);
    const std::uint8_t low[] = {static_cast<std::uint8_t>(device >> 8),
                                static_cast<std::uint8_t>(device)};
    const int next = device + 1;
    // Above the last meter number the upper bound is a longer blob, still above every raw of
    // that meter: blobs compare byte by byte, then the shorter first.
    const std::uint8_t high[] = {static_cast<std::uint8_t>(next >> 16),
                                 static_cast<std::uint8_t>(next >> 8),
                                 static_cast<std::uint8_t>(next)};
    sqlite3_bind_blob(s, 1, low, 2, SQLITE_STATIC);
    if (next > 0xFFFF)
        sqlite3_bind_blob(s, 2, high, 3, SQLITE_STATIC);
    else
        sqlite3_bind_blob(s, 2, high + 1, 2, SQLITE_STATIC);
    sqlite3_bind_int(s, 3, device);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) Fail(rc);
    return sqlite3_column_int(s, 0) != 0;
}

std::optional<TJournalRow> TJournal::NewestOfMeter(int device) {
    // A meter the journal does not hold would cost a walk through every row below.
    if (!HoldsMeter(device)) return std::nullopt;
    // "+device": the meter is a filter on the index's entries, not an equality the order could
    // lean on; so SQLite walks the period index from its newest end and stops at the first.
    sqlite3_stmt* s = Statement("SELECT " VIREL_JOURNAL_COLUMNS
                                " FROM records WHERE +device = ?1" VIREL_JOURNAL_ORDER " LIMIT 1");
    TStatementUse use(s);
    sqlite3_bind_int(s, 1, device);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) Fail(rc);
    return RowOf(s);
}

}  // namespace virel
