// Every cell gets its own value from a batch, whatever its neighbours' statements return or hold:
// workbooks of GETDATA and GETDATAODBC cells over SQLite files and the throwaway PostgreSQL server,
// calculated with the services off and then on.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>

#include "core/A_Deklaracje.h"
#include "support/ArchiveWorkbook.h"
#include "support/ServiceWorkbooks.h"
#include "support/SqliteHooks.h"

using host::Variant;
using testsupport::quote;

namespace {

struct Isolation : ::testing::Test, testsupport::ServiceWorkbooks {
    std::string sqlite = "Driver={SQLite3};Database=" + folder.file("iso.db") + ";";
    std::optional<testsupport::PostgresServer> server = testsupport::postgresServer();
    std::string postgres;
    std::string tag = std::to_string(::getpid());
    std::vector<std::string> dropped;

    Isolation() {
        std::ofstream(folder.file("iso.db")).close();  // connections open existing database files only
        testsupport::runStatements(sqlite, {"CREATE TABLE t (k INTEGER, v, s TEXT)",
                                            "INSERT INTO t VALUES (10, 10, 'a'), (20, 20, 'b'), (30, 30, 'c'), "
                                            "(31, 31, 'c'), (120, 120, 'd'), (7, 7, 'e'), (8, 8, 'e'), (9, 9, 'e'), "
                                            "(40, '012', 'f'), (41, 100000000000045.5, 'g'), (42, 0.1, 'g'), "
                                            "(43, NULL, 'h')",
                                            "CREATE TABLE victim (k INTEGER)", "INSERT INTO victim VALUES (1), (2)"});
        if (server) {
            postgres = server->connection("UID=" + server->user + ";PWD=" + server->password + ";");
            run(postgres, {"CREATE TABLE t_" + tag + " (k int, v numeric, s text)",
                           "INSERT INTO t_" + tag + " VALUES (10, 10, 'a'), (20, 20, 'b'), (30, 30, 'c'), (31, 31, 'c'),"
                           " (120, 120, 'd'), (7, 7, 'e'), (8, 8, 'e'), (9, 9, 'e')",
                           "CREATE TABLE victim_" + tag + " (k int)", "INSERT INTO victim_" + tag + " VALUES (1), (2)"});
            dropped = {"DROP TABLE t_" + tag, "DROP TABLE victim_" + tag};
        }
    }
    ~Isolation() override {
        if (server) run(postgres, dropped);
    }
    static void run(const std::string& connection, const std::vector<std::string>& statements) {
        testsupport::runStatements(connection, statements);
    }
    std::string table(const std::string& connection, const std::string& name) const {
        return connection == postgres ? name + "_" + tag : name;
    }
    std::vector<std::string> connections() const {
        return server ? std::vector<std::string>{sqlite, postgres} : std::vector<std::string>{sqlite};
    }
    static std::string odbc(const std::string& connection, const std::string& sql) {
        return "=GETDATAODBC(" + quote(connection) + "," + quote(sql) + ",FALSE)";
    }

    // The cells' values with the services off, then the same cells after a cycle with them on.
    std::pair<std::vector<Variant>, std::vector<Variant>> offThenOn() {
        const auto cells = formulaCells();
        command("CalculateAll2");
        auto off = valuesOf(cells);
        command("SetServicesOn");
        command("CalculateAll2");
        return {std::move(off), valuesOf(cells)};
    }
    void expectSameOffAndOn() {
        const auto [off, on] = offThenOn();
        const auto cells = formulaCells();
        for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(on[i], off[i]) << cells[i]->address();
    }
};

}  // namespace

TEST_F(Isolation, RowsOfOtherStatementsNeverShiftACellsValue) {
    startWithModel("PARAMETERS=X=1\n");
    std::vector<std::vector<std::string>> columns;
    for (const std::string& c : connections()) {
        const std::string t = table(c, "t");
        columns.push_back({odbc(c, "SELECT v FROM " + t + " WHERE k = 99"),              // no row
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 10"),
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 20"),
                           odbc(c, "SELECT v FROM " + t + " WHERE k IN (30, 31)"),       // two rows
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 120 ORDER BY v"),  // its own ORDER BY
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 30 ORDER BY v DESC"),
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 9 UNION SELECT v FROM " + t + " WHERE k = 9"),
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 8 LIMIT 1"),
                           odbc(c, "SELECT v FROM " + t + " WHERE k = 7")});
    }
    report("Shifts.xlsx", columns);
    const auto [off, on] = offThenOn();
    EXPECT_EQ(off[2], Variant(10.0));
    EXPECT_EQ(off[6], Variant("."));
    const auto cells = formulaCells();
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(on[i], off[i]) << cells[i]->address();
    EXPECT_EQ(adoBatches(), static_cast<int>(connections().size()));
}

TEST_F(Isolation, SqliteValuesKeepTheirTypeAndAllTheirDigits) {
    startWithModel("PARAMETERS=X=1\n");
    // Sorted, the text statement comes first in one batch and the REAL one in another.
    const std::vector<std::string> first = {odbc(sqlite, "SELECT 'x' || s FROM t WHERE k = 10"),
                                            odbc(sqlite, "SELECT v FROM t WHERE k = 20"),
                                            odbc(sqlite, "SELECT v FROM t WHERE k = 41"),
                                            "=ISTEXT(A2)", "=SUM(A2:A3)"};
    const std::string other = "Driver={SQLite3};DATABASE=" + folder.file("iso.db") + ";";
    const std::vector<std::string> second = {odbc(other, "SELECT v FROM t WHERE k = 42"),
                                             odbc(other, "SELECT v FROM t WHERE k = 40"),
                                             odbc(other, "SELECT SUM(v) FROM t WHERE k IN (41, 42)"),
                                             odbc(other, "SELECT v FROM t WHERE k = 43")};
    report("Types.xlsx", {first, second});
    const auto [off, on] = offThenOn();
    const auto cells = formulaCells();
    // Row by row: A1 B1 A2 B2 ...
    EXPECT_EQ(off[1], Variant(0.1));
    EXPECT_EQ(off[2], Variant(20.0));
    EXPECT_EQ(off[3], Variant("012"));
    EXPECT_EQ(off[4], Variant(100000000000045.5));
    EXPECT_EQ(off[5], Variant(100000000000045.5 + 0.1));
    EXPECT_EQ(off[6], Variant(false));
    EXPECT_EQ(off[8], Variant(20.0 + 100000000000045.5));
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(on[i], off[i]) << cells[i]->address();
}

TEST_F(Isolation, NoArgumentReachesIntoAnotherCellsStatement) {
    std::string model = "PARAMETERS=X=1\n";
    const auto all = connections();
    for (std::size_t i = 0; i < all.size(); ++i)
        model += "[Measure K" + std::to_string(i) + "]\nType=ODBC\nGetDataArguments={s}\nConnectionText=" + all[i] +
                 "\nQueryText=SELECT k FROM " + table(all[i], "t") + " WHERE s = '{s}'\n";
    startWithModel(model);
    std::vector<std::vector<std::string>> columns;
    for (std::size_t i = 0; i < all.size(); ++i) {
        auto cell = [&](const std::string& argument) {
            return "=GETDATA(\"K" + std::to_string(i) + "\"," + quote(argument) + ")";
        };
        // Each of the first two is a syntax error alone; joined they would delete.
        columns.push_back({cell("0'"),
                           cell("; DELETE FROM " + table(all[i], "victim") + "; SELECT k FROM " + table(all[i], "t") +
                                " WHERE s = '"),
                           cell("zzz' UNION ALL SELECT 666 UNION ALL SELECT 667 WHERE 'a'='a"), cell("a"), cell("b"),
                           cell("d")});
    }
    report("Arguments.xlsx", columns);
    const auto [off, on] = offThenOn();
    const auto cells = formulaCells();
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(on[i], off[i]) << cells[i]->address();
    EXPECT_EQ(off[2 * connections().size()], Variant("."));  // the UNION answered in its own cell only
    EXPECT_EQ(off[3 * connections().size()], Variant(10.0));
    for (const std::string& c : connections()) {
        host::ado::Connection link;
        link.open(c);
        host::ado::Recordset rows;
        rows.open("SELECT COUNT(*) FROM " + table(c, "victim"), link);
        EXPECT_EQ(rows.getRows().arrayValue()(0, 0).toLong(), 2) << c;
    }
}

TEST(ServicesArchive, TheArchiveRecordsTheRequestWhileTheServicesAreOn) {
    testsupport::ArchiveWorkbook t;
    t.app->run("SetServicesOn");
    t.app->run("CalculateAll2");
    EXPECT_EQ(t.shown("A1"), Variant(10.5));
    t.app->run("MoveToArchive");
    EXPECT_EQ(t.recorded("A1"), t.key("Anna"));
    EXPECT_EQ(t.recorded("A2"), t.key("Adam"));
    EXPECT_EQ(t.twinValue("A1"), Variant(10.5));

    t.app->run("SetServicesOff");
    t.app->calculate();
    EXPECT_EQ(t.shown("A1"), Variant(10.5));
    EXPECT_EQ(t.shown("A2"), Variant(7.0));
}
