// `telm --menus` shows the commands the add-in installed, in the current language, with the macro
// names that `--run` takes; `--copy` puts a range on the clipboard for the paste command.

#include <gtest/gtest.h>

#include "app/TelmOptions.h"
#include "support/AddInHost.h"
#include "support/TelmRun.h"
#include "support/TempFolder.h"

using namespace telm::app;

namespace {

std::string runSession(std::vector<std::string> arguments) {
    testsupport::TempFolder addin{"telm-menus"};
    testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
    return testsupport::runTelm(addin.string(), std::move(arguments)).first;
}

}  // namespace

TEST(TelmMenus, MenusToolbarAndContextMenusWithTheirMacros) {
    const std::string english = runSession({"--menus", "--run", "SwitchLanguage", "--menus"});
    const std::string polish = english.substr(english.find("Worksheet Menu Bar", 1));
    for (const char* line : {"Worksheet Menu Bar\n  TELM.NET\n    Analyses\n      Open\tOpenAnalyse\n",
                             "      Change error reporting level\tSwithErrorReportingLevel\n",
                             "    TELM.NET - info about\tInfoAbout\n", "TELM\n  Insert a function of TELM.NET [F3]\tWizardGetdata\n",
                             "Cell\n  Edit\n", "    Paste special only values\tPasteSpecialOnlyValues\n",
                             "PivotTable Context Menu\n", "Query\n"})
        EXPECT_NE(english.find(line), std::string::npos) << line;
    EXPECT_NE(polish.find("      Zmień poziom raportowania o błędach\tSwithErrorReportingLevel\n"), std::string::npos);
    EXPECT_NE(polish.find("  Wstaw funkcję TELM.NET [F3]\tWizardGetdata\n"), std::string::npos);
    EXPECT_EQ(polish.find("Analyses"), std::string::npos);
}

TEST(TelmMenus, CommandsRunByTheirMacroNames) {
    const std::string printed = runSession({"--new", "--set", "A1==6*7", "--copy", "A1", "--select", "B2", "--run",
                                            "PasteSpecialOnlyValues", "--print-formulas", "B2"});
    EXPECT_EQ(printed, "42\n");
    EXPECT_EQ(runSession({"--new", "--set", "A1=1234.5", "--select", "A1", "--run", "NumberFormat", "--print", "A1",
                          "--run", "UnpivotTable", "--print", "A1:C1"}),
              "1,234.50\n1\t1\t1234.5\n");
    EXPECT_THROW(parseCommandLine({"--copy"}), std::invalid_argument);
}
