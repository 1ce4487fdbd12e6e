#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "OlapCubes.h"
#include "host/ado/Errors.h"
#include "host/base/Text.h"
#include "host/olap/CubeBuilder.h"
#include "support/Errors.h"

using host::Variant;
using namespace olaptest;

namespace {

// A PostgreSQL server as a data source of the machine's odbc.ini (the test program's own file).
std::string addServerDsn(const std::string& name, const std::string& host, const std::string& port,
                         const std::string& database) {
    std::ofstream ini(std::getenv("ODBCINI"), std::ios::app);
    ini << "[" << name << "]\nDriver=PostgreSQL Unicode\nServername=" << host << "\nPort=" << port
        << "\nDatabase=" << database << "\n\n";
    return name;
}

const std::vector<std::string> kQueries = {
    "SELECT {[Measures].[Amount]} ON 0 FROM [Sales]",
    "SELECT {[Measures].[Amount], [Measures].[Orders], [Measures].[Biggest]} ON 0, [Region].members ON 1 FROM [Sales]",
    "WITH MEMBER [Measures].[wynik] AS '0 + SUM({[Time].[2012]}*{[Region].&[3]}*{[Measures].[Amount]})' "
    "SELECT {[Measures].[wynik]} on 0  FROM [Sales] ",
    "SELECT {[Time].[2012], [Time].[2013]} * {[Measures].[Amount]} ON 0, [Region].[City].members ON 1 FROM [Sales] "
    "WHERE ([Time].[All Time])",
    "SELECT {[Measures].[Amount]} ON 0, FILTER([Time].[Month].members, [Measures].[Amount] > 40) ON 1 FROM [Sales]",
};

std::string describe(const Result& r) {
    std::string out = host::Join(r.fields, ",");
    for (const Variant& v : r.rows.arrayValue().elements()) out += "|" + (v.isNull() ? std::string("-") : v.toString());
    return out;
}

}  // namespace

TEST(OlapServer, TheSameCubeOnTheServerGivesTheSameFigures) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    const std::string dsn = addServerDsn("TelmCubes", pg->host, pg->port, pg->database);
    const std::string tag = std::to_string(::getpid());
    const std::string login = ";User ID=" + pg->user + ";Password=" + pg->password + ";";
    const std::string server = "Provider=MSOLAP.2;Data Source=" + dsn + ";Initial Catalog=Cubes " + tag + login;

    // The orders on the server too, so that both the source and the cubes live there.
    const std::string pgSource = pg->connection("UID=" + pg->user + ";PWD=" + pg->password + ";");
    std::vector<std::string> orders;
    for (const std::string& sql : kOrders) orders.push_back(host::Replace(sql, "orders", "orders_" + tag));
    runSql(pgSource, orders);

    SalesSource file;
    host::olap::buildCube(file.buildText());
    host::olap::buildCube(server + "SOURCE_DSN=" + providerValue(pgSource) + ";CREATECUBE=" + providerValue(kCreateSales) +
                          ";INSERTINTO=" + providerValue(host::Replace(kInsertSales, "FROM orders", "FROM orders_" + tag)));
    for (const std::string& mdx : kQueries)
        EXPECT_EQ(describe(runMdx(server, mdx)), describe(runMdx(file.openText(), mdx))) << mdx;
    EXPECT_EQ(firstCell(server, kQueries[0]), Variant(407.5));

    // A rebuild on the server from the SQLite source.
    runSql(file.source, {"INSERT INTO orders VALUES (7, 'Poland', 1, 'Warsaw', 2014, 5, 1000)"});
    host::olap::buildCube(server + "SOURCE_DSN=" + providerValue(file.source) + ";CREATECUBE=" + providerValue(kCreateSales) +
                          ";INSERTINTO=" + providerValue(kInsertSales));
    EXPECT_EQ(firstCell(server, kQueries[0]), Variant(1407.5));
    // A rebuild that fails on the server leaves the cube as it was.
    EXPECT_NE(errorText([&] {
                  host::olap::buildCube(server + "SOURCE_DSN=" + providerValue(file.source) + ";CREATECUBE=" +
                                        providerValue(kCreateSales) + ";INSERTINTO=" +
                                        providerValue(host::Replace(kInsertSales, "FROM orders", "FROM no_such_table")));
              }).find("no_such_table"),
              std::string::npos);
    EXPECT_EQ(firstCell(server, kQueries[0]), Variant(1407.5));

    // Another catalogue holds no such cube; a wrong password is a refused login.
    const std::string other = "Provider=MSOLAP.2;Data Source=" + dsn + ";Initial Catalog=Nothing here" + login;
    EXPECT_NE(errorText([&] { runMdx(other, kQueries[0]); }).find("Cannot find the cube [Sales]"), std::string::npos);
    const std::string refused = "Provider=MSOLAP.2;Data Source=" + dsn + ";Initial Catalog=x;User ID=" + pg->user +
                                ";Password=wrong;";
    EXPECT_EQ(testsupport::errorNumberOf([&] { runMdx(refused, kQueries[0]); }), host::ado::kLoginRefused);

    // A statement that outlasts the command time-out is a time-out, not a missing cube.
    runSql(pgSource, {"CREATE SCHEMA \"Slow " + tag + "\"",
                      "CREATE VIEW \"Slow " + tag + "\".olap_cubes AS SELECT 1 AS cube_no, 'Sales' AS cube_name "
                      "FROM pg_sleep(5)"});
    host::ado::Connection slow;
    slow.commandTimeout = 1;
    slow.open("Provider=MSOLAP.2;Data Source=" + dsn + ";Initial Catalog=Slow " + tag + login);
    host::ado::Recordset r;
    EXPECT_EQ(testsupport::errorNumberOf([&] { r.open(kQueries[0], slow); }), host::ado::kTimedOut);

    runSql(pgSource, {"DROP SCHEMA \"Cubes " + tag + "\" CASCADE", "DROP SCHEMA \"Slow " + tag + "\" CASCADE",
                      "DROP TABLE orders_" + tag});
}

TEST(OlapServer, AServerThatIsDownFailsAsTheDriverSays) {
    const std::string dsn = addServerDsn("TelmNoServer", "127.0.0.1", "1", "telm");
    try {
        runMdx("Provider=MSOLAP.2;Data Source=" + dsn + ";Initial Catalog=x;User ID=u;Password=p;",
               "SELECT {[Measures].[Amount]} ON 0 FROM [Sales]");
        ADD_FAILURE();
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), host::ado::kDriverError);
        EXPECT_NE(e.description().find("Connection refused"), std::string::npos) << e.description();
    }
}
