#include <gtest/gtest.h>

#include "OlapCubes.h"
#include "host/ado/Errors.h"
#include "host/olap/CubeBuilder.h"
#include "support/Errors.h"

using host::Variant;
using namespace olaptest;

namespace {

// The sales cube, built once for the tests of this file.
struct OlapMdx : ::testing::Test {
    static void SetUpTestSuite() {
        source = new SalesSource;
        host::olap::buildCube(source->buildText());
    }
    static void TearDownTestSuite() { delete source; }
    static SalesSource* source;

    static Result query(const std::string& mdx) { return runMdx(source->openText(), mdx); }
    static Variant cell(const std::string& mdx) { return firstCell(source->openText(), mdx); }
    // The Amount of one point of the cube, given as a WHERE tuple.
    static Variant amountAt(const std::string& tuple) {
        return cell("SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE (" + tuple + ")");
    }
    static Variant calculated(const std::string& expression) {
        return cell("WITH MEMBER [Measures].[x] AS '" + expression + "' SELECT {[Measures].[x]} ON 0 FROM [Sales]");
    }
    static std::string failure(const std::string& mdx) { return errorText([&] { query(mdx); }); }
};
SalesSource* OlapMdx::source = nullptr;

std::string column(const Result& r, long field) {
    std::string out;
    for (long i = 0; i < r.records(); ++i) out += (i ? "|" : "") + (r.at(field, i).isNull() ? "-" : r.at(field, i).toString());
    return out;
}

bool mentionsCannotFind(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("cannot find") != std::string::npos;
}

}  // namespace

TEST_F(OlapMdx, MembersAboveTheLeavesAggregateTheirLeaves) {
    EXPECT_EQ(amountAt("[Region]"), Variant(407.5));
    EXPECT_EQ(amountAt("[Region].[All Regions]"), Variant(407.5));
    EXPECT_EQ(amountAt("[Region].[Poland]"), Variant(180.0));
    EXPECT_EQ(amountAt("[Region].[Country].[Germany]"), Variant(220.0));
    EXPECT_EQ(amountAt("[Region].[Warsaw]"), Variant(150.0));
    EXPECT_EQ(amountAt("[Region].[Kraków]"), Variant(30.0));
    EXPECT_EQ(amountAt("[region].[KRAKÓW]"), Variant(30.0));  // names in any letter case
    EXPECT_EQ(amountAt("[Region].[country].[POLAND].[warsaw]"), Variant(150.0));
    EXPECT_EQ(amountAt("[Region].[Germany].[Munich]"), Variant(20.0));
    EXPECT_EQ(amountAt("[Time].[2013]"), Variant(57.5));
    EXPECT_EQ(amountAt("[Time].[2013].[12]"), Variant(7.5));
    EXPECT_EQ(amountAt("[Time].[2012], [Region].[Poland]"), Variant(150.0));
    // Measures of every function, at the top and below it.
    EXPECT_EQ(cell("SELECT {[Measures].[Orders]} ON 0 FROM [Sales]"), Variant(6.0));
    EXPECT_EQ(cell("SELECT {[Measures].[Biggest]} ON 0 FROM [Sales] WHERE ([Region].[Poland])"), Variant(100.0));
    EXPECT_EQ(cell("SELECT {[Measures].[Orders]} ON 0 FROM [Sales] WHERE ([Time].[2012])"), Variant(3.0));
    // The first measure when none is named; an empty point gives an empty cell.
    EXPECT_EQ(cell("SELECT {[Region].[France]} ON 0 FROM [Sales]"), Variant(7.5));
    EXPECT_TRUE(amountAt("[Region].[Paris], [Time].[2012]").isNull());
}

TEST_F(OlapMdx, MembersByKeyAndByPosition) {
    EXPECT_EQ(amountAt("[Region].&[2]"), Variant(30.0));          // the city keyed 2
    EXPECT_EQ(amountAt("[Region].[City].&[3]"), Variant(200.0));
    EXPECT_EQ(amountAt("[Region].&[Poland]"), Variant(180.0));    // a level fed by one column is keyed by it
    EXPECT_EQ(amountAt("[Time].&[2012].&[2]"), Variant(50.0));    // a child by key
    // A key that repeats (month 1 of both years): the first one in level order, then leaf order.
    EXPECT_EQ(amountAt("[Time].&[1]"), Variant(300.0));
    EXPECT_EQ(amountAt("[Time].[Month].&[12]"), Variant(7.5));
}

TEST_F(OlapMdx, AxesGiveTheFlattenedRows) {
    const Result byCountry = query(
        "SELECT {[Measures].[Amount], [Measures].[Orders]} ON COLUMNS, {[Region].[Country].members} ON ROWS FROM [Sales]");
    EXPECT_EQ(byCountry.fields, (std::vector<std::string>{"[Region].[Country].[MEMBER_CAPTION]", "[Measures].[Amount]",
                                                          "[Measures].[Orders]"}));
    EXPECT_EQ(column(byCountry, 0), "France|Germany|Poland");
    EXPECT_EQ(column(byCountry, 1), "7.5|220|180");
    EXPECT_EQ(column(byCountry, 2), "1|2|3");

    const Result cross = query("select {[Time].[2012], [Time].[2013]} * {[Measures].[Amount]} on 0, "
                               "[Region].[Poland].children on 1 from [Sales]");
    EXPECT_EQ(cross.fields, (std::vector<std::string>{"[Region].[City].[MEMBER_CAPTION]",
                                                      "[Time].[Year].[2012].[Measures].[Amount]",
                                                      "[Time].[Year].[2013].[Measures].[Amount]"}));
    EXPECT_EQ(column(cross, 0), "Warsaw|Kraków");  // numeric keys in order of value
    EXPECT_EQ(column(cross, 1), "150|-");
    EXPECT_EQ(column(cross, 2), "-|30");
    const Result crossJoin = query("SELECT CROSSJOIN({[Time].[2012], [Time].[2013]}, {[Measures].[Amount]}) ON 0, "
                                   "[Region].[Poland].children ON 1 FROM [Sales]");
    EXPECT_EQ(crossJoin.fields, cross.fields);
    EXPECT_EQ(column(crossJoin, 2), column(cross, 2));

    // A whole dimension: parents before their children, one caption column per level.
    const Result all = query("SELECT {[Measures].[Amount]} ON 0, [Region].members ON 1 FROM [Sales]");
    ASSERT_EQ(all.fields.size(), 4u);
    EXPECT_EQ(all.fields[0], "[Region].[All Regions].[MEMBER_CAPTION]");
    EXPECT_EQ(column(all, 1), "-|France|-|Germany|-|-|Poland|-|-");
    EXPECT_EQ(column(all, 2), "-|-|Paris|-|Berlin|Munich|-|Warsaw|Kraków");
    EXPECT_EQ(column(all, 3), "407.5|7.5|7.5|220|200|20|180|150|30");
    // Tuples in a set, and the measures as a set.
    const Result tuples = query("SELECT {([Region].[Poland], [Time].[2013]), ([Region].[Germany], [Time].[2012])} ON 0 "
                                "FROM [Sales]");
    EXPECT_EQ(tuples.fields[1], "[Region].[Country].[Germany].[Time].[Year].[2012]");
    EXPECT_EQ(tuples.at(0, 0), Variant(30.0));
    EXPECT_EQ(tuples.at(1, 0), Variant(200.0));
    EXPECT_EQ(query("SELECT [Measures].members ON 0 FROM [Sales]").fields.size(), 3u);
    // A leaf has no children: no rows.
    EXPECT_EQ(host::ado::kNoCurrentRecord,
              testsupport::errorNumberOf([] { query("SELECT {[Measures].[Amount]} ON 0, [Region].[Paris].children ON 1 FROM [Sales]"); }));
}

TEST_F(OlapMdx, CalculatedMeasuresAsTheAddInWritesThem) {
    // One value over a cross join of one-member sets, two blanks before FROM and one after the cube.
    EXPECT_EQ(cell("WITH MEMBER [Measures].[wynik] AS '0 + SUM({[Time].[2012]}*{[Region].&[3]}*{[Measures].[Amount]})' "
                   "SELECT {[Measures].[wynik]} on 0  FROM [Sales] "),
              Variant(200.0));
    // An empty member list: the braced measure alone.
    EXPECT_EQ(cell("WITH MEMBER [Measures].[wynik] AS '0 + SUM({[Measures].[Orders]})' SELECT {[Measures].[wynik]} on 0  "
                   "FROM [Sales] "),
              Variant(6.0));
    // A point without figures gives 0, not an empty cell.
    EXPECT_EQ(calculated("0 + SUM({[Region].[Paris]}*{[Time].[2012]}*{[Measures].[Amount]})"), Variant(0.0));
    // Several calculated measures, one built on another.
    EXPECT_EQ(cell("WITH MEMBER [Measures].[avg] AS '[Measures].[Amount] / [Measures].[Orders]' "
                   "MEMBER [Measures].[twice] AS '[Measures].[avg] * 2' "
                   "SELECT {[Measures].[twice]} ON 0 FROM [Sales] WHERE ([Region].[Poland])"),
              Variant(120.0));
    EXPECT_EQ(calculated("(1 + 2) * 3 - 4 / 2 + -1"), Variant(6.0));
    EXPECT_EQ(calculated("([Region].[Poland], [Time].[2013], [Measures].[Amount]) + 1"), Variant(31.0));
    // A division by 0 fails the query; by an empty cell it gives an empty cell.
    EXPECT_EQ(errorText([&] { calculated("[Measures].[Amount] / 0"); }), "[OLAP] Division by zero.");
    EXPECT_EQ(errorText([&] { calculated("SUM({[Region].[City].members}, 1 / ([Measures].[Amount] - 30))"); }),
              "[OLAP] Division by zero.");
    EXPECT_TRUE(calculated("[Measures].[Amount] / ([Region].[Paris], [Time].[2012], [Measures].[Amount])").isNull());
    // A long sum, as an expression of many masks gives.
    std::string terms = "0";
    for (int i = 0; i < 3000; ++i) terms += i % 2 ? "-SUM({[Region].[Warsaw]},[Measures].[Amount])" : "+2";
    EXPECT_EQ(calculated(terms), Variant(3000.0 - 1500 * 150.0));
}

TEST_F(OlapMdx, SumsAndFilters) {
    EXPECT_EQ(calculated("SUM({[Region].[Country].members}, [Measures].[Amount])"), Variant(407.5));
    EXPECT_EQ(calculated("SUM({[Region].children}, [Measures].[Orders])"), Variant(6.0));
    // Members that overlap count once each, as written.
    EXPECT_EQ(calculated("SUM({[Region].[Poland], [Region].[Warsaw]}, [Measures].[Amount])"), Variant(330.0));
    // A maximum per member, then added up.
    EXPECT_EQ(calculated("SUM({[Region].[Country].members}, [Measures].[Biggest])"), Variant(307.5));
    // A sum over an expression.
    EXPECT_EQ(calculated("SUM({[Time].[2012], [Time].[2013]}, [Measures].[Amount] * 2)"), Variant(815.0));
    EXPECT_EQ(calculated("SUM(FILTER({[Region].[City].members}, [Measures].[Amount] > 25), [Measures].[Amount])"),
              Variant(380.0));
    EXPECT_EQ(calculated("SUM(FILTER({[Region].[City].members}, [Measures].[Amount] <= 20) * {[Measures].[Amount]})"), Variant(27.5));
    EXPECT_EQ(calculated("SUM(FILTER([Region].[City].members, [Measures].[Orders] = 2), [Measures].[Amount])"), Variant(150.0));
    EXPECT_EQ(calculated("SUM(FILTER([Region].[City].members, [Measures].[Orders] <> 1), [Measures].[Amount])"), Variant(150.0));
    EXPECT_EQ(calculated("SUM(FILTER([Region].[City].members, [Measures].[Amount] < 20), [Measures].[Amount])"), Variant(7.5));
    EXPECT_EQ(calculated("SUM(FILTER([Region].[City].members, [Measures].[Amount] > 1000), [Measures].[Amount])"), Variant::null());

    const Result filtered = query(
        "SELECT {[Measures].[Amount]} ON 0, FILTER([Region].[City].members, [Measures].[Amount] >= 150) ON 1 FROM [Sales]");
    EXPECT_EQ(column(filtered, 0), "Berlin|Warsaw");
    // The slicer holds while the rows are filtered.
    const Result in2013 = query("SELECT {[Measures].[Amount]} ON 0, FILTER([Region].[City].members, "
                                "[Measures].[Amount] > 0) ON 1 FROM [Sales] WHERE ([Time].[2013])");
    EXPECT_EQ(column(in2013, 0), "Paris|Munich|Kraków");
    EXPECT_EQ(column(in2013, 1), "7.5|20|30");
}

TEST_F(OlapMdx, UnknownNamesCannotBeFound) {
    for (const char* mdx : {
             "SELECT {[Measures].[Amount]} ON 0 FROM [Nope]",
             "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Atlantis].[X])",
             "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[Atlantis])",
             "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].&[99])",
             "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[Poland].[Berlin])",
             "SELECT {[Measures].[Profit]} ON 0 FROM [Sales]",
             "SELECT [Region].[Poland].members ON 0 FROM [Sales]",
         }) {
        const std::string text = failure(mdx);
        EXPECT_TRUE(mentionsCannotFind(text)) << mdx << ": " << text;
    }
    EXPECT_EQ(failure("SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[Atlantis])"),
              "[OLAP] Cannot find the member [Region].[Atlantis] in the cube [Sales].");
    try {
        query("SELECT {[Measures].[Profit]} ON 0 FROM [Sales]");
        ADD_FAILURE();
    } catch (const host::RuntimeError& e) {
        EXPECT_EQ(e.number(), host::ado::kDriverError);
    }
}

TEST_F(OlapMdx, SyntaxErrorsNameTheirPosition) {
    EXPECT_EQ(failure("SELECT {[Measures].[Amount]} ON 0 FORM [Sales]"),
              "[OLAP] Syntax error at position 35: expected FROM, found \"FORM\".");
    EXPECT_EQ(failure("SELECT {[Measures].[Amount] ON 0 FROM [Sales]"),
              "[OLAP] Syntax error at position 29: expected \"}\", found \"ON\".");
    EXPECT_EQ(failure("SELECT {[Measures].[Amount} ON 0 FROM Sales"),
              "[OLAP] Syntax error at position 20: the bracket is never closed.");
    // Positions inside a calculated measure's quoted text count from the start of the query.
    EXPECT_EQ(failure("WITH MEMBER [Measures].[x] AS '1 + ' SELECT {[Measures].[x]} ON 0 FROM [Sales]"),
              "[OLAP] Syntax error at position 36: expected a member, a set or a number, found the end of the text.");
    EXPECT_EQ(failure("SELECT {[Measures].[Amount]} ON 2 FROM [Sales]"),
              "[OLAP] Syntax error at position 33: expected 0, 1, COLUMNS or ROWS, found \"2\".");
    EXPECT_NE(failure("SELECT MEDIAN({[Region]}) ON 0 FROM [Sales]").find("unknown function MEDIAN"), std::string::npos);
    EXPECT_NE(failure("SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE {[Region].[Poland], [Region].[France]}")
                  .find("one tuple"),
              std::string::npos);
    EXPECT_NE(failure("SELECT {[Region].[Poland]} * {[Region].[France]} ON 0 FROM [Sales]").find("twice"),
              std::string::npos);
    // Input nested beyond reason fails as a syntax error instead of exhausting the stack.
    EXPECT_NE(failure("SELECT " + std::string(100000, '{') + " ON 0 FROM [Sales]").find("nested too deeply"),
              std::string::npos);
    EXPECT_NE(failure("WITH MEMBER [Measures].[a] AS '[Measures].[b]' MEMBER [Measures].[b] AS '[Measures].[a]' "
                      "SELECT {[Measures].[a]} ON 0 FROM [Sales]")
                  .find("refers to itself"),
              std::string::npos);
}
