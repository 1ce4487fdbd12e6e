// Server calculation from start-up to the values read back: the model parameter opens the
// server-calculation workbook, each sheet calculation writes the recorded requests to "SCData1", and
// the test plays the outside calculation by filling [SCTable3] of the server-calculation database.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/A_Deklaracje.h"
#include "data/F_MivraADO.h"
#include "host/base/Text.h"
#include "host/files/XlsxStore.h"
#include "support/AddInHost.h"
#include "support/SqlCells.h"

using host::Variant;
using host::sheet::CalculationMode;
using telm::SharedState;
using testsupport::quote;

namespace {

struct ServerCalculation : ::testing::Test, testsupport::AddInHost {
    std::string serverFolder = folder.file("ServerCalculation");
    std::string live = "Driver={SQLite3};Database=" + folder.file("sales.db") + ";";
    host::sheet::WorksheetPtr sheet;

    ServerCalculation() {
        std::filesystem::create_directories(serverFolder);
        host::files::attachWorkbookStore(*app);
        // Connections open existing database files only: each starts as an empty file.
        std::ofstream(folder.file("sales.db")).close();
        std::ofstream(serverFolder + "/TelmNetServerCalculation.mdb").close();
        testsupport::runStatements(live, {"CREATE TABLE Sales (Year INTEGER, Amount REAL)",
                                          "INSERT INTO Sales VALUES (2024, 1), (2025, 2.5), (2025, 4)"});
        testsupport::runStatements(
            "Driver={SQLite3};Database=" + serverFolder + "/TelmNetServerCalculation.mdb;",
            {"CREATE TABLE SCTable3 (Args TEXT, Value)",
             "INSERT INTO SCTable3 VALUES ('Rev,2024', 60), ('Rev,2024', 40), ('Rev,2025', 'xxx'), ('Rev,2026', NULL)"});
    }

    // The server-calculation workbook, with its sheet of requests named as given.
    void writeWorkbook(const std::string& sheetName = "SCData1") {
        auto book = app->workbooks().add();
        book->sheet(1)->setName(sheetName);
        book->sheet(1)->range("H1")->setValue("kept apart");
        book->saveAs(serverFolder + "/TelmNetServerCalculation.xls");
        book->close();
    }
    void startWith(const std::string& parameters, const std::string& variables = {}) {
        std::ofstream(folder.file("DataModel.par")) << "PARAMETERS=" << parameters << "\n" << variables;
        start();
        // What the GETDATA engine hands the ADO worker for a variable that allows server calculation:
        // its arguments joined, then the query; here SCQUERY(sql, argument, ...).
        app->registerFunction("SCQUERY", [this](std::vector<Variant>& a) -> Variant {
            std::vector<std::string> arguments;
            for (std::size_t i = 1; i < a.size(); ++i) arguments.push_back(a[i].toString());
            SharedState().JoinedArguments = host::Join(arguments, ",");
            bool allowed = true;
            Variant sql = a.at(0);
            if (auto range = host::sheet::asRange(sql)) sql = range->value();
            return telm::GetDataAdoCore(live, sql, 0, allowed);
        });
        sheet = app->workbooks().add()->sheet(1);
    }
    host::sheet::WorksheetPtr requests() const {
        return app->workbooks().item("TelmNetServerCalculation.xls")->sheet("SCData1");
    }
    // The row of "SCData1" whose arguments are `args` (0 when none).
    static int rowWith(const host::sheet::WorksheetPtr& out, const std::string& args) {
        for (int r = 2; r <= 10; ++r)
            if (out->cells(r, 2)->value() == Variant(args)) return r;
        return 0;
    }
    static std::string query(int year, const std::string& table = "Sales") {
        return "=SCQUERY(" + quote("SELECT SUM(Amount) FROM " + table + " WHERE Year = " + std::to_string(year)) +
               ",\"Rev\"," + std::to_string(year) + ")";
    }
};

}  // namespace

TEST_F(ServerCalculation, RequestsGoToTheSheetAndValuesComeFromTheDatabase) {
    writeWorkbook();
    app->setCalculation(CalculationMode::Automatic);
    startWith("ServerCalculation=1");
    EXPECT_TRUE(SharedState().ServerCalculationOn);
    EXPECT_TRUE(app->window("TelmNetServerCalculation.xls")->visible);
    EXPECT_EQ(app->calculation(), CalculationMode::Manual);
    SharedState().ErrorReportingLevel = 3;

    sheet->range("A1")->setFormula(query(2024));
    sheet->range("A2")->setFormula(query(2025));
    sheet->range("A3")->setFormula(query(2026, "Missing"));
    sheet->range("A4")->setFormula(query(2027));
    app->calculate();
    EXPECT_EQ(sheet->range("A1")->value(), Variant(100.0));     // computed by the server
    EXPECT_EQ(sheet->range("A2")->value(), Variant(6.5));       // "xxx": not yet, so queried live
    EXPECT_EQ(sheet->range("A3")->value(), Variant("No data"));  // Null, and the live query failed
    EXPECT_EQ(sheet->range("A4")->value(), Variant(0.0));       // nothing anywhere: the live answer

    auto out = requests();
    const std::vector<Variant> header = {"RecNo", "Args", "Value", "QueryType", "DataSource", "SqlText"};
    for (int c = 1; c <= 6; ++c) EXPECT_EQ(out->cells(1, c)->value(), header[c - 1]);
    // One row per request, in the order the cells were calculated.
    const int rowOf2024 = rowWith(out, "Rev,2024");
    ASSERT_GT(rowOf2024, 1);
    EXPECT_EQ(out->cells(rowOf2024, 1)->value(), Variant(rowOf2024 - 1));
    EXPECT_EQ(out->cells(rowOf2024, 3)->value(), Variant());
    EXPECT_EQ(out->cells(rowOf2024, 4)->value(), Variant("ADO"));
    EXPECT_EQ(out->cells(rowOf2024, 5)->value(), Variant(live));
    EXPECT_EQ(out->cells(rowOf2024, 6)->value(), Variant("SELECT SUM(Amount) FROM Sales WHERE Year = 2024"));
    EXPECT_EQ(out->cells(rowWith(out, "Rev,2026"), 6)->value(),
              Variant("SELECT SUM(Amount) FROM Missing WHERE Year = 2026"));
    EXPECT_GT(rowWith(out, "Rev,2025"), 1);
    EXPECT_GT(rowWith(out, "Rev,2027"), 1);
    EXPECT_EQ(out->cells(6, 1)->value(), Variant());
    EXPECT_EQ(out->range("H1")->value(), Variant());  // the whole used range is cleared
    EXPECT_TRUE(dialogs.record().empty());

    // Automatic calculation when a sheet calculates: "Manual" once, and manual again.
    sheet->range("B1")->setValue(std::string(10050, 'x'));
    sheet->range("A1")->setFormula("=SCQUERY(B1,\"Long\")");
    app->setCalculation(CalculationMode::Automatic);
    ASSERT_EQ(dialogs.record().size(), 1u);
    EXPECT_EQ(dialogs.record()[0].prompt, "Manual");
    EXPECT_EQ(dialogs.record()[0].title, "");
    EXPECT_EQ(app->calculation(), CalculationMode::Manual);
    // The requests of that calculation, the long SQL text cut to 10,000 characters.
    EXPECT_EQ(host::Len(out->cells(rowWith(out, "Long"), 6)->value().toString()), 10000);
    app->calculate();
    EXPECT_EQ(dialogs.record().size(), 1u);
}

TEST_F(ServerCalculation, OnlyTheParameterOneWithAWorkbookSwitchesItOn) {
    writeWorkbook();
    startWith("SERVERCALCULATION=2");
    EXPECT_FALSE(SharedState().ServerCalculationOn);
    EXPECT_EQ(app->calculation(), CalculationMode::Automatic);
    EXPECT_EQ(app->workbooks().find("TelmNetServerCalculation.xls"), nullptr);
    // With server calculation off the request goes live.
    sheet->range("A1")->setFormula(query(2024));
    EXPECT_EQ(sheet->range("A1")->value(), Variant(1.0));
}

TEST_F(ServerCalculation, AMissingWorkbookIsReportedAndLeavesItOff) {
    startWith("X=1;ServerCalculation=1");
    EXPECT_FALSE(SharedState().ServerCalculationOn);
    ASSERT_EQ(dialogs.record().size(), 1u);
    EXPECT_EQ(dialogs.record()[0].prompt, "No Server Calculation Workbook 'TelmNetServerCalculation.xls'");
    EXPECT_EQ(dialogs.record()[0].buttons, 16);
    EXPECT_EQ(dialogs.record()[0].title, "TELM.NET");
    EXPECT_EQ(app->calculation(), CalculationMode::Automatic);
}

TEST_F(ServerCalculation, AWorkbookWithoutTheRequestSheetDropsTheRequests) {
    writeWorkbook("Other");
    startWith("ServerCalculation=1");
    ASSERT_TRUE(SharedState().ServerCalculationOn);
    sheet->range("A1")->setFormula(query(2024));
    app->calculate();
    EXPECT_EQ(sheet->range("A1")->value(), Variant(100.0));
    EXPECT_TRUE(dialogs.record().empty());
}

TEST_F(ServerCalculation, ArgumentsHoldingQuotesFindTheirValue) {
    writeWorkbook();
    testsupport::runStatements("Driver={SQLite3};Database=" + serverFolder + "/TelmNetServerCalculation.mdb;",
                               {"INSERT INTO SCTable3 VALUES ('Rev,O''Neil', 9)"});
    startWith("ServerCalculation=1");
    sheet->range("A1")->setFormula("=SCQUERY(" + quote("SELECT SUM(Amount) FROM Sales") + ",\"Rev\",\"O'Neil\")");
    app->calculate();
    EXPECT_EQ(sheet->range("A1")->value(), Variant(9.0));
}

TEST_F(ServerCalculation, AGetDataVariableThatAllowsItIsServedFromTheServer) {
    writeWorkbook();
    testsupport::runStatements(live, {"CREATE TABLE KS (KONTO TEXT, WN REAL)", "INSERT INTO KS VALUES ('201', 10), ('202', 5)"});
    testsupport::runStatements("Driver={SQLite3};Database=" + serverFolder + "/TelmNetServerCalculation.mdb;",
                               {"INSERT INTO SCTable3 VALUES ('Ledger,Wn/201', 777)"});
    startWith("ServerCalculation=1", "[Measure Ledger]\nType=ODBC2,SERVERCALCULATION\nGetDataArguments=Expr\n"
                                     "ConnectionText=" + live + "\nQueryText=Expr,FROM KS WHERE KONTO LIKE '{konto}'\n"
                                     "[Measure Plain]\nType=ODBC2\nGetDataArguments=Expr\n"
                                     "ConnectionText=" + live + "\nQueryText=Expr,FROM KS WHERE KONTO LIKE '{konto}'\n");
    sheet->range("A1")->setFormula("=GETDATA(\"Ledger\",\"Wn/201\")");
    sheet->range("A2")->setFormula("=GETDATA(\"Ledger\",\"Wn/202\")");
    sheet->range("A3")->setFormula("=GETDATA(\"Plain\",\"Wn/201\")");
    app->calculate();
    EXPECT_EQ(sheet->range("A1")->value(), Variant(777.0));  // the server's value
    EXPECT_EQ(sheet->range("A2")->value(), Variant(5.0));    // not computed there yet: queried live
    EXPECT_EQ(sheet->range("A3")->value(), Variant(10.0));   // a variable without the permission
    auto out = requests();
    EXPECT_GT(rowWith(out, "Ledger,Wn/201"), 1);
    EXPECT_GT(rowWith(out, "Ledger,Wn/202"), 1);
    EXPECT_EQ(rowWith(out, "Plain,Wn/201"), 0);
}
