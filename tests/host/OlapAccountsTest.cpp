#include <gtest/gtest.h>

#include "OlapCubes.h"
#include "host/olap/CubeBuilder.h"

using host::Variant;
using namespace olaptest;

namespace {

// A ledger keyed by account codes of up to nine characters, and a cube with one dimension per code
// position, [a01] to [a09] (the empty key where a code is shorter).
struct Accounts {
    testsupport::TempFolder folder{"telm-konta"};
    std::string source = "Driver={SQLite3};Database=" + folder.file("ks.db") + ";";
    std::string cube = "Provider=MSOLAP.2;Data Source=" + folder.file("konta.cub") + ";Initial Catalog=;";

    Accounts() {
        runSql(source, {"CREATE TABLE ks (konto TEXT, wn DOUBLE PRECISION, ma DOUBLE PRECISION)",
                        "INSERT INTO ks VALUES ('201', 100, 10), ('2011', 5, 0), ('202', 7, 0), ('301', 40, 0), "
                        "('30', 3, 0), ('3101', 1, 0), ('401', 60, 2), ('4', 2, 0), ('501', 9, 0), ('5', 11, 0), "
                        "('201000001', 1000, 0)"});
        std::string create = "CREATE CUBE [Konta] (", insert = "INSERT INTO [Konta] (", select;
        for (int k = 1; k <= 9; ++k) {
            const std::string d = "[a0" + std::to_string(k) + "]";
            create += "DIMENSION " + d + ", LEVEL [Znak], ";
            insert += d + ".[Znak], ";
            select += "SUBSTR(konto, " + std::to_string(k) + ", 1), ";
        }
        create += "MEASURE [Wn] FUNCTION SUM, MEASURE [Ma] FUNCTION SUM)";
        insert += "[Measures].[Wn], [Measures].[Ma]) SELECT " + select + "wn, ma FROM ks";
        host::olap::buildCube("Provider=MSOLAP;Location=" + folder.file("konta.cub") + ";SOURCE_DSN=" +
                              providerValue(source) + ";CREATECUBE=" + providerValue(create) +
                              ";INSERTINTO=" + providerValue(insert));
    }

    // The single value of a query the way the add-in builds one from an expression.
    Variant wynik(const std::string& expression, const std::string& where = "") const {
        return firstCell(cube, "WITH MEMBER [Measures].[wynik] AS '" + expression +
                                   "' SELECT {[Measures].[wynik]} ON 0 FROM [Konta] " +
                                   (where.empty() ? "" : "WHERE (" + where + ")"));
    }
    // The same figure straight from the ledger.
    Variant ledger(const std::string& sql) const {
        host::ado::Connection c;
        c.open(source);
        host::ado::Recordset r;
        r.open(sql, c);
        return r.getRows().arrayValue()(0, 0);
    }
};

}  // namespace

TEST(OlapAccounts, ExpressionQueriesGiveTheLedgerFigures) {
    Accounts a;
    // Masks 20?1, 30# and 4: the "#" position is the empty key; the slicer's [a03] gives way to the
    // set's own [a03] member in the second sum.
    EXPECT_EQ(a.wynik("0+SUM({[a01].[2]}*{[a02].[0]}*{[a04].[1]},[Measures].[Wn])"
                      "+SUM({[a01].[3]}*{[a02].[0]}*{[a03].&[]},[Measures].[Wn])-SUM({[a01].[4]},[Measures].[Wn])"),
              Variant(-54.0));
    EXPECT_EQ(a.wynik("0+SUM({[a01].[2]}*{[a02].[0]}*{[a04].[1]},[Measures].[Wn])"
                      "+SUM({[a01].[3]}*{[a02].[0]}*{[a03].&[]},[Measures].[Wn])-SUM({[a01].[4]},[Measures].[Wn])",
                      "[a03].[1]"),
              Variant(-52.0));
    EXPECT_EQ(a.wynik("0+SUM({[a01].children},[Measures].[Wn])"), a.ledger("SELECT SUM(wn) FROM ks"));
    EXPECT_EQ(a.wynik("0+SUM({[a01].[2]},[Measures].[Wn])-SUM({[a01].[2]},[Measures].[Ma])"),
              a.ledger("SELECT SUM(wn) - SUM(ma) FROM ks WHERE konto LIKE '2%'"));
    EXPECT_EQ(a.wynik("0+SUM(FILTER({[a01].[5]}*{[a02].&[]},[Measures].[Wn]>0),[Measures].[Wn])"), Variant(11.0));
    EXPECT_EQ(a.wynik("0+SUM(FILTER({[a01].[5]}*{[a02].&[]},[Measures].[Wn]>100),[Measures].[Wn])"), Variant(0.0));
    EXPECT_EQ(a.wynik("0", "[a09].[1]"), Variant(0.0));
    EXPECT_EQ(a.wynik("0+SUM({[a01].[2]},[Measures].[Wn])", "[a09].[1]"), Variant(1000.0));
    // The single-value form of one member list, and a dimension alone as its All member.
    EXPECT_EQ(firstCell(a.cube, "WITH MEMBER [Measures].[wynik] AS '0 + SUM({[a01].[2]}*{[a02].[0]}*{[Measures].[Wn]})' "
                                "SELECT {[Measures].[wynik]} on 0  FROM [Konta] "),
              a.ledger("SELECT SUM(wn) FROM ks WHERE konto LIKE '20%'"));
    EXPECT_EQ(firstCell(a.cube, "WITH MEMBER [Measures].[wynik] AS '0 + SUM({[a01]}*{[Measures].[Ma]})' "
                                "SELECT {[Measures].[wynik]} on 0  FROM [Konta] "),
              Variant(12.0));
    // A code position that no account has.
    EXPECT_NE(errorText([&] { a.wynik("0+SUM({[a01].[1]},[Measures].[Wn])"); }).find("Cannot find the member [a01].[1]"),
              std::string::npos);
}

TEST(OlapAccounts, RowsOfTheFirstPosition) {
    Accounts a;
    const Result rows = runMdx(a.cube, "WITH MEMBER [Measures].[wynik] AS '0+SUM({[a02].children},[Measures].[Wn])' "
                                       "SELECT {[Measures].[wynik]} ON 0, {[a01].children} ON 1 FROM [Konta]");
    EXPECT_EQ(rows.fields, (std::vector<std::string>{"[a01].[Znak].[MEMBER_CAPTION]", "[Measures].[wynik]"}));
    ASSERT_EQ(rows.records(), 4);
    EXPECT_EQ(rows.at(0, 0), Variant("2"));
    EXPECT_EQ(rows.at(1, 0), Variant(1112.0));
    EXPECT_EQ(rows.at(1, 1), Variant(44.0));
    EXPECT_EQ(rows.at(1, 2), Variant(62.0));
    EXPECT_EQ(rows.at(1, 3), Variant(20.0));
}
