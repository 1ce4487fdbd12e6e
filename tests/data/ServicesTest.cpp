// The request-batching services driven through the menu commands over real workbook files and SQLite
// databases: the cycle must give every cell the value it has with the services off, while the
// databases receive one statement per batch.

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>

#include "core/A_Deklaracje.h"
#include "data/S_ServiceManager.h"
#include "support/ServiceWorkbooks.h"
#include "support/SqliteHooks.h"

using host::Variant;
using telm::SharedState;
using testsupport::quote;
using testsupport::StatementCounter;

namespace {

std::string model(long sqlLength) {
    return "PARAMETERS=ADOSERVICESQLLENGHT=" + std::to_string(sqlLength) + R"(
[Measure Amount]
Type=ODBC
GetDataArguments={code}
ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\sales.db;
QueryText=SELECT Amount FROM SvcSales WHERE Code = {code}
[Measure Cost]
Type=ODBC
GetDataArguments={code}
ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]\sales.db;
QueryText=SELECT Cost FROM SvcSales WHERE Code = {code}
)";
}

struct Services : ::testing::Test, testsupport::ServiceWorkbooks {
    std::string sales = "Driver={SQLite3};Database=" + folder.file("sales.db") + ";";
    std::string stock = "Driver={SQLite3};Database=" + folder.file("stock.db") + ";";
    StatementCounter& statements = StatementCounter::instance();

    explicit Services(long sqlLength = 0) {
        // Connections open existing database files only: each starts as an empty file.
        for (const char* name : {"sales.db", "stock.db"}) std::ofstream(folder.file(name)).close();
        testsupport::runStatements(sales, {"CREATE TABLE SvcSales (Code INTEGER, Amount REAL, Cost REAL, Region TEXT)",
                                           "INSERT INTO SvcSales VALUES (11, 110.5, 1, 'Anna'), (12, 0, 2.5, 'Łucja'), "
                                           "(13, 130, NULL, NULL), (14, -14.25, 4, 'Bartek'), (15, 150, 5, 'Celina'), "
                                           "(16, 160, 6, 'Dawid'), (17, 170, 7, 'Ewa'), (18, 180, 8, 'Filip'), "
                                           "(19, 190, 9, 'Gosia'), (20, 200, 10, 'Hania')"});
        testsupport::runStatements(stock, {"CREATE TABLE SvcStock (Item TEXT, Name TEXT)",
                                           "INSERT INTO SvcStock VALUES ('i1', 'śruba'), ('i2', NULL), ('i3', 'podkładka'), "
                                           "('i4', 'nakrętka')"});
        statements.watch("Svc");
        startWithModel(model(sqlLength));
    }

    static std::string getdata(const std::string& variable, int code) {
        return "=GETDATA(\"" + variable + "\"," + std::to_string(code) + ")";
    }
    static std::string odbc(const std::string& connection, const std::string& sql) {
        return "=GETDATAODBC(" + quote(connection) + "," + quote(sql) + ",FALSE)";
    }
    std::string stockCell(const std::string& item) const {
        return odbc(stock, "SELECT Name FROM SvcStock WHERE Item = '" + item + "'");
    }
    // Turns the services on and runs the menu's recalculation of all workbooks.
    void cycle() {
        statusTexts.clear();
        statements.reset();
        command("CalculateAll2");
    }
    void expectValues(const std::vector<Variant>& expected) {
        const auto values = valuesOf(formulaCells());
        ASSERT_EQ(values.size(), expected.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            EXPECT_EQ(values[i], expected[i]) << "cell " << formulaCells()[i]->address();
    }
};

struct ServicesWithShortBatches : Services {
    ServicesWithShortBatches() : Services(120) {}
};

}  // namespace

TEST_F(Services, CycleGivesEveryCellItsValueFromOneStatementPerBatch) {
    const std::vector<int> codes = {11, 12, 13, 11, 12, 14, 15, 11, 16, 17, 18, 19, 11, 13};
    std::vector<std::string> amounts, regions, stocks, doubled;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        amounts.push_back(getdata("Amount", codes[i]));
        regions.push_back(getdata("Cost", codes[i]));
        stocks.push_back(stockCell("i" + std::to_string(1 + i % 4)));
        doubled.push_back("=A" + std::to_string(i + 1) + "*2");
    }
    report("Report1.xlsx", {amounts, regions, stocks, doubled});
    report("Report2.xlsx", {{getdata("Amount", 19), getdata("Cost", 12), "=DANE(\"Amount\",14)"},
                            {stockCell("i4"), stockCell("i1")}});
    const auto cells = formulaCells();
    ASSERT_EQ(cells.size(), 14 * 4 + 5);

    // With the services off, the menu's recalculation is the host's own.
    command("CalculateAll2");
    const auto expected = valuesOf(cells);
    EXPECT_EQ(expected[0], Variant(110.5));

    command("SetServicesOn");
    EXPECT_EQ(lastMessage(), "TELM.NET services are ON.");
    EXPECT_EQ(dialogs.record().back().title, "TELM.NET - Counting module");
    cycle();
    expectValues(expected);
    // 44 cells of the sales database and 16 of the stock database: one batch each.
    EXPECT_EQ(adoBatches(), 2);
    EXPECT_EQ(statements.count(), 2);
    EXPECT_EQ(app->calculation(), host::sheet::CalculationMode::Automatic);
    EXPECT_EQ(app->statusBar(), Variant(false));
    EXPECT_EQ(statusTexts.front(), "Preparing data...");

    // A formula entered after the cycle was not collected; the next cycle answers it.
    auto changed = app->workbooks().item("Report1.xlsx")->sheet(1)->range("A3");
    changed->setFormula(getdata("Amount", 20));
    EXPECT_EQ(changed->value(), Variant("(?)"));
    cycle();
    EXPECT_EQ(changed->value(), Variant(200.0));
    EXPECT_EQ(statements.count(), 2);

    // Clearing the table leaves nothing to look up.
    command("ResetServicesTable");
    EXPECT_EQ(lastMessage(), "TELM.NET Services' data have been erased.");
    app->calculate();
    EXPECT_EQ(changed->value(), Variant("(?)"));
    EXPECT_EQ(cells[14]->value(), Variant("(?)"));

    command("ResetAuthorisationTable");
    EXPECT_EQ(lastMessage(), "No connection authorized.");
    EXPECT_EQ(dialogs.record().back().title, "TELM.NET - Authorisation");
    EXPECT_EQ(SharedState().AuthorisationTable, Variant(host::Array::vector({Variant(std::string())})));

    // Off again: every cell queries its source itself.
    command("SetServicesOff");
    EXPECT_EQ(lastMessage(), "TELM.NET services are OFF.");
    statements.reset();
    command("CalculateAll2");
    EXPECT_EQ(changed->value(), Variant(200.0));
    EXPECT_EQ(cells[14]->value(), expected[14]);
    EXPECT_EQ(statements.count(), static_cast<int>(cells.size()) - 14);
}

TEST_F(Services, EachStatementIsAnsweredFromItsOwnRowsOfTheBatch) {
    const std::string other = "DRIVER={SQLite3};Database=" + folder.file("sales.db") + ";";
    report("Report.xlsx",
           {{odbc(sales, "SELECT Amount FROM SvcSales WHERE Code = 11"),
             odbc(sales, "SELECT Amount FROM SvcSales WHERE Code IN (12, 13)"),
             odbc(sales, "SELECT Amount FROM SvcSales WHERE Code = 15"),
             odbc(sales, "SELECT Amount FROM SvcSales WHERE Code = 14"),
             odbc(sales, "SELECT Amount FROM SvcSales WHERE Code = 99"),
             odbc(other, "SELECT Region, Amount FROM SvcSales WHERE Code = 11"),
             odbc(other, "SELECT Region, Amount FROM SvcSales WHERE Code IN (12, 13)")}});
    command("CalculateAll2");
    const auto expected = valuesOf(formulaCells());
    EXPECT_EQ(expected[1], Variant("."));  // two rows in one cell

    command("SetServicesOn");
    cycle();
    const auto cells = formulaCells();
    // Five statements answering 1 + 2 + 1 + 1 + 0 rows: one batch, and the one without rows alone.
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(cells[i]->value(), expected[i]) << i;
    // Two columns: one row gives its first value, several rows the statement's position in its group.
    EXPECT_EQ(cells[5]->value(), Variant("Anna"));
    EXPECT_EQ(cells[6]->value(), Variant(">>1"));
    EXPECT_EQ(statements.count(), 1 + 1 + 1);
}

TEST_F(ServicesWithShortBatches, TheLengthLimitOfTheModelSizesTheBatches) {
    std::vector<std::string> amounts;
    for (int code : {11, 12, 13, 14, 15, 16, 17}) amounts.push_back(getdata("Amount", code));
    // A statement longer than the limit, first of its connection, goes alone.
    const std::string longSql = "SELECT Name FROM SvcStock WHERE Item = 'i1'" + std::string(100, ' ');
    report("Report.xlsx", {amounts, {odbc(stock, longSql), stockCell("i3"), stockCell("i4")}});
    command("CalculateAll2");
    const auto expected = valuesOf(formulaCells());

    command("SetServicesOn");
    cycle();
    expectValues(expected);
    // 43 characters a statement and 11 for each " UNION ALL ": two statements fit in 120 characters,
    // so seven statements make four batches; the long one a batch of its own and the other two one.
    EXPECT_EQ(adoBatches(), 4 + 2);
    EXPECT_EQ(statements.count(), adoBatches());
    // The long statement's connection sorts first; its empty first batch is not sent.
    EXPECT_EQ(statusTexts[1], "ADO Service /120 /2 : " + stock + "...");
}

TEST_F(Services, TheActiveSheetCycleAndItsFailures) {
    report("Report.xlsx", {{getdata("Amount", 11), getdata("Amount", 12)}});
    command("SetServicesOn");
    statements.reset();
    command("CalculateSheet2");
    const auto cells = formulaCells();
    EXPECT_EQ(cells[0]->value(), Variant(110.5));
    EXPECT_EQ(cells[1]->value(), Variant(0.0));
    EXPECT_EQ(statements.count(), 1);

    // A cycle whose only request has no SQL text cannot size its results: reported, and the host left
    // as a finished cycle leaves it.
    cells[0]->setFormula(odbc(sales, ""));
    cells[1]->setFormula(odbc(stock, ""));
    command("CalculateAll2");
    EXPECT_EQ(lastMessage(), "Unexpected error: Subscript out of range");
    EXPECT_EQ(app->calculation(), host::sheet::CalculationMode::Automatic);
    EXPECT_EQ(app->statusBar(), Variant(false));
    EXPECT_FALSE(SharedState().ServiceCollecting);
    EXPECT_FALSE(SharedState().ServiceDirectCall);
    command("CalculateSheet2");
    EXPECT_EQ(lastMessage(), "Cannot calculate a sheet.");

    for (const auto& book : app->workbooks().list()) book->close();
    command("CalculateAll2");
    EXPECT_EQ(lastMessage(), "No workbook open.");
    dialogs.reset();
    command("CalculateSheet2");
    EXPECT_EQ(lastMessage(), "No workbook open.");
}

TEST(ServiceRequests, OrderAndSearchFollowUtf16CodeUnits) {
    using telm::BinarySearchRequest;
    using telm::CompareRequests;
    // U+FF21 sorts after the surrogate pair of U+1F600 in UTF-16, though before it in UTF-8.
    EXPECT_LT(CompareRequests("\xF0\x9F\x98\x80", "\xEF\xBC\xA1"), 0);
    EXPECT_GT(CompareRequests("a\xEF\xBC\xA1", "a\xF0\x9F\x98\x80"), 0);
    EXPECT_LT(CompareRequests("ADO(:)a", "ADO(:)b"), 0);
    EXPECT_LT(CompareRequests("ADO", "ADO(:)"), 0);
    EXPECT_LT(CompareRequests("Z", "a"), 0);  // letter case counts
    EXPECT_EQ(CompareRequests("ż", "ż"), 0);

    std::vector<std::string> list = {"GTS(:)plen(::)Kot", "ADO(:)b(::)2", "\xEF\xBC\xA1", "ADO(:)a(::)1",
                                     "\xF0\x9F\x98\x80", "ADO(:)b(::)2"};
    telm::SortVariantArray(list);
    EXPECT_EQ(list, (std::vector<std::string>{"ADO(:)a(::)1", "ADO(:)b(::)2", "ADO(:)b(::)2", "GTS(:)plen(::)Kot",
                                              "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));
    EXPECT_EQ(BinarySearchRequest(list, "ADO(:)a(::)1"), 0);
    EXPECT_EQ(BinarySearchRequest(list, "\xEF\xBC\xA1"), 5);
    EXPECT_EQ(BinarySearchRequest(list, "GTS(:)plen(::)Kot"), 3);
    const long equal = BinarySearchRequest(list, "ADO(:)b(::)2");
    EXPECT_TRUE(equal == 1 || equal == 2);
    EXPECT_EQ(BinarySearchRequest(list, "A"), -1);         // before the first
    EXPECT_EQ(BinarySearchRequest(list, "\xEF\xBF\xBF"), -1);  // after the last
    EXPECT_EQ(BinarySearchRequest(list, "ADO(:)c"), -1);   // between two
    EXPECT_EQ(BinarySearchRequest(list, "GTS(:)plen(::)Kot", 4, 5), -1);
    EXPECT_EQ(BinarySearchRequest({}, "x"), -1);
}

TEST(ServiceRequests, LookupsBeforeAnyCycleAnswerNotCollected) {
    telm::ResetSharedState();
    EXPECT_EQ(telm::GetServiceResult("ADO(:)a(::)1"), Variant("(?)"));
    SharedState().ServiceRequestList = {"ADO(:)a(::)1", "ADO(:)b(::)1"};
    SharedState().ServiceResults = {Variant(5)};  // the second was never written
    EXPECT_EQ(telm::GetServiceResult("ADO(:)a(::)1"), Variant(5));
    EXPECT_EQ(telm::GetServiceResult("ADO(:)b(::)1"), Variant("(?)"));
    EXPECT_EQ(telm::GetServiceResult(Variant(host::CellError::NA)), Variant("(?)"));
    telm::ResetSharedState();
}

TEST(ServicesOnPostgres, CycleGivesEveryCellItsValueFromOneStatementPerBatch) {
    const auto server = testsupport::postgresServer();
    if (!server) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    const std::string credentials = "UID=" + server->user + ";PWD=" + server->password + ";";
    const std::string first = server->connection(credentials);
    // The same server under another connection text: a group of its own.
    const std::string second = "Driver={PostgreSQL Unicode};Database=" + server->database + ";Server=" + server->host +
                               ";Port=" + server->port + ";" + credentials;
    // Every statement that reads the view records its transaction: one per statement received.
    const std::string tag = std::to_string(::getpid());
    const std::string data = "svc_data_" + tag, seen = "svc_seen_" + tag, view = "svc_amounts_" + tag;
    const std::string setup[] = {
        "CREATE TABLE " + data + " (code int, amount numeric(12,2), name text)",
        "INSERT INTO " + data + " VALUES (1, 10.5, 'Ala'), (2, 0, 'Ola'), (3, -3.25, NULL), (4, 40, 'Żaneta')",
        "CREATE TABLE " + seen + " (tx bigint PRIMARY KEY)",
        "CREATE FUNCTION svc_tally_" + tag + "() RETURNS boolean LANGUAGE sql VOLATILE AS 'INSERT INTO " + seen +
            " VALUES (txid_current()) ON CONFLICT DO NOTHING; SELECT true'",
        "CREATE VIEW " + view + " AS SELECT code, amount, name FROM " + data + " WHERE svc_tally_" + tag + "()"};
    host::ado::Connection admin;
    admin.open(first);
    auto run = [&](const std::string& sql) {
        host::ado::Recordset r;
        r.open(sql, admin);
        return r;
    };
    for (const auto& sql : setup) run(sql);
    auto received = [&] { return run("SELECT count(*) FROM " + seen).getRows().arrayValue()(0, 0).toLong(); };
    struct Cleanup {
        std::function<void()> f;
        ~Cleanup() { f(); }
    } cleanup{[&] {
        for (const std::string& sql : {"DROP VIEW " + view, "DROP FUNCTION svc_tally_" + tag + "()", "DROP TABLE " + seen,
                                      "DROP TABLE " + data})
            run(sql);
    }};

    testsupport::ServiceWorkbooks t;
    t.startWithModel("[Measure Amount]\nType=ODBC\nGetDataArguments={code}\nConnectionText=" + first +
                     "\nQueryText=SELECT amount FROM " + view + " WHERE code = {code}\n");
    std::vector<std::string> amounts, names;
    for (int code : {1, 2, 3, 4, 1, 1, 2, 4, 3, 1}) {
        amounts.push_back("=GETDATA(\"Amount\"," + std::to_string(code) + ")");
        names.push_back("=GETDATAODBC(" + quote(second) + "," +
                        quote("SELECT name FROM " + view + " WHERE code = " + std::to_string(code)) + ",FALSE)");
    }
    t.report("Report.xlsx", {amounts, names});
    const auto cells = t.formulaCells();
    t.command("CalculateAll2");
    const auto expected = t.valuesOf(cells);
    EXPECT_EQ(expected[0], Variant(10.5));
    EXPECT_EQ(expected[7], Variant("Żaneta"));

    t.command("SetServicesOn");
    const long before = received();
    t.command("CalculateAll2");
    EXPECT_EQ(received() - before, 2);
    EXPECT_EQ(t.adoBatches(), 2);
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(cells[i]->value(), expected[i]) << cells[i]->address();

    // Statements of different column types share their batch, each keeping its own type.
    cells[3]->setFormula("=GETDATAODBC(" + quote(second) + "," +
                         quote("SELECT amount FROM " + view + " WHERE code = 2") + ",FALSE)");
    const long mixed = received();
    t.command("CalculateAll2");
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (i != 3) {
            EXPECT_EQ(cells[i]->value(), expected[i]) << cells[i]->address();
        }
    EXPECT_EQ(cells[3]->value(), Variant(0.0));
    EXPECT_EQ(received() - mixed, 2);

    // A statement that fails on the server fails its batch, which leaves nothing done, and the batch's
    // statements run one by one: every cell answers as with the services off.
    cells[3]->setFormula("=GETDATAODBC(" + quote(second) + "," +
                         quote("SELECT 1 / (code - 2) FROM " + view + " WHERE code = 2") + ",FALSE)");
    t.command("SetServicesOff");
    t.command("CalculateAll2");
    const Variant failing = cells[3]->value();
    t.command("SetServicesOn");
    const long again = received();
    t.command("CalculateAll2");
    for (std::size_t i = 0; i < cells.size(); ++i)
        if (i != 3) {
            EXPECT_EQ(cells[i]->value(), expected[i]) << cells[i]->address();
        }
    EXPECT_EQ(cells[3]->value(), failing);
    // The failed batch recorded nothing: one statement for the first group, and one for each of the four
    // different statements of the second that succeed alone (equal requests run once).
    EXPECT_EQ(received() - again, 1 + 4);
}

TEST(ServicesOnPostgres, BatchesAfterTheFirstRunAtOnceAndEachCellKeepsItsOwnValue) {
    const auto server = testsupport::postgresServer();
    if (!server) GTEST_SKIP() << "no PostgreSQL server (scripts/test starts one)";
    const std::string connection = server->connection("UID=" + server->user + ";PWD=" + server->password + ";");
    const std::string table = "svc_many_" + std::to_string(::getpid());
    std::string rows;
    for (int code = 1; code <= 40; ++code)
        rows += (code > 1 ? ", (" : "(") + std::to_string(code) + ", " + std::to_string(code) + ".25, " +
                (code % 7 ? "'n" + std::to_string(code) + "'" : std::string("NULL")) + ")";
    testsupport::runStatements(connection, {"CREATE TABLE " + table + " (code int, amount numeric(12,2), name text)",
                                            "INSERT INTO " + table + " VALUES " + rows});
    struct Cleanup {
        std::function<void()> f;
        ~Cleanup() { f(); }
    } cleanup{[&] { testsupport::runStatements(connection, {"DROP TABLE " + table}); }};

    testsupport::ServiceWorkbooks t;
    t.startWithModel("PARAMETERS=ADOSERVICESQLLENGHT=200\n[Measure Amount]\nType=ODBC\nGetDataArguments={code}\n"
                     "ConnectionText=" + connection + "\nQueryText=SELECT amount FROM " + table + " WHERE code = {code}\n");
    std::vector<std::string> amounts, names;
    for (int code = 40; code >= 1; --code) {
        amounts.push_back("=GETDATA(\"Amount\"," + std::to_string(code) + ")");
        // Texts, NULLs, no row, several rows and, in a late batch, a statement that fails on the server.
        const std::string where = code == 33 ? "code > 35" : code == 34 ? "code > 900" : "code = " + std::to_string(code);
        const std::string column = code == 25 ? "name || (1 / (code - 25))::text" : "name";
        names.push_back("=GETDATAODBC(" + quote(connection) + "," +
                        quote("SELECT " + column + " FROM " + table + " WHERE " + where) + ",FALSE)");
    }
    t.report("Report.xlsx", {amounts, names});
    const auto cells = t.formulaCells();
    t.command("CalculateAll2");
    const auto expected = t.valuesOf(cells);
    auto valueOf = [&](const std::string& part) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            if (cells[i]->formula().toString().find(part) != std::string::npos) return expected[i];
        return Variant();
    };
    EXPECT_EQ(valueOf("code > 35"), Variant("."));
    EXPECT_EQ(valueOf("code = 9\""), Variant("n9"));
    EXPECT_EQ(valueOf("\"Amount\",40)"), Variant(40.25));

    t.command("SetServicesOn");
    t.statusTexts.clear();
    t.command("CalculateAll2");
    // The first batch through the SQL primitive, then the others at once.
    EXPECT_EQ(t.adoBatches(), 2);
    for (std::size_t i = 0; i < cells.size(); ++i) EXPECT_EQ(cells[i]->value(), expected[i]) << cells[i]->address();
    t.command("SetServicesOff");
}
