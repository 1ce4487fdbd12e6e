// Analyses, publication and an Information Services program at the command line, over several runs
// of telm, as a person working in several sittings would.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "analyses/AnalysisList.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/DocumentProperties.h"
#include "support/ArchiveWorkbook.h"
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
    // The message of the step that failed the run, or "" when every step passed.
    std::string failure(std::vector<std::string> arguments) {
        try {
            telm(std::move(arguments));
            return {};
        } catch (const telm::app::TelmFailure& e) {
            telm::ResetSharedState();
            return e.what();
        }
    }
};

// Sets a workbook file's first publication setting, as typed into its properties.
void setPublication(const std::string& file, const std::string& setting) {
    auto app = host::sheet::Application::create();
    host::files::attachWorkbookStore(*app);
    auto book = app->workbooks().open(file);
    book->customDocumentProperties().remove("TELM.NET.Publ1");
    book->customDocumentProperties().add("TELM.NET.Publ1", host::sheet::PropertyType::String, setting);
    book->save();
}

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

TEST_F(TelmAnalyses, APublicationRefusedFailsTheRunAndNothingAfterItIsSaved) {
    const std::string north = work.file("north.xlsx"), ana = work.file("north.ana");
    telm({"--new", "--set", "A1==GETDATA(\"Amount\",\"Anna\")", "--save-as", north});
    telm::WriteAnalysisList(ana, {{north, "P"}});

    // No suffix given: the mirror is written beside it, also when an analysis publishes it.
    setPublication(north, "Format=xlsx");
    EXPECT_EQ(failure({"--answer", ana, "--run", "OpenAnalyse", "--save"}), "");
    EXPECT_EQ(failure({work.file("north_mirror.xlsx"), "--print-formulas", "A1"}), "");
    EXPECT_EQ(printed, "10.5\n");

    // A setting that names the workbook itself.
    setPublication(north, "Suffix=;Format=xlsx");
    const std::string before = testsupport::readFile(north);
    std::string failed = failure({north, "--run", "PublishDefault", "--set", "A1=0", "--save"});
    EXPECT_NE(failed.find("--run PublishDefault: north.xlsx was not published in " + north), std::string::npos)
        << failed;
    EXPECT_NE(failed.find("would replace the open workbook"), std::string::npos) << failed;
    failed = failure({"--answer", ana, "--run", "OpenAnalyse", "--set", "A1=0", "--save"});
    EXPECT_NE(failed.find("--run OpenAnalyse"), std::string::npos) << failed;
    EXPECT_EQ(testsupport::readFile(north), before);
}
