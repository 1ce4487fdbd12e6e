// The archive commands at the command line: each run opens the workbook file, runs its steps and
// saves, as a person working in several sittings would.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/TelmOptions.h"
#include "app/TelmSession.h"
#include "core/A_Deklaracje.h"
#include "support/SqlCells.h"
#include "support/TelmRun.h"

using namespace telm::app;
using testsupport::quote;
using testsupport::TempFolder;

namespace {

struct TelmArchive : ::testing::Test {
    TempFolder addin{"telm-app"};
    TempFolder work{"telm-work"};
    std::string book = work.file("Sales.xlsx");
    std::string connection = "Driver={SQLite3};Database=" + addin.file("sales.db") + ";";
    std::string printed;  // what the last run printed
    std::string dialogs;  // the dialogs it showed

    TelmArchive() {
        testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
        testsupport::runStatements(connection, {"CREATE TABLE Sales (Region TEXT, Amount REAL)",
                                                "INSERT INTO Sales VALUES ('Anna', 10.5)"});
        std::ofstream(addin.file("DataModel.par"))
            << "[Measure Amount]\nType=ODBC\nGetDataArguments={region}\nConnectionText=" << connection
            << "\nQueryText=SELECT Amount FROM Sales WHERE Region = '{region}'\n";
        std::filesystem::create_directory(addin.file("Log"));
    }
    ~TelmArchive() override { telm::ResetSharedState(); }

    // Runs telm with these arguments after the add-in folder and library.
    void telm(std::vector<std::string> arguments) {
        std::tie(printed, dialogs) = testsupport::runTelm(addin.string(), std::move(arguments));
    }
    void setAmount(double amount) {
        const std::string update = "UPDATE Sales SET Amount = " + std::to_string(amount);
        testsupport::runStatements(connection, {update.c_str()});
    }
    std::string odbcFormula(const std::string& sql) const {
        return "=GETDATAODBC(" + quote(connection) + "," + quote(sql) + ",FALSE)";
    }
};

}  // namespace

TEST_F(TelmArchive, ArchivingAndItsCommandsOverSeveralRuns) {
    telm({"--new", "--set", "A1==GETDATA(\"Amount\",\"Anna\")", "--set",
          "A2=" + odbcFormula("SELECT Amount * 2 FROM Sales"), "--select", "A1", "--run", "MoveToArchive", "--save-as",
          book});
    std::ifstream log(addin.file("Log/Archiwum.log"));
    std::string line;
    int lines = 0;
    while (std::getline(log, line)) ++lines;
    EXPECT_EQ(lines, 2);

    // New source data: the archived cells keep their values; the twin sheet shows them.
    setAmount(99);
    telm({book, "--calc", "--print", "A1:A2", "--run", "ShowHideArchive", "--print", "A1:A2"});
    EXPECT_EQ(printed, "10.5\n21\n10.5\n21\n");

    // Another argument: "#Arch!"; points, then cleared cells (GETDATA cells only).
    telm({book, "--set", "A1==GETDATA(\"Amount\",\"Ewa\")", "--print", "A1", "--run", "EraseArchive2", "--calc",
          "--print", "A1:A2", "--run", "EraseArchive1", "--calc", "--print", "A1:A2"});
    EXPECT_EQ(printed, "#Arch!\n.\n21\n0\n21\n");

    // The twin sheet goes; a second delete has none to delete.
    telm({book, "--run", "RemoveArchive", "--run", "RemoveArchive", "--calc", "--print", "A2", "--save"});
    EXPECT_NE(dialogs.find("Archive error"), std::string::npos) << dialogs;
    EXPECT_EQ(printed, "198\n");

    // No twin sheet: asked whether to create one.
    telm({book, "--answer", "OK", "--run", "ShowHideArchive", "--sheet", "Sheet1.a", "--print", "A2"});
    EXPECT_NE(dialogs.find("No archive for active sheet."), std::string::npos) << dialogs;
    EXPECT_EQ(printed, "198\n");

    // The menu's refresh has no file to refresh.
    telm({book, "--run", "AutoRefreshArchive"});
    EXPECT_NE(dialogs.find("This is not a proper archive list."), std::string::npos) << dialogs;
}
