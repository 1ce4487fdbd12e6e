// Values and field names as the sources hold them, on every route: SQLite files, the Access and
// Excel drivers and the PostgreSQL server.

#include <gtest/gtest.h>

#include <memory>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/sheet/Application.h"
#include "support/Odbc.h"
#include "support/PrintVariant.h"
#include "support/SheetStore.h"
#include "support/SqliteFile.h"

using namespace host::ado;
using host::Variant;

namespace {

// A text longer than a read chunk with a character outside the Basic Multilingual Plane across the
// chunk border (4095 UTF-16 units or bytes).
const std::string kLongText = std::string(4094, 'a') + "\xF0\x9F\x98\x80" + std::string(5000, 'b') + "ż";

const double kTimeFraction = (13 * 3600 + 45 * 60 + 30) / 86400.0;

// The first record of a query and its field names.
struct FirstRecord {
    std::vector<Variant> values;
    std::vector<std::string> names;
};
FirstRecord firstRecord(Connection& c, const std::string& sql) {
    Recordset r;
    r.open(sql, c);
    FirstRecord out;
    const Variant rows = r.getRows();
    for (long f = 0; f < r.fields().Count(); ++f) {
        out.names.push_back(r.fields().Name(f));
        out.values.push_back(rows.arrayValue()(f, 0));
    }
    return out;
}

void expectTimeOfDay(const Variant& v) {
    ASSERT_EQ(v.type(), host::VarType::Date);
    EXPECT_NEAR(v.toDouble(), kTimeFraction, 1e-9);  // no date part: the same every day
}

}  // namespace

TEST(AdoValues, SqliteAndAccessGiveTimesLongTextsAndPolishNamesAsWritten) {
    testsupport::SqliteFile db;
    testsupport::runStatements(db.text, {"CREATE TABLE Czas (Chwila TIME, Opis TEXT)"});
    {
        Connection c;
        c.open(db.text);
        Recordset insert;
        insert.open("INSERT INTO Czas VALUES ('13:45:30', '" + kLongText + "')", c);
    }
    for (const std::string& text :
         {db.text, "Driver={Microsoft Access Driver (*.mdb)};DBQ=" + db.path}) {
        Connection c;
        c.open(text);
        const FirstRecord r = firstRecord(c, "SELECT Chwila, Opis, 1 AS Żółw, 2 AS \"Kwota zł\" FROM Czas");
        expectTimeOfDay(r.values[0]);
        EXPECT_EQ(r.values[1], Variant(kLongText));
        EXPECT_EQ(r.names, (std::vector<std::string>{"Chwila", "Opis", "Żółw", "Kwota zł"}));
    }
}

TEST(AdoValues, SqliteValuesKeepTheirOwnTypeInANumberColumn) {
    // A batch of the services: numbers and texts in one column, typed by its first value.
    testsupport::SqliteFile db;
    testsupport::runStatements(db.text, {"CREATE TABLE K (Kwota REAL)", "INSERT INTO K VALUES (2.5), ('abc'), (NULL), (7)"});
    Connection c;
    c.open(db.text);
    Recordset union_;
    union_.open("SELECT 1 AS v UNION ALL SELECT 'Północ' UNION ALL SELECT 2.25 UNION ALL SELECT 'inf' "
                "UNION ALL SELECT '12'",
                c);
    const Variant unionRows = union_.getRows();
    const auto& rows = unionRows.arrayValue();
    EXPECT_EQ(rows(0, 0), Variant(1));
    EXPECT_EQ(rows(0, 1), Variant("Północ"));
    EXPECT_EQ(rows(0, 2), Variant(2.25));
    EXPECT_EQ(rows(0, 3), Variant("inf"));
    EXPECT_EQ(rows(0, 4), Variant("12"));  // a text stays a text, as when it is selected alone
    Recordset table;
    table.open("SELECT Kwota FROM K", c);
    const Variant tableRows = table.getRows();
    const auto& column = tableRows.arrayValue();
    EXPECT_EQ(column(0, 0), Variant(2.5));
    EXPECT_EQ(column(0, 1), Variant("abc"));
    EXPECT_TRUE(column(0, 2).isNull());
    EXPECT_EQ(column(0, 3), Variant(7.0));
}

TEST(AdoValues, SqliteNumbersKeepAllTheirDigitsOnTheSqliteAndAccessRoutes) {
    testsupport::SqliteFile db;
    testsupport::runStatements(db.text, {"CREATE TABLE P (Args TEXT, Value)",
                                         "INSERT INTO P VALUES ('a', 100000000000045.5), ('a', 0.1), ('b', 60), "
                                         "('b', 40), ('c', 'xxx'), ('c', 5), ('d', ' 2.5 '), ('d', 1)"});
    for (const std::string& text : {db.text, "Driver={Microsoft Access Driver (*.mdb)};DBQ=" + db.path}) {
        Connection c;
        c.open(text);
        EXPECT_EQ(firstRecord(c, "SELECT Value FROM P WHERE Args = 'a'").values[0], Variant(100000000000045.5)) << text;
        EXPECT_EQ(firstRecord(c, "SELECT SUM(Value) FROM P WHERE Args = 'a'").values[0],
                  Variant(100000000000045.5 + 0.1))
            << text;
        EXPECT_EQ(firstRecord(c, "SELECT SUM(Value) FROM P WHERE Args = 'b'").values[0], Variant(100)) << text;
    }
    // The Access route's SUM answers a text that is no number, and adds the ones that are.
    Connection access;
    access.open("Driver={Microsoft Access Driver (*.mdb)};DBQ=" + db.path);
    EXPECT_EQ(firstRecord(access, "SELECT SUM(Value) FROM P WHERE Args = 'c'").values[0], Variant("xxx"));
    EXPECT_EQ(firstRecord(access, "SELECT SUM(Value) FROM P WHERE Args = 'd'").values[0], Variant(3.5));
    EXPECT_TRUE(firstRecord(access, "SELECT SUM(Value) FROM P WHERE Args = 'z'").values[0].isNull());

    // A workbook's numbers keep theirs too.
    auto store = std::make_shared<testsupport::SheetStore>();
    store->cells = {{"V"}, {100000000000045.5}, {0.1}};
    Connection excel;
    excel.workbookStore = store;
    excel.open("Driver={Microsoft Excel Driver (*.xls)};ReadOnly=1;DBQ=/data/Book.xls");
    EXPECT_EQ(firstRecord(excel, "SELECT V FROM [Data$A1:A3]").values[0], Variant(100000000000045.5));
    EXPECT_EQ(firstRecord(excel, "SELECT SUM(V) FROM [Data$A1:A3]").values[0], Variant(100000000000045.5 + 0.1));
}

TEST(AdoValues, ExcelDriverKeepsPolishColumnNames) {
    auto store = std::make_shared<testsupport::SheetStore>();
    store->cells = {{"Kwota zł", "Żółw"}, {12.5, "ą"}};
    Connection c;
    c.workbookStore = store;
    c.open("Driver={Microsoft Excel Driver (*.xls)};ReadOnly=1;DBQ=/data/Book.xls");
    const FirstRecord r = firstRecord(c, "SELECT * FROM [Data$A1:B2]");
    EXPECT_EQ(r.names, (std::vector<std::string>{"Kwota zł", "Żółw"}));
    EXPECT_EQ(r.values[0], Variant(12.5));
}

TEST(AdoValues, PostgresGivesTimesLongTextsAndNamesAsWritten) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    Connection c;
    c.open(pg->connection(), pg->user, pg->password);
    const FirstRecord r =
        firstRecord(c, "SELECT TIME '13:45:30' AS \"Chwila\", '" + kLongText + "'::text AS \"Żółw\"");
    expectTimeOfDay(r.values[0]);
    EXPECT_EQ(r.values[1], Variant(kLongText));
    EXPECT_EQ(r.names, (std::vector<std::string>{"Chwila", "Żółw"}));
}
