// The database layer's write transaction: the body committed, or rolled back whatever way it
// failed, and tried again while another connection holds the file.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "journal/Database.h"
#include "tests/journal/JournalTestSupport.h"

namespace virel {
namespace {

using journaltest::RawDb;
using journaltest::TempDir;

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(db.Open(Path(), 50), sqlite::kOk);
        ASSERT_EQ(db.Exec("CREATE TABLE t (v INTEGER CHECK (v >= 0))"), sqlite::kOk);
    }
    std::string Path() const { return dir / "test.db"; }
    // Inserts the value; SQLite's code of the step.
    int Insert(int value) {
        TStatement s = db.Statement("INSERT INTO t (v) VALUES (?1)");
        s.Bind(1, value);
        const int rc = s.Step();
        return rc == sqlite::kDone ? sqlite::kOk : rc;
    }
    // The table as another connection sees it.
    std::string Values() {
        RawDb other(Path(), SQLITE_OPEN_READONLY);
        return other.One("SELECT coalesce(group_concat(v), '') FROM (SELECT v FROM t ORDER BY v)");
    }

    TempDir dir;
    TDatabase db;
};

TEST_F(DatabaseTest, ABodyThatFailsIsRolledBackAndTriedOnlyOnce) {
    struct Case {
        const char* name;
        std::function<int()> failure;  // after one row went in
        int code;                      // what the transaction says
        const char* message;           // in its error text, after the path
    };
    const Case cases[] = {
        {"a failed step", [&] { return Insert(-1); }, SQLITE_CONSTRAINT_CHECK,
         "CHECK constraint failed"},
        {"a query that throws",
         [&]() -> int {
             TStatement s = db.Statement("SELECT v FROM no_such_table");
             return s.Step();
         },
         SQLITE_ERROR, "no such table: no_such_table"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int runs = 0;
        const TTransactionResult result = db.Transaction(3, [&] {
            ++runs;
            const int rc = Insert(1);
            return rc == sqlite::kOk ? c.failure() : rc;
        });
        EXPECT_FALSE(result.Committed());
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.error.rfind(Path() + ": ", 0), 0u) << result.error;
        EXPECT_NE(result.error.find(c.message), std::string::npos) << result.error;
        EXPECT_EQ(runs, 1) << "only busy is tried again";
        EXPECT_FALSE(db.InTransaction());
        EXPECT_EQ(Values(), "") << "the row before the failure went with it";
    }

    // Anything else the body throws passes through, the transaction rolled back.
    EXPECT_THROW((void)db.Transaction(3,
                                      [&]() -> int {
                                          EXPECT_EQ(Insert(2), sqlite::kOk);
                                          throw std::runtime_error("out of memory");
                                      }),
                 std::runtime_error);
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(Values(), "");

    const TTransactionResult done = db.Transaction(3, [&] {
        const int rc = Insert(3);
        return rc == sqlite::kOk ? Insert(4) : rc;
    });
    EXPECT_TRUE(done.Committed()) << done.error;
    EXPECT_EQ(done.error, "");
    EXPECT_EQ(Values(), "3,4");
}

TEST_F(DatabaseTest, WhileAnotherConnectionHoldsTheFileTheWholeIsTriedAgain) {
    // A body that meets busy twice: rolled back each time, so its rows go in once.
    int runs = 0;
    const TTransactionResult third = db.Transaction(3, [&] {
        const int rc = Insert(++runs);
        return rc == sqlite::kOk && runs < 3 ? SQLITE_BUSY : rc;
    });
    EXPECT_TRUE(third.Committed()) << third.error;
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(Values(), "3");

    runs = 0;
    const TTransactionResult tooFew = db.Transaction(2, [&] {
        ++runs;
        return SQLITE_LOCKED;
    });
    EXPECT_EQ(tooFew.code, SQLITE_LOCKED);
    EXPECT_EQ(runs, 2) << "as many attempts as asked";

    // Another connection keeps the write lock: BEGIN IMMEDIATE waits its busy time-out each
    // time, the body never runs, and the result says busy.
    RawDb other(Path());
    ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
    runs = 0;
    const TTransactionResult held = db.Transaction(3, [&] {
        ++runs;
        return Insert(5);
    });
    EXPECT_TRUE(sqlite::IsBusy(held.code)) << held.code;
    EXPECT_NE(held.error.find("database is locked"), std::string::npos) << held.error;
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(db.InTransaction());
    ASSERT_EQ(other.Exec("COMMIT"), SQLITE_OK);
    EXPECT_TRUE(db.Transaction(3, [&] { return Insert(5); }).Committed());
    EXPECT_EQ(Values(), "3,5");
}

}  // namespace
}  // namespace virel
