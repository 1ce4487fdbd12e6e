// What a connection text may and may not make the data-access layer do: files it names must exist,
// read-only connections refuse writes, a locked database ends in the time-out, ADO-style texts reach
// their data source, and no driver writes logs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionText.h"
#include "support/Errors.h"
#include "support/Odbc.h"
#include "support/SqliteFile.h"

using namespace host::ado;
using host::Variant;
using testsupport::errorNumberOf;

namespace {

// The error a call raises (number 0 and no text when none).
host::RuntimeError failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const host::RuntimeError& e) {
        return e;
    }
    return host::RuntimeError(0, "");
}

long countOf(Connection& c, const std::string& sql) {
    Recordset r;
    r.open(sql, c);
    return r.getRows().arrayValue()(0, 0).toLong();
}

}  // namespace

TEST(AdoSafety, MissingDatabaseFilesAreNotCreated) {
    testsupport::TempFolder folder("telm-ado-missing");
    for (const std::string& text : {"Driver={SQLite3};Database=" + folder.file("no.db") + ";",
                                    "Driver={Microsoft Access Driver (*.mdb)};DBQ=" + folder.file("no.mdb")}) {
        Connection c;
        const host::RuntimeError e = failureOf([&] { c.open(text); });
        EXPECT_EQ(e.number(), kDriverError) << text;
        EXPECT_NE(e.description().find("Could not find file"), std::string::npos) << e.description();
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    // A database held in memory is no file.
    Connection memory;
    memory.open("Driver={SQLite3};Database=:memory:;");
    EXPECT_EQ(countOf(memory, "SELECT 7"), 7);
}

TEST(AdoSafety, ReadOnlyConnectionsRefuseWrites) {
    testsupport::SqliteFile db;
    for (const std::string& text : {"Driver={Microsoft Access Driver (*.mdb)};ReadOnly=True;DBQ=" + db.path,
                                    db.text + "ReadOnly=1;"}) {
        Connection c;
        c.open(text);
        EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 3);
        Recordset remove;
        EXPECT_EQ(errorNumberOf([&] { remove.open("DELETE FROM T", c); }), kDriverError) << text;
        EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 3);
    }
    Connection writable;
    writable.open("Driver={Microsoft Access Driver (*.mdb)};ReadOnly=False;DBQ=" + db.path);
    Recordset remove;
    remove.open("DELETE FROM T WHERE Code = 3", writable);
    EXPECT_EQ(countOf(writable, "SELECT COUNT(*) FROM T"), 2);
}

TEST(AdoSafety, LockedDatabaseEndsInTheTimeOut) {
    testsupport::SqliteFile db;
    Connection waiting;  // opened before the lock: the statement waits
    waiting.commandTimeout = 1;
    waiting.open(db.text);
    Connection holder;
    holder.open(db.text);
    Recordset lock;
    lock.open("BEGIN EXCLUSIVE", holder);
    Recordset read;
    const host::RuntimeError e = failureOf([&] { read.open("SELECT COUNT(*) FROM T", waiting); });
    EXPECT_EQ(e.number(), kTimedOut) << e.description();
    EXPECT_NE(e.description().find("locked"), std::string::npos) << e.description();

    Connection late;  // opened while locked: the opening waits
    late.connectionTimeout = 1;
    late.commandTimeout = 1;
    EXPECT_EQ(errorNumberOf([&] {
                  late.open(db.text);
                  Recordset r;
                  r.open("SELECT COUNT(*) FROM T", late);
              }),
              kTimedOut);
    Recordset unlock;
    unlock.open("COMMIT", holder);
    EXPECT_EQ(countOf(waiting, "SELECT COUNT(*) FROM T"), 3);
}

TEST(AdoSafety, ALongSqliteStatementEndsInTheTimeOut) {
    testsupport::SqliteFile db;
    Connection c;
    c.commandTimeout = 1;
    c.open(db.text);
    Recordset endless;
    const host::RuntimeError e = failureOf([&] {
        endless.open("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT COUNT(*) FROM n", c);
    });
    EXPECT_EQ(e.number(), kTimedOut) << e.description();
    EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 3);  // the connection goes on serving
}

TEST(AdoSafety, AdoStyleTextsReachTheirDataSource) {
    EXPECT_EQ(planConnection("Provider=MSDASQL;Data Source=Sales;User ID=u;Password=p", "", "").odbcText,
              "DSN=Sales;UID=u;PWD=p;");
    EXPECT_EQ(planConnection("Provider=MSDASQL.1;Data Source=Sales;User ID=u;Password=p", "v", "q").odbcText,
              "DSN=Sales;UID=v;PWD=q;");
    EXPECT_EQ(planConnection("Driver={SQLite3};Data Source=x;Database=/d.db", "", "").odbcText,
              "Driver=SQLite3;Data Source=x;Database=/d.db;NoCreat=1;");
    testsupport::SqliteFile db;
    testsupport::addDataSource("TelmAdoStyle", {"Driver=SQLite3", "Database=" + db.path});
    Connection c;
    c.open("Provider=MSDASQL;Data Source=TelmAdoStyle");
    EXPECT_EQ(countOf(c, "SELECT COUNT(*) FROM T"), 3);

    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    testsupport::addDataSource("TelmAdoPg", {"Driver=PostgreSQL Unicode", "Servername=" + pg->host,
                                             "Port=" + pg->port, "Database=" + pg->database});
    Connection server;
    server.open("Provider=MSDASQL;Data Source=TelmAdoPg;User ID=" + pg->user + ";Password=" + pg->password);
    EXPECT_EQ(countOf(server, "SELECT 5"), 5);
    Connection refused;
    EXPECT_EQ(errorNumberOf([&] {
                  refused.open("Provider=MSDASQL;Data Source=TelmAdoPg;User ID=" + pg->user + ";Password=wrong");
              }),
              kLoginRefused);
}

// Run in a child test program whose psqlODBC settings switch its communication log on
// (TELM_ODBC_DRIVER_LOGS), through a data source that switches it on too.
TEST(AdoSafety, ConnectsWithTheMachinesDriverLogsOn) {
    const auto pg = testsupport::postgresServer();
    if (!pg || !std::getenv("TELM_ODBC_DRIVER_LOGS")) GTEST_SKIP() << "run by DriversWriteNoLogs";
    testsupport::addDataSource("TelmPgLogging", {"Driver=PostgreSQL Unicode", "Servername=" + pg->host,
                                                 "Port=" + pg->port, "Database=" + pg->database, "CommLog=1"});
    for (const std::string& text : {pg->connection(), std::string("DSN=TelmPgLogging;")}) {
        Connection c;
        c.open(text, pg->user, pg->password);
        EXPECT_EQ(countOf(c, "SELECT 4242"), 4242);
        c.close();
    }
}

TEST(AdoSafety, DriversWriteNoLogs) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    testsupport::TempFolder logs("telm-driver-logs");
    const std::string child = "TELM_ODBC_DRIVER_LOGS=" + logs.string() + " " +
                              std::filesystem::read_symlink("/proc/self/exe").string() +
                              " --gtest_filter=AdoSafety.ConnectsWithTheMachinesDriverLogsOn >/dev/null";
    ASSERT_EQ(std::system(child.c_str()), 0);
    // psqlODBC writes one line of its own when the last connection closes ("PQfinish"), whatever the
    // connection asked; nothing of the session may be there.
    for (const auto& entry : std::filesystem::directory_iterator(logs.path())) {
        std::ifstream file(entry.path());
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.find("4242"), std::string::npos) << entry.path();
        EXPECT_EQ(text.find(pg->password), std::string::npos) << entry.path();
        EXPECT_LT(text.size(), 100u) << entry.path() << ":\n" << text;
    }
}
