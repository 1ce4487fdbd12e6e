// The MDX and SQL texts built from measure expressions over account codes.

#include <gtest/gtest.h>

#include "data/F_zOLAP2.h"
#include "host/base/RuntimeError.h"
#include "support/Errors.h"

using namespace telm;
using testsupport::errorNumberOf;

namespace {

const std::string kHead = "WITH MEMBER [Measures].[wynik] AS '0";
const std::string kTail = "' SELECT {[Measures].[wynik]} ON 0";

std::string mdx(const std::string& expression, const std::string& filter = "") {
    return BuildMdxFromExpression("[", expression, filter);
}

}  // namespace

TEST(OlapBuilders, MdxOfMaskedTerms) {
    EXPECT_EQ(mdx("Wn/20?1>30#<4"),
              kHead +
                  "+SUM({[a01].[2]}*{[a02].[0]}*{[a04].[1]},[Measures].[Wn])"
                  "+SUM({[a01].[3]}*{[a02].[0]}*{[a03].&[]},[Measures].[Wn])"
                  "-SUM({[a01].[4]},[Measures].[Wn])" +
                  kTail);
    EXPECT_EQ(mdx("Wn/1-Ma/1"), kHead + "+SUM({[a01].[1]},[Measures].[Wn])-SUM({[a01].[1]},[Measures].[Ma])" + kTail);
    // A mask that restricts no position sums over every account.
    EXPECT_EQ(mdx("Wn/???"), kHead + "+SUM({[a01].children},[Measures].[Wn])" + kTail);
    EXPECT_EQ(mdx("Wn/"), kHead + kTail);
    EXPECT_EQ(mdx(""), kHead + kTail);
    // Signs of terms and masks.
    const std::string minusOne = kHead + "-SUM({[a01].[1]},[Measures].[Wn])" + kTail;
    EXPECT_EQ(mdx("-Wn/1"), minusOne);
    EXPECT_EQ(mdx("Wn/<1"), minusOne);
    EXPECT_EQ(mdx("-Wn/<1"), kHead + "+SUM({[a01].[1]},[Measures].[Wn])" + kTail);
    // Empty terms and masks give nothing; the name is used as written.
    EXPECT_EQ(mdx("+Wn/1>><2+-kOszt/3<"),
              kHead + "+SUM({[a01].[1]},[Measures].[Wn])-SUM({[a01].[2]},[Measures].[Wn])-SUM({[a01].[3]},[Measures].[kOszt])" +
                  kTail);
    // A measure prefix and a filter reach every sum.
    EXPECT_EQ(BuildMdxFromExpression("[BO ", "Wn/5", "[Measures].[x]>0"),
              kHead + "+SUM(FILTER({[a01].[5]},[Measures].[x]>0),[Measures].[BO Wn])" + kTail);
}

TEST(OlapBuilders, MemberSets) {
    EXPECT_EQ(BuildMemberSet("5#", true, "[Measures].[Wn]>0"), "FILTER({[a01].[5]}*{[a02].&[]},[Measures].[Wn]>0)");
    EXPECT_EQ(BuildMemberSet("5#", false, ""), "[a01].[5],[a02].&[]");
    // "#" marks the empty member at its own position only.
    EXPECT_EQ(BuildMemberSet("1#2", true, ""), "{[a01].[1]}*{[a02].&[]}*{[a03].[2]}");
    EXPECT_EQ(BuildMemberSet("?*", true, ""), "");
    // Positions count characters, and pass two digits after the ninth.
    EXPECT_EQ(BuildMemberSet("ż????????9", true, ""), "{[a01].[ż]}*{[a10].[9]}");
    EXPECT_EQ(BuildMemberSet(std::string(99, '?') + "12", false, ""), "[a100].[1],[a101].[2]");
}

TEST(OlapBuilders, SqlUnionOfMasks) {
    const std::string like = "FROM KS WHERE KONTO LIKE '{konto}'";
    EXPECT_EQ(BuildSqlUnion("", "", "kwota/201*>3?1<401#", like),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(KWOTA) AS pole FROM KS WHERE KONTO LIKE '201%' "
              "UNION SELECT 2 AS nrw, +1*SUM(KWOTA) AS pole FROM KS WHERE KONTO LIKE '3_1' "
              "UNION SELECT 3 AS nrw, -1*SUM(KWOTA) AS pole FROM KS WHERE KONTO = '401') AS MyAlias");
    // An exact code changes the template of its own mask only, in either order.
    EXPECT_EQ(BuildSqlUnion("x", "y", "k/401#>5*", like),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(K) AS pole FROM KS WHERE KONTO = '401' "
              "UNION SELECT 2 AS nrw, +1*SUM(K) AS pole FROM KS WHERE KONTO LIKE '5%') AS MyAlias");
    EXPECT_EQ(BuildSqlUnion("x", "y", "k/5*>401#", like),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(K) AS pole FROM KS WHERE KONTO LIKE '5%' "
              "UNION SELECT 2 AS nrw, +1*SUM(K) AS pole FROM KS WHERE KONTO = '401') AS MyAlias");
    // Measure names go upper case letter by letter: "ß" has no single upper-case letter and stays.
    EXPECT_EQ(BuildSqlUnion("", "", "straße/1", like),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(STRAßE) AS pole FROM KS WHERE KONTO LIKE '1') AS MyAlias");
    // Numbers run on over the terms, empty positions included; the placeholder in any letter case.
    EXPECT_EQ(BuildSqlUnion("", "", "-wn/1>>2+ma/<3", "FROM T WHERE C like '{KONTO}%'"),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, -1*SUM(WN) AS pole FROM T WHERE C like '1%' "
              "UNION SELECT 3 AS nrw, -1*SUM(WN) AS pole FROM T WHERE C like '2%' "
              "UNION SELECT 5 AS nrw, -1*SUM(MA) AS pole FROM T WHERE C like '3%') AS MyAlias");
    // Underscores of the template go with an exact code, unless it compares a name ending in one.
    EXPECT_EQ(BuildSqlUnion("", "", "k/1#", "FROM K_S WHERE NR_ like '{konto}'"),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(K) AS pole FROM K_S WHERE NR_ = '1') AS MyAlias");
    EXPECT_EQ(BuildSqlUnion("", "", "k/1#", "FROM K_S WHERE NR like '{konto}'"),
              "SELECT SUM(pole) FROM (SELECT 1 AS nrw, +1*SUM(K) AS pole FROM KS WHERE NR = '1') AS MyAlias");
    EXPECT_EQ(BuildSqlUnion("", "", "k/>>", like), "SELECT SUM(pole) FROM () AS MyAlias");
}

TEST(OlapBuilders, MalformedExpressionsRaise) {
    EXPECT_EQ(errorNumberOf([] { mdx("Wn1"); }), host::err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([] { BuildSqlUnion("", "", "Wn/1+Ma", "{konto}"); }), host::err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([] { mdx("Wn/" + std::string(32764, '1')); }), host::err::Overflow);
    // Only the first 255 characters after "/" count.
    const std::string longList = mdx("Wn/" + std::string(254, '?') + "12");
    EXPECT_EQ(longList, kHead + "+SUM({[a255].[1]},[Measures].[Wn])" + kTail);
}
