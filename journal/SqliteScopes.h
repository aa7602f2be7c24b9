#pragma once
// Scope types for SQLite's connection and statement. The journal's own headers name SQLite's
// types only by declaration, so a unit that uses the journal does not need sqlite3.h.
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace virel {

struct TSqliteClose {
    void operator()(sqlite3* db) const;  // sqlite3_close_v2: statements left open end with it
};
using TSqliteDb = std::unique_ptr<sqlite3, TSqliteClose>;

struct TSqliteFinalize {
    void operator()(sqlite3_stmt* statement) const;
};
using TSqliteStatement = std::unique_ptr<sqlite3_stmt, TSqliteFinalize>;

// A prepared statement used again: reset and its parameters cleared when the scope ends, so
// the next use starts clean and no read transaction stays open behind a finished query.
class TStatementUse {
public:
    explicit TStatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~TStatementUse();
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;
    sqlite3_stmt* get() const { return statement_; }

private:
    sqlite3_stmt* statement_;
};

}  // namespace virel
