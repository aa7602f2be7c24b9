#pragma once
// The program's one way to SQLite: a connection, its prepared statements, a statement in use
// and the write transaction with its retries while another connection holds the file. Every
// SQL statement of the program goes through here; SQLite's own header stays in Database.cpp,
// so that nothing else depends on it (the tests and benchmarks that look at the file behind
// the program's back excepted).
//
// One connection is used by one thread; SQLite's own locking of it is off.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "core/Errors.h"

struct sqlite3;
struct sqlite3_stmt;

namespace virel {

// A statement failed (SQLite's message and result code): ends the operation in the error box.
class EJournal : public Exception {
public:
    EJournal(const std::string& message, int code) : Exception(message), code_(code) {}
    int Code() const { return code_; }  // SQLite's extended result code

private:
    int code_;
};

// The result codes the program tells apart, numbered as sqlite3.h numbers them (Database.cpp
// checks that they agree). An extended code's low byte is its primary code.
namespace sqlite {
inline constexpr int kOk = 0;
inline constexpr int kError = 1;
inline constexpr int kPerm = 3;
inline constexpr int kBusy = 5;
inline constexpr int kLocked = 6;
inline constexpr int kReadOnly = 8;
inline constexpr int kIoErr = 10;
inline constexpr int kCorrupt = 11;
inline constexpr int kFull = 13;
inline constexpr int kCantOpen = 14;
inline constexpr int kConstraint = 19;
inline constexpr int kAuth = 23;
inline constexpr int kNotADb = 26;
inline constexpr int kRow = 100;
inline constexpr int kDone = 101;

inline int Primary(int code) {
    return code & 0xFF;
}
// Another connection holds what this one needs (SQLITE_BUSY, SQLITE_LOCKED).
inline bool IsBusy(int code) {
    return Primary(code) == kBusy || Primary(code) == kLocked;
}
inline bool IsCorrupt(int code) {
    return Primary(code) == kCorrupt || Primary(code) == kNotADb;
}
// SQLite's own English text of a result code.
std::string CodeText(int code);
}  // namespace sqlite

enum class TColumnType { Integer, Float, Text, Blob, Null };

class TDatabase;

// A statement in use: bound, stepped, its columns read. Its end resets it and clears its
// parameters, so that the next use starts clean and no read transaction stays open behind a
// finished query; a statement prepared for one use alone is finalized then.
class TStatement {
public:
    TStatement(TStatement&& other) noexcept;
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;
    TStatement& operator=(TStatement&&) = delete;
    ~TStatement();

    // Parameters are numbered from 1, as in the SQL text's ?1, ?2. Texts and bytes are copied.
    TStatement& Bind(int index, int value);
    TStatement& Bind(int index, std::int64_t value);
    TStatement& Bind(int index, double value);
    TStatement& Bind(int index, const std::string& text);
    TStatement& Bind(int index, const char* text);
    TStatement& Bind(int index, std::span<const std::uint8_t> bytes);
    TStatement& BindNull(int index);
    // None is NULL.
    template <class T>
    TStatement& Bind(int index, const std::optional<T>& value) {
        return value ? Bind(index, *value) : BindNull(index);
    }

    // The next step's code: kRow, kDone or the failure (of the preparing, when that failed).
    [[nodiscard]] int Step();
    // The next row; false after the last. Throws EJournal when the step fails.
    bool Next();
    // The first row, which the query always has (a count, an EXISTS). Throws EJournal.
    void First();
    // Runs a statement that returns no rows. Throws EJournal when it fails.
    void Run();

    // The current row's columns, numbered from 0.
    TColumnType Type(int column) const;
    bool IsNull(int column) const { return Type(column) == TColumnType::Null; }
    int Int(int column) const;
    std::int64_t Int64(int column) const;
    double Double(int column) const;
    std::string Text(int column) const;  // every byte, zero characters included; "" for NULL
    std::span<const std::uint8_t> Blob(int column) const;  // valid until the next step
    std::optional<int> OptionalInt(int column) const;
    std::optional<std::int64_t> OptionalInt64(int column) const;
    std::optional<double> OptionalDouble(int column) const;
    std::optional<std::string> OptionalText(int column) const;

private:
    friend class TDatabase;
    TStatement(const TDatabase& database, sqlite3_stmt* statement, bool owned, int prepared);

    const TDatabase* database_;  // for the text of a failure
    sqlite3_stmt* statement_;
    bool owned_;    // prepared for this use alone
    int prepared_;  // the preparing's code
};

// What a write transaction came to: kOk when it committed, else SQLite's code of the failure
// and "<path>: <SQLite's message>" as it was when the failure happened.
struct TTransactionResult {
    int code = sqlite::kOk;
    std::string error;
    bool Committed() const { return code == sqlite::kOk; }
};

class TDatabase {
public:
    TDatabase();
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    // Opens or makes the file for reading and writing, with extended result codes and the busy
    // time-out: how long one statement waits for another connection's write lock. SQLite's
    // code; after a failure Message tells why until Close.
    [[nodiscard]] int Open(const std::string& path, int busyTimeoutMs);
    // The statements first, then the connection.
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // The file or its folder cannot be written: the connection opened read only.
    bool ReadOnly() const;

    // The connection's message of its last failure; the code's own text without a connection.
    std::string Message(int code) const;
    // Throws EJournal("<path>: <Message>", code).
    [[noreturn]] void Fail(int code) const;

    // A statement prepared at its first use and kept while the connection lives. Keyed by the
    // SQL text's address: for texts that live as long (literals). Throws EJournal when it
    // cannot be prepared.
    TStatement Statement(const char* sql);
    // A statement for this use alone; a failure to prepare it shows at its first Step.
    TStatement Once(const char* sql);
    // Runs SQL text that returns nothing (one statement or several). SQLite's code.
    [[nodiscard]] int Exec(const char* sql);

    std::int64_t Changes() const;  // rows the last statement changed
    std::int64_t LastInsertId() const;
    bool InTransaction() const;

    // BEGIN IMMEDIATE, the body, COMMIT; ROLLBACK when any of them fails. IMMEDIATE takes the
    // write lock at the start, so waiting for another writer happens in the busy handler there
    // and never as a failure in the middle. While another connection keeps the lock beyond
    // the busy time-out the whole is tried again, `attempts` times in all. The body returns
    // kOk to commit or the code of its failure; an EJournal it throws is a failure with its
    // code; anything else it throws is rolled back and passed on.
    [[nodiscard]] TTransactionResult Transaction(int attempts, const std::function<int()>& body);

private:
    struct TClose {
        void operator()(sqlite3* db) const;
    };
    struct TFinalize {
        void operator()(sqlite3_stmt* statement) const;
    };

    std::unique_ptr<sqlite3, TClose> db_;
    std::string path_;
    std::map<const char*, std::unique_ptr<sqlite3_stmt, TFinalize>> statements_;
};

}  // namespace virel
