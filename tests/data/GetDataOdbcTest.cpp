#include <gtest/gtest.h>

#include <filesystem>

#include "core/A_Deklaracje.h"
#include "data/F_000.h"
#include "host/files/XlsxStore.h"
#include "support/SqlCells.h"

using host::Array;
using host::Variant;
using telm::SharedState;
using testsupport::quote;
using testsupport::SqlCells;

namespace {

Variant row(std::initializer_list<Variant> items) {
    Array a = Array::matrix(1, static_cast<long>(items.size()));
    long c = 1;
    for (const Variant& v : items) a(1, c++) = v;
    return a;
}

}  // namespace

TEST(GetDataOdbc, ValuesFitTheCallingCells) {
    SqlCells t;
    EXPECT_EQ(t.odbc("SELECT Amount FROM Sales WHERE Code = 1"), Variant(10.5));
    EXPECT_EQ(t.odbc("SELECT Region FROM Sales WHERE Code = 21"), Variant("Bartek"));
    // One row over an array formula of three cells.
    EXPECT_EQ(t.arrayFormula("A2:C2", "SELECT Region, Amount, Code FROM Sales WHERE Code = 21"),
              row({"Bartek", 7.0, 21.0}));
    // Three rows into one cell; the header row alone makes two rows.
    EXPECT_EQ(t.odbc("SELECT Region FROM Sales", "FALSE", "A3"), Variant("."));
    EXPECT_EQ(t.odbc("SELECT Amount FROM Sales WHERE Code = 1", "TRUE", "A4"), Variant("."));
    // With the services off, several rows come back whole, the header row first.
    Array column = Array::matrix(4, 1);
    column(1, 1) = "Region";
    column(2, 1) = "Anna";
    column(3, 1) = "Adam";
    column(4, 1) = "Bartek";
    EXPECT_EQ(t.arrayFormula("E1:E4", "SELECT Region FROM Sales ORDER BY Code", "TRUE"), Variant(column));
    EXPECT_EQ(SharedState().FieldNames, std::vector<Variant>{Variant()});  // used up by the header row
    // Null, empty and 0 become 0; a text "." in a single value becomes 0; other texts stay.
    EXPECT_EQ(t.arrayFormula("A5:C5", "SELECT Note, Amount, Region FROM Sales WHERE Code = 1"),
              row({0.0, 10.5, "Anna"}));
    EXPECT_EQ(t.odbc("SELECT Note FROM Sales WHERE Code = 11", "FALSE", "A6"), Variant(0.0));
    EXPECT_EQ(SharedState().CurrentConnectionText, Variant(t.connection));
}

TEST(GetDataOdbc, DescriptionsAndWildcards) {
    SqlCells t;
    // The mode given as a cell reference counts as the cell's value.
    t.sheet->range("Z9")->setValue(":");
    EXPECT_EQ(t.formula("A7", "=GETDATAODBC(\"DSN=Sales\",\"SELECT 1\",Z9)"), Variant("s(:)DSN=Sales;(:)SELECT 1"));
    t.sheet->range("Z8")->setValue(true);
    EXPECT_EQ(t.formula("A8", "=GETDATAODBC(" + quote(t.connection) + ",\"SELECT Code FROM Sales WHERE Code=1\",Z8)"),
              Variant("."));  // a header row: two rows into one cell
    const std::string bare = "DSN=Sales";
    const std::string expected = "s(:)DSN=Sales;(:)SELECT 1";
    EXPECT_EQ(t.formula("A1", "=GETDATAODBC(\"DSN=Sales\",\"SELECT 1\",\":\")"), Variant(expected));
    EXPECT_EQ(t.formula("A2", "=GETDATAODBC(\"DSN=Sales;\",\"SELECT 1\",\":\")"), Variant(expected));
    // "*" and "?" change only after the first " LIKE".
    EXPECT_EQ(t.formula("A3", "=GETDATAODBC(\"DSN=S\",\"SELECT * FROM T WHERE Name like 'A*' AND Code LIKE '?1'\",\":\")"),
              Variant("s(:)DSN=S;(:)SELECT * FROM T WHERE Name like 'A%' AND Code LIKE '_1'"));
    EXPECT_EQ(t.odbc("SELECT COUNT(*) FROM Sales WHERE Region LIKE 'A*'", "FALSE", "A4"), Variant(2.0));
    EXPECT_EQ(t.odbc("SELECT Region FROM Sales WHERE Code LIKE '?1' AND Region LIKE 'A*'", "FALSE", "A5"), Variant("Adam"));
    // The folder token becomes the add-in folder; the shared state keeps the text as written (the
    // other cells are cleared first, as the last cell calculated sets the state).
    t.sheet->range("A1:A8")->clearContents();
    EXPECT_EQ(t.formula("A6", "=GETDATAODBC(\"Driver={SQLite3};Database=[telm.net.FOLDER]/sales.db\",\"SELECT 1\",\":\")"),
              Variant("s(:)Driver={SQLite3};Database=" + t.folder.string() + "/sales.db;(:)SELECT 1"));
    EXPECT_EQ(SharedState().CurrentConnectionText, Variant("Driver={SQLite3};Database=[telm.net.FOLDER]/sales.db"));
    // Describe mode asked by an archive command.
    SharedState().DescribeModeRequested = true;
    EXPECT_EQ(t.odbc("SELECT 2", "FALSE", "A7"), Variant("s(:)" + t.connection + "(:)SELECT 2"));
}

TEST(GetDataOdbc, RangeOfTextsAsConnection) {
    SqlCells t;
    const std::string c = t.connection;
    t.sheet->range("D1")->setValue(c.substr(0, 10));
    t.sheet->range("D2")->setValue(c.substr(10, 10));
    t.sheet->range("D3")->setValue(c.substr(20));
    EXPECT_EQ(t.formula("A1", "=GETDATAODBC(D1:D3,\"SELECT Code FROM Sales WHERE Region = 'Anna'\",FALSE)"), Variant(1.0));
    // A block of texts cannot be joined: no value.
    t.sheet->range("E1:F2")->setValue("x");
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.formula("A2", "=GETDATAODBC(E1:F2,\"SELECT 1\",FALSE)"),
              Variant("No value for this query. The query seems to be correct."));
}

TEST(GetDataOdbc, NoValueByErrorReportingLevel) {
    SqlCells t;
    const std::string failing = "SELECT Amount FROM Nowhere";
    for (int level : {0, 1, 2}) {
        SharedState().ErrorReportingLevel = static_cast<std::int16_t>(level);
        EXPECT_EQ(t.odbc("SELECT NULL"), Variant(0.0)) << level;
        EXPECT_EQ(t.odbc("SELECT Note FROM Sales WHERE Code = 1"), Variant(0.0)) << level;
    }
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(t.odbc(failing), Variant(0.0));
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.odbc(failing), Variant("#[SQLite]no such table: Nowhere (1) / Err: " + failing));
    EXPECT_EQ(SharedState().ErrorText, "Err: " + failing);
    EXPECT_EQ(t.odbc("SELECT Amount FROM Sales WHERE Code = 99"),
              Variant("#Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                      "requires a current record. / Err."));
    SharedState().ErrorReportingLevel = 3;
    EXPECT_EQ(t.odbc(failing), Variant(0.0));  // an empty result shows as 0
}

TEST(GetDataOdbc, BadInputGivesTheFailureTextInTheCell) {
    SqlCells t;
    SharedState().ErrorReportingLevel = 2;
    auto cell = [&](const std::string& connection, const std::string& sql) {
        return t.formula("A1", "=GETDATAODBC(" + quote(connection) + "," + quote(sql) + ",FALSE)").toString();
    };
    const std::string noDriver = cell("Driver={No Such Driver};Database=x", "SELECT 1");
    EXPECT_NE(noDriver.find("\"No Such Driver\" is not registered: register it in odbcinst.ini"), std::string::npos) << noDriver;
    EXPECT_NE(noDriver.find(" / Err: Driver={No Such Driver};Database=x"), std::string::npos);
    const std::string brace = cell("Driver={SQLite3;Database=x", "SELECT 1");
    EXPECT_NE(brace.find("never closed. / Err: Driver={SQLite3;Database=x"), std::string::npos) << brace;
    const std::string dsn = cell("DSN=NoSuchSource", "SELECT 1");
    EXPECT_NE(dsn.find("Data source name not found"), std::string::npos) << dsn;
    const std::string sql = cell(t.connection, "SELEKT 1 FROM");
    EXPECT_EQ(sql.rfind("#[SQLite]", 0), 0u) << sql;
    EXPECT_NE(sql.find(" / Err: SELEKT 1 FROM"), std::string::npos);
    // An OLAP server that is no data source of the machine.
    const std::string olap = t.formula("A2", "=GETDATAOLAPuni(\"Provider=MSOLAP;Data Source=x\",\"SELECT 1\")").toString();
    EXPECT_NE(olap.find("Data source name not found"), std::string::npos) << olap;
    EXPECT_NE(olap.find(" / Err: Provider=MSOLAP;Data Source=x"), std::string::npos) << olap;
}

TEST(GetDataOdbc, WindowsDriverNamesServedLocally) {
    SqlCells t;
    const std::string access = "Driver={Microsoft Access Driver (*.mdb)};ReadOnly=True;DBQ=" + t.database;
    EXPECT_EQ(t.formula("A1", "=GETDATAODBC(" + quote(access) + ",\"SELECT SUM([Amount]) FROM [Sales]\",FALSE)"),
              Variant(17.5));
    // Read-only: a write is refused and every row stays.
    SharedState().ErrorReportingLevel = 2;
    const std::string refused = t.formula("A2", "=GETDATAODBC(" + quote(access) + ",\"DELETE FROM Sales\",FALSE)").toString();
    EXPECT_NE(refused.find("readonly"), std::string::npos) << refused;
    EXPECT_EQ(t.odbc("SELECT COUNT(*) FROM Sales", "FALSE", "A3"), Variant(3.0));
    // A database file that does not exist is not created.
    const std::string missingFile = t.folder.file("missing.mdb");
    const std::string missing = t.formula("A4", "=GETDATAODBC(" + quote("Driver={Microsoft Access Driver (*.mdb)};DBQ=" +
                                                                      missingFile) + ",\"SELECT 1\",FALSE)").toString();
    EXPECT_NE(missing.find("Could not find file"), std::string::npos) << missing;
    EXPECT_FALSE(std::filesystem::exists(missingFile));
}

TEST(GetDataOdbc, ALockedDatabaseEndsInTheTimeOut) {
    SqlCells t;
    SharedState().ErrorReportingLevel = 2;
    host::ado::Connection holder;
    holder.open(t.connection);
    host::ado::Recordset lock;
    lock.open("BEGIN EXCLUSIVE", holder);
    // The statement waits for the lock no longer than the command time-out (30 seconds).
    const std::string text = t.odbc("SELECT COUNT(*) FROM Sales").toString();
    EXPECT_EQ(text, "#[SQLite]database is locked (5) / Err: SELECT COUNT(*) FROM Sales");
    // With the services off the time-out is also reported.
    ASSERT_FALSE(t.dialogs.record().empty());
    EXPECT_EQ(t.dialogs.record().back().prompt, "TimeOut Error");
}

TEST(GetDataOdbc, LoginCacheOfASourceWithoutCredentials) {
    SqlCells t;
    t.odbc("SELECT 1");
    t.odbc("SELECT 2");
    const Array& cache = SharedState().AuthorisationTable.arrayValue();
    ASSERT_EQ(cache.size(), 1u);  // the empty first item is gone, the second call added nothing
    EXPECT_EQ(cache(0), Variant(t.connection + "(:)(::)"));
    EXPECT_EQ(SharedState().ExternalQueryCount, 2);
    EXPECT_EQ(SharedState().DataFunctionCallCount, 2);
}

TEST(GetDataOdbc, LinkEnvironmentRestarts) {
    SqlCells t;
    for (int i = 0; i < 2; ++i) t.app->run("RefreshLinkEnviroment");
    const auto& shown = t.dialogs.record();
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.prompt, "OK.");
        EXPECT_EQ(box.buttons, 64);
        EXPECT_EQ(box.title, "TELM.NET");
    }
}

TEST(DataPrimitives, LinkAndMdxFailuresNameTheirStep) {
    SqlCells t;
    std::string link = "'" + t.folder.string() + "/[Missing.xlsx]Sheet1'!R1C1";
    const std::string linkText = telm::DispatchLacze000(link).toString();
    EXPECT_EQ(linkText.rfind("#", 0), 0u);
    EXPECT_EQ(linkText.substr(linkText.size() - link.size() - 9), " / #Err: " + link) << linkText;

    bool asArray = false;
    const Variant mdx = telm::DispatchZOLAP000("Provider=MSOLAP;Data Source=[TELM.NET.folder]/c.cub", "SELECT", asArray);
    EXPECT_EQ(mdx, Variant("#[OLAP] The cube file \"" + t.folder.string() + "/c.cub\" does not exist. / Err: "
                           "Provider=MSOLAP;Data Source=" + t.folder.string() + "/c.cub"));
    EXPECT_EQ(SharedState().CurrentConnectionText, Variant("Provider=MSOLAP;Data Source=[TELM.NET.folder]/c.cub"));
    EXPECT_EQ(SharedState().CurrentQueryText, Variant("SELECT"));
}

TEST(DataPrimitives, WorkbookFilesThroughTheExcelDriverAndLinks) {
    SqlCells t;
    host::files::attachWorkbookStore(*t.app);
    auto book = t.app->workbooks().add();
    auto data = book->sheet(1);
    data->setName("Data");
    data->range("A1:B1")->setValue(row({"Region", "Amount"}));
    data->range("A2:B2")->setValue(row({"North", 10.0}));
    data->range("A3:B3")->setValue(row({"South", 2.5}));
    const std::string file = t.folder.file("Book.xlsx");
    book->saveAs(file);
    book->close();

    const std::string excel = "Driver={Microsoft Excel Driver (*.xls)};DBQ=" + file;
    EXPECT_EQ(t.formula("A1", "=GETDATAODBC(" + quote(excel) + ",\"SELECT SUM(Amount) FROM [Data$A1:B3]\",FALSE)"),
              Variant(12.5));
    SharedState().ErrorReportingLevel = 2;
    const std::string missing = t.formula("A1", "=GETDATAODBC(" + quote(excel) + ",\"SELECT * FROM [Nope$A1:B3]\",FALSE)").toString();
    EXPECT_NE(missing.find("no such workbook file or sheet"), std::string::npos) << missing;

    std::string link = "'" + t.folder.string() + "/[Book.xlsx]Data'!R3C2";
    EXPECT_EQ(telm::DispatchLacze000(link), Variant(2.5));
    EXPECT_EQ(SharedState().ErrorText, "");
}
