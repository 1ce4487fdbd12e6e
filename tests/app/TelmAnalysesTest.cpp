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

TEST_F(TelmAnalyses, PathsWithBlanksAndPolishLettersWorkOnEveryRoute) {
    const std::string folder = work.file("Dane źródłowe");
    std::filesystem::create_directories(folder + "/Kostki ó");
    const std::string database = folder + "/łąka zł.db";
    const std::string plain = "Driver={SQLite3};Database=" + database + ";";
    const std::string braced = "Driver={SQLite3};Database={" + database + "};";
    const std::string access = "Driver={Microsoft Access Driver (*.mdb)};DBQ=" + database + ";";
    testsupport::runStatements(plain, {"CREATE TABLE Sprzedaż (Region TEXT, Kwota REAL)",
                                       "INSERT INTO Sprzedaż VALUES ('Północ', 12.5)"});
    std::ofstream(folder + "/kostka.def") << "SOURCE_DSN=" << plain << "\nCREATECUBE=CREATE CUBE [Sprzedaż] (DIMENSION "
                                             "[Region], LEVEL [Nazwa], MEASURE [Kwota] FUNCTION SUM)\nINSERTINTO=INSERT "
                                             "INTO [Sprzedaż] ([Region].[Nazwa], [Measures].[Kwota]) SELECT Region, Kwota "
                                             "FROM Sprzedaż\n";
    const std::string cube = folder + "/Kostki ó/sprzedaż.cub";
    const std::string sum = "SELECT SUM(Kwota) FROM Sprzedaż";
    EXPECT_EQ(failure({"--new", "--set", "A1=TELM.NET.IS", "--set", "A3=SQL", "--set", "B3=" + braced, "--set",
                       "C3=" + sum, "--set", "D3=H1", "--set", "A4=SQL", "--set", "B4=" + access, "--set", "C4=" + sum,
                       "--set", "D4=H2", "--set", "A5=CUBE", "--set", "B5=" + folder + "/kostka.def", "--set",
                       "C5=" + cube, "--run", "StartIS", "--set",
                       "J1==GETDATAODBC(\"" + plain + "\",\"" + sum + "\",FALSE)", "--set",
                       "J2==GETDATAODBC(\"" + access + "\",\"" + sum + "\",FALSE)", "--set",
                       "J3==GETDATAOLAP(\"" + cube +
                           "\",\"\",\"Sprzedaż\",\"[Measures].[Kwota]\",\"[Region].[Północ]\")",
                       "--print", "H1:H2", "--print", "J1:J3"}),
              "");
    EXPECT_EQ(printed, "12.5\n12.5\n12.5\n12.5\n12.5\n");

    // The driver's message keeps its Polish letters.
    const std::string failed = failure({"--new", "--set", "A1=TELM.NET.IS", "--set", "A3=SQL", "--set", "B3=" + plain,
                                        "--set", "C3=SELECT * FROM łąka_brak", "--run", "StartIS"});
    EXPECT_NE(failed.find("no such table: łąka_brak"), std::string::npos) << failed;
}
