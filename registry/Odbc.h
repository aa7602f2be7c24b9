#pragma once
// A thin layer over the ODBC API for the registry: handles that free themselves, parameters
// bound by value (no value is ever spliced into SQL text), and the driver's diagnostics as one
// line with SQLSTATE. Texts cross ODBC as 16-bit SQLWCHAR on both systems (the W functions), so
// Cyrillic arrives the same natively through unixODBC and on Windows through odbc32.
//
// The handles are kept as void* (SQLHANDLE is one on both systems): the header needs neither
// sql.h nor <windows.h>.
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/Errors.h"

namespace virel::odbc {

// A failed ODBC call: SQLSTATE and the driver's or server's text, the password scrubbed.
class EOdbc : public Exception {
public:
    EOdbc(const std::string& message, std::string state)
        : Exception(message), state_(std::move(state)) {}
    const std::string& State() const { return state_; }  // "08001", "28P01", … ("" unknown)

private:
    std::string state_;
};

// The text with every "Pwd=…" / "Password=…" value and every occurrence of the password
// itself replaced by "***": a driver may echo the connection string in its messages.
std::string Scrubbed(std::string text, const std::string& password);

// The connection string the driver gets: a text without "=" is a DSN's name; the password is
// added as Pwd={…} (with "}" doubled, as ODBC quotes) when not empty.
std::string FullConnectionString(const std::string& connection, const std::string& password);

// Values for one execution, kept where the driver reads them until it has executed.
class TParams {
public:
    void Text(const std::optional<std::string>& utf8);  // NULL when none
    void Int(std::optional<std::int64_t> value);
    void Double(std::optional<double> value);  // NULL when none
    void Bytes(const std::uint8_t* data, std::size_t size);
    std::size_t Size() const { return values_.size(); }
    void Clear() { values_.clear(); }

private:
    friend class TStatement;
    enum class TKind { Text, Int, Double, Bytes };
    struct TValue {
        TKind kind = TKind::Int;
        bool null = false;
        std::int64_t integer = 0;
        double real = 0;
        std::u16string text;
        std::vector<std::uint8_t> bytes;
        std::int64_t indicator = 0;  // SQLLEN: the length in bytes or SQL_NULL_DATA
    };
    std::deque<TValue> values_;  // a deque: the addresses bound stay put while values are added
};

class TConnection;

class TStatement {
public:
    TStatement(TStatement&& other) noexcept;
    TStatement& operator=(TStatement&&) = delete;
    TStatement(const TStatement&) = delete;
    ~TStatement();

    // Binds the values and executes the prepared text; the rows it changed (-1 unknown).
    std::int64_t Execute(TParams& params);
    // Executes a text without parameters (no value in it).
    void Direct(const std::string& sql);
    bool Fetch();  // the next row of the result; false at its end
    // A column of the current row (from 1, each read once, in order); none for NULL.
    std::optional<std::string> Text(int column);
    std::optional<std::int64_t> Int(int column);
    std::optional<double> Double(int column);
    void CloseCursor();

private:
    friend class TConnection;
    TStatement(void* handle, const std::string& password);
    [[noreturn]] void Fail(const char* what, short rc);
    void* handle_;
    std::string password_;
};

class TConnection {
public:
    // Connects (throws EOdbc with the reason); transactions are explicit: autocommit off.
    TConnection(const std::string& connection, const std::string& password, int loginTimeoutS = 15);
    ~TConnection();
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    TStatement Prepare(const std::string& sql);
    TStatement NewStatement();
    void Execute(const std::string& sql);  // a text without parameters, in the transaction
    void Commit();
    void Rollback();  // never throws: the connection may be gone already
    // The driver's word that the connection is lost (the server stopped, the network gone).
    bool Dead();

private:
    [[noreturn]] void Fail(const char* what, short rc, void* handle, short type);
    void* env_ = nullptr;
    void* dbc_ = nullptr;
    bool connected_ = false;
    std::string password_;
};

}  // namespace virel::odbc
