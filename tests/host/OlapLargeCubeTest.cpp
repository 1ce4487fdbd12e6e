// A cube with a dimension of 150,000 members with Polish names: members found by name at any size,
// and one time-out for a whole MDX query of many statements.

#include <gtest/gtest.h>

#include <chrono>

#include "OlapCubes.h"
#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/olap/CubeBuilder.h"
#include "support/Errors.h"

using host::Variant;
using namespace olaptest;

namespace {

constexpr int kPlaces = 150'000;

// Place i ("Miejscowość Żółć i", amount i) in group i % 20000.
std::string buildPlaces(const testsupport::TempFolder& folder) {
    const std::string source = "Driver={SQLite3};Database=" + folder.file("places.db") + ";";
    runSql(source, {"CREATE TABLE places (id INTEGER, name TEXT, grp INTEGER, amount REAL)",
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(kPlaces) +
                        ") INSERT INTO places SELECT i, 'Miejscowość Żółć ' || i, i % 20000, i FROM n"});
    host::olap::buildCube(
        "Provider=MSOLAP;Location=" + folder.file("places.cub") + ";SOURCE_DSN=" + providerValue(source) +
        ";CREATECUBE=CREATE CUBE [Places] (DIMENSION [Place], LEVEL [Name], DIMENSION [Group], LEVEL [G], "
        "MEASURE [Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Places] ([Place].[Name].KEY, [Place].[Name].NAME, "
        "[Group].[G], [Measures].[Amount]) SELECT id, name, grp, amount FROM places");
    return "Provider=MSOLAP.2;Data Source=" + folder.file("places.cub") + ";Initial Catalog=;";
}

std::string amountAt(const std::string& member) {
    return "SELECT {[Measures].[Amount]} ON 0 FROM [Places] WHERE (" + member + ")";
}

}  // namespace

// One test, so that the cube is built once.
TEST(OlapLargeCube, MembersFoundByNameAtAnySizeAndOneTimeOutPerQuery) {
    const testsupport::TempFolder folder("telm-olap-large");
    const std::string cube = buildPlaces(folder);
    EXPECT_EQ(firstCell(cube, amountAt("[Place].[Miejscowość Żółć 149999]")), Variant(149999.0));
    EXPECT_EQ(firstCell(cube, amountAt("[Place].[MIEJSCOWOŚĆ ŻÓŁĆ 149999]")), Variant(149999.0));
    EXPECT_EQ(firstCell(cube, amountAt("[Place].[Name].[miejscowość żółć 7]")), Variant(7.0));
    EXPECT_EQ(firstCell(cube, amountAt("[Place].&[120000]")), Variant(120000.0));
    // A name the dimension lacks is not found, whatever its size.
    const std::string unknown = errorText([&] { firstCell(cube, amountAt("[Place].[Miejscowość Żółć 150001]")); });
    EXPECT_NE(unknown.find("Cannot find the member [Place].[Miejscowość Żółć 150001]"), std::string::npos) << unknown;
    EXPECT_NE(errorText([&] { firstCell(cube, amountAt("[Place].[Miejscowosc Zolc 1]")); }).find("Cannot find"),
              std::string::npos);
    // A set of all of them is still too large to answer.
    EXPECT_NE(errorText([&] { runMdx(cube, "SELECT {[Measures].[Amount]} ON 0, [Place].[Name].members ON 1 FROM [Places]"); })
                  .find("too many"),
              std::string::npos);

    // 20,000 statements, each quick: together they outlast a time-out of one second.
    const std::string mdx = "WITH MEMBER [Measures].[x] AS 'SUM(FILTER([Group].[G].members, [Measures].[Amount] > 0), "
                            "[Measures].[Amount])' SELECT {[Measures].[x]} ON 0 FROM [Places]";
    host::ado::Connection c;
    c.commandTimeout = 1;
    c.open(cube);
    host::ado::Recordset r;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(testsupport::errorNumberOf([&] { r.open(mdx, c); }), host::ado::kTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    // A query within the time-out answers, on the same connection.
    host::ado::Recordset quick;
    quick.open(amountAt("[Group].[G].[7]"), c);
    EXPECT_EQ(quick.getRows().arrayValue()(0, 0), Variant(560056.0));  // 7 + 20007 + ... + 140007
}
