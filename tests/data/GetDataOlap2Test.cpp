// The GETDATA source types OLAP2 and ODBC2: measure expressions over account codes turned into MDX
// and SQL, their request texts, archive order and failure answers, and ODBC2 sums over SQLite.

#include <gtest/gtest.h>

#include "data/F_zOLAP2.h"
#include "data/OlapCells.h"

using namespace telm;
using host::Variant;
using testsupport::OlapCells;

namespace {

constexpr const char* kModel = R"([Measure Accounts]
Type=OLAP2
GetDataArguments=Expr,Year
AddString=[
ConnectionText=k.cub,,[Konta]
QueryText=Expr,[a09].[Year]
[Measure AccountsOnServer]
Type=olap2
GetDataArguments=Expr
AddString=[
ConnectionText=srv1,Konta,[Konta]
QueryText=Expr
[Measure Ledger]
Type=ODBC2
GetDataArguments=Expr
ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/ledger.db;
QueryText=Expr,FROM KS WHERE KONTO LIKE '{konto}'
)";

const std::string kWorkedMdx =
    "WITH MEMBER [Measures].[wynik] AS '0+SUM({[a01].[2]}*{[a02].[0]}*{[a04].[1]},[Measures].[Wn])"
    "+SUM({[a01].[3]}*{[a02].[0]}*{[a03].&[]},[Measures].[Wn])-SUM({[a01].[4]},[Measures].[Wn])' "
    "SELECT {[Measures].[wynik]} ON 0 FROM [Konta] WHERE ([a09].[1])";
const std::string kWorkedKey = "m(:)Provider=MSOLAP.2;Data Source=k.cub;Initial Catalog=;(:)" + kWorkedMdx;

struct Olap2 : OlapCells {
    Olap2() : OlapCells(kModel) {}

    Variant direct(const std::string& dataSource, std::string& options, const std::string& mode,
                   const std::string& where = "[a09].[1]") {
        return GetDataOlap2(dataSource, "Konta", "[Konta]", "[", "Wn/20?1>30#<4", options, where, mode, "");
    }
};

}  // namespace

TEST(GetDataOlap2, RequestTextsFromModelVariables) {
    Olap2 t;
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Accounts\",\"Wn/20?1>30#<4\",1,\":\")"), Variant(kWorkedKey));
    // A server without a user id asks the provider for the login; a query text without a comma is
    // both the expression and the WHERE text.
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"AccountsOnServer\",\"Wn/1-Ma/1\",\":\")"),
              Variant("m(:)Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=Konta;;Prompt=1(:)"
                      "WITH MEMBER [Measures].[wynik] AS '0+SUM({[a01].[1]},[Measures].[Wn])-SUM({[a01].[1]},[Measures].[Ma])' "
                      "SELECT {[Measures].[wynik]} ON 0 FROM [Konta] WHERE (Wn/1-Ma/1)"));
    // A term without "/" fails.
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Accounts\",\"Wn\",1)"), Variant(0.0));
}

TEST(GetDataOlap2, TextModesAndTheLoginPrompt) {
    Olap2 t;
    std::string options;
    EXPECT_EQ(t.direct("srv1", options, "mdx"), Variant(kWorkedMdx));
    EXPECT_EQ(options, "");  // no connection is built for a longer mode
    EXPECT_EQ(t.direct("srv1", options, "mdxRS:, {[a01].children} ON 1", ""),
              Variant("WITH MEMBER [Measures].[wynik] AS '0+SUM({[a01].[2]}*{[a02].[0]}*{[a04].[1]},[Measures].[Wn])"
                      "+SUM({[a01].[3]}*{[a02].[0]}*{[a03].&[]},[Measures].[Wn])-SUM({[a01].[4]},[Measures].[Wn])' "
                      "SELECT {[Measures].[wynik]} ON 0, {[a01].children} ON 1 FROM [Konta]"));
    EXPECT_EQ(SharedState().DataFunctionCallCount, 0);
    EXPECT_EQ(SharedState().InfoSheetValue, Variant(false));

    SharedState().DescribeModeRequested = true;
    auto connectionOf = [](const Variant& key) {
        const std::string text = key.toString();
        return text.substr(4, text.find("(:)", 4) - 4);
    };
    options = "user ID=u;Password=p";
    EXPECT_EQ(connectionOf(t.direct("srv1", options, "")),
              "Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=Konta;user ID=u;Password=p");
    options.clear();
    EXPECT_EQ(connectionOf(t.direct("c:\\x\\k.cub", options, ":")),
              "Provider=MSOLAP.2;Data Source=c:\\x\\k.cub;Initial Catalog=Konta;");
    EXPECT_EQ(connectionOf(t.direct("srv1", options, "")),
              "Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=Konta;;Prompt=1");
    EXPECT_EQ(options, ";Prompt=1");
    EXPECT_EQ(SharedState().DataFunctionCallCount, 3);
}

TEST(GetDataOlap2, ArchiveComesBeforeTheDescribeRequest) {
    Olap2 t;
    // An empty twin cell whose comment matches goes live (then describes), where GETDATAOLAP answers "..".
    t.archive("A1", Variant(), kWorkedKey);
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Accounts\",\"Wn/20?1>30#<4\",1,\":\")"), Variant(kWorkedKey));
    t.archive("A2", 99.0, kWorkedKey);
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Accounts\",\"Wn/20?1>30#<4\",1,\":\")"), Variant(99.0));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Accounts\",\"Wn/20?1>30#<4\",2,\":\")"), Variant("#Arch!"));
    EXPECT_EQ(SharedState().ArchiveHitCount, 1);
}

TEST(GetDataOlap2, CannotFindByErrorReportingLevel) {
    Olap2 t;
    const std::string failure = "#Cannot find the member [a01].[9] / Err: x";
    t.bufferAnswers(failure);
    std::string options;
    for (std::int16_t level : {0, 1}) {
        SharedState().ErrorReportingLevel = level;
        EXPECT_EQ(t.direct("srv1", options, ""), Variant::integer(0));
    }
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"AccountsOnServer\",\"Wn/9\")"),
              Variant("No value for this query. The query seems to be correct. / " + failure));
    SharedState().ErrorReportingLevel = 3;
    EXPECT_EQ(t.direct("srv1", options, ""), Variant());
    ASSERT_EQ(t.bufferRequests.size(), 4u);
    EXPECT_EQ(t.bufferRequests[2],
              "m(:)Provider=MSOLAP.2;Data Source=srv1;Initial Catalog=Konta;;Prompt=1(:)WITH MEMBER [Measures].[wynik] AS "
              "'0+SUM({[a01].[9]},[Measures].[Wn])' SELECT {[Measures].[wynik]} ON 0 FROM [Konta] WHERE (Wn/9)");
}

TEST(GetDataOlap2, Odbc2SumsOverSqlite) {
    Olap2 t;
    const std::string ledger = "Driver={SQLite3};Database=" + t.folder.file("ledger.db") + ";";
    testsupport::runStatements(ledger, {"CREATE TABLE KS (KONTO TEXT, KWOTA REAL)",
                                        "INSERT INTO KS VALUES ('2011', 10), ('2019', 5), ('2021', 1), ('301', 100), "
                                        "('311', 200), ('3011', 1000), ('401', 7), ('4011', 9)"});
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Ledger\",\"kwota/201*>3?1<401#\")"), Variant(308.0));
    // The products of the union stay products after the LIKE wildcards are written for SQL.
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Ledger\",\"kwota/201*>3?1\",\":\")"),
              Variant("s(:)" + ledger + "(:)SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(KWOTA) AS pole FROM KS WHERE KONTO "
                      "LIKE '201%' UNION SELECT 2 AS nrw, +1*SUM(KWOTA) AS pole FROM KS WHERE KONTO LIKE '3_1') AS MyAlias"));
    // An exact code compares with "=" in its own partial sum only: the order of the masks is free.
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Ledger\",\"kwota/401#-KWOTA/3*\")"), Variant(-1293.0));
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Ledger\",\"-kwota/3*\")"), Variant(-1300.0));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Ledger\",\"kwota/401#>201*\")"), Variant(22.0));
    EXPECT_EQ(t.formula("A3", "=GETDATA(\"Ledger\",\"kwota/201*>401#\")"), Variant(22.0));
    // A mask cannot close the quoted code and add a statement.
    SharedState().ErrorReportingLevel = 2;
    const Variant injected = t.formula("A4", "=GETDATA(\"Ledger\",\"kwota/1'; DROP TABLE KS; --\")");
    EXPECT_TRUE(injected.isString());
    EXPECT_EQ(t.formula("A5", "=GETDATA(\"Ledger\",\"kwota/401#\")"), Variant(7.0));
}

TEST(GetDataOlap2, Odbc2MeasureNamesKeepLettersWithoutASingleCapital) {
    Olap2 t;
    const std::string ledger = "Driver={SQLite3};Database=" + t.folder.file("ledger.db") + ";";
    testsupport::runStatements(ledger, {"CREATE TABLE KS (KONTO TEXT, \"straße\" REAL, STRASSE REAL)",
                                        "INSERT INTO KS VALUES ('1', 2, 1000), ('12', 3, 1000)"});
    EXPECT_EQ(t.formula("A1", "=GETDATA(\"Ledger\",\"straße/1*\")"), Variant(5.0));
    EXPECT_EQ(t.formula("A2", "=GETDATA(\"Ledger\",\"strasse/1#\")"), Variant(1000.0));
}

TEST(GetDataOlap2, AMalformedExpressionReportsItsOwnFailure) {
    Olap2 t;
    SharedState().ErrorReportingLevel = 2;
    const std::string missing = t.formula("A1", "=GETDATA(\"Accounts\",\"Wn/1\",1)").toString();
    EXPECT_NE(missing.find("does not exist"), std::string::npos) << missing;
    const std::string malformed = t.formula("A2", "=GETDATA(\"Accounts\",\"Wn1\",1)").toString();
    EXPECT_EQ(malformed.find("does not exist"), std::string::npos) << malformed;
    EXPECT_EQ(malformed.find("No value for this query"), std::string::npos) << malformed;
    EXPECT_NE(malformed.find("Invalid procedure call"), std::string::npos) << malformed;
}
