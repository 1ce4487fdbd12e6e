// The GETDATA wizard at the terminal: its two forms answered as a user types the answers, and the
// formula it writes calculated.

#include <gtest/gtest.h>

#include <fstream>

#include "support/AddInHost.h"
#include "support/SqlCells.h"
#include "support/TelmRun.h"

TEST(TelmWizard, TheGetDataWizardAtTheTerminalWritesAWorkingFormula) {
    testsupport::TempFolder addin{"telm-wizard"};
    testsupport::writeToolbarFile(addin.file("TELM.NET.CommandBars.xlb"));
    testsupport::runStatements("Driver={SQLite3};Database=" + addin.file("sales.db") + ";",
                               {"CREATE TABLE sales (region TEXT, year INTEGER, amount REAL)",
                                "INSERT INTO sales VALUES ('Północ', 2024, 7), ('Zachód', 2024, 13), ('Zachód', 2024, 17)"});
    std::ofstream(addin.file("DataModel.par")) << "[Measure Sales.Total]\n"
                                                  "Type=ODBC\n"
                                                  "GetDataArguments={region},{year}\n"
                                                  "ConnectionText=Driver={SQLite3};Database=[TELM.NET.Folder]/sales.db;\n"
                                                  "QueryText=SELECT sum(amount) FROM sales WHERE region = '{region}' "
                                                  "AND year = {year}\n"
                                                  "ARG1=SELECT DISTINCT region FROM sales ORDER BY region\n"
                                                  "ARG2=2024\n";
    const auto [out, err] = testsupport::runTelm(
        addin.string(), {"--new", "--select", "B2", "--run", "WizardGetdata", "--answer", "select ListBox1 0;click CommandButton4",
                         "--answer", "ComboBox1=Zachód;click CommandButton2", "--print-formulas", "B2", "--print", "B2"});
    EXPECT_EQ(out, "=GETDATA(\"Sales.Total\",\"Zachód\",2024)\n30\n") << err;
    // Both steps were shown with their lists.
    EXPECT_NE(err.find("ListBox1 (ListBox)"), std::string::npos);
    EXPECT_NE(err.find("0: Sales.Total"), std::string::npos);
    EXPECT_NE(err.find("1: Zachód"), std::string::npos) << err;
}
