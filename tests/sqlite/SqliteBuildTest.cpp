// The SQLite that the journal links, as built: its version, its thread safety, and a WAL database
// under a Cyrillic path (a clinic's folders are named in Russian) written and read back.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#ifndef VIREL_SQLITE_SOURCE_VERSION
#error "build with the version of the SQLite sources"
#endif

namespace virel {
namespace {

namespace fs = std::filesystem;

// Paths from and to UTF-8 whatever the system's code page.
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// One connection, closed when it goes.
class TDb {
public:
    TDb() = default;
    TDb(const TDb&) = delete;
    TDb& operator=(const TDb&) = delete;
    ~TDb() { sqlite3_close(db_); }
    sqlite3** Out() { return &db_; }
    sqlite3* operator*() const { return db_; }
    std::string Error() const { return db_ ? sqlite3_errmsg(db_) : "no connection"; }

private:
    sqlite3* db_ = nullptr;
};

// One prepared statement, finalized when it goes.
class TStmt {
public:
    TStmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    TStmt(const TStmt&) = delete;
    TStmt& operator=(const TStmt&) = delete;
    ~TStmt() { sqlite3_finalize(stmt_); }
    int PrepareResult() const { return rc_; }
    sqlite3_stmt* operator*() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

int Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The single text a query returns, or "" when it returns none.
std::string Text(sqlite3* db, const char* sql) {
    TStmt stmt(db, sql);
    if (stmt.PrepareResult() != SQLITE_OK || sqlite3_step(*stmt) != SQLITE_ROW) return "";
    const unsigned char* text = sqlite3_column_text(*stmt, 0);
    return text ? reinterpret_cast<const char*>(text) : "";
}

class SqliteInCyrillicFolder : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() /
                   PathOf("virel-журнал доз-" +
                          std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path file = dir / PathOf("Журнал ВИРЕЛ1.db");
    void SetUp() override {
        fs::remove_all(dir);
        ASSERT_TRUE(fs::create_directories(dir));
    }
    void TearDown() override { fs::remove_all(dir); }

    std::set<fs::path> Files() const {
        std::set<fs::path> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
        return names;
    }
};

TEST(SqliteBuild, IsTheVersionOfDebiansSourcePackageAndThreadSafe) {
    EXPECT_STREQ(sqlite3_libversion(), VIREL_SQLITE_SOURCE_VERSION);
    // The header the journal is compiled against belongs to the library it runs with.
    EXPECT_STREQ(sqlite3_libversion(), SQLITE_VERSION);
    EXPECT_STREQ(sqlite3_sourceid(), SQLITE_SOURCE_ID);
    // The journal window and the capture use the journal from two threads.
    EXPECT_NE(sqlite3_threadsafe(), 0);
}

#ifdef _WIN32
TEST(SqliteBuild, TheWindowsBuildHasItsOptions) {
    EXPECT_EQ(sqlite3_threadsafe(), 1);
    EXPECT_TRUE(sqlite3_compileoption_used("THREADSAFE=1"));
    EXPECT_TRUE(sqlite3_compileoption_used("DQS=0"));
    EXPECT_TRUE(sqlite3_compileoption_used("OMIT_LOAD_EXTENSION"));
    EXPECT_TRUE(sqlite3_compileoption_used("USE_URI"));
    EXPECT_FALSE(sqlite3_compileoption_used("DEFAULT_FOREIGN_KEYS"));

    TDb db;
    ASSERT_EQ(sqlite3_open_v2(":memory:", db.Out(), SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    ASSERT_EQ(Exec(*db, "CREATE TABLE t(dose REAL)"), SQLITE_OK);
    // A double-quoted word is a column name only, never taken for a string.
    EXPECT_EQ(Exec(*db, "SELECT \"doze\" FROM t"), SQLITE_ERROR);
    EXPECT_EQ(db.Error(), "no such column: doze");
    EXPECT_EQ(Exec(*db, "SELECT \"dose\" FROM t"), SQLITE_OK);
}
#endif

TEST_F(SqliteInCyrillicFolder, AWalDatabaseKeepsCyrillicTextUnderItsCyrillicName) {
    const std::string name = "Иванова Ё. Ю., рентгенография ОГК";
    const std::u16string name16 = u"Иванова Ё. Ю., рентгенография ОГК";
    const unsigned char raw[] = {0x00, 0x2A, 0x00, 0x07, 0x35, 0xFF};
    {
        // A UTF-8 path, as the journal opens it.
        TDb db;
        ASSERT_EQ(sqlite3_open_v2(Utf8(file).c_str(), db.Out(),
                                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                  SQLITE_OK)
            << db.Error();
        EXPECT_EQ(Text(*db, "PRAGMA journal_mode=WAL"), "wal");
        ASSERT_EQ(Exec(*db,
                       "CREATE TABLE records(id INTEGER PRIMARY KEY, raw BLOB UNIQUE, "
                       "patient TEXT)"),
                  SQLITE_OK)
            << db.Error();
        TStmt insert(*db, "INSERT INTO records(raw, patient) VALUES(?, ?)");
        ASSERT_EQ(insert.PrepareResult(), SQLITE_OK) << db.Error();
        sqlite3_bind_blob(*insert, 1, raw, sizeof raw, SQLITE_STATIC);
        sqlite3_bind_text(*insert, 2, name.c_str(), -1, SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(*insert), SQLITE_DONE) << db.Error();
        // The write-ahead log and its index sit beside the database, under its name.
        EXPECT_EQ(Files(),
                  (std::set<fs::path>{PathOf("Журнал ВИРЕЛ1.db"), PathOf("Журнал ВИРЕЛ1.db-wal"),
                                      PathOf("Журнал ВИРЕЛ1.db-shm")}));
    }
    // Closing the last connection folds the log into the database and removes both.
    EXPECT_EQ(Files(), std::set<fs::path>{PathOf("Журнал ВИРЕЛ1.db")});

    // A second connection, through the UTF-16 path, finds the row on disk.
    TDb db;
    ASSERT_EQ(sqlite3_open16(file.u16string().c_str(), db.Out()), SQLITE_OK) << db.Error();
    EXPECT_EQ(Text(*db, "PRAGMA journal_mode"), "wal");
    TStmt select(*db, "SELECT raw, patient, length(patient) FROM records");
    ASSERT_EQ(select.PrepareResult(), SQLITE_OK) << db.Error();
    ASSERT_EQ(sqlite3_step(*select), SQLITE_ROW) << db.Error();
    ASSERT_EQ(sqlite3_column_bytes(*select, 0), static_cast<int>(sizeof raw));
    EXPECT_EQ(std::memcmp(sqlite3_column_blob(*select, 0), raw, sizeof raw), 0);
    EXPECT_EQ(reinterpret_cast<const char*>(sqlite3_column_text(*select, 1)), name);
    // Characters, not bytes: the text is stored as UTF-8 and known as such.
    EXPECT_EQ(sqlite3_column_int(*select, 2), static_cast<int>(name16.size()));
    EXPECT_EQ(static_cast<const char16_t*>(sqlite3_column_text16(*select, 1)), name16);
    EXPECT_EQ(sqlite3_step(*select), SQLITE_DONE);
}

TEST_F(SqliteInCyrillicFolder, TwoThreadsWriteThroughTheirOwnConnections) {
    {
        TDb db;
        ASSERT_EQ(sqlite3_open_v2(Utf8(file).c_str(), db.Out(),
                                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                  SQLITE_OK)
            << db.Error();
        ASSERT_EQ(Text(*db, "PRAGMA journal_mode=WAL"), "wal");
        ASSERT_EQ(Exec(*db, "CREATE TABLE records(id INTEGER PRIMARY KEY, writer INTEGER)"),
                  SQLITE_OK)
            << db.Error();
    }
    constexpr int kRows = 100;
    int failures[2] = {0, 0};
    auto writer = [&](int who) {
        TDb db;
        if (sqlite3_open_v2(Utf8(file).c_str(), db.Out(), SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK) {
            failures[who] = kRows;
            return;
        }
        // Each waits for the other's transaction instead of failing on it.
        sqlite3_busy_timeout(*db, 30000);
        Exec(*db, "PRAGMA synchronous=NORMAL");
        const std::string insert = "BEGIN IMMEDIATE; INSERT INTO records(writer) VALUES(" +
                                   std::to_string(who) + "); COMMIT;";
        for (int i = 0; i < kRows; ++i) {
            if (Exec(*db, insert.c_str()) != SQLITE_OK) {
                ++failures[who];
                Exec(*db, "ROLLBACK");
            }
        }
    };
    std::thread first(writer, 0);
    std::thread second(writer, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);

    TDb db;
    ASSERT_EQ(sqlite3_open_v2(Utf8(file).c_str(), db.Out(), SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK)
        << db.Error();
    EXPECT_EQ(Text(*db, "SELECT count(*) FROM records WHERE writer = 0"), std::to_string(kRows));
    EXPECT_EQ(Text(*db, "SELECT count(*) FROM records WHERE writer = 1"), std::to_string(kRows));
    EXPECT_EQ(Text(*db, "PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace virel
