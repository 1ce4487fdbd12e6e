// Macros the add-in schedules, run by telm as a user meets them: the pivot-table reference turned
// into GETDATAOLAP a second after the wizard, an Information Services program started by another
// one (STARTIS), and a scheduled macro that fails.

#include <gtest/gtest.h>

#include <fstream>

#include "support/TelmProgram.h"

namespace {

using testsupport::Outcome;

struct TelmScheduledMacros : ::testing::Test, testsupport::TelmProgram {
    TelmScheduledMacros() {
        python(R"(
import sqlite3
db = sqlite3.connect('sales.db')
db.execute('CREATE TABLE sales (region TEXT, year INTEGER, amount REAL)')
db.executemany('INSERT INTO sales VALUES (?, ?, ?)',
               [('Północ', 2023, 5), ('Północ', 2024, 7), ('Zachód', 2023, 11), ('Zachód', 2024, 13), ('Zachód', 2024, 17)])
db.commit()
)");
    }
    std::string database() const { return work.file("sales.db"); }
};

}  // namespace

TEST_F(TelmScheduledMacros, APivotCellBecomesGetDataOlapBeforeTheNextStep) {
    // An offline-cube query file: opening it builds the cube and shows it as a pivot table.
    const std::string odbc = "Driver={SQLite3};Database=" + database() + ";";
    std::ofstream(work.file("Sales.oqy"))
        << "QueryType=OLEDB\nVersion=1\nCommandType=Cube\n"
        << "Connection=Provider=MSOLAP;Location=" << work.file("sales.cub") << ";SOURCE_DSN=\"" << odbc
        << "\";CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All] TYPE ALL, LEVEL [Region], MEASURE "
           "[Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Sales] ([Region].[Region], [Measures].[Amount]) SELECT "
           "region, amount FROM sales\n"
        << "CommandText=Sales\n";
    const Outcome r = run(work.file("Sales.oqy") + " --print A5:B5 --select E2 --run WizardGetdataOLAP --answer B5 "
                          "--print-formulas E2 --print E2");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Zachód\t41\n=GETDATAOLAP(\"" + work.file("sales.cub") +
                         "\",\"\",\"Sales\",\"[Measures].[Amount]\",\"[Region].[Zachód]\")\n41\n");
}

TEST_F(TelmScheduledMacros, StartIsRunsTheProgramOfTheNamedWorkbookAndSheet) {
    python(R"(
import openpyxl, os
odbc = 'Driver={SQLite3};Database=' + os.path.abspath('sales.db') + ';'
following_file = os.path.abspath('next.xlsx')
first = openpyxl.Workbook()
sheet = first.active
sheet.title = 'Start'
sheet['A1'] = 'TELM.NET.IS'
sheet['A3'] = 'SQL'; sheet['B3'] = odbc; sheet['C3'] = "SELECT count(*) FROM sales"; sheet['D3'] = 'F1'
sheet['A4'] = 'STARTIS'; sheet['B4'] = following_file; sheet['C4'] = 'Program'
first.create_sheet('Broken')['A1'] = 'TELM.NET.IS'
first['Broken']['A3'] = 'STARTIS'; first['Broken']['B3'] = following_file; first['Broken']['C3'] = 'Missing'
first.save('first.xlsx')
following = openpyxl.Workbook()
following.active.title = 'Notes'
program = following.create_sheet('Program')
program['A1'] = 'TELM.NET.IS'
program['A3'] = 'SQL'; program['B3'] = odbc
program['C3'] = "SELECT sum(amount) FROM sales WHERE region = 'Zachód'"; program['D3'] = 'F1'
following.save('next.xlsx')
)");
    // The started program's workbook is the active one after the step.
    Outcome r = run(work.file("first.xlsx") + " --sheet Start --run StartIS --print F1 --book first.xlsx --print F1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "41\n5\n");

    // The started workbook lacks the sheet: the scheduled macro fails, and with it the run.
    r = run(work.file("first.xlsx") + " --sheet Broken --run StartIS --answer OK --print A1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--run StartIS: the scheduled macro AutoStartIS: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}
