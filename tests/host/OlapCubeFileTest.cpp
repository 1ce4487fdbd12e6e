// Where a cube build may write: a new, empty or cube file only, never through a link, never a FIFO or
// a folder, never into another program's database; and what the file holds after a build.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "OlapCubes.h"
#include "host/base/Text.h"
#include "host/olap/CubeBuilder.h"

using host::Variant;
using host::olap::buildCube;
using namespace olaptest;

namespace {

const std::string kTotal = "SELECT {[Measures].[Amount]} ON 0 FROM [Sales]";

// The sales cube built into `target` instead of the source's own cube file.
std::string buildInto(const SalesSource& s, const std::string& target) {
    return "Provider=MSOLAP;Location=" + target + ";SOURCE_DSN=" + providerValue(s.source) + ";CREATECUBE=" +
           providerValue(kCreateSales) + ";INSERTINTO=" + providerValue(kInsertSales);
}

std::string cubeText(const std::string& file) { return "Provider=MSOLAP.2;Data Source=" + file + ";Initial Catalog=;"; }

double pragma(const std::string& file, const std::string& name) {
    return firstCell("Driver={SQLite3};Database=" + file + ";", "PRAGMA " + name).toDouble();
}

}  // namespace

TEST(OlapCubeFile, TargetsThatAreNoRegularFileAreRefusedUntouched) {
    SalesSource s;
    namespace fs = std::filesystem;

    const std::string fifo = s.folder.file("pipe.cub");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NE(errorText([&] { buildCube(buildInto(s, fifo)); }).find("is not a regular file"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // no wait for a writer
    EXPECT_TRUE(fs::is_fifo(fifo));

    const std::string folder = s.folder.file("folder.cub");
    fs::create_directory(folder);
    EXPECT_NE(errorText([&] { buildCube(buildInto(s, folder)); }).find("is not a regular file"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(folder));

    // A dangling link would create its target anywhere; a link to a cube would write through it.
    const std::string elsewhere = s.folder.file("elsewhere.cub"), dangling = s.folder.file("dangling.cub");
    fs::create_symlink(elsewhere, dangling);
    EXPECT_NE(errorText([&] { buildCube(buildInto(s, dangling)); }).find("symbolic link"), std::string::npos);
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_TRUE(fs::is_symlink(dangling));
    buildCube(buildInto(s, elsewhere));
    fs::remove(dangling);
    fs::create_symlink(elsewhere, dangling);
    EXPECT_NE(errorText([&] { buildCube(buildInto(s, dangling)); }).find("symbolic link"), std::string::npos);
    // Reading a cube through a link is ordinary use.
    EXPECT_EQ(firstCell(cubeText(dangling), kTotal), Variant(407.5));
}

TEST(OlapCubeFile, OnlyNewEmptyOrCubeFilesTakeACube) {
    SalesSource s;
    namespace fs = std::filesystem;

    // Another program's SQLite database gets no cube tables, and stays.
    const std::string database = s.folder.file("accounts.cub");
    runSql("Driver={SQLite3};Database=" + database + ";", {"CREATE TABLE accounts (id INTEGER)", "INSERT INTO accounts VALUES (1)"});
    const auto size = fs::file_size(database);
    EXPECT_NE(errorText([&] { buildCube(buildInto(s, database)); }).find("holds no cubes"), std::string::npos);
    EXPECT_EQ(fs::file_size(database), size);
    EXPECT_EQ(firstCell("Driver={SQLite3};Database=" + database + ";",
                        "SELECT COUNT(*) FROM sqlite_master WHERE name LIKE 'olap%'")
                  .toDouble(),
              0.0);

    // A file that is no database at all stays as it was.
    const std::string text = s.folder.file("notes.cub");
    std::ofstream(text) << "my notes\n";
    EXPECT_NE(errorText([&] { buildCube(buildInto(s, text)); }).find("holds no cubes"), std::string::npos);
    std::ifstream notes(text);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(notes), {}), "my notes\n");

    // An empty file the user made takes the cube, and a failed build into it leaves it in place.
    const std::string empty = s.folder.file("empty.cub");
    std::ofstream(empty).close();
    const std::string broken =
        "Provider=MSOLAP;Location=" + empty + ";SOURCE_DSN=" + providerValue(s.source) + ";CREATECUBE=" +
        providerValue(kCreateSales) + ";INSERTINTO=" + providerValue(host::Replace(kInsertSales, "FROM orders", "FROM none"));
    EXPECT_FALSE(errorText([&] { buildCube(broken); }).empty());
    EXPECT_TRUE(fs::exists(empty));
    buildCube(buildInto(s, empty));
    EXPECT_EQ(firstCell(cubeText(empty), kTotal), Variant(407.5));
    // A cube file takes its cube again; a new file is created, and removed when its build fails.
    buildCube(buildInto(s, empty));
    EXPECT_EQ(firstCell(cubeText(empty), kTotal), Variant(407.5));
    const std::string fresh = s.folder.file("fresh.cub");
    EXPECT_FALSE(errorText([&] { buildCube(host::Replace(broken, empty, fresh)); }).empty());
    EXPECT_FALSE(fs::exists(fresh));
}

TEST(OlapCubeFile, ARebuiltCubeLeavesNoFreeSpace) {
    SalesSource s;
    runSql(s.source, {"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1999) "
                      "INSERT INTO orders SELECT 100 + i, 'Country' || (i % 7), 100 + i, 'City' || i, 2014, 1, 1 FROM n"});
    buildCube(s.buildText());
    const auto built = std::filesystem::file_size(s.cubeFile);
    EXPECT_EQ(pragma(s.cubeFile, "freelist_count"), 0.0);
    buildCube(s.buildText());  // the earlier cube's tables go
    EXPECT_EQ(pragma(s.cubeFile, "freelist_count"), 0.0);
    EXPECT_EQ(std::filesystem::file_size(s.cubeFile), built);
    EXPECT_EQ(firstCell(s.openText(), kTotal), Variant(2407.5));
}
