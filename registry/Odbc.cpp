#include "registry/Odbc.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "core/Utf16.h"

namespace virel::odbc {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide texts must be UTF-16");
static_assert(sizeof(SQLLEN) == sizeof(std::int64_t), "a 64-bit program");

bool Ok(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

std::u16string Wide(const std::string& utf8) {
    return Utf8ToUtf16(utf8);
}

SQLWCHAR* W(std::u16string& text) {
    return reinterpret_cast<SQLWCHAR*>(text.data());
}

// Every diagnostic record of the handle as "SQLSTATE message", joined by "; "; the first state.
std::pair<std::string, std::string> Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text, first;
    for (SQLSMALLINT i = 1; handle && i <= 5; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR message[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, message,
                                            static_cast<SQLSMALLINT>(std::size(message)), &length);
        if (!Ok(rc)) break;
        const std::string s =
            Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(state), 5));
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                              std::size(message) - 1);
        std::string m =
            Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(message), n));
        // One line: the server's texts end in a line break and may hold more.
        std::string line;
        for (char c : m) {
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
            if (c != ' ' || (!line.empty() && line.back() != ' ')) line += c;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        m = line;
        // A warning (class 01) says less than the error after it.
        if (first.empty() || (first.rfind("01", 0) == 0 && s.rfind("01", 0) != 0)) first = s;
        if (!text.empty()) text += "; ";
        text += s + " " + m;
    }
    return {first, text};
}

[[noreturn]] void Throw(const char* what, SQLSMALLINT type, SQLHANDLE handle,
                        const std::string& password) {
    auto [state, text] = Diagnostics(type, handle);
    if (text.empty()) text = std::string(what) + ": no diagnostic from the driver";
    throw EOdbc(Scrubbed(text, password), state);
}

bool StartsWithIgnoringCase(const std::string& text, std::size_t at, const char* key) {
    const std::size_t n = std::strlen(key);
    if (at + n > text.size()) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != key[i]) return false;
    }
    return true;
}

}  // namespace

std::string Scrubbed(std::string text, const std::string& password) {
    if (!password.empty()) {
        for (std::size_t at = text.find(password); at != std::string::npos;
             at = text.find(password, at + 3)) {
            text.replace(at, password.size(), "***");
        }
    }
    // The value after "pwd=" or "password=", braced or up to ";" or the end.
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t valueAt = 0;
        if (StartsWithIgnoringCase(text, i, "pwd=")) valueAt = i + 4;
        else if (StartsWithIgnoringCase(text, i, "password="))
            valueAt = i + 9;
        else
            continue;
        std::size_t end = valueAt;
        if (end < text.size() && text[end] == '{') {
            ++end;
            while (end < text.size()) {
                if (text[end] == '}' && end + 1 < text.size() && text[end + 1] == '}') {
                    end += 2;
                } else if (text[end] == '}') {
                    ++end;
                    break;
                } else {
                    ++end;
                }
            }
        } else {
            while (end < text.size() && text[end] != ';') ++end;
        }
        text.replace(valueAt, end - valueAt, "***");
        i = valueAt + 2;
    }
    return text;
}

std::string FullConnectionString(const std::string& connection, const std::string& password) {
    std::string full = connection;
    if (full.find('=') == std::string::npos) full = "DSN=" + full;
    if (!full.empty() && full.back() != ';') full += ';';
    if (!password.empty()) {
        std::string quoted;
        for (char c : password) {
            quoted += c;
            if (c == '}') quoted += '}';
        }
        full += "Pwd={" + quoted + "};";
    }
    return full;
}

void TParams::Text(const std::optional<std::string>& utf8) {
    TValue& v = values_.emplace_back();
    v.kind = TKind::Text;
    v.null = !utf8;
    if (utf8) v.text = Wide(*utf8);
}

void TParams::Int(std::optional<std::int64_t> value) {
    TValue& v = values_.emplace_back();
    v.kind = TKind::Int;
    v.null = !value;
    v.integer = value.value_or(0);
}

void TParams::Double(std::optional<double> value) {
    TValue& v = values_.emplace_back();
    v.kind = TKind::Double;
    v.null = !value;
    v.real = value.value_or(0);
}

void TParams::Bytes(const std::uint8_t* data, std::size_t size) {
    TValue& v = values_.emplace_back();
    v.kind = TKind::Bytes;
    v.bytes.assign(data, data + size);
}

TStatement::TStatement(void* handle, const std::string& password)
    : handle_(handle), password_(password) {}

TStatement::TStatement(TStatement&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), password_(std::move(other.password_)) {}

TStatement::~TStatement() {
    if (handle_) SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

void TStatement::Fail(const char* what, short rc) {
    (void)rc;
    Throw(what, SQL_HANDLE_STMT, handle_, password_);
}

std::int64_t TStatement::Execute(TParams& params) {
    SQLFreeStmt(handle_, SQL_RESET_PARAMS);
    SQLUSMALLINT n = 0;
    for (TParams::TValue& v : params.values_) {
        ++n;
        SQLRETURN rc = SQL_SUCCESS;
        SQLLEN* indicator = reinterpret_cast<SQLLEN*>(&v.indicator);
        switch (v.kind) {
            case TParams::TKind::Text:
                v.indicator = v.null ? SQL_NULL_DATA
                                     : static_cast<SQLLEN>(v.text.size() * sizeof(char16_t));
                rc = SQLBindParameter(handle_, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                      std::max<SQLULEN>(v.text.size(), 1), 0,
                                      reinterpret_cast<SQLPOINTER>(v.text.data()),
                                      static_cast<SQLLEN>(v.text.size() * sizeof(char16_t)),
                                      indicator);
                break;
            case TParams::TKind::Int:
                v.indicator = v.null ? SQL_NULL_DATA : 0;
                rc = SQLBindParameter(handle_, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                      &v.integer, 0, indicator);
                break;
            case TParams::TKind::Double:
                v.indicator = v.null ? SQL_NULL_DATA : 0;
                rc = SQLBindParameter(handle_, n, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                      &v.real, 0, indicator);
                break;
            case TParams::TKind::Bytes:
                v.indicator = static_cast<SQLLEN>(v.bytes.size());
                rc = SQLBindParameter(handle_, n, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY,
                                      std::max<SQLULEN>(v.bytes.size(), 1), 0, v.bytes.data(),
                                      static_cast<SQLLEN>(v.bytes.size()), indicator);
                break;
        }
        if (!Ok(rc)) Fail("SQLBindParameter", rc);
    }
    const SQLRETURN rc = SQLExecute(handle_);
    if (!Ok(rc) && rc != SQL_NO_DATA) Fail("SQLExecute", rc);
    SQLLEN rows = -1;
    SQLRowCount(handle_, &rows);
    return rows;
}

void TStatement::Direct(const std::string& sql) {
    std::u16string text = Wide(sql);
    const SQLRETURN rc = SQLExecDirectW(handle_, W(text), SQL_NTS);
    if (!Ok(rc) && rc != SQL_NO_DATA) Fail("SQLExecDirectW", rc);
}

bool TStatement::Fetch() {
    const SQLRETURN rc = SQLFetch(handle_);
    if (rc == SQL_NO_DATA) return false;
    if (!Ok(rc)) Fail("SQLFetch", rc);
    return true;
}

std::optional<std::string> TStatement::Text(int column) {
    // In pieces: a note may be long. Each piece but the last fills the buffer, ending in a
    // terminating zero that is no part of the text.
    std::u16string text;
    char16_t buffer[2048];
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN rc = SQLGetData(handle_, static_cast<SQLUSMALLINT>(column), SQL_C_WCHAR,
                                        buffer, sizeof buffer, &length);
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) Fail("SQLGetData", rc);
        if (length == SQL_NULL_DATA) return std::nullopt;
        const std::size_t capacity = std::size(buffer) - 1;
        if (length == SQL_NO_TOTAL || static_cast<std::size_t>(length) / 2 > capacity) {
            text.append(buffer, capacity);
            continue;
        }
        text.append(buffer, static_cast<std::size_t>(length) / 2);
        break;
    }
    return Utf16ToUtf8(text);
}

std::optional<std::int64_t> TStatement::Int(int column) {
    SQLBIGINT value = 0;
    SQLLEN length = 0;
    const SQLRETURN rc = SQLGetData(handle_, static_cast<SQLUSMALLINT>(column), SQL_C_SBIGINT,
                                    &value, sizeof value, &length);
    if (!Ok(rc)) Fail("SQLGetData", rc);
    if (length == SQL_NULL_DATA) return std::nullopt;
    return value;
}

std::optional<double> TStatement::Double(int column) {
    double value = 0;
    SQLLEN length = 0;
    const SQLRETURN rc = SQLGetData(handle_, static_cast<SQLUSMALLINT>(column), SQL_C_DOUBLE,
                                    &value, sizeof value, &length);
    if (!Ok(rc)) Fail("SQLGetData", rc);
    if (length == SQL_NULL_DATA) return std::nullopt;
    return value;
}

void TStatement::CloseCursor() {
    SQLFreeStmt(handle_, SQL_CLOSE);
}

TConnection::TConnection(const std::string& connection, const std::string& password,
                         int loginTimeoutS)
    : password_(password) {
    SQLHANDLE env = nullptr;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw EOdbc("ODBC: no environment handle (is the driver manager installed?)", "");
    env_ = env;
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHANDLE dbc = nullptr;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc)))
        Throw("SQLAllocHandle", SQL_HANDLE_ENV, env_, password_);
    dbc_ = dbc;
    SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(loginTimeoutS)), 0);
    std::u16string in = Wide(FullConnectionString(connection, password));
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, W(in), SQL_NTS, out,
                                           static_cast<SQLSMALLINT>(std::size(out)), &outLength,
                                           SQL_DRIVER_NOPROMPT);
    // The text held the password: it goes before anything else can see it.
    std::fill(in.begin(), in.end(), u'\0');
    std::fill(std::begin(out), std::end(out), SQLWCHAR{0});
    if (!Ok(rc)) Fail("SQLDriverConnectW", rc, dbc_, SQL_HANDLE_DBC);
    connected_ = true;
    const SQLRETURN off = SQLSetConnectAttr(
        dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    if (!Ok(off)) {
        connected_ = false;
        SQLDisconnect(dbc_);
        Fail("SQL_ATTR_AUTOCOMMIT", off, dbc_, SQL_HANDLE_DBC);
    }
}

TConnection::~TConnection() {
    if (connected_) {
        SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLDisconnect(dbc_);
    }
    if (dbc_) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void TConnection::Fail(const char* what, short rc, void* handle, short type) {
    (void)rc;
    // Free what was made here: the destructor does not run for a constructor that throws.
    EOdbc error("", "");
    try {
        Throw(what, type, handle, password_);
    } catch (EOdbc& e) {
        error = e;
    }
    if (!connected_) {
        if (dbc_) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
        dbc_ = env_ = nullptr;
    }
    throw error;
}

TStatement TConnection::NewStatement() {
    SQLHANDLE handle = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &handle);
    if (!Ok(rc)) Fail("SQLAllocHandle", rc, dbc_, SQL_HANDLE_DBC);
    return TStatement(handle, password_);
}

TStatement TConnection::Prepare(const std::string& sql) {
    TStatement statement = NewStatement();
    std::u16string text = Wide(sql);
    const SQLRETURN rc = SQLPrepareW(statement.handle_, W(text), SQL_NTS);
    if (!Ok(rc)) statement.Fail("SQLPrepareW", rc);
    return statement;
}

void TConnection::Execute(const std::string& sql) {
    TStatement statement = NewStatement();
    statement.Direct(sql);
}

void TConnection::Commit() {
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT);
    if (!Ok(rc)) Fail("SQLEndTran", rc, dbc_, SQL_HANDLE_DBC);
}

bool TConnection::Dead() {
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN rc = SQLGetConnectAttr(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return Ok(rc) && dead == SQL_CD_TRUE;
}

void TConnection::Rollback() {
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
}

}  // namespace virel::odbc
