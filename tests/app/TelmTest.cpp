#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/TelmOptions.h"
#include "app/TelmSession.h"
#include "core/A_Deklaracje.h"
#include "support/AddInHost.h"
#include "support/TempFolder.h"

using namespace telm::app;
using testsupport::TempFolder;

namespace {

// Runs the program with a shell command line; gives its exit status and what it printed on standard
// output, or on both outputs with withErrors.
std::pair<int, std::string> runProgram(const std::string& arguments, bool withErrors = true) {
    const std::string command =
        std::string(TELM_PROGRAM) + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null") + " </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    const int status = pclose(pipe);
    return {WEXITSTATUS(status), output};
}

struct SessionTest : ::testing::Test {
    TempFolder addin{"telm-app"};
    std::istringstream in;
    std::ostringstream out, err;

    SessionTest() { testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb")); }
    ~SessionTest() override { telm::ResetSharedState(); }

    TelmOptions options(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--addin", addin.string(), "--library", TELM_ADDIN_LIBRARY});
        return parseCommandLine(arguments);
    }
    void run(const std::vector<std::string>& arguments) {
        const auto o = options(arguments);
        TelmSession session(o, in, out, err);
        session.runSteps(o.steps);
    }
};

}  // namespace

TEST(TelmOptionsTest, StepsKeepTheirOrderAndBadLinesAreRefused) {
    const auto o = parseCommandLine({"book.xlsx", "--set", "A1==1+1", "--calc", "--print", "A1", "--answer", "Yes"});
    EXPECT_EQ(o.workbooks, std::vector<std::string>{"book.xlsx"});
    ASSERT_EQ(o.steps.size(), 3u);
    EXPECT_EQ(o.steps[0].kind, Step::Kind::Set);
    EXPECT_EQ(o.steps[0].argument, "A1==1+1");
    EXPECT_EQ(o.steps[2].kind, Step::Kind::Print);
    EXPECT_EQ(o.answers, std::vector<std::string>{"Yes"});
    EXPECT_THROW(parseCommandLine({"--print"}), std::invalid_argument);
    EXPECT_THROW(parseCommandLine({"--frobnicate"}), std::invalid_argument);
    EXPECT_THROW(parseCommandLine({"--set", "A1"}), std::invalid_argument);
}

TEST_F(SessionTest, EvalPrintsValuesAsDisplayed) {
    run({"--eval", "=VALUE2STRING(12.5,\"PL\")", "--eval", "=1/4", "--eval", "={1,2;3,4}", "--eval", "=TEST()"});
    std::istringstream lines(out.str());
    std::string line;
    std::vector<std::string> printed;
    while (std::getline(lines, line)) printed.push_back(line);
    ASSERT_EQ(printed.size(), 5u) << out.str();
    EXPECT_NE(printed[0].find("wanaście złotych 50/100"), std::string::npos) << printed[0];
    EXPECT_EQ(printed[1], "0.25");
    EXPECT_EQ(printed[2], "1\t2");
    EXPECT_EQ(printed[3], "3\t4");
    EXPECT_EQ(printed[4], "TELM.NET");
}

TEST_F(SessionTest, WorkbookStepsAndCommands) {
    TempFolder work{"telm-work"};
    const std::string saved = work.file("out.xlsx");
    run({"--eval", "=1", "--set", "Sheet1!A1=5", "--set", "B1==A1*2", "--print", "A1:B1", "--print-formulas", "B1",
         "--run", "SwitchLanguage", "--save-as", saved});
    // --eval opened a scratch workbook without changing the active one: there was none, so the steps
    // after it work on the scratch workbook.
    EXPECT_NE(out.str().find("5\t10\n=A1*2\n"), std::string::npos) << out.str();
    EXPECT_TRUE(std::filesystem::exists(saved));
}

TEST(TelmProgramTest, ExitStatusAndMessages) {
    TempFolder addin{"telm-app"};
    testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
    const std::string common = "--addin " + addin.string() + " --library " + TELM_ADDIN_LIBRARY;
    auto [ok, printed] = runProgram(common + " --eval '=TEST()'", false);
    EXPECT_EQ(ok, 0) << printed;
    EXPECT_EQ(printed, "TELM.NET\n");
    auto [bad, message] = runProgram(common + " --print A1");
    EXPECT_EQ(bad, 1);
    EXPECT_NE(message.find("no workbook is open"), std::string::npos) << message;
    auto [usage, text] = runProgram("--nonsense");
    EXPECT_EQ(usage, 2);
    EXPECT_NE(text.find("Usage: telm"), std::string::npos);
    auto [missing, why] = runProgram("--addin /nonexistent/folder --eval 1");
    EXPECT_EQ(missing, 1);
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;
}

TEST(TelmProgramTest, ExampleWorkbookLinksToItsSecondWorkbook) {
    TempFolder addin{"telm-example"};
    std::filesystem::copy(std::string(TELM_SOURCE_DIR) + "/examples", addin.path(),
                          std::filesystem::copy_options::recursive);
    auto [status, printed] = runProgram("--addin " + addin.string() + " --library " + TELM_ADDIN_LIBRARY + " " +
                                            addin.file("Sample.xlsx") + " --calc --print A11:B11",
                                        false);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed, "North, target 2024\t60000\n");
}
