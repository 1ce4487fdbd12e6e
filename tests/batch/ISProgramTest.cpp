// Information Services programs run from their sheet through the add-in's command: SQL steps over
// SQLite and PostgreSQL, an archive refresh of a saved workbook, a cube built and read by
// GETDATAOLAP, a failing row, and the start of a program by the timer macro.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "batch/P_TELM_IS.h"
#include "core/A_Languages.h"
#include "data/P_ArchiwumCommands.h"
#include "support/ArchiveWorkbook.h"

using host::Variant;
using namespace telm;
using testsupport::ArchiveWorkbook;
using testsupport::quote;

namespace {

struct ISProgram : ArchiveWorkbook {
    host::sheet::WorksheetPtr program;
    int nextRow = 3;

    ISProgram() {
        program = app->workbooks().add()->sheet(1);
        program->range("A1")->setValue(kISProgramMark);
    }
    void step(const std::vector<std::string>& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) program->cells(nextRow, static_cast<int>(c) + 1)->setValue(cells[c]);
        ++nextRow;
    }
    void run() {
        program->activate();
        app->run("StartIS");
    }
};

void runStatementsOn(const ArchiveWorkbook& t, const char* statement) {
    testsupport::runStatements(t.connection, {statement});
}

}  // namespace

TEST(ISProgramTest, QueriesArchiveRefreshAndACubeThatGetDataOlapReads) {
    ISProgram t;
    SharedState().ErrorReportingLevel = 1;
    // A saved workbook with an archived cell, whose source then changes.
    t.sheet->activate();
    t.app->run("MoveToArchive");
    const std::string archived = t.folder.file("archived.xlsx");
    t.book->saveAs(archived);
    t.book->close();
    t.setAmount("Anna", 55);

    std::ofstream(t.folder.file("orders.def"))
        << "SOURCE_DSN=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.db;\n"
        << "CREATECUBE=CREATE CUBE [Sprzedaż] (DIMENSION [Region], LEVEL [Name],\n"
        << "  MEASURE [Amount] FUNCTION SUM)\n"
        << "INSERTINTO=INSERT INTO [Sprzedaż] ([Region].[Name], [Measures].[Amount])\n"
        << "  SELECT Region, Amount FROM Sales\n";
    t.step({"sql", t.connection, "CREATE TABLE Log (Line TEXT)"});
    t.step({"SQL", t.connection, "INSERT INTO Log VALUES ('zażółć')"});
    t.step({"SQL", t.connection, "SELECT Region, Amount FROM Sales ORDER BY Region", "D1", "TRUE"});
    t.step({"SQL", t.connection, "SELECT Line FROM Log", "Sheet1!G1"});
    t.step({"HIDDENARCHIVEREFRESH", "[TELM.NET.Folder]\\archived.xlsx"});
    t.step({"CUBE", t.folder.file("orders.def"), "[TELM.NET.Folder]\\orders.cub"});
    const auto pg = testsupport::postgresServer();
    if (pg) {
        const std::string server = pg->connection("Uid=" + pg->user + ";Pwd=" + pg->password + ";");
        t.step({"SQL", server, "SELECT 'Łódź' AS city, 42 AS answer", "H1", "TRUE"});
    }
    t.step({"SQL", t.connection, "SELECT Region FROM Sales WHERE 1 = 0", "J1"});  // no rows: nothing written
    std::vector<std::string> progress;
    t.app->onStatusBar = [&](const Variant& text) { progress.push_back(text.toString()); };
    t.run();
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
    EXPECT_FALSE(SharedState().ISProgramRunning);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), "Step 3: sql");
    EXPECT_NE(std::find(progress.begin(), progress.end(), "Step 8: CUBE"), progress.end());
    EXPECT_TRUE(t.program->range("J1")->value().isEmpty());
    EXPECT_EQ(t.app->calculation(), host::sheet::CalculationMode::Automatic);
    EXPECT_EQ(t.app->statusBar(), Variant(false));
    EXPECT_TRUE(t.app->screenUpdating);

    EXPECT_EQ(t.program->range("D1")->value(), Variant("Region"));
    EXPECT_EQ(t.program->range("D2")->value(), Variant("Adam"));
    EXPECT_EQ(t.program->range("E3")->value(), Variant(55.0));
    EXPECT_EQ(t.program->range("G1")->value(), Variant("zażółć"));
    if (pg) {
        EXPECT_EQ(t.program->range("H2")->value(), Variant("Łódź"));
        EXPECT_EQ(t.program->range("I2")->value().toDouble(), 42.0);
    }
    // The archive of the saved workbook holds the new value.
    auto reader = host::sheet::Application::create();
    host::files::attachWorkbookStore(*reader);
    EXPECT_EQ(reader->workbooks().open(archived)->sheet("Sheet1.a")->range("A1")->value(), Variant(55.0));
    // The cube answers GETDATAOLAP.
    t.program->range("K1")->setFormula("=GETDATAOLAP(" + quote(t.folder.file("orders.cub")) +
                                       ",\"\",\"Sprzedaż\",\"[Measures].[Amount]\",\"[Region].[Anna]\")");
    EXPECT_EQ(t.program->range("K1")->value(), Variant(55.0));
}

TEST(ISProgramTest, AFailingRowStopsTheProgramWithItsNumber) {
    ISProgram t;
    SharedState().ErrorReportingLevel = 1;
    t.step({"SQL", t.connection, "SELECT Amount FROM Sales WHERE Region = 'Anna'", "H1"});
    t.step({"SQL", t.connection, "SELECT * FROM NoSuchTable", "H2"});
    t.step({"SQL", t.connection, "SELECT 1", "H3"});
    t.run();
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_TRUE(t.app->takeCommandFailure());
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - TELM.NET.IS - Data processing");
    EXPECT_EQ(t.dialogs.record()[0].prompt.rfind("Step 4: ", 0), 0u) << t.dialogs.record()[0].prompt;
    EXPECT_NE(t.dialogs.record()[0].prompt.find("NoSuchTable"), std::string::npos);
    EXPECT_EQ(t.program->range("H1")->value(), Variant(10.5));
    EXPECT_TRUE(t.program->range("H3")->value().isEmpty());
    EXPECT_FALSE(SharedState().ISProgramRunning);
    EXPECT_EQ(t.app->calculation(), host::sheet::CalculationMode::Automatic);

    // Unknown commands, missing cube definitions and a server that is down fail the same way.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"FORMAT C:"}, {"CUBE", t.folder.file("missing.def"), t.folder.file("x.cub")},
          {"SQL", "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=x;Uid=x;Pwd=x;", "SELECT 1"},
          {"DOWNLOAD", "http://127.0.0.1:1/listing.txt", "[TELM.NET.Folder]\\listing.txt"},
          {"SQL", testsupport::postgresServer() ? testsupport::postgresServer()->connection("Uid=telm;Pwd=wrong;")
                                                : std::string("Driver={No such driver}"),
           "SELECT 1"}}) {
        t.dialogs.reset();
        t.program->range("A3:E20")->clearContents();
        t.nextRow = 3;
        t.step(bad);
        t.run();
        ASSERT_EQ(t.dialogs.record().size(), 1u) << bad[0];
        EXPECT_EQ(t.dialogs.record()[0].prompt.rfind("Step 3: ", 0), 0u) << t.dialogs.record()[0].prompt;
    }

    // A sheet that is no program.
    t.dialogs.reset();
    t.program->range("A1")->setValue("something else");
    t.run();
    EXPECT_EQ(t.dialogs.record().at(0).prompt, GetMessageText(1021) + "TELM.NET.IS");
}

TEST(ISProgramTest, AProgramStartsAnotherByTheTimerMacro) {
    ISProgram t;
    auto next = t.app->workbooks().add();
    auto nextSheet = next->addSheet(nullptr, nullptr, "Program");
    nextSheet->range("A1")->setValue(kISProgramMark);
    nextSheet->range("A3")->setValue("SQL");
    nextSheet->range("B3")->setValue(t.connection);
    nextSheet->range("C3")->setValue("SELECT Amount FROM Sales WHERE Region = 'Adam'");
    nextSheet->range("D3")->setValue("F1");
    const std::string nextFile = t.folder.file("next.xlsx");
    next->saveAs(nextFile);
    next->close();
    t.step({"STARTIS", "[TELM.NET.Folder]\\next.xlsx", "Program"});
    t.run();
    ASSERT_EQ(t.app->scheduledMacros().size(), 1u);
    EXPECT_EQ(t.app->scheduledMacros()[0].procedure, "AutoStartIS");
    t.app->runDueMacros(true);
    auto opened = t.app->workbooks().find("next.xlsx");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->sheet("Program")->range("F1")->value(), Variant(7.0));

    // A sheet the workbook lacks: message 1021.
    t.dialogs.reset();
    SharedState().ISSheetName = "Missing";
    t.app->run("AutoStartIS");
    EXPECT_EQ(t.dialogs.record().at(0).prompt, GetMessageText(1021) + "TELM.NET.IS\nMissing");
}

TEST(ISProgramTest, ARerunClearsItsPreviousResultAndAResultPastTheLastRowIsRefused) {
    ISProgram t;
    SharedState().ErrorReportingLevel = 1;
    t.program->range("H5")->setValue("below, the user's");
    t.program->range("J1")->setValue("beside, the user's");
    t.step({"SQL", t.connection, "SELECT Region, Amount FROM Sales ORDER BY Region", "H1", "TRUE"});
    t.run();
    EXPECT_EQ(t.program->range("H3")->value(), Variant("Anna"));
    runStatementsOn(t, "DELETE FROM Sales WHERE Region = 'Anna'");
    t.run();
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
    EXPECT_EQ(t.program->range("H2")->value(), Variant("Adam"));
    EXPECT_TRUE(t.program->range("H3")->value().isEmpty());
    EXPECT_TRUE(t.program->range("I3")->value().isEmpty());
    EXPECT_EQ(t.program->range("H5")->value(), Variant("below, the user's"));
    EXPECT_EQ(t.program->range("J1")->value(), Variant("beside, the user's"));
    // Saved and opened again, the program still knows its last result.
    runStatementsOn(t, "INSERT INTO Sales VALUES ('Anna', 1)");
    t.run();
    EXPECT_EQ(t.program->range("H3")->value(), Variant("Anna"));
    const std::string file = t.folder.file("program.xlsx");
    t.program->parent()->saveAs(file);
    t.program->parent()->close();
    t.program = t.app->workbooks().open(file)->sheet(1);
    runStatementsOn(t, "DELETE FROM Sales WHERE Region = 'Anna'");
    t.run();
    EXPECT_TRUE(t.program->range("H3")->value().isEmpty());

    // Three rows from the second-last row would run off the sheet: refused before writing.
    t.program->range("A3:E3")->clearContents();
    t.nextRow = 3;
    t.step({"SQL", t.connection, "SELECT Region, Amount FROM Sales", "H1048575", "TRUE"});
    runStatementsOn(t, "INSERT INTO Sales VALUES ('Ewa', 2)");
    t.run();
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt.rfind("Step 3: ", 0), 0u) << t.dialogs.record()[0].prompt;
    EXPECT_NE(t.dialogs.record()[0].prompt.find("would run past the last row"), std::string::npos);
    EXPECT_TRUE(t.program->range("H1048575")->value().isEmpty());
    EXPECT_EQ(t.program->range("H2")->value(), Variant("Adam"));  // the other result stays
    EXPECT_TRUE(t.app->takeCommandFailure());
}

TEST(ISProgramTest, AProgramCannotRefreshTheArchiveOfItsOwnWorkbook) {
    ISProgram t;
    SharedState().ErrorReportingLevel = 1;
    const std::string file = t.folder.file("program.xlsx");
    t.program->parent()->saveAs(file);
    t.step({"HIDDENARCHIVEREFRESH", "[TELM.NET.Folder]\\program.xlsx"});
    t.step({"SQL", t.connection, "SELECT 1", "H1"});
    t.run();
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt.rfind("Step 3: ", 0), 0u) << t.dialogs.record()[0].prompt;
    EXPECT_NE(t.dialogs.record()[0].prompt.find("the program's own workbook"), std::string::npos);
    EXPECT_TRUE(t.program->range("H1")->value().isEmpty());
    EXPECT_FALSE(t.program->parent()->isClosed());
    EXPECT_TRUE(t.app->takeCommandFailure());
}
