// Pivot tables as the wizards meet them: a pivot table over a cube and its reference formulas, the
// reference taken into a cell by pointing and converted into GETDATAOLAP a second later, subtotals
// switched off, and an offline cube built from the pivot tables over a query.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/A_Languages.h"
#include "host/ado/PivotRefresh.h"
#include "host/base/TextFile.h"
#include "host/files/XlsxStore.h"
#include "host/olap/CubeBuilder.h"
#include "host/sheet/Workbook.h"
#include "support/PrintVariant.h"
#include "support/SqlCells.h"

using namespace telm;
using host::Variant;
using host::sheet::PivotFieldOrientation;
using host::sheet::PivotTable;

namespace {

struct PivotWizards : ::testing::Test, testsupport::AddInHost {
    std::string database = folder.file("sales.db");
    std::string odbc = "Driver={SQLite3};Database=" + database + ";";
    std::string cube = folder.file("sales.cub");
    host::sheet::WorkbookPtr book;
    host::sheet::WorksheetPtr sheet;

    PivotWizards() {
        testsupport::runStatements(odbc, {"CREATE TABLE sales (region TEXT, year INTEGER, amount REAL)",
                                          "INSERT INTO sales VALUES ('Północ', 2023, 5), ('Północ', 2024, 7), "
                                          "('Zachód', 2023, 11), ('Zachód', 2024, 13), ('Zachód', 2024, 17)"});
        host::olap::buildCube("Provider=MSOLAP;Location=" + cube + ";SOURCE_DSN=\"" + odbc +
                              "\";CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All] TYPE ALL, "
                              "LEVEL [Region], MEASURE [Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Sales] "
                              "([Region].[Region], [Measures].[Amount]) SELECT region, amount FROM sales");
        host::files::attachWorkbookStore(*app);
        start();
        book = app->workbooks().add();
        sheet = book->sheet(1);
        dialogs.reset();
    }

    std::shared_ptr<PivotTable> cubePivot(int top = 3) {
        auto table = std::make_shared<PivotTable>();
        table->connection = "OLEDB;Provider=MSOLAP;Data Source=" + cube + ";Initial Catalog=";
        table->commandText = "Sales";
        table->topRow = top;
        table->fields = {{"[Region].[Region]", PivotFieldOrientation::Row}, {"[Measures].[Amount]", PivotFieldOrientation::Data}};
        sheet->pivotTables().push_back(table);
        host::ado::refreshPivotTable(*sheet, *table);
        return table;
    }
    std::shared_ptr<PivotTable> queryPivot(const host::sheet::WorksheetPtr& on, std::vector<std::string> rows) {
        auto table = std::make_shared<PivotTable>();
        table->connection = "ODBC;" + odbc;
        table->commandText = "SELECT region, year, amount FROM sales";
        table->topRow = 3;
        for (auto& r : rows) table->fields.push_back({r, PivotFieldOrientation::Row});
        table->fields.push_back({"amount", PivotFieldOrientation::Data});
        on->pivotTables().push_back(table);
        host::ado::refreshPivotTable(*on, *table);
        return table;
    }
    std::vector<std::string> prompts() const {
        std::vector<std::string> out;
        for (const auto& d : dialogs.record()) out.push_back(d.prompt);
        return out;
    }
};

}  // namespace

TEST_F(PivotWizards, APivotTableOverACubeAndItsReferenceFormulas) {
    auto table = cubePivot();
    EXPECT_EQ(sheet->range("A3")->value(), Variant("Region"));
    EXPECT_EQ(sheet->range("B3")->value(), Variant("Amount"));
    EXPECT_EQ(sheet->range("A4")->value(), Variant("Północ"));
    EXPECT_EQ(sheet->range("B5")->value(), Variant(41.0));
    EXPECT_EQ(sheet->range("A6")->value(), Variant("Grand Total"));
    EXPECT_EQ(sheet->range("B6")->value(), Variant(53.0));
    EXPECT_EQ(table->pivotReferenceFormula(4, 2),
              "=GETPIVOTDATA(\"[Measures].[Amount]\",$A$3,\"[Region].[Region]\",\"[Region].[Północ]\")");
    EXPECT_EQ(table->pivotReferenceFormula(6, 2), "=GETPIVOTDATA(\"[Measures].[Amount]\",$A$3)");
    EXPECT_FALSE(table->pivotReferenceFormula(4, 1));
    sheet->range("D1")->setFormula(*table->pivotReferenceFormula(5, 2));
    EXPECT_EQ(sheet->range("D1")->value(), Variant(41.0));
    sheet->range("D2")->setFormula("=GETPIVOTDATA(\"[Measures].[Amount]\",$A$3,\"[Region].[Region]\",\"[Region].[Wschód]\")");
    EXPECT_EQ(sheet->range("D2")->value(), Variant(host::CellError::Ref));
}

TEST_F(PivotWizards, PointingAtAPivotCellGivesAGetDataOlapFormulaASecondLater) {
    cubePivot();
    sheet->range("E2")->select();
    dialogs.answerInput("B5");
    app->run("WizardGetdataOLAP");
    EXPECT_EQ(sheet->range("E2")->formula().toString().rfind("=GETPIVOTDATA(", 0), 0u);
    EXPECT_EQ(sheet->range("E2")->value(), Variant(41.0));
    ASSERT_EQ(app->scheduledMacros().size(), 1u);
    EXPECT_EQ(app->scheduledMacros()[0].procedure, "GetPivotData2GetDataOlap");
    sheet->range("A1")->select();
    app->runDueMacros(true);
    EXPECT_EQ(sheet->range("E2")->formula(),
              Variant("=GETDATAOLAP(\"" + cube + "\",\"\",\"Sales\",\"[Measures].[Amount]\",\"[Region].[Zachód]\")"));
    EXPECT_EQ(sheet->range("E2")->value(), Variant(41.0));
}

TEST_F(PivotWizards, APivotTableWithoutACubeCannotBeConverted) {
    queryPivot(sheet, {"region"});
    sheet->range("E2")->select();
    dialogs.answerInput("B4").answerMessage(host::ui::vbOK);
    app->run("WizardGetdataOLAP");
    EXPECT_EQ(sheet->range("E2")->value(), Variant(12.0));
    app->runDueMacros(true);
    EXPECT_EQ(prompts().back(), GetMessageText(109));
    EXPECT_EQ(sheet->range("E2")->formula().toString().rfind("=GETPIVOTDATA(", 0), 0u);
}

TEST_F(PivotWizards, SubtotalsOfOuterFieldsAndSwitchingThemOff) {
    queryPivot(sheet, {"region", "year"});
    // Północ 2023, Północ 2024, Północ Total, Zachód 2023, Zachód 2024, Zachód Total, Grand Total.
    EXPECT_EQ(sheet->range("A4")->value(), Variant("Północ"));
    EXPECT_EQ(sheet->range("A6")->value(), Variant("Północ Total"));
    EXPECT_EQ(sheet->range("C6")->value(), Variant(12.0));
    EXPECT_EQ(sheet->range("C8")->value(), Variant(30.0));
    EXPECT_EQ(sheet->range("C10")->value(), Variant(53.0));
    app->run("ClearFieldSums");
    EXPECT_EQ(sheet->range("A6")->value(), Variant("Zachód"));
    EXPECT_EQ(sheet->range("A8")->value(), Variant("Grand Total"));
    EXPECT_EQ(sheet->range("C8")->value(), Variant(53.0));
    EXPECT_TRUE(sheet->range("A10")->value().isEmpty());
}

TEST_F(PivotWizards, AnOfflineCubeFromThePivotTablesOverTheQuery) {
    // Unsaved: message 1008; no "Query" sheet: message 149.
    app->run("CubeWizard");
    book->saveAs(folder.file("Report.xlsx"));
    app->run("CubeWizard");
    EXPECT_EQ(prompts(), (std::vector<std::string>{GetMessageText(1008), GetMessageText(149)}));

    auto query = book->addSheet(nullptr, sheet, "Query");
    auto table = std::make_shared<host::sheet::QueryTable>();
    table->connection = "ODBC;" + odbc;
    table->commandText = "SELECT region, year, amount FROM sales WHERE year > 2000";
    table->resultRange = {1, 1, 6, 3};
    query->queryTables().push_back(table);
    queryPivot(sheet, {"region"});
    sheet->activate();
    dialogs.reset();
    dialogs.answerMessage(host::ui::vbYes).answerMessage(host::ui::vbOK).answerMessage(host::ui::vbYes);
    app->run("CubeWizard");
    const std::string queryFile = folder.file("Report.oqy");
    ASSERT_TRUE(std::filesystem::exists(queryFile)) << prompts().size();
    EXPECT_EQ(prompts().at(0), GetMessageText(156));
    EXPECT_EQ(prompts().at(1).rfind(folder.string(), 0), 0u);
    const std::string text = host::readTextFile(queryFile);
    EXPECT_NE(text.find("CommandText=Report\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("WHERE"), std::string::npos) << text;
    EXPECT_TRUE(std::filesystem::exists(folder.file("Report.cub")));

    // The opened query file shows the cube as a pivot table in a new workbook.
    auto opened = app->workbooks().find("Report.oqy");
    ASSERT_TRUE(opened);
    auto shown = opened->sheet(1);
    EXPECT_EQ(shown->range("A4")->value(), Variant("Północ"));
    EXPECT_EQ(shown->range("B5")->value(), Variant(41.0));
    sheet->range("H1")->setFormula("=GETDATAOLAP(\"" + folder.file("Report.cub") + "\",\"\",\"Report\",\"[Measures].[amount]\",\"[region].[Zachód]\")");
    EXPECT_EQ(sheet->range("H1")->value(), Variant(41.0));
}

TEST_F(PivotWizards, APivotCellInAnotherWorkbookIsReferencedThere) {
    cubePivot();
    auto other = app->workbooks().add();
    other->sheet(1)->range("E2")->select();
    dialogs.answerInput("[" + book->name() + "]Sheet1!B5");
    app->run("WizardGetdataOLAP");
    const std::string formula = other->sheet(1)->range("E2")->formula().toString();
    EXPECT_NE(formula.find("[" + book->name() + "]Sheet1"), std::string::npos) << formula;
    EXPECT_EQ(other->sheet(1)->range("E2")->value(), Variant(41.0));
    app->runDueMacros(true);
    EXPECT_EQ(other->sheet(1)->range("E2")->formula(),
              Variant("=GETDATAOLAP(\"" + cube + "\",\"\",\"Sales\",\"[Measures].[Amount]\",\"[Region].[Zachód]\")"));
    EXPECT_EQ(other->sheet(1)->range("E2")->value(), Variant(41.0));
}

TEST_F(PivotWizards, AnOfflineCubeOverAQueryWithoutRowsOpensAsAnEmptyPivotTable) {
    book->saveAs(folder.file("Empty.xlsx"));
    auto query = book->addSheet(nullptr, sheet, "Query");
    auto table = std::make_shared<host::sheet::QueryTable>();
    table->connection = "ODBC;" + odbc;
    table->commandText = "SELECT region, year, amount FROM sales WHERE year > 3000";
    table->resultRange = {1, 1, 1, 3};
    query->queryTables().push_back(table);
    queryPivot(sheet, {"region"});
    sheet->activate();
    dialogs.reset();
    // Keep the WHERE clause, so that the cube has no rows; then build it.
    dialogs.answerMessage(host::ui::vbNo).answerMessage(host::ui::vbOK).answerMessage(host::ui::vbYes);
    app->run("CubeWizard");
    for (const std::string& prompt : prompts()) EXPECT_EQ(prompt.find(GetMessageText(152)), std::string::npos) << prompt;
    auto opened = app->workbooks().find("Empty.oqy");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->sheet(1)->pivotTables().size(), 1u);
    EXPECT_TRUE(opened->sheet(1)->range("B5")->value().isEmpty());
}
