// telm opening an offline-cube query file (".oqy") written by someone else: its cube is built only
// into a regular file, never into a FIFO that would hang the program.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/AddInHost.h"
#include "support/SqliteFile.h"
#include "support/TempFolder.h"

using testsupport::TempFolder;

namespace {

struct TelmCubeQuery : ::testing::Test {
    TempFolder addin{"telm-addin"}, work{"telm-work"};
    std::string source = "Driver={SQLite3};Database=" + work.file("sales.db") + ";";

    TelmCubeQuery() {
        testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
        testsupport::runStatements(source, {"CREATE TABLE sales (region TEXT, amount REAL)",
                                            "INSERT INTO sales VALUES ('North', 10), ('South', 31), ('North', 5)"});
    }
    // A query file whose cube goes to `location`.
    std::string queryFile(const std::string& name, const std::string& location) const {
        const std::string path = work.file(name);
        std::ofstream(path) << "QueryType=OLEDB\r\nConnection=Provider=MSOLAP;Location=" << location
                            << ";SOURCE_DSN=\"" << source
                            << "\";CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [Name], "
                               "MEASURE [Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Sales] ([Region].[Name], "
                               "[Measures].[Amount]) SELECT region, amount FROM sales\r\nCommandText=Sales\r\n";
        return path;
    }
    // The exit status, standard output and standard error.
    struct Outcome {
        int status;
        std::string out, err;
    };
    Outcome run(const std::string& arguments) const {
        const std::string line = std::string(TELM_PROGRAM) + " --addin " + addin.string() + " --library " +
                                 TELM_ADDIN_LIBRARY + " " + arguments + " >" + work.file("out") + " 2>" +
                                 work.file("err") + " </dev/null";
        const int status = std::system(line.c_str());
        return {WEXITSTATUS(status), slurp(work.file("out")), slurp(work.file("err"))};
    }
    static std::string slurp(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

}  // namespace

TEST_F(TelmCubeQuery, AFifoAsTheCubeFileFailsTheStepAtOnce) {
    const std::string fifo = work.file("pipe.cub");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    const Outcome refused = run(queryFile("pipe.oqy", fifo) + " --print A4:B5");
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("is not a regular file"), std::string::npos) << refused.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    const Outcome built = run(queryFile("sales.oqy", work.file("sales.cub")) + " --print A4:B5");
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.out, "North\t15\nSouth\t31\n");
}
