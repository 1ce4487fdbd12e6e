// Analyses, publication and an Information Services program at the command line, over several runs
// of telm, as a person working in several sittings would.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/SqlCells.h"
#include "support/TelmRun.h"

using testsupport::TempFolder;

namespace {

struct TelmAnalyses : ::testing::Test {
    TempFolder addin{"telm-app"};
    TempFolder work{"telm-work"};
    std::string connection = "Driver={SQLite3};Database=" + addin.file("sales.db") + ";";
    std::string printed, dialogs;

    TelmAnalyses() {
        testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
        testsupport::runStatements(connection, {"CREATE TABLE Sales (Region TEXT, Amount REAL)",
                                                "INSERT INTO Sales VALUES ('Anna', 10.5)",
                                                "INSERT INTO Sales VALUES ('Adam', 7)"});
        std::ofstream(addin.file("DataModel.par"))
            << "[Measure Amount]\nType=ODBC\nGetDataArguments={region}\nConnectionText=" << connection
            << "\nQueryText=SELECT Amount FROM Sales WHERE Region = '{region}'\n";
    }
    ~TelmAnalyses() override { telm::ResetSharedState(); }

    void telm(std::vector<std::string> arguments) {
        std::tie(printed, dialogs) = testsupport::runTelm(addin.string(), std::move(arguments));
    }
};

}  // namespace

TEST_F(TelmAnalyses, AnAnalysisSavedOpenedAndPublishedOverSeveralRuns) {
    telm({"--new", "--set", "A1==GETDATA(\"Amount\",\"Anna\")", "--save-as", work.file("north.xlsx"), "--new", "--set",
          "A1==GETDATA(\"Amount\",\"Adam\")", "--save-as", work.file("south.xlsx")});
    const std::string ana = addin.file("Analyses/sales.ana");
    telm({work.file("north.xlsx"), work.file("south.xlsx"), "--answer", ana, "--run", "SaveAsAnalyse"});
    ASSERT_TRUE(std::filesystem::exists(ana)) << dialogs;

    testsupport::runStatements(connection, {"UPDATE Sales SET Amount = 12"});
    telm({"--answer", ana, "--run", "OpenAnalyse", "--book", "north.xlsx", "--print", "A1", "--book", "south.xlsx",
          "--print", "A1", "--run", "PublishDefault"});
    EXPECT_EQ(printed, "12\n12\n");
    EXPECT_NE(dialogs.find("south.xlsx has been published in:"), std::string::npos) << dialogs;
    ASSERT_TRUE(std::filesystem::exists(work.file("south_mirror.xlsx")));
    telm({work.file("south_mirror.xlsx"), "--print-formulas", "A1"});
    EXPECT_EQ(printed, "12\n");
}

TEST_F(TelmAnalyses, AProgramRunFromItsSheet) {
    telm({"--new", "--set", "A1=TELM.NET.IS", "--set", "A3=SQL", "--set", "B3=" + connection, "--set",
          "C3=SELECT Region, Amount FROM Sales ORDER BY Region", "--set", "D3=F1", "--run", "StartIS", "--print",
          "F1:G2"});
    EXPECT_EQ(printed, "Adam\t7\nAnna\t10.5\n");
}
