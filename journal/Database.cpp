#include "journal/Database.h"

#include <sqlite3.h>

#include <utility>

namespace virel {

static_assert(sqlite::kOk == SQLITE_OK && sqlite::kError == SQLITE_ERROR &&
              sqlite::kPerm == SQLITE_PERM && sqlite::kBusy == SQLITE_BUSY &&
              sqlite::kLocked == SQLITE_LOCKED && sqlite::kReadOnly == SQLITE_READONLY &&
              sqlite::kIoErr == SQLITE_IOERR && sqlite::kCorrupt == SQLITE_CORRUPT &&
              sqlite::kFull == SQLITE_FULL && sqlite::kCantOpen == SQLITE_CANTOPEN &&
              sqlite::kConstraint == SQLITE_CONSTRAINT && sqlite::kAuth == SQLITE_AUTH &&
              sqlite::kNotADb == SQLITE_NOTADB && sqlite::kRow == SQLITE_ROW &&
              sqlite::kDone == SQLITE_DONE);

std::string sqlite::CodeText(int code) {
    return sqlite3_errstr(code);
}

TStatement::TStatement(const TDatabase& database, sqlite3_stmt* statement, bool owned, int prepared)
    : database_(&database), statement_(statement), owned_(owned), prepared_(prepared) {}

TStatement::TStatement(TStatement&& other) noexcept
    : database_(other.database_),
      statement_(std::exchange(other.statement_, nullptr)),
      owned_(other.owned_),
      prepared_(other.prepared_) {}

TStatement::~TStatement() {
    if (!statement_) return;
    if (owned_) {
        sqlite3_finalize(statement_);
        return;
    }
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

TStatement& TStatement::Bind(int index, int value) {
    sqlite3_bind_int(statement_, index, value);
    return *this;
}

TStatement& TStatement::Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, static_cast<sqlite3_int64>(value));
    return *this;
}

TStatement& TStatement::Bind(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
    return *this;
}

TStatement& TStatement::Bind(int index, const std::string& text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

TStatement& TStatement::Bind(int index, const char* text) {
    sqlite3_bind_text(statement_, index, text, -1, SQLITE_TRANSIENT);
    return *this;
}

TStatement& TStatement::Bind(int index, std::span<const std::uint8_t> bytes) {
    sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

TStatement& TStatement::BindNull(int index) {
    sqlite3_bind_null(statement_, index);
    return *this;
}

int TStatement::Step() {
    if (!statement_) return prepared_ != SQLITE_OK ? prepared_ : SQLITE_MISUSE;
    return sqlite3_step(statement_);
}

bool TStatement::Next() {
    const int rc = Step();
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) database_->Fail(rc);
    return false;
}

void TStatement::First() {
    const int rc = Step();
    if (rc != SQLITE_ROW) database_->Fail(rc);
}

void TStatement::Run() {
    const int rc = Step();
    if (rc != SQLITE_DONE) database_->Fail(rc);
}

TColumnType TStatement::Type(int column) const {
    switch (sqlite3_column_type(statement_, column)) {
        case SQLITE_INTEGER:
            return TColumnType::Integer;
        case SQLITE_FLOAT:
            return TColumnType::Float;
        case SQLITE_TEXT:
            return TColumnType::Text;
        case SQLITE_BLOB:
            return TColumnType::Blob;
        default:
            return TColumnType::Null;
    }
}

int TStatement::Int(int column) const {
    return sqlite3_column_int(statement_, column);
}

std::int64_t TStatement::Int64(int column) const {
    return sqlite3_column_int64(statement_, column);
}

double TStatement::Double(int column) const {
    return sqlite3_column_double(statement_, column);
}

std::string TStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    if (!text) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::span<const std::uint8_t> TStatement::Blob(int column) const {
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, column));
    if (!bytes) return {};
    return {bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

std::optional<int> TStatement::OptionalInt(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Int(column);
}

std::optional<std::int64_t> TStatement::OptionalInt64(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Int64(column);
}

std::optional<double> TStatement::OptionalDouble(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Double(column);
}

std::optional<std::string> TStatement::OptionalText(int column) const {
    if (IsNull(column)) return std::nullopt;
    return Text(column);
}

void TDatabase::TClose::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);  // statements still open would end with it
}

void TDatabase::TFinalize::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

TDatabase::TDatabase() = default;

TDatabase::~TDatabase() {
    Close();
}

int TDatabase::Open(const std::string& path, int busyTimeoutMs) {
    Close();
    path_ = path;
    sqlite3* raw = nullptr;
    // One thread per connection: SQLite's own locking of the connection is not needed.
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(raw);
    if (raw) {
        sqlite3_extended_result_codes(raw, 1);
        sqlite3_busy_timeout(raw, busyTimeoutMs);
    }
    return rc;
}

void TDatabase::Close() {
    statements_.clear();
    db_.reset();
}

bool TDatabase::ReadOnly() const {
    return db_ && sqlite3_db_readonly(db_.get(), "main") == 1;
}

std::string TDatabase::Message(int code) const {
    return db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(code);
}

void TDatabase::Fail(int code) const {
    throw EJournal(path_ + ": " + Message(code), code);
}

TStatement TDatabase::Statement(const char* sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        sqlite3_stmt* raw = nullptr;
        const int rc =
            sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
        std::unique_ptr<sqlite3_stmt, TFinalize> prepared(raw);
        if (rc != SQLITE_OK) Fail(rc);
        found = statements_.emplace(sql, std::move(prepared)).first;
    }
    return TStatement(*this, found->second.get(), false, SQLITE_OK);
}

TStatement TDatabase::Once(const char* sql) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), sql, -1, &raw, nullptr);
    return TStatement(*this, raw, true, rc);
}

int TDatabase::Exec(const char* sql) {
    return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
}

std::int64_t TDatabase::Changes() const {
    return sqlite3_changes(db_.get());
}

std::int64_t TDatabase::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_.get());
}

bool TDatabase::InTransaction() const {
    return db_ && !sqlite3_get_autocommit(db_.get());
}

TTransactionResult TDatabase::Transaction(int attempts, const std::function<int()>& body) {
    TTransactionResult result;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int rc = Exec("BEGIN IMMEDIATE");
        result.error.clear();
        try {
            if (rc == SQLITE_OK) rc = body();
        } catch (const EJournal& e) {
            rc = e.Code() != SQLITE_OK ? e.Code() : SQLITE_ERROR;
            result.error = e.what();
        } catch (...) {
            if (InTransaction()) (void)Exec("ROLLBACK");
            throw;
        }
        if (rc == SQLITE_OK) rc = Exec("COMMIT");
        result.code = rc;
        if (rc == SQLITE_OK) return result;
        // The message as the failure left it: the rollback would put its own in its place.
        if (result.error.empty()) result.error = path_ + ": " + Message(rc);
        if (InTransaction()) (void)Exec("ROLLBACK");
        if (!sqlite::IsBusy(rc)) break;
    }
    return result;
}

}  // namespace virel
