// telm on a copy of the examples, given cells that come from someone else: they read data and do
// nothing more.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/Payload.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct TelmOnExamples : ::testing::Test {
    testsupport::TempFolder addin{"telm-examples"};
    testsupport::TempFolder io{"telm-io"};

    TelmOnExamples() {
        fs::copy(fs::path(TELM_SOURCE_DIR) / "examples", addin.path(), fs::copy_options::recursive);
    }
    // telm's exit status and standard output for the steps (each step's words already quoted).
    std::pair<int, std::string> run(const std::string& steps) const {
        const std::string command = std::string(TELM_PROGRAM) + " --addin " + addin.string() + " --library " +
                                    TELM_ADDIN_LIBRARY + " " + steps + " >" + io.file("out") + " 2>" +
                                    io.file("err") + " </dev/null";
        const int status = std::system(command.c_str());
        std::ifstream out(io.file("out"));
        std::ostringstream text;
        text << out.rdbuf();
        return {WEXITSTATUS(status), text.str()};
    }
};

}  // namespace

TEST_F(TelmOnExamples, AGetdataArgumentLoadsNoLibrary) {
    testsupport::Payload payload;
    const std::string load = "load_extension('" + payload.library + "')";
    const auto ordinary = run("--eval " + shellQuoted("=GETDATA(\"Sales.YearTotal\",\"Północ\",2024)"));
    EXPECT_EQ(ordinary.first, 0);
    EXPECT_NE(ordinary.second, "0\n");
    EXPECT_NE(ordinary.second.find_first_of("123456789"), std::string::npos) << ordinary.second;
    run("--eval " + shellQuoted("=GETDATA(\"Sales.YearTotal\",\"Północ\",\"2024 AND " + load + " IS NULL\")"));
    run("--eval " + shellQuoted("=GETDATAODBC(\"Driver={SQLite3};Database=" + addin.file("Sales.db") +
                                ";\",\"SELECT " + load + "\")"));
    EXPECT_FALSE(payload.loaded());
}
