// Cube values from cell formulas: cubes built with the local-cube statements from SQLite databases
// (the example's sales figures, and a ledger whose account codes give one dimension per position),
// read through GETDATAOLAP, GETDATAOLAPuni, GETDATA variables of types OLAP, OLAP2 and ODBC2 and the
// wizard's value lists, all agreeing with the same figures summed by SQL.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "data/F_Publiczne.h"
#include "data/OlapCells.h"
#include "host/ado/Connection.h"
#include "host/base/Text.h"

using namespace telm;
using host::Variant;
using testsupport::quote;

namespace {

constexpr const char* kModel = R"([Measure Ledger.Olap]
Type=OLAP
GetDataArguments=D1,D2,D4
AddString=[Measures].[Wn]
ConnectionText=[TELM.NET.Folder]/konta.cub,,Konta
QueryText=[a01].[D1],[a02].[D2],[a04].[D4]
[Measure Ledger.Mdx]
Type=OLAP
GetDataArguments=D1
ConnectionText=Provider=MSOLAP;Data Source=[TELM.NET.Folder]/konta.cub;Initial Catalog=;
QueryText=WITH MEMBER [Measures].[x] AS 'SUM({[a01].[D1]}*{[a02].[0]}*{[a04].[1]},[Measures].[Wn])' SELECT {[Measures].[x]} ON 0 FROM [Konta]
[Measure Ledger.Ratio]
Type=OLAP
GetDataArguments=D1
ConnectionText=Provider=MSOLAP;Data Source=[TELM.NET.Folder]/konta.cub;Initial Catalog=;
QueryText=WITH MEMBER [Measures].[x] AS '[Measures].[Wn] / D1' SELECT {[Measures].[x]} ON 0 FROM [Konta]
[Measure Ledger.Olap2]
Type=OLAP2
GetDataArguments=Expr
AddString=[
ConnectionText=[TELM.NET.Folder]/konta.cub,,[Konta]
QueryText=Expr,[a09].&[]
[Measure Ledger.Odbc2]
Type=ODBC2
GetDataArguments=Expr
ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/ledger.db;
QueryText=Expr,FROM KS WHERE KONTO LIKE '{konto}'
[Measure Sales.YearTotal]
Type=ODBC
GetDataArguments={region},{year}
ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/Sales.db;
QueryText=SELECT sum(s.amount) FROM sales s JOIN region r ON r.id = s.region WHERE r.name = '{region}' AND s.year = {year}
)";

// Ledger: debit (Wn) and credit (Ma) by account code; Wn 1436 in all.
constexpr const char* kLedgerTable = "CREATE TABLE KS (KONTO TEXT, WN REAL, MA REAL)";
constexpr const char* kLedgerRows =
    "INSERT INTO KS VALUES ('201', 10, 1), ('2011', 20, 2), ('2021', 40, 4), ('30', 50, 5), ('301', 100, 10), "
    "('311', 200, 20), ('3011', 1000, 100), ('401', 7, 0.5), ('4011', 9, 0.25)";

// The chart-of-accounts cube built where `destination` says from the ledger of `source`: dimension
// [aNN] holds the code's NN-th character (empty past its end).
std::string ledgerCubeText(const std::string& destination, const std::string& source, const std::string& table = "KS") {
    std::string dimensions, columns, values;
    for (int k = 1; k <= 9; ++k) {
        const std::string n = std::string(k < 10 ? "0" : "") + std::to_string(k);
        dimensions += "DIMENSION [a" + n + "], LEVEL [All a" + n + "] TYPE ALL, LEVEL [z" + n + "], ";
        columns += "[a" + n + "].[z" + n + "], ";
        values += "substr(KONTO, " + std::to_string(k) + ", 1), ";
    }
    return "Provider=MSOLAP;" + destination + ";SOURCE_DSN=\"" + source + "\";CREATECUBE=CREATE CUBE [Konta] (" +
           dimensions + "MEASURE [Wn] FUNCTION SUM, MEASURE [Ma] FUNCTION SUM);INSERTINTO=INSERT INTO [Konta] (" +
           columns + "[Measures].[Wn], [Measures].[Ma]) SELECT " + values + "WN, MA FROM " + table;
}

// The sales cube of the example database.
std::string salesCubeText(const std::string& folder) {
    return "Provider=MSOLAP;Location=" + folder + "/sales.cub;SOURCE_DSN=\"Driver={SQLite3};Database=" + folder +
           "/Sales.db;\";CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All Regions] TYPE ALL, "
           "LEVEL [Region], DIMENSION [Product], LEVEL [All Products] TYPE ALL, LEVEL [Product], "
           "DIMENSION [Time] TYPE TIME, LEVEL [All Time] TYPE ALL, LEVEL [Year] TYPE YEAR, LEVEL [Month] TYPE MONTH, "
           "MEASURE [Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Sales] ([Region].[Region], [Product].[Product], "
           "[Time].[Year], [Time].[Month], [Measures].[Amount]) SELECT r.name, p.name, s.year, s.month, s.amount "
           "FROM sales s JOIN region r ON r.id = s.region JOIN product p ON p.id = s.product";
}

struct OlapEndToEnd : ::testing::Test, testsupport::OlapCells {
    std::string cube = folder.file("konta.cub");
    std::string cubeConnection = "Provider=MSOLAP.2;Data Source=" + cube + ";Initial Catalog=;";

    OlapEndToEnd() : OlapCells(kModel) {
        const std::string ledger = "Driver={SQLite3};Database=" + folder.file("ledger.db") + ";";
        testsupport::runStatements(ledger, {kLedgerTable, kLedgerRows});
        host::ado::Connection build;
        build.open(ledgerCubeText("Location=" + cube, ledger));
        build.close();
    }
    Variant olap(const char* address, const std::string& members, const std::string& measure = "[Measures].[Wn]") {
        return OlapCells::olap(address, {cube, "", "Konta", measure, members});
    }
};

}  // namespace

TEST_F(OlapEndToEnd, EveryRouteGivesTheSameTotals) {
    // Accounts 20?1: 2011 and 2021.
    EXPECT_EQ(olap("A1", "[a01].[2],[a02].[0],[a04].[1]"), Variant(60.0));
    EXPECT_EQ(formula("A2", "=GETDATA(\"Ledger.Olap\",2,0,1)"), Variant(60.0));
    EXPECT_EQ(formula("A3", "=GETDATA(\"Ledger.Mdx\",2)"), Variant(60.0));
    EXPECT_EQ(formula("A4", "=GETDATA(\"Ledger.Olap2\",\"Wn/20?1\")"), Variant(60.0));
    EXPECT_EQ(formula("A5", "=GETDATA(\"Ledger.Odbc2\",\"wn/20?1\")"), Variant(60.0));
    EXPECT_EQ(formula("A6", "=GETDATAOLAPuni(" + quote(cubeConnection) +
                                ",\"SELECT {[Measures].[Wn]} ON 0 FROM [Konta] WHERE ([a01].[2],[a02].[0],[a04].[1])\")"),
              Variant(60.0));
    // Several masks with signs and an exact code.
    EXPECT_EQ(formula("B1", "=GETDATA(\"Ledger.Olap2\",\"Wn/20?1<4*>30#\")"), Variant(94.0));
    EXPECT_EQ(formula("B2", "=GETDATA(\"Ledger.Odbc2\",\"wn/20?1<4*>30#\")"), Variant(94.0));
    EXPECT_EQ(formula("B3", "=GETDATA(\"Ledger.Olap2\",\"Wn/3-Ma/3\")"), Variant(1350.0 - 135.0));
    EXPECT_EQ(formula("B4", "=GETDATA(\"Ledger.Odbc2\",\"wn/3*-ma/3*\")"), Variant(1350.0 - 135.0));
    // Whole dimensions and the grand total.
    EXPECT_EQ(olap("C1", "[a01].[*]"), Variant(1436.0));
    EXPECT_EQ(olap("C2", ""), Variant(1436.0));
    EXPECT_EQ(formula("C3", "=GETDATA(\"Ledger.Olap2\",\"Wn/?\")"), Variant(1436.0));
    EXPECT_EQ(formula("C4", "=GETDATAODBC(\"Driver={SQLite3};Database=" + folder.file("ledger.db") +
                                ";\",\"SELECT SUM(WN) FROM KS\",FALSE)"),
              Variant(1436.0));
}

TEST_F(OlapEndToEnd, TableOfGetDataOlapUni) {
    const std::string mdx = "SELECT {[Measures].[Wn], [Measures].[Ma]} ON 0, [a01].children ON 1 FROM [Konta]";
    sheet->range("A1:C3")->setFormulaArray("=GETDATAOLAPuni(" + quote(cubeConnection) + "," + quote(mdx) + ",TRUE)");
    const Variant table = sheet->range("A1:C3")->value();
    ASSERT_TRUE(table.isArray());
    // The rows of the recordset as GetRows gives them: the field first, then the record.
    const host::Array& cells = table.arrayValue();
    EXPECT_EQ(cells(1, 1), Variant("2"));
    EXPECT_EQ(cells(2, 1), Variant(70.0));
    EXPECT_EQ(cells(3, 1), Variant(7.0));
    EXPECT_EQ(cells(1, 3), Variant("4"));
    EXPECT_EQ(cells(2, 3), Variant(16.0));
}

TEST_F(OlapEndToEnd, CannotFindByErrorReportingLevel) {
    const std::string expected = "#Brak danych dla zadanych argumentów. Zapytanie jest prawidłowe.";
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(olap("A1", "[a01].[9]"), Variant(0.0));
    EXPECT_EQ(formula("A2", "=GETDATA(\"Ledger.Olap2\",\"Wn/9\")"), Variant(0.0));
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(olap("A1", "[a01].[9]"), Variant(expected));
    EXPECT_EQ(olap("A3", "[a01].[2]", "[Measures].[Saldo]"), Variant(expected));
    const std::string olap2 = formula("A2", "=GETDATA(\"Ledger.Olap2\",\"Wn/9\")").toString();
    EXPECT_EQ(olap2.rfind("No value for this query. The query seems to be correct. / #", 0), 0u) << olap2;
    EXPECT_NE(olap2.find("annot find"), std::string::npos) << olap2;
    SharedState().ErrorReportingLevel = 3;
    EXPECT_EQ(GetDataOlapPublic(cube, "", "Konta", "[Measures].[Wn]", "[a01].[9]", "", ""), Variant());
    // Other failures keep their text: a cube file that is missing.
    SharedState().ErrorReportingLevel = 2;
    const std::string missing = OlapCells::olap("A4", {folder.file("none.cub"), "", "Konta", "[Measures].[Wn]"}).toString();
    EXPECT_EQ(missing.rfind("#", 0), 0u);
    EXPECT_NE(missing.find(" / Err: Provider=MSOLAP.2;Data Source=" + folder.file("none.cub")), std::string::npos)
        << missing;
    EXPECT_FALSE(std::filesystem::exists(folder.file("none.cub")));
}

TEST_F(OlapEndToEnd, MemberArgumentsStayWithinTheirBrackets) {
    SharedState().ErrorReportingLevel = 2;
    const std::string refused = "#Not a cube, measure and list of members";
    // Each closes what the query puts the argument in: the tuple, the quoted member, a bracket.
    for (const std::string members : {"[a01].[2], [Measures].[Ma])' MEMBER [Measures].[zz] AS '(0",
                                      "[a01].[2]})+SUM({[a01].[3]}", "[a01].[2]'", "[a01].[2]]", "[a01].[2", "a01.2",
                                      "[a01].[2],"})
        EXPECT_EQ(olap("A1", members).toString().rfind(refused, 0), 0u) << members;
    EXPECT_EQ(olap("A2", "[a01].[2]", "[Measures].[Ma]})+SUM({[a01].[3]},[Measures].[Wn]").toString().rfind(refused, 0), 0u);
    EXPECT_EQ(OlapCells::olap("A3", {cube, "", "Konta] WHERE ([a01].[3]", "[Measures].[Wn]", "[a01].[2]"}).toString().rfind(refused, 0), 0u);
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(olap("A1", "[a01].[2], [Measures].[Ma])' MEMBER [Measures].[zz] AS '(0"), Variant(0.0));
    // Names, keys and whole dimensions as written before.
    EXPECT_EQ(olap("A4", "[a01].[2],[a02].[0],[a04].&[1]"), Variant(60.0));
    EXPECT_EQ(olap("A5", "[a01].[3],[a03].&[]"), Variant(50.0));
    EXPECT_EQ(olap("A6", "[a01].[*],[a02].[1]"), Variant(200.0));
}

TEST_F(OlapEndToEnd, DivisionByZeroIsAFailureOfTheCell) {
    SharedState().ErrorReportingLevel = 2;
    const std::string text = formula("A1", "=GETDATA(\"Ledger.Ratio\",0)").toString();
    EXPECT_NE(text.find("Division by zero."), std::string::npos) << text;
    const std::string uni = formula("A2", "=GETDATAOLAPuni(" + quote(cubeConnection) +
                                              ",\"WITH MEMBER [Measures].[x] AS '1 / 0' SELECT {[Measures].[x]} ON 0 "
                                              "FROM [Konta]\")").toString();
    EXPECT_NE(uni.find("Division by zero."), std::string::npos) << uni;
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(formula("A1", "=GETDATA(\"Ledger.Ratio\",0)"), Variant(0.0));
    EXPECT_EQ(formula("A3", "=GETDATA(\"Ledger.Ratio\",4)"), Variant(359.0));
}

TEST_F(OlapEndToEnd, WizardListsAndTheirSumInACell) {
    const std::string mdx = "SELECT {[Measures].[Wn]} ON 0, [a01].children ON 1 FROM [Konta]";
    const Variant list = OlapListForWizardPublic(cube, "", mdx);
    ASSERT_TRUE(list.isArray());
    EXPECT_EQ(list.arrayValue()(0, 0), Variant("2"));
    EXPECT_EQ(list.arrayValue()(1, 2), Variant(16.0));
    // Called from one cell's formula the list becomes the sum of its numbers.
    app->registerFunction("WIZARDLIST", [](std::vector<Variant>& a) {
        return OlapListForWizardPublic(a.at(0).toString(), "", a.at(1).toString());
    });
    EXPECT_EQ(formula("A1", "=WIZARDLIST(" + quote(cube) + "," + quote(mdx) + ")"), Variant(1436.0));
}

TEST_F(OlapEndToEnd, SalesCubeOfTheExampleDatabase) {
    std::filesystem::copy_file(std::filesystem::path(TELM_SOURCE_DIR) / "examples" / "Sales.db", folder.file("Sales.db"));
    // The cube is built by the first formula that opens the building text.
    sheet->range("Z1")->setValue(salesCubeText(folder.string()));
    EXPECT_EQ(formula("A1", "=GETDATAOLAPuni(Z1,\"SELECT {[Measures].[Amount]} ON 0 FROM [Sales] "
                            "WHERE ([Region].[Północ],[Time].[2024])\")"),
              formula("A2", "=GETDATA(\"Sales.YearTotal\",\"Północ\",2024)"));
    const std::string sales = folder.file("sales.cub");
    for (const char* region : {"Północ", "Zachód"}) {
        const std::string sql = std::string("=GETDATA(\"Sales.YearTotal\",\"") + region + "\",2025)";
        EXPECT_EQ(OlapCells::olap("B1", {sales, "", "Sales", "[Measures].[Amount]",
                                         std::string("[Region].[") + region + "],[Time].[2025]"}),
                  formula("B2", sql));
    }
    EXPECT_GT(sheet->range("A2")->value().toDouble(), 0.0);
}

// The same cube in a schema of the PostgreSQL server, reached through a data source name of odbc.ini;
// GETDATAOLAP logs in with the first user id it met.
TEST(OlapOnServer, UserIdOfTheFirstCallLogsInLater) {
    const auto pg = testsupport::postgresServer();
    if (!pg) GTEST_SKIP() << "no PostgreSQL server";
    const std::string dsn = "TelmAddinLedger";
    std::ofstream(std::getenv("ODBCINI"), std::ios::app) << "[" << dsn << "]\nDriver=PostgreSQL Unicode\nServername="
                                                         << pg->host << "\nPort=" << pg->port
                                                         << "\nDatabase=" << pg->database << "\n";
    const std::string schema = "ledger_" + std::to_string(::getpid());
    const std::string credentials = "UID=" + pg->user + ";PWD=" + pg->password + ";";
    const std::string source = pg->connection(credentials);
    testsupport::runStatements(source, {("CREATE SCHEMA " + schema).c_str()});
    testsupport::runStatements(source, {("CREATE TABLE " + schema + ".KS (KONTO TEXT, WN REAL, MA REAL)").c_str(),
                                        (std::string(kLedgerRows).replace(12, 2, schema + ".KS")).c_str()});
    const std::string login = "User ID=" + pg->user + ";Password=" + pg->password;
    {
        host::ado::Connection build;
        build.open(ledgerCubeText("Data Source=" + dsn + ";Initial Catalog=" + schema + ";" + login, source,
                                  schema + ".KS"));
    }

    testsupport::OlapCells t;
    SharedState().ErrorReportingLevel = 2;
    const std::string members = "[a01].[2],[a02].[0],[a04].[1]";
    const std::string firstLogin = "User ID=" + pg->user + "&Password=" + pg->password;
    EXPECT_EQ(t.olap("A1", {dsn, schema, "Konta", "[Measures].[Wn]", members, firstLogin}), Variant(60.0));
    EXPECT_EQ(t.olap("A2", {dsn, schema, "Konta", "[Measures].[Wn]", "", "USER ID=nobody&Password=x"}), Variant(1436.0));
    // Without the remembered login the server refuses.
    SharedState().LastOlapConnections.clear();
    SharedState().LastOlapConnections[host::UCase(dsn)] = "User ID=nobody&Password=x";
    const std::string refused = t.olap("A3", {dsn, schema, "Konta", "[Measures].[Wn]", "", firstLogin}).toString();
    EXPECT_NE(refused.find("/ Err: Provider=MSOLAP.2;Data Source=" + dsn + ";Initial Catalog=" + schema +
                           ";User ID=nobody;Password=****"),
              std::string::npos)
        << refused;
    testsupport::runStatements(source, {("DROP SCHEMA " + schema + " CASCADE").c_str()});
}

// The example add-in folder: its cube and its database give the same sales figures.
TEST(OlapExample, CubeAgreesWithTheDatabase) {
    const std::filesystem::path examples = std::filesystem::path(TELM_SOURCE_DIR) / "examples";
    std::ifstream modelFile(examples / "DataModel.par");
    const std::string model((std::istreambuf_iterator<char>(modelFile)), std::istreambuf_iterator<char>());
    testsupport::OlapCells t(model);
    for (const char* file : {"Sales.db", "Sales.cub"}) std::filesystem::copy_file(examples / file, t.folder.file(file));
    for (const char* region : {"Północ", "Południe", "Wschód", "Zachód"}) {
        const std::string arguments = std::string("\"") + region + "\",2025)";
        const Variant fromDatabase = t.formula("A1", "=GETDATA(\"Sales.YearTotal\"," + arguments);
        EXPECT_GT(fromDatabase.toDouble(), 0.0);
        EXPECT_EQ(t.formula("A2", "=GETDATA(\"Sales.CubeYear\"," + arguments), fromDatabase) << region;
    }
}
