#include <gtest/gtest.h>

#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionText.h"
#include "host/sheet/Application.h"
#include "support/Errors.h"
#include "support/Odbc.h"
#include "support/SheetStore.h"
#include "support/SqliteFile.h"

using namespace host::ado;
using host::Variant;
using testsupport::errorNumberOf;

using testsupport::SqliteFile;

TEST(Ado, RowsAsFieldByRecordWithNullAndFieldNames) {
    SqliteFile db;
    Connection c;
    c.open(db.text);
    EXPECT_EQ(c.state(), adStateOpen);
    Recordset r;
    r.open("SELECT Name, Amount, Code, 1 + 1 AS Two FROM T ORDER BY Code", c, adOpenDynamic, adLockBatchOptimistic);
    r.updateBatch();
    ASSERT_EQ(r.fields().Count(), 4);
    EXPECT_EQ(r.fields().Name(0), "Name");
    EXPECT_EQ(r.fields().Name(3), "Two");
    const Variant rows = r.getRows();
    const host::Array& a = rows.arrayValue();
    EXPECT_EQ(a.count(1), 4);
    EXPECT_EQ(a.count(2), 3);
    EXPECT_EQ(a(0, 0), Variant("Anna"));
    EXPECT_EQ(a(1, 0), Variant(10.5));
    EXPECT_EQ(a(2, 0), Variant(1));
    EXPECT_EQ(a(3, 0), Variant(2));
    EXPECT_TRUE(a(1, 1).isNull());
    EXPECT_EQ(a(0, 2), Variant("Zażółć"));
    c.close();
    EXPECT_EQ(c.state(), adStateClosed);
}

TEST(Ado, ObjectStatesAndEmptyResults) {
    SqliteFile db;
    Connection c;
    Recordset r;
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT 1", c); }), kConnectionUnusable);
    c.open(db.text);
    EXPECT_EQ(errorNumberOf([&] { c.open(db.text); }), kObjectOpen);
    r.open("SELECT Name FROM T WHERE Code > 99", c);
    EXPECT_EQ(r.fields().Name(0), "Name");
    EXPECT_EQ(errorNumberOf([&] { r.getRows(); }), kNoCurrentRecord);
    Recordset update;
    update.open("UPDATE T SET Code = Code WHERE 0", c);
    EXPECT_EQ(errorNumberOf([&] { update.getRows(); }), kObjectClosed);
    EXPECT_EQ(errorNumberOf([&] { update.updateBatch(); }), kObjectClosed);
    Recordset bad;
    try {
        bad.open("SELEKT", c);
        ADD_FAILURE();
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), kDriverError);
        EXPECT_EQ(e.description().rfind("[SQLite]", 0), 0u) << e.description();
    }
    c.close();
    EXPECT_EQ(errorNumberOf([&] { c.close(); }), kObjectClosed);
}

TEST(Ado, ConnectionTexts) {
    const auto items = parseConnectionText("Driver={My {x}} Driver};DBQ = C:\\a b.db ; NoValue;PWD={a;b}");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].value, "My {x} Driver");
    EXPECT_EQ(items[1].key, "DBQ");
    EXPECT_EQ(items[1].value, "C:\\a b.db");
    EXPECT_EQ(items[2].value, "a;b");
    EXPECT_EQ(errorNumberOf([] { parseConnectionText("Driver={SQLite3;Database=x"); }), kDriverError);

    EXPECT_EQ(planConnection("Provider=MSDASQL.1;DSN=Sales;UID=a;PWD=b", "", "").odbcText, "DSN=Sales;UID=a;PWD=b;");
    EXPECT_EQ(planConnection("DSN=Sales;UID=a;PWD=b", "u", "p;q").odbcText, "DSN=Sales;UID=u;PWD={p;q};");
    EXPECT_EQ(planConnection("Driver={SQLite3};Database=/data\\Sales.db", "", "").odbcText,
              "Driver=SQLite3;Database=/data/Sales.db;NoCreat=1;");
    EXPECT_EQ(planConnection("Provider=MSOLAP.3;Data Source=x", "", "").route, ConnectionRoute::Olap);
    EXPECT_EQ(errorNumberOf([] { planConnection("Provider=SQLOLEDB;Data Source=x", "", ""); }), kProviderNotFound);
    const auto access = planConnection("Driver={Microsoft Access Driver (*.mdb)};ReadOnly=True;DBQ=/d\\a.mdb", "u", "p");
    EXPECT_EQ(access.route, ConnectionRoute::Access);
    EXPECT_EQ(access.odbcText, "Driver=SQLite3;Database=/d/a.mdb;NoCreat=1;");
    const auto excel = planConnection("Driver={Microsoft Excel Driver (*.xls)};DBQ=/d/Book.xls", "", "");
    EXPECT_EQ(excel.route, ConnectionRoute::Excel);
    EXPECT_EQ(excel.workbookPath, "/d/Book.xls");

    Connection olap;
    EXPECT_EQ(errorNumberOf([&] { olap.open("Provider=MSOLAP;Data Source=/no/such.cub"); }), kDriverError);
    Connection missing;
    EXPECT_NE(errorNumberOf([&] { missing.open("Driver={Microsoft Access Driver (*.mdb)};DBQ=/no/such.mdb"); }), 0);
}

TEST(Ado, ErrorNumbersOfDiagnostics) {
    EXPECT_EQ(errorNumberOf("28000", "Login failed"), kLoginRefused);
    EXPECT_EQ(errorNumberOf("08001", "FATAL:  password authentication failed for user"), kLoginRefused);
    EXPECT_EQ(errorNumberOf("08001", "fe_sendauth: no password supplied"), kLoginRefused);
    EXPECT_EQ(errorNumberOf("08001", "could not connect to server"), kDriverError);
    EXPECT_EQ(errorNumberOf("HYT00", "Timeout expired"), kTimedOut);
    EXPECT_EQ(errorNumberOf("57014", "canceling statement due to statement timeout"), kTimedOut);
    EXPECT_EQ(errorNumberOf("HY000", "[SQLite]no such table"), kDriverError);
    EXPECT_EQ(errorNumberOf("HY000", "[SQLite]database is locked (5)"), kTimedOut);
}

using testsupport::SheetStore;

TEST(Ado, ExcelDriverReadsSheetRanges) {
    auto store = std::make_shared<SheetStore>();
    store->cells = {{"Region", "Amount", Variant()}, {"North", 10.0, "a"}, {"South", 2.5, Variant()}, {"North", 1.0, 3.0}};
    Connection c;
    c.workbookStore = store;
    c.open("Driver={Microsoft Excel Driver (*.xls)};DBQ=/data/Book.xls");
    Recordset r;
    r.open("SELECT Region, SUM(Amount) AS Total, COUNT(F3) FROM Data$A1:C4 GROUP BY Region ORDER BY Region", c);
    EXPECT_EQ(store->lastFolder, "/data");
    EXPECT_EQ(store->lastBook, "Book.xls");
    const Variant rows = r.getRows();
    EXPECT_EQ(rows.arrayValue()(0, 0), Variant("North"));
    EXPECT_EQ(rows.arrayValue()(1, 0), Variant(11.0));
    EXPECT_EQ(rows.arrayValue()(2, 0), Variant(2));
    Recordset bracketed;
    bracketed.open("SELECT COUNT([North]) FROM [Data$A2:B3]", c);
    EXPECT_EQ(bracketed.getRows().arrayValue()(0, 0), Variant(1));  // the first row of a range names the columns
    Recordset whole;
    EXPECT_EQ(errorNumberOf([&] { whole.open("SELECT * FROM [Data$]", c); }), kDriverError);
    EXPECT_EQ(errorNumberOf([&] { whole.open("SELECT * FROM [Other$A1:B2]", c); }), kDriverError);
}

TEST(Ado, PostgresRefusalsAndTimeOut) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    for (const std::string& password : {std::string(), std::string("wrong")}) {
        Connection c;
        try {
            c.open(pg->connection(), pg->user, password);
            ADD_FAILURE();
        } catch (const host::RuntimeError& e) {
            EXPECT_EQ(e.number(), kLoginRefused);
            EXPECT_EQ(e.description().rfind("[PostgreSQL Unicode]", 0), 0u) << e.description();
        }
    }
    Connection c;
    c.open(pg->connection(), pg->user, pg->password);
    c.commandTimeout = 1;
    Recordset r;
    EXPECT_EQ(errorNumberOf([&] { r.open("SELECT pg_sleep(3)", c); }), kTimedOut);
    Recordset text;
    text.open("SELECT 'Zażółć gęślą' AS t, 2.5::numeric AS n, DATE '2024-02-29' AS d", c);
    const Variant rows = text.getRows();
    EXPECT_EQ(rows.arrayValue()(0, 0), Variant("Zażółć gęślą"));
    EXPECT_EQ(rows.arrayValue()(1, 0), Variant(2.5));
    EXPECT_EQ(rows.arrayValue()(2, 0).type(), host::VarType::Date);
}

TEST(Ado, SeveralStatementsGiveTheirResultsInTurnWhereTheSourceAnswersEach) {
    SqliteFile db;
    Connection lite;
    lite.open(db.text);
    EXPECT_FALSE(lite.multipleResults());
    Recordset one;
    one.open("SELECT Code FROM T ORDER BY Code", lite);
    EXPECT_EQ(one.recordCount(), 3);
    EXPECT_FALSE(one.nextRecordset());
    EXPECT_EQ(one.state(), adStateClosed);
    EXPECT_EQ(errorNumberOf([&] { one.nextRecordset(); }), kObjectClosed);

    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    Connection c;
    EXPECT_FALSE(c.multipleResults());  // closed
    c.open(pg->connection(), pg->user, pg->password);
    EXPECT_TRUE(c.multipleResults());
    Recordset r;
    r.open("SELECT 'a' AS t UNION ALL SELECT 'b';\nSELECT 1 AS n WHERE false;\nSELECT 2.5::float8 AS x, 7 AS y", c);
    EXPECT_EQ(r.fields().Name(0), "t");
    EXPECT_EQ(r.getRows().arrayValue()(0, 1), Variant("b"));
    ASSERT_TRUE(r.nextRecordset());
    EXPECT_EQ(r.fields().Name(0), "n");
    EXPECT_EQ(r.recordCount(), 0);
    ASSERT_TRUE(r.nextRecordset());
    EXPECT_EQ(r.fields().Count(), 2);
    EXPECT_EQ(r.getRows().arrayValue()(0, 0), Variant(2.5));  // each result keeps its own types
    EXPECT_FALSE(r.nextRecordset());
    // A statement that fails fails the whole text, and nothing of it stays done.
    Recordset made;
    made.open("CREATE TEMPORARY TABLE several_results (v int)", c);
    Recordset failing;
    EXPECT_EQ(errorNumberOf([&] {
                  failing.open("WITH w AS (INSERT INTO several_results VALUES (1) RETURNING v) SELECT v FROM w;\n"
                               "SELECT 1 / 0",
                               c);
              }),
              kDriverError);
    Recordset count;
    count.open("SELECT count(*) FROM several_results", c);
    EXPECT_EQ(count.getRows().arrayValue()(0, 0).toLong(), 0);
}
