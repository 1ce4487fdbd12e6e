// Cell values put into a model's SQL cannot add a statement or leave the literal the model gives
// them, read as each server reads the text: the victim tables live on SQLite and on the throwaway
// PostgreSQL server, next to the ordinary use of the same variables.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <optional>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"
#include "support/SqlCells.h"

using host::Variant;
using telm::SharedState;

namespace {

// A data model over one database: region_sales(region, year, amount), the ledger ks(konto, wn), and
// the tables victim and secret that no cell of the model reads. On the server the tables live in a
// schema of this test's own, the connection's search path.
struct InjectionCells : testsupport::SqlCells {
    std::string source;
    std::string schema;

    explicit InjectionCells(std::optional<std::string> server = std::nullopt) {
        source = connection;
        if (server) {
            schema = "injected_" + std::to_string(::getpid());
            testsupport::runStatements(*server, {("DROP SCHEMA IF EXISTS " + schema + " CASCADE").c_str(),
                                                 ("CREATE SCHEMA " + schema).c_str()});
            source = *server + "ConnSettings={SET search_path TO " + schema + "};";
        }
        testsupport::runStatements(
            source, {"CREATE TABLE victim (name TEXT)", "INSERT INTO victim VALUES ('x')",
                     "CREATE TABLE secret (x INTEGER)", "INSERT INTO secret VALUES (7)",
                     "CREATE TABLE region_sales (region TEXT, year INTEGER, amount REAL)",
                     "INSERT INTO region_sales VALUES ('North', 2024, 100)", "CREATE TABLE ks (konto TEXT, wn REAL)",
                     "INSERT INTO ks VALUES ('201', 10)", "INSERT INTO ks VALUES ('301', 1)"});
        std::ofstream(folder.file("DataModel.par"))
            << "[Measure Two]\nType=ODBC\nGetDataArguments={region},{year}\nConnectionText=" << source
            << "\nQueryText=SELECT SUM(amount) FROM region_sales WHERE region = '{region}' AND year = {year}\n"
            << "[Measure Ledger]\nType=ODBC2\nGetDataArguments=Expr\nConnectionText=" << source
            << "\nQueryText=Expr,FROM ks WHERE konto LIKE '{konto}%'\n"
            << "[Measure Tagged]\nType=ODBC\nGetDataArguments={tag}\nConnectionText=" << source
            << "Note={tag};\nQueryText=SELECT COUNT(*) FROM victim\n";
        telm::LoadDataModel(false);
        SharedState().ErrorReportingLevel = 2;
    }
    ~InjectionCells() {
        if (!schema.empty()) testsupport::runStatements(source, {("DROP SCHEMA " + schema + " CASCADE").c_str()});
    }
    long rows(const char* table) {
        host::ado::Connection c;
        c.open(source);
        host::ado::Recordset r;
        r.open(std::string("SELECT COUNT(*) FROM ") + table, c);
        return r.getRows().arrayValue()(0, 0).toLong();
    }
    Variant getdata(const std::string& arguments) { return formula("A1", "=GETDATA(" + arguments + ")"); }

    void readsOnlyWhatTheModelSays() {
        // Dollar quotes hide a quote from a reader that does not know them.
        EXPECT_EQ(getdata("\"Two\",\"North\",2024"), Variant(100.0));
        EXPECT_TRUE(getdata("\"Two\",\"North' AND $$'$$ <> '\",\"2024; DELETE FROM victim; SELECT 1 WHERE $$'$$ = ''\"")
                        .isString());
        EXPECT_TRUE(getdata("\"Two\",\"North\",\"2024 AND E'\\'; DELETE FROM victim; --' = ''\"").isString());
        EXPECT_TRUE(getdata("\"Two\",\"North\",\"2024 /* /* */ ; DELETE FROM victim; /* */\"").isString());
        EXPECT_EQ(rows("victim"), 1);
        // An ODBC2 mask stays inside the template's literal: it neither adds a statement nor reads
        // another table.
        EXPECT_EQ(getdata("\"Ledger\",\"wn/201\""), Variant(10.0));
        EXPECT_EQ(getdata("\"Ledger\",\"wn/2 0\""), Variant(0.0));
        EXPECT_TRUE(getdata("\"Ledger\",\"wn/201') AS a; DELETE FROM ks; SELECT ('\"").isString());
        EXPECT_EQ(rows("ks"), 2);
        const Variant other = getdata("\"Ledger\",\"wn/9' OR (SELECT x FROM secret) BETWEEN 5 AND 9 OR 'a'='b\"");
        EXPECT_TRUE(other.isString()) << other.toString();
        // Nor does the measure name, which the builder puts outside any literal.
        EXPECT_TRUE(getdata("\"Ledger\",\"(SELECT x FROM secret) + 0*wn/201\"").isString());
        EXPECT_TRUE(getdata("\"Ledger\",\"wn) FROM secret WHERE (1=1/201\"").isString());
        // A value put into the connection text adds no item (psqlODBC runs what ConnSettings holds).
        EXPECT_EQ(getdata("\"Tagged\",\"x\""), Variant(1.0));
        EXPECT_TRUE(getdata("\"Tagged\",\"x;ConnSettings={DELETE FROM victim}\"").isString());
        EXPECT_EQ(rows("victim"), 1);
    }
};

}  // namespace

TEST(InjectedStatements, OverSqlite) { InjectionCells().readsOnlyWhatTheModelSays(); }

TEST(InjectedStatements, OverPostgres) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    InjectionCells(pg->connection("UID=" + pg->user + ";PWD=" + pg->password + ";")).readsOnlyWhatTheModelSays();
}
