// Pooled connections seen from the server: the sessions that a recalculation of GETDATA and
// GETDATAODBC cells keeps on the throwaway PostgreSQL server, counted in pg_stat_activity by an
// application name of the test's own (tests of other programs share the server). Besides, SQLite
// files replaced or removed between two recalculations.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"
#include "data/S_ServiceManager.h"
#include "host/ado/Errors.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionPool.h"
#include "support/SqlCells.h"

using host::Variant;
using testsupport::quote;

namespace {

constexpr int kCells = 40;

// Waits (a generous while at most) for the condition; whether it came true.
bool eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

struct PooledCells : testsupport::SqlCells {
    testsupport::PostgresServer pg;
    std::string application = "telm-pool-" + std::to_string(std::random_device{}());
    // The server's text with the test's application name, without credentials.
    std::string bare = pg.connection("pqopt={application_name=" + application + "};");
    std::string text = credentials(pg.user, pg.password);

    explicit PooledCells(const testsupport::PostgresServer& server) : pg(server) {
        telm::SharedState().ErrorReportingLevel = 2;
        app->setCalculation(host::sheet::CalculationMode::Manual);
    }
    ~PooledCells() {
        host::ado::setConnectionPoolIdleLimit(host::ado::kConnectionPoolIdleLimit);
        host::ado::clearConnectionPool();
    }
    std::string credentials(const std::string& user, const std::string& password) const {
        return bare + "UID=" + user + ";PWD=" + password + ";";
    }
    std::string cell(const std::string& connection, const std::string& sql) const {
        return "=GETDATAODBC(" + quote(connection) + "," + quote(sql) + ",FALSE)";
    }
    std::string sessionsQuery() const {
        return "SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = '" + application + "'";
    }
    // The first value of a query asked on a connection of another application name.
    Variant watcherValue(const std::string& sql) const {
        host::ado::Connection c;
        c.open(pg.connection("UID=" + pg.user + ";PWD=" + pg.password + ";"));
        host::ado::Recordset r;
        r.open(sql, c);
        return r.getRows().arrayValue()(0, 0);
    }
    long sessions() const { return watcherValue(sessionsQuery()).toLong(); }
    void terminateSessions() const {
        watcherValue("SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = '" +
                     application + "'");
    }
    std::size_t dialogsShown() const { return dialogs.record().size(); }
    Variant value(int row, int column) const { return sheet->cells(row, column)->value(); }
};

#define REQUIRE_POSTGRES()                                                         \
    const auto server = testsupport::postgresServer();                             \
    if (!server) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)"; \
    PooledCells t(*server)

}  // namespace

TEST(ConnectionPool, ARecalculationOfManyCellsUsesOneServerSession) {
    REQUIRE_POSTGRES();
    std::ofstream(t.folder.file("DataModel.par")) << "[Measure Twice]\nType=ODBC\nGetDataArguments={n}\n"
                                                  << "ConnectionText=" << t.text << "\n"
                                                  << "QueryText=SELECT {n} * 2\n";
    telm::LoadDataModel(false);
    for (int row = 1; row <= kCells; ++row) {
        t.sheet->cells(row, 1)->setFormula("=GETDATA(\"Twice\"," + std::to_string(row) + ")");
        t.sheet->cells(row, 2)->setFormula(t.cell(t.text, "SELECT " + std::to_string(row) + " + 1"));
    }
    t.sheet->cells(kCells + 1, 2)->setFormula(t.cell(t.text, t.sessionsQuery()));  // asked amid the others
    for (int round = 0; round < 2; ++round) {
        t.app->calculate();
        for (int row = 1; row <= kCells; ++row) {
            EXPECT_EQ(t.value(row, 1), Variant(row * 2.0)) << row;
            EXPECT_EQ(t.value(row, 2), Variant(row + 1.0)) << row;
        }
        EXPECT_EQ(t.value(kCells + 1, 2), Variant(1.0));
        EXPECT_EQ(t.sessions(), 1);
    }
}

TEST(ConnectionPool, TwoLoginsGetTwoSessions) {
    REQUIRE_POSTGRES();
    const char* otherUser = std::getenv("TELM_PG_OTHER_USER");
    const char* otherPassword = std::getenv("TELM_PG_OTHER_PASSWORD");
    if (!otherUser || !otherPassword) GTEST_SKIP() << "no second login (scripts/test makes one)";
    const std::string other = t.credentials(otherUser, otherPassword);
    for (int row = 1; row <= kCells; ++row) {
        t.sheet->cells(row, 1)->setFormula(t.cell(t.text, "SELECT current_user"));
        t.sheet->cells(row, 2)->setFormula(t.cell(other, "SELECT current_user"));
    }
    t.app->calculate();
    for (int row = 1; row <= kCells; ++row) {
        EXPECT_EQ(t.value(row, 1), Variant(t.pg.user));
        EXPECT_EQ(t.value(row, 2), Variant(std::string(otherUser)));
    }
    EXPECT_EQ(t.sessions(), 2);

    // A wrong password is refused even while the right one's link waits in the pool.
    host::ado::Connection wrong;
    try {
        wrong.open(t.credentials(t.pg.user, "not-the-password"));
        ADD_FAILURE() << "a wrong password was let in";
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), host::ado::kLoginRefused) << e.description();
    }
    EXPECT_EQ(t.sessions(), 2);
}

TEST(ConnectionPool, AKilledSessionIsReplacedWithoutAWrongValueOrALoginDialog) {
    REQUIRE_POSTGRES();
    // The text carries no credentials: the login dialog asks once, the login cache answers after.
    t.dialogs.answerInput(t.pg.user).answerInput(t.pg.password);
    for (int row = 1; row <= kCells; ++row)
        t.sheet->cells(row, 1)->setFormula(t.cell(t.bare, "SELECT " + std::to_string(row) + " * 3"));
    t.app->calculate();
    EXPECT_EQ(t.dialogsShown(), 2u);
    EXPECT_EQ(t.sessions(), 1);

    t.terminateSessions();
    ASSERT_TRUE(eventually([&] { return t.sessions() == 0; }));
    // A server process leaves the session list a moment before its socket closes: the hang-up the
    // pool looks for follows.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    t.app->calculate();
    for (int row = 1; row <= kCells; ++row) EXPECT_EQ(t.value(row, 1), Variant(row * 3.0)) << row;
    EXPECT_EQ(t.dialogsShown(), 2u);
    EXPECT_EQ(t.sessions(), 1);
}

TEST(ConnectionPool, IdleSessionsClose) {
    REQUIRE_POSTGRES();
    host::ado::setConnectionPoolIdleLimit(std::chrono::milliseconds(100));
    for (int row = 1; row <= kCells; ++row) t.sheet->cells(row, 1)->setFormula(t.cell(t.text, "SELECT 1"));
    t.app->calculate();
    EXPECT_EQ(t.value(kCells, 1), Variant(1.0));
    EXPECT_TRUE(eventually([&] { return t.sessions() == 0; }));
}

TEST(ConnectionPool, ClearingTheLoginCacheAndClosingTheAddInEndTheSessions) {
    REQUIRE_POSTGRES();
    t.sheet->range("A1")->setFormula(t.cell(t.text, "SELECT 5"));
    t.app->calculate();
    EXPECT_EQ(t.sessions(), 1);
    telm::ClearAuthorisationTable();
    EXPECT_TRUE(eventually([&] { return t.sessions() == 0; }));

    t.app->calculate();
    EXPECT_EQ(t.value(1, 1), Variant(5.0));
    EXPECT_EQ(t.sessions(), 1);
    t.companion->close();
    EXPECT_TRUE(eventually([&] { return t.sessions() == 0; }));
}

// Model variables over two files of one folder, named with "/" and with "\\" (one file both ways),
// their cells interleaved: each recalculation reads the files as they are then.
TEST(ConnectionPool, DatabaseFilesReplacedOrRemovedBetweenRecalculationsAreReadAsTheyAreThen) {
    testsupport::SqlCells t;
    telm::SharedState().ErrorReportingLevel = 2;
    t.app->setCalculation(host::sheet::CalculationMode::Manual);
    const auto fill = [&](const std::string& name, double first) {
        const std::string file = t.folder.file(name);
        std::filesystem::remove(file);
        testsupport::runStatements("Driver={SQLite3};Database=" + file + ";",
                                   {"CREATE TABLE T (Id INTEGER, Amount REAL)"});
        testsupport::runStatementList("Driver={SQLite3};Database=" + file + ";",
                                      std::vector<std::string>{"INSERT INTO T VALUES (1, " + std::to_string(first) + ")",
                                                               "INSERT INTO T VALUES (2, " + std::to_string(first * 2) + ")"});
    };
    fill("one.db", 10);
    fill("two.db", 100);
    std::ofstream(t.folder.file("DataModel.par"))
        << "[Measure One]\nType=ODBC\nGetDataArguments={id}\n"
           "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/one.db;\n"
           "QueryText=SELECT Amount FROM T WHERE Id = {id}\n"
           "[Measure OneAgain]\nType=ODBC\nGetDataArguments={id}\n"
           "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\one.db;\n"
           "QueryText=SELECT Amount FROM T WHERE Id = {id}\n"
           "[Measure Two]\nType=ODBC\nGetDataArguments={id}\n"
           "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\\two.db;\n"
           "QueryText=SELECT Amount FROM T WHERE Id = {id}\n";
    telm::LoadDataModel(false);
    for (int row = 1; row <= 6; ++row) {
        const std::string id = std::to_string(row % 2 + 1);
        t.sheet->cells(row, 1)->setFormula("=GETDATA(\"One\"," + id + ")");
        t.sheet->cells(row, 2)->setFormula("=GETDATA(\"Two\"," + id + ")");
        t.sheet->cells(row, 3)->setFormula("=GETDATA(\"OneAgain\"," + id + ")");
    }
    const auto expectColumn = [&](int column, double first) {
        for (int row = 1; row <= 6; ++row)
            EXPECT_EQ(t.sheet->cells(row, column)->value(), Variant(first * (row % 2 + 1))) << row << "," << column;
    };
    t.app->calculate();
    expectColumn(1, 10);
    expectColumn(2, 100);
    expectColumn(3, 10);

    // one.db moved aside and a new file made under its name; two.db kept.
    std::filesystem::rename(t.folder.file("one.db"), t.folder.file("old.db"));
    fill("one.db", 11);
    t.app->calculate();
    expectColumn(1, 11);
    expectColumn(2, 100);
    expectColumn(3, 11);

    // two.db removed: its cells fail, those of one.db keep working.
    std::filesystem::remove(t.folder.file("two.db"));
    t.app->calculate();
    expectColumn(1, 11);
    for (int row = 1; row <= 6; ++row)
        EXPECT_NE(t.sheet->cells(row, 2)->value().toString().find("Could not find file"), std::string::npos) << row;
}
