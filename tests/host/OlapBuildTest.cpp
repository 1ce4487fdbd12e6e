#include <gtest/gtest.h>

#include <filesystem>

#include "OlapCubes.h"
#include "host/ado/Errors.h"
#include "host/base/Text.h"
#include "host/olap/CubeBuilder.h"
#include "support/Errors.h"

using host::Replace;
using host::Variant;
using host::olap::buildCube;
using namespace olaptest;

namespace {

const std::string kTotal = "SELECT {[Measures].[Amount]} ON 0 FROM [Sales]";

}  // namespace

TEST(OlapBuild, OpeningTheBuildTextBuildsTheCubeAndRebuildsItLater) {
    SalesSource s;
    // The connection text itself builds the cube and then answers from it.
    EXPECT_EQ(firstCell(s.buildText(), kTotal), Variant(407.5));
    EXPECT_TRUE(std::filesystem::exists(s.cubeFile));

    runSql(s.source, {"INSERT INTO orders VALUES (7, 'Poland', 1, 'Warsaw', 2014, 5, 1000)"});
    EXPECT_EQ(firstCell(s.openText(), kTotal), Variant(407.5));  // the cube keeps what it was built from
    buildCube(s.buildText());
    EXPECT_EQ(firstCell(s.openText(), kTotal), Variant(1407.5));
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Time].[2014])"),
              Variant(1000.0));

    // A rebuild that fails leaves the cube as it was.
    const std::string broken = s.buildText(kCreateSales, Replace(kInsertSales, "FROM orders", "FROM no_such_table"));
    EXPECT_NE(errorText([&] { buildCube(broken); }).find("no_such_table"), std::string::npos);
    EXPECT_EQ(firstCell(s.openText(), kTotal), Variant(1407.5));
}

TEST(OlapBuild, SeveralCubesInOneFileAndLevelsKeyedByName) {
    SalesSource s;
    buildCube(s.buildText());
    // A second cube whose city level is fed by names only: the name is its key.
    const std::string create =
        "CREATE CUBE [Cities] (DIMENSION [City], LEVEL [Name], MEASURE [Amount] FUNCTION SUM, MEASURE [Low] FUNCTION MIN)";
    const std::string insert =
        "INSERT INTO [Cities] ([City].[Name].NAME, [Measures].[Amount], [Measures].[Low]) SELECT city, amount, amount "
        "FROM orders";
    // The source as the ODBC provider's text, its items in quotes.
    const std::string viaProvider = "Provider=MSOLAP;Location=" + s.cubeFile + ";SOURCE_DSN=" +
                                    providerValue("Provider=MSDASQL.1;" + s.source) + ";CREATECUBE=" +
                                    providerValue(create) + ";INSERTINTO='" + insert + "'";
    buildCube(viaProvider);
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Amount]} ON 0 FROM [Cities] WHERE ([City].&[Warsaw])"),
              Variant(150.0));
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Low]} ON 0 FROM [Cities] WHERE ([City].[All])"), Variant(7.5));
    EXPECT_EQ(firstCell(s.openText(), kTotal), Variant(407.5));
}

TEST(OlapBuild, HostileNamesStayNames) {
    SalesSource s;
    runSql(s.source, {"INSERT INTO orders VALUES (8, 'x''); DROP TABLE orders; --', 9, 'O\"Brien]]', 2015, 1, 1)"});
    const std::string create =
        "CREATE CUBE [Zażółć \"'; x] (DIMENSION [Kraj]], \"x\"], LEVEL [Nazwa], MEASURE [Kwota] FUNCTION SUM)";
    const std::string insert = "INSERT INTO [Zażółć \"'; x] ([Kraj]], \"x\"].[Nazwa], [Measures].[Kwota]) "
                               "SELECT country, amount FROM orders";
    buildCube(s.buildText(create, insert));
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Kwota]} ON 0 FROM [ZAŻÓŁĆ \"'; X] "
                                      "WHERE ([Kraj]], \"x\"].[x'); DROP TABLE orders; --])"),
              Variant(1.0));
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Kwota]} ON 0 FROM [Zażółć \"'; x] WHERE ([Kraj]], \"x\"].[Poland])"),
              Variant(180.0));
}

TEST(OlapBuild, StatementsThatDoNotFit) {
    SalesSource s;
    auto failure = [&](const std::string& create, const std::string& insert) {
        return errorText([&] { buildCube(s.buildText(create, insert)); });
    };
    EXPECT_EQ(failure("CREATE CUBE [Sales] (DIMENSION [Region] LEVEL [Country])", kInsertSales),
              "[OLAP] Syntax error at position 41: expected \")\", found \"LEVEL\".");
    EXPECT_EQ(failure("CREATE CUBE [Sales] (MEASURE [Amount] FUNCTION SUM)", kInsertSales),
              "[OLAP] The cube [Sales] has no dimension.");
    EXPECT_EQ(failure("CREATE CUBE [Sales] (MEASURE [Amount] FUNCTION AVG)", kInsertSales),
              "[OLAP] Syntax error at position 48: expected SUM, COUNT, MIN or MAX.");
    EXPECT_EQ(failure(kCreateSales, Replace(kInsertSales, "[Region].[Country]", "[Region].[State]")),
              "[OLAP] Cannot find the level [Region].[State].");
    EXPECT_EQ(failure(kCreateSales, Replace(kInsertSales, "INTO [Sales]", "INTO [Orders]")),
              "[OLAP] Cannot find the cube [Orders].");
    EXPECT_EQ(failure(kCreateSales, Replace(kInsertSales, "[Region].[Country], ", "")),
              "[OLAP] INSERT INTO gives no column for the level [Region].[Country].");
    EXPECT_EQ(failure(kCreateSales, Replace(kInsertSales, ", amount FROM", " FROM")),
              "[OLAP] The SELECT of INSERT INTO gives 7 columns for 8 items.");
    // Statements without their source.
    EXPECT_NE(errorText([&] { buildCube("Provider=MSOLAP;Location=" + s.cubeFile + ";CREATECUBE=" + providerValue(kCreateSales)); })
                  .find("SOURCE_DSN"),
              std::string::npos);
    const std::string missingSource = "Provider=MSOLAP;Location=" + s.cubeFile +
                                      ";SOURCE_DSN=\"Driver={Microsoft Access Driver (*.mdb)};DBQ=" +
                                      s.folder.file("none.mdb") + "\";CREATECUBE=" + providerValue(kCreateSales) +
                                      ";INSERTINTO=" + providerValue(kInsertSales);
    EXPECT_EQ(testsupport::errorNumberOf([&] { buildCube(missingSource); }), host::ado::kDriverError);
    EXPECT_FALSE(std::filesystem::exists(s.folder.file("none.mdb")));
    // A build that fails leaves no cube file behind; opening a cube file that does not exist never creates it.
    EXPECT_NE(errorText([&] { runMdx(s.openText(), kTotal); }).find("does not exist"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(s.cubeFile));
}

TEST(OlapBuild, NullKeysAndTextMeasures) {
    SalesSource s;
    runSql(s.source, {"INSERT INTO orders VALUES (9, NULL, NULL, NULL, 2016, NULL, 'n/a')"});
    buildCube(s.buildText());
    // A missing key is the empty key; a measure that is no number is no figure, though it is counted.
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Orders]} ON 0 FROM [Sales] WHERE ([Region].&[])"),
              Variant(1.0));
    EXPECT_TRUE(firstCell(s.openText(), "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Time].[2016])").isNull());
    EXPECT_EQ(firstCell(s.openText(), kTotal), Variant(407.5));
}

TEST(OlapBuild, TheSelectGoesToTheSourceAsWritten) {
    SalesSource s;
    const std::string create = "CREATE CUBE [Parity] (DIMENSION [Initial], LEVEL [Letter], DIMENSION [Odd], "
                               "LEVEL [Rest], MEASURE [Amount] FUNCTION SUM)";
    // Operators, brackets and quotes that the cube statements do not know belong to the source's SQL.
    const std::string insert = "INSERT INTO [Parity] ([Initial].[Letter], [Odd].[Rest], [Measures].[Amount]) "
                               "SELECT substr(city, 1, 1), id % 2, amount FROM orders WHERE country <> 'a[b' AND id <> \"%\"";
    buildCube(s.buildText(create, insert));
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Amount]} ON 0 FROM [Parity] WHERE ([Odd].[1])"), Variant(150.0));
    EXPECT_EQ(firstCell(s.openText(), "SELECT {[Measures].[Amount]} ON 0 FROM [Parity] WHERE ([Initial].[K])"), Variant(30.0));
    // After the column list only a SELECT is taken.
    EXPECT_EQ(errorText([&] {
                  buildCube(s.buildText(create, "INSERT INTO [Parity] ([Initial].[Letter], [Odd].[Rest], "
                                                "[Measures].[Amount]) DELETE FROM orders"));
              }),
              "[OLAP] Syntax error at position 78: expected SELECT.");
    EXPECT_EQ(firstCell(s.source, "SELECT COUNT(*) FROM orders").toDouble(), 6.0);
}
