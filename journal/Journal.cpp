#include "journal/Journal.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <utility>

#include "journal/Alerts.h"
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
    // 4: the kinds' reference and alert levels (DAP in Gy·cm²) and check-up flag; the
    // high-dose alerts, one per record and level, whose acknowledgement is a change of the row;
    // and the queue carrying alerts too. The queue's CHECK cannot be altered in place: the table
    // is rebuilt with its rows, ids (their order) and refusals, and its triggers made again
    // (dropped first, so that no trigger names a table missing halfway). What the step makes is
    // made only where it is missing: a file put back to an older version by hand (a restored
    // table, a tool's own downgrade) still comes forward. The kinds' columns are added before
    // the step's text, by kAddedColumns.
    "CREATE TABLE IF NOT EXISTS alerts ("
    "  id INTEGER PRIMARY KEY,"
    "  record_id INTEGER NOT NULL REFERENCES records (id),"
    "  level TEXT NOT NULL CHECK (level IN ('record', 'kind', 'checkup')),"
    "  level_value REAL NOT NULL,"
    "  value REAL NOT NULL,"
    "  kind_id INTEGER REFERENCES exam_kinds (id),"
    "  raised_at TEXT NOT NULL,"
    "  acknowledged_at TEXT,"
    "  acknowledged_by TEXT,"
    "  note TEXT,"
    "  UNIQUE (record_id, level));"
    // What still waits for the operator, oldest first, without reading the acknowledged ones.
    "CREATE INDEX IF NOT EXISTS alerts_unacknowledged ON alerts (id)"
    "  WHERE acknowledged_at IS NULL;"
    "DROP TRIGGER IF EXISTS push_queue_record;"
    "DROP TRIGGER IF EXISTS push_queue_annotation;"
    "DROP TRIGGER IF EXISTS push_queue_alert;"
    "DROP TRIGGER IF EXISTS push_queue_alert_acknowledged;"
    "CREATE TABLE push_queue_new ("
    "  id INTEGER PRIMARY KEY,"
    "  record_id INTEGER,"
    "  annotation_id INTEGER,"
    "  alert_id INTEGER,"
    "  refused TEXT,"
    "  CHECK ((record_id IS NOT NULL) + (annotation_id IS NOT NULL) + (alert_id IS NOT NULL)"
    "         = 1));"
    "INSERT INTO push_queue_new (id, record_id, annotation_id, refused)"
    "  SELECT id, record_id, annotation_id, refused FROM push_queue ORDER BY id;"
    "DROP TABLE push_queue;"
    "ALTER TABLE push_queue_new RENAME TO push_queue;"
    "CREATE TRIGGER push_queue_record AFTER INSERT ON records WHEN NEW.raw IS NOT NULL "
    "BEGIN INSERT INTO push_queue (record_id) VALUES (NEW.id); END;"
    "CREATE TRIGGER push_queue_annotation AFTER INSERT ON annotations "
    "WHEN (SELECT raw FROM records WHERE id = NEW.record_id) IS NOT NULL "
    "BEGIN INSERT INTO push_queue (annotation_id) VALUES (NEW.id); END;"
    // An alert goes as it is now: raised, and again when acknowledged (the server keeps one
    // row per record and level and takes the later state).
    "CREATE TRIGGER push_queue_alert AFTER INSERT ON alerts "
    "WHEN (SELECT raw FROM records WHERE id = NEW.record_id) IS NOT NULL "
    "BEGIN INSERT INTO push_queue (alert_id) VALUES (NEW.id); END;"
    "CREATE TRIGGER push_queue_alert_acknowledged "
    "AFTER UPDATE OF acknowledged_at, acknowledged_by, note ON alerts "
    "WHEN (SELECT raw FROM records WHERE id = NEW.record_id) IS NOT NULL "
    "BEGIN INSERT INTO push_queue (alert_id) VALUES (NEW.id); END;",
};
static_assert(std::size(kSteps) == kJournalSchemaVersion);

// Columns a step adds to a table made by an earlier one, added before the step's SQL and only
// when missing: SQLite has no ADD COLUMN IF NOT EXISTS.
struct TAddedColumn {
    int step;
    const char* table;
    const char* column;
    const char* definition;  // ALTER TABLE's text after the column's name
};
constexpr TAddedColumn kAddedColumns[] = {
    {4, "exam_kinds", "reference_level",
     "REAL CHECK (reference_level IS NULL OR reference_level > 0)"},
    {4, "exam_kinds", "alert_level", "REAL CHECK (alert_level IS NULL OR alert_level > 0)"},
    {4, "exam_kinds", "preventive", "INTEGER NOT NULL DEFAULT 0 CHECK (preventive IN (0, 1))"},
};

using sqlite::kOk;

THoldReason ReasonOf(int code) {
    switch (sqlite::Primary(code)) {
        case sqlite::kBusy:
        case sqlite::kLocked:
            return THoldReason::Busy;
        case sqlite::kFull:
            return THoldReason::Full;
        case sqlite::kReadOnly:
        case sqlite::kCantOpen:
        case sqlite::kIoErr:
        case sqlite::kPerm:
        case sqlite::kAuth:
            return THoldReason::Unwritable;
        case sqlite::kCorrupt:
        case sqlite::kNotADb:
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

void BindRecord(TStatement& s, const TJournalRecord& r) {
    s.Bind(1, r.raw).Bind(2, r.device).Bind(3, r.number).Bind(4, r.measuredAt).Bind(5, r.dose);
    s.Bind(6, r.deviceError).Bind(7, r.firstSeen).Bind(8, SourceText(r.source));
}

// What the file at the path turned out to be.
enum class TFileKind { Empty, Journal, Foreign, Corrupt, Failed };

}  // namespace

struct TJournal::TInspection {
    TFileKind kind = TFileKind::Failed;
    int version = 0;
    int code = kOk;
};

// A failure to read the file: damage, or another trouble.
TJournal::TInspection TJournal::Broken(int code) {
    return {sqlite::IsCorrupt(code) ? TFileKind::Corrupt : TFileKind::Failed, 0, code};
}

TJournal::TJournal(std::string path, IClock& clock, TJournalOptions options)
    : path_(std::move(path)), clock_(clock), options_(options) {}

TJournal::~TJournal() = default;

void TJournal::Close() {
    database_.Close();
    mode_ = TMode::Closed;
}

TOpenResult TJournal::Open() {
    lastOpen_ = OpenFile(false);
    return lastOpen_;
}

TJournal::TInspection TJournal::Inspect(bool check) {
    // Reading the schema reads the file's header and first page: a file that is no database,
    // or a damaged one, shows here.
    bool meta = false, records = false, any = false;
    int rc = kOk;
    {
        TStatement tables = database_.Once(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND "
            "name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
        while ((rc = tables.Step()) == sqlite::kRow) {
            const std::string name = tables.Text(0);
            any = true;
            meta = meta || name == "meta";
            records = records || name == "records";
        }
    }
    if (rc != sqlite::kDone) return Broken(rc);
    if (!any) return {TFileKind::Empty, 0, kOk};
    if (!meta || !records) return {TFileKind::Foreign, 0, kOk};

    TInspection found{TFileKind::Journal, 0, kOk};
    {
        TStatement version = database_.Once("SELECT value FROM meta WHERE key = 'schema_version'");
        rc = version.Step();
        if (rc != sqlite::kRow && rc != sqlite::kDone) {
            if (sqlite::Primary(rc) == sqlite::kError)
                return {TFileKind::Foreign, 0, rc};  // another `meta`
            return Broken(rc);
        }
        if (rc != sqlite::kRow || version.Type(0) != TColumnType::Integer || version.Int(0) < 1)
            return {TFileKind::Foreign, 0, kOk};
        found.version = version.Int(0);
    }
    return check ? QuickCheck(found) : found;
}

// Reads every page: only when a capture has met damage, not at every start.
TJournal::TInspection TJournal::QuickCheck(TInspection found) {
    TStatement quick = database_.Once("PRAGMA quick_check(1)");
    const int rc = quick.Step();
    if (rc == sqlite::kRow && quick.Text(0) != "ok")
        return {TFileKind::Corrupt, 0, sqlite::kCorrupt};
    if (rc != sqlite::kRow) return Broken(rc);
    return found;
}

TOpenResult TJournal::Failed(TOpenResult result, int code) {
    result.outcome = TOpenOutcome::Unavailable;
    result.sqliteCode = code;
    result.error = database_.Message(code);
    Close();
    return result;
}

// Connects to the file and looks at what it is; a corrupt or foreign one goes aside first, and
// a new one starts in its place. kOk, or SQLite's code of the failure.
int TJournal::Reach(bool check, TInspection& file, std::string& movedTo) {
    file = {TFileKind::Corrupt, 0, sqlite::kNotADb};
    if (!NotADatabase(path_)) {
        if (const int rc = database_.Open(path_, options_.busyTimeoutMs); rc != kOk) return rc;
        file = Inspect(check);
    }
    if (file.kind != TFileKind::Corrupt && file.kind != TFileKind::Foreign) return kOk;
    Close();
    const std::string aside = AsideName(path_, FromMilliseconds(clock_.LocalNowMs()));
    // Not movable (in use by another program on Windows): nothing is written to it.
    if (!MoveAside(path_, aside)) return file.code != kOk ? file.code : sqlite::kNotADb;
    movedTo = aside;
    if (const int rc = database_.Open(path_, options_.busyTimeoutMs); rc != kOk) return rc;
    file = Inspect(false);
    return kOk;
}

TOpenResult TJournal::OpenFile(bool check) {
    Close();
    ++openings_;
    TOpenResult result;
    result.path = path_;
    TInspection file;
    if (const int rc = Reach(check, file, result.movedTo); rc != kOk) return Failed(result, rc);
    if (file.kind == TFileKind::Failed) return Failed(result, file.code);
    if (file.kind != TFileKind::Empty && file.kind != TFileKind::Journal)
        return Failed(result, sqlite::kCantOpen);
    if (file.version > kJournalSchemaVersion) return OpenedNewer(result, file.version);
    if (database_.ReadOnly()) {
        if (file.version < kJournalSchemaVersion) return Failed(result, sqlite::kReadOnly);
        mode_ = TMode::ReadOnly;
        BaseLine();
        result.outcome = TOpenOutcome::ReadOnly;
        result.version = file.version;
        result.sqliteCode = sqlite::kReadOnly;
        return result;
    }
    return Upgraded(result, file.version);
}

TOpenResult TJournal::OpenedNewer(TOpenResult result, int version) {
    // A later program's journal: read what it shares with this one, change nothing.
    (void)database_.Exec("PRAGMA query_only = ON");
    mode_ = TMode::Newer;
    BaseLine();
    result.outcome = TOpenOutcome::Newer;
    result.version = version;
    return result;
}

// The file opened for writing: its durability set, its tables made or brought forward.
TOpenResult TJournal::Upgraded(TOpenResult result, int version) {
    // Write-ahead log: readers (the window, a physicist's query) never wait for a writer, and a
    // commit appends to the log instead of rewriting pages in place. The mode stays in the file.
    int rc = database_.Exec("PRAGMA journal_mode = WAL");
    if (rc != kOk) return Failed(result, rc);
    // FULL: each commit syncs the log, so a capture that returned Written survives a power cut.
    // NORMAL would sync only at checkpoints and could lose the last captures with the power,
    // records the meter may already have overwritten. The cost is one sync per capture: time
    // waiting for the disk, not processor time.
    rc = database_.Exec("PRAGMA synchronous = FULL");
    if (rc != kOk) return Failed(result, rc);

    int found = version;
    rc = Migrate(found);
    if (rc != kOk) return Failed(result, rc);
    if (found > kJournalSchemaVersion) return OpenedNewer(result, found);  // made so meanwhile
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
    if (version == kJournalSchemaVersion) return kOk;
    const TTransactionResult migrated = database_.Transaction(options_.attempts, [&] {
        const TInspection now = Inspect(false);
        version = now.kind == TFileKind::Journal ? now.version : 0;
        if (now.kind == TFileKind::Failed) return now.code;
        for (int step = version + 1; step <= kJournalSchemaVersion; ++step) {
            if (const int rc = AddColumns(step); rc != kOk) return rc;
            if (const int rc = database_.Exec(kSteps[step - 1]); rc != kOk) return rc;
        }
        if (version >= kJournalSchemaVersion) return kOk;
        const std::string set = "INSERT INTO meta (key, value) VALUES ('schema_version', " +
                                std::to_string(kJournalSchemaVersion) +
                                ") ON CONFLICT (key) DO UPDATE SET value = excluded.value";
        return database_.Exec(set.c_str());
    });
    if (migrated.Committed()) Wrote();
    return migrated.code;
}

// The step's added columns that the file does not have yet.
int TJournal::AddColumns(int step) {
    for (const TAddedColumn& added : kAddedColumns) {
        if (added.step != step) continue;
        {
            TStatement has = database_.Once(
                "SELECT EXISTS (SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2)");
            has.Bind(1, added.table).Bind(2, added.column);
            if (const int rc = has.Step(); rc != sqlite::kRow) return rc;
            if (has.Int(0) != 0) continue;
        }
        // Names and definitions are the program's constants, never a value from outside.
        const std::string sql = std::string("ALTER TABLE ") + added.table + " ADD COLUMN " +
                                added.column + " " + added.definition;
        if (const int rc = database_.Exec(sql.c_str()); rc != kOk) return rc;
    }
    return kOk;
}

TDatabase& TJournal::Database() {
    if (!database_.IsOpen()) throw EJournal(path_ + ": " + lastOpen_.error, lastOpen_.sqliteCode);
    return database_;
}

TDatabase& TJournal::WritableDatabase() {
    TDatabase& database = Database();
    if (!Writable()) throw EJournal(path_ + ": read only", sqlite::kReadOnly);
    return database;
}

std::string TJournal::WhyNotWritable() const {
    return database_.IsOpen() ? "read only" : lastOpen_.error;
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
int TJournal::WriteHeldAnd(const std::vector<TJournalRecord>& records, double recordAlertLevel,
                           TCaptureResult& result) {
    static constexpr const char* kInsert =
        "INSERT INTO records (raw, device, number, measured_at, dose, device_error, first_seen, "
        "source) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT (raw) DO NOTHING";
    const std::string now = JournalSecondText(FromMilliseconds(clock_.LocalNowMs()));
    auto insertAll = [&](const auto& list, std::size_t& added) {
        added = 0;
        for (const TJournalRecord& record : list) {
            TStatement insert = database_.Statement(kInsert);
            BindRecord(insert, record);
            if (const int rc = insert.Step(); rc != sqlite::kDone) return rc;
            if (database_.Changes() == 0) continue;  // in the file before: its alert was then
            ++added;
            // The whole check for a capture: one comparison, the kind's level only at annotation.
            if (recordAlertLevel <= 0 || !(record.dose > recordAlertLevel)) continue;
            bool raised = false;
            if (const int rc = RaiseRecordAlert(database_, database_.LastInsertId(),
                                                recordAlertLevel, record.dose, now, raised);
                rc != kOk)
                return rc;
            result.alerts += raised ? 1 : 0;
        }
        return kOk;
    };
    const TTransactionResult written = database_.Transaction(options_.attempts, [&] {
        result.alerts = 0;  // a retried transaction counts again
        const int rc = insertAll(held_, result.addedHeld);
        return rc == kOk ? insertAll(records, result.added) : rc;
    });
    if (!written.Committed()) {
        result.added = result.addedHeld = result.alerts = 0;
        return written.code;
    }
    held_.clear();
    Wrote();
    return kOk;
}

TCaptureResult TJournal::Capture(const std::vector<TJournalRecord>& records,
                                 double recordAlertLevel) {
    TCaptureResult result;
    if (mode_ == TMode::Closed) {
        lastOpen_ = OpenFile(false);
        if (lastOpen_.outcome == TOpenOutcome::Replaced) result.reopened = lastOpen_;
    }
    int rc = kOk;
    if (mode_ == TMode::Writable) {
        rc = WriteHeldAnd(records, recordAlertLevel, result);
        if (sqlite::IsCorrupt(rc)) {
            // Damage met while writing: the file is checked through, and when it is damaged it
            // goes aside like one found so at the start, and the records go to a new journal.
            lastOpen_ = OpenFile(true);
            if (lastOpen_.outcome == TOpenOutcome::Replaced) result.reopened = lastOpen_;
            rc = mode_ == TMode::Writable ? WriteHeldAnd(records, recordAlertLevel, result)
                                          : sqlite::kCorrupt;
        }
    }
    if (mode_ == TMode::Writable && rc == kOk) {
        result.held = 0;
        result.dropped = dropped_;
        return result;
    }
    return HeldResult(records, rc, std::move(result));
}

std::vector<TJournalRecord> TJournal::NewOnes(const std::vector<TJournalRecord>& records) {
    std::set<std::array<std::uint8_t, kRecordSize - 1>> known;
    for (const TJournalRecord& record : held_) known.insert(record.raw);
    std::vector<TJournalRecord> fresh;
    bool fileReadable = database_.IsOpen();
    for (const TJournalRecord& record : records) {
        if (!known.insert(record.raw).second) continue;
        if (fileReadable) {
            try {
                TStatement s =
                    database_.Statement("SELECT EXISTS (SELECT 1 FROM records WHERE raw = ?1)");
                s.Bind(1, record.raw);
                s.First();
                if (s.Int(0) != 0) continue;
            } catch (const EJournal&) {
                // A file that cannot be read now cannot tell: the rest are held, as if new.
                fileReadable = false;
            }
        }
        fresh.push_back(record);
    }
    return fresh;
}

// The records kept in memory, and why. Those the file or the memory holds already are not held
// again: the counts the operator is told are then the new records', and a journal saved aside
// at exit gets no copies of rows the journal has.
TCaptureResult TJournal::HeldResult(const std::vector<TJournalRecord>& records, int code,
                                    TCaptureResult result) {
    const std::vector<TJournalRecord> fresh = NewOnes(records);
    result.heldNew = fresh.size();
    Hold(fresh);
    result.outcome = TCaptureOutcome::Held;
    result.held = held_.size();
    result.dropped = dropped_;
    if (mode_ == TMode::Newer) {
        result.reason = THoldReason::Newer;
    } else if (mode_ == TMode::ReadOnly) {
        result.reason = THoldReason::Unwritable;
        result.sqliteCode = sqlite::kReadOnly;
    } else if (mode_ == TMode::Closed) {
        result.sqliteCode = lastOpen_.sqliteCode;
        result.reason = ReasonOf(lastOpen_.sqliteCode);
        result.error = lastOpen_.error;
    } else {
        result.sqliteCode = code;
        result.reason = ReasonOf(code);
        result.error = sqlite::CodeText(code);
    }
    return result;
}

THeldAtExit TJournal::SaveHeld(const std::string& otherPath, double recordAlertLevel) {
    THeldAtExit result;
    result.records = held_.size();
    result.dropped = dropped_;
    if (held_.empty()) return result;
    if (Capture({}, recordAlertLevel).outcome == TCaptureOutcome::Written) {
        result.outcome = THeldAtExit::Outcome::Written;
        return result;
    }
    const std::vector<TJournalRecord> records(held_.begin(), held_.end());
    held_.clear();
    result.outcome = THeldAtExit::Outcome::Lost;
    if (otherPath.empty()) return result;
    TJournal other(otherPath, clock_, options_);
    (void)other.Open();  // Capture tells whether it took them
    if (other.Capture(records, recordAlertLevel).outcome == TCaptureOutcome::Written) {
        result.outcome = THeldAtExit::Outcome::Saved;
        result.savedTo = otherPath;
    }
    return result;
}

std::int64_t TJournal::DataVersion() {
    TStatement s = Database().Statement("PRAGMA data_version");
    s.First();
    return s.Int64(0) + ownWrites_;
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
    const std::int64_t version = DataVersion();
    const bool changed = seenVersion_ >= 0 && version != seenVersion_;
    seenVersion_ = version;
    return changed;
}

}  // namespace virel
