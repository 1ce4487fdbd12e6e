// The connection pool over SQLite files: which links come back, which never enter it, its cap and its
// idle limit. The PostgreSQL side (server sessions, logins, killed sessions) is in tests/data.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionPool.h"
#include "support/SqliteFile.h"

using namespace host::ado;

namespace {

struct ConnectionPoolTest : ::testing::Test {
    void SetUp() override { clearConnectionPool(); }
    void TearDown() override {
        setConnectionPoolIdleLimit(kConnectionPoolIdleLimit);
        clearConnectionPool();
    }
};

long countOf(Connection& c, const std::string& sql) {
    Recordset r;
    r.open(sql, c);
    return r.getRows().arrayValue()(0, 0).toLong();
}

// Whether the session holds the temporary table Mark (a session's own, gone when it ends).
bool hasMark(Connection& c) { return countOf(c, "SELECT COUNT(*) FROM sqlite_temp_master WHERE name = 'Mark'") == 1; }

void run(Connection& c, const std::string& sql) {
    Recordset r;
    r.open(sql, c);
}

int errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const host::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// Waits (a generous while at most) for the condition; whether it came true.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

}  // namespace

TEST_F(ConnectionPoolTest, AClosedLinkComesBackWithItsSession) {
    testsupport::SqliteFile db;
    {
        Connection c;
        c.open(db.text);
        run(c, "CREATE TEMP TABLE Mark (x)");  // lives as long as the session
        c.close();
    }
    EXPECT_EQ(pooledConnectionCount(), 1u);
    Connection again;
    again.open(db.text);
    EXPECT_EQ(pooledConnectionCount(), 0u);
    EXPECT_TRUE(hasMark(again));
    EXPECT_EQ(countOf(again, "SELECT COUNT(*) FROM T"), 3);

    // Two open at once are two links; both wait once closed (the second by the end of its object).
    {
        Connection second;
        second.open(db.text);
        EXPECT_FALSE(hasMark(second));
        again.close();
    }
    EXPECT_EQ(pooledConnectionCount(), 2u);
    clearConnectionPool();
    EXPECT_EQ(pooledConnectionCount(), 0u);
}

TEST_F(ConnectionPoolTest, ReadOnlyAndWritableLinksAreKeptApart) {
    testsupport::SqliteFile db;
    // The Access route and the plain text reach the driver with the same text; only the mode differs.
    const std::string readOnly = "Driver={Microsoft Access Driver (*.mdb)};ReadOnly=True;DBQ=" + db.path;
    const std::string writable = "Driver={Microsoft Access Driver (*.mdb)};DBQ=" + db.path;
    for (int round = 0; round < 2; ++round) {
        Connection w;
        w.open(writable);
        run(w, "INSERT INTO T VALUES ('x', 1, 9)");
        w.close();
        Connection r;
        r.open(readOnly);
        EXPECT_EQ(errorNumberOf([&] { run(r, "DELETE FROM T"); }), kDriverError);
        EXPECT_EQ(countOf(r, "SELECT COUNT(*) FROM T"), 4 + round);
    }
}

TEST_F(ConnectionPoolTest, AFileReplacedUnderItsNameIsReadAfresh) {
    testsupport::SqliteFile db;
    {
        Connection c;
        c.open(db.text);
        EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 3);
    }
    const std::string other = db.folder.file("other.db");
    testsupport::runStatements("Driver={SQLite3};Database=" + other + ";",
                               {"CREATE TABLE T (Name TEXT)", "INSERT INTO T VALUES ('only')"});
    std::filesystem::rename(other, db.path);
    Connection c;
    c.open(db.text);
    EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 1);

    // A file removed stays missing: the pooled link of the old file does not answer for it.
    c.close();
    std::filesystem::remove(db.path);
    Connection gone;
    EXPECT_EQ(errorNumberOf([&] { gone.open(db.text); }), kDriverError);
    EXPECT_FALSE(std::filesystem::exists(db.path));
}

TEST_F(ConnectionPoolTest, FailedLinksAreClosedNotPooled) {
    testsupport::SqliteFile db;
    {
        Connection c;
        c.open(db.text);
        run(c, "CREATE TEMP TABLE Mark (x)");
        EXPECT_EQ(errorNumberOf([&] { run(c, "SELECT FROM nowhere"); }), kDriverError);
        c.close();
    }
    EXPECT_EQ(pooledConnectionCount(), 0u);
    Connection fresh;
    fresh.open(db.text);
    EXPECT_FALSE(hasMark(fresh));

    // A statement that ran out of time: the link is not handed out again either.
    fresh.commandTimeout = 1;
    const std::string endless = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT MAX(i) FROM n";
    EXPECT_EQ(errorNumberOf([&] { run(fresh, endless); }), kTimedOut);
    fresh.close();
    EXPECT_EQ(pooledConnectionCount(), 0u);
}

TEST_F(ConnectionPoolTest, StatementsOfEveryShapeFollowOneAnotherOnAPooledLink) {
    // A link keeps its statement handle from one statement to the next, also through the pool: each
    // statement must still see only its own columns, rows and failure.
    testsupport::SqliteFile db;
    for (int round = 0; round < 2; ++round) {
        Connection c;
        c.open(db.text);
        Recordset wide;
        wide.open("SELECT 1 AS a, 'x' AS b, 2.5 AS c UNION ALL SELECT 2, 'y', NULL", c);
        EXPECT_EQ(wide.fields().Count(), 3);
        EXPECT_EQ(wide.getRows().arrayValue()(2, 1), host::Variant::null());
        Recordset narrow;
        narrow.open("SELECT 'only'", c);
        EXPECT_EQ(narrow.fields().Count(), 1);
        EXPECT_EQ(narrow.getRows().arrayValue().count(2), 1);
        Recordset none;
        none.open("SELECT 1 WHERE 0", c);
        EXPECT_EQ(errorNumberOf([&] { none.getRows(); }), kNoCurrentRecord);
        run(c, "CREATE TEMP TABLE IF NOT EXISTS Mark (x)");  // no result set: the recordset stays closed
        EXPECT_EQ(countOf(c, "SELECT 7"), 7);
        c.close();
    }
    EXPECT_EQ(pooledConnectionCount(), 1u);

    // After a statement that failed or ran out of time the next one on the connection still runs.
    Connection c;
    c.open(db.text);
    EXPECT_EQ(errorNumberOf([&] { run(c, "SELECT FROM nowhere"); }), kDriverError);
    EXPECT_EQ(countOf(c, "SELECT 8"), 8);
    c.commandTimeout = 1;
    EXPECT_EQ(errorNumberOf([&] {
                  run(c, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT MAX(i) FROM n");
              }),
              kTimedOut);
    EXPECT_EQ(countOf(c, "SELECT 9"), 9);
}

TEST_F(ConnectionPoolTest, EveryInMemoryDatabaseStartsEmpty) {
    for (int i = 0; i < 2; ++i) {
        Connection c;
        c.open("Driver={SQLite3};Database=:memory:;");
        EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM sqlite_master"), 0);
        run(c, "CREATE TABLE Left_behind (x)");
    }
    EXPECT_EQ(pooledConnectionCount(), 0u);
}

TEST_F(ConnectionPoolTest, TheLongestIdleLinksMakeRoomAtTheCap) {
    testsupport::TempFolder folder("telm-pool-cap");
    std::vector<std::unique_ptr<Connection>> open;
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < kConnectionPoolCap + 5; ++i) {
        texts.push_back("Driver={SQLite3};Database=" + folder.file("db" + std::to_string(i) + ".db") + ";");
        testsupport::createMissingDatabaseFile(texts.back());
        open.push_back(std::make_unique<Connection>());
        open.back()->open(texts.back());
        run(*open.back(), "CREATE TEMP TABLE Mark (x)");
    }
    open.clear();  // closed in order: the first five are the longest idle
    EXPECT_EQ(pooledConnectionCount(), kConnectionPoolCap);
    Connection first, last;
    first.open(texts.front());
    last.open(texts.back());
    EXPECT_FALSE(hasMark(first));  // closed to make room
    EXPECT_TRUE(hasMark(last));    // still pooled
}

TEST_F(ConnectionPoolTest, IdleLinksCloseAfterTheIdleLimit) {
    testsupport::SqliteFile db;
    setConnectionPoolIdleLimit(std::chrono::milliseconds(50));
    for (int i = 0; i < 3; ++i) {
        Connection c;
        c.open(db.text);
        EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 3);
    }
    EXPECT_TRUE(eventually([] { return pooledConnectionCount() == 0; }));

    // A shorter limit set while links wait applies to them at once.
    setConnectionPoolIdleLimit(std::chrono::hours(1));
    {
        Connection c;
        c.open(db.text);
    }
    EXPECT_EQ(pooledConnectionCount(), 1u);
    setConnectionPoolIdleLimit(std::chrono::milliseconds(1));
    EXPECT_TRUE(eventually([] { return pooledConnectionCount() == 0; }));
}
