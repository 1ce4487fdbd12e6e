// The platform pieces the general commands stand on: the clipboard's paste of values, tables with a
// name, a workbook's links, the edit line played by keystrokes, a value as a constant formula.

#include <gtest/gtest.h>

#include "support/Errors.h"

#include "host/formula/Formula.h"
#include "host/sheet/Application.h"
#include "host/sheet/ListObjects.h"
#include "host/sheet/WorkbookLinks.h"

using namespace host;
using namespace host::sheet;

using testsupport::errorNumberOf;

namespace {

struct CommandPlatform : ::testing::Test {
    ApplicationPtr app = Application::create();
    WorkbookPtr book = app->workbooks().add();
    WorksheetPtr sheet = book->sheet(1);
};

}  // namespace

TEST_F(CommandPlatform, PasteOfValuesTakesWhatTheCopiedCellsShow) {
    EXPECT_EQ(errorNumberOf([&] { sheet->range("A1")->pasteSpecialValues(); }), 1004);  // nothing copied
    sheet->range("A1")->setValue(1.0);
    sheet->range("A2")->setFormula("=A1+1");
    sheet->range("C1")->setFormula("=B1*10");
    // Overlapping source and target: the values are taken before anything is written.
    sheet->range("A1:A2")->copy();
    sheet->range("B1:B2")->select();
    sheet->range("A2")->pasteSpecialValues();
    EXPECT_EQ(sheet->range("A2")->value(), Variant(1.0));
    EXPECT_EQ(sheet->range("A3")->value(), Variant(2.0));
    EXPECT_EQ(sheet->range("A2")->hasFormula(), Variant(false));
    // Pasted values recalculate what depends on them.
    sheet->range("A2:A3")->copy();
    sheet->range("B1")->pasteSpecialValues();
    EXPECT_EQ(sheet->range("C1")->value(), Variant(10.0));
    // A target that is not a multiple takes the copy once; several copied areas are refused.
    sheet->range("E1:E3")->pasteSpecialValues();
    EXPECT_TRUE(sheet->range("E3")->value().isEmpty());
    EXPECT_EQ(sheet->range("E2")->value(), Variant(2.0));
    sheet->range("A1,C1")->copy();
    EXPECT_EQ(errorNumberOf([&] { sheet->range("F1")->pasteSpecialValues(); }), 1004);
    // A whole column copied and pasted touches only the cells that hold something.
    sheet->range("A:A")->copy();
    sheet->range("H1")->pasteSpecialValues();
    EXPECT_EQ(sheet->range("H3")->value(), Variant(2.0));
    EXPECT_LT(sheet->allCells().size(), 20u);
    // Pasting over part of an array formula is refused.
    sheet->range("K1:K2")->setFormulaArray("={1;2}");
    sheet->range("A1")->copy();
    EXPECT_EQ(errorNumberOf([&] { sheet->range("K2")->pasteSpecialValues(); }), 1004);
}

TEST_F(CommandPlatform, TablesHaveWorkbookWideNames) {
    auto& tables = sheet->listObjects();
    auto first = tables.add(sheet->range("A1:B3"));
    EXPECT_EQ(first->name(), "Table1");
    EXPECT_EQ(errorNumberOf([&] { tables.add(sheet->range("B2:C4")); }), 1004);  // overlaps
    first->setName("FileRegister");
    EXPECT_EQ(tables.item("fileregister"), first);
    auto other = book->addSheet()->listObjects().add(book->sheet(2)->range("A1:A2"));
    EXPECT_EQ(other->name(), "Table1");
    EXPECT_EQ(errorNumberOf([&] { other->setName("FILEREGISTER"); }), 1004);
    EXPECT_EQ(errorNumberOf([&] { other->setName("B2"); }), 1004);
    EXPECT_EQ(errorNumberOf([&] { other->setName("two words"); }), 1004);
    first->unlist();
    EXPECT_EQ(tables.count(), 0);
    other->setName("FileRegister");
    EXPECT_EQ(other->range()->address(), "$A$1:$A$2");
    EXPECT_EQ(errorNumberOf([&] { tables.item(1); }), 9);
}

TEST_F(CommandPlatform, LinksAreFoundOnceAndChanged) {
    auto second = app->workbooks().add();  // "Book2", open
    sheet->range("A1")->setFormula("='/data/q1/[Sales.xlsx]Sheet1'!A1+[Book2]Sheet1!B2");
    sheet->range("A2")->setFormula("=SUM('\\data\\q1\\[SALES.xlsx]Sheet1'!A1:A3)");
    sheet->range("A3")->setFormula("=[Book1]Sheet1!A1+1");  // itself: no link
    sheet->range("B1:B2")->setFormulaArray("='/data/q1/[Sales.xlsx]Sheet1'!C1:C2");
    EXPECT_EQ(linkSources(*book), (std::vector<std::string>{"/data/q1/Sales.xlsx", "Book2"}));

    EXPECT_EQ(changeLink(*book, "\\DATA\\Q1\\sales.xlsx", "/data/q2/Sales 2.xlsx"), 3);
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("='/data/q2/[Sales 2.xlsx]Sheet1'!A1+[Book2]Sheet1!B2"));
    EXPECT_EQ(sheet->range("A2")->formula(), Variant("=SUM('/data/q2/[Sales 2.xlsx]Sheet1'!A1:A3)"));
    EXPECT_EQ(sheet->range("B2")->formulaArray(), "='/data/q2/[Sales 2.xlsx]Sheet1'!C1:C2");
    EXPECT_EQ(linkSources(*book), (std::vector<std::string>{"/data/q2/Sales 2.xlsx", "Book2"}));
    EXPECT_EQ(changeLink(*book, "/nowhere/x.xlsx", "/y.xlsx"), 0);
    second->close();
}

TEST_F(CommandPlatform, KeysPlayTheEditLine) {
    sheet->range("A1")->setValue(20.0);
    sheet->range("B1")->setFormula("=A1/8");
    std::vector<std::string> shown;
    app->onEditLine = [&](const std::string& text) { shown.push_back(text); };
    sheet->range("B1")->select();
    app->sendKeys("{F9}");  // not editing: nothing
    EXPECT_FALSE(app->editLine());
    app->sendKeys("{f2}");
    app->sendKeys("{F9}x{ESC}");  // a typed character extends the edit line; Esc drops it
    EXPECT_EQ(shown, (std::vector<std::string>{"=A1/8", "=2.5", "=2.5x", ""}));
    EXPECT_FALSE(app->editLine());
    EXPECT_EQ(sheet->range("B1")->formula(), Variant("=A1/8"));  // the cell is not changed
    sheet->range("C1")->select();
    app->sendKeys("{F2}{F9}");  // an empty cell: nothing to evaluate
    EXPECT_EQ(app->editLine(), std::optional<std::string>(""));
    app->sendKeys("{ESC}=B1*2~");  // typed and entered
    EXPECT_EQ(sheet->range("C1")->formula(), Variant("=B1*2"));
    EXPECT_EQ(sheet->range("C1")->value(), Variant(5.0));
    EXPECT_FALSE(app->editLine());
}

TEST(ConstantFormulaText, ValuesAsTheFormulasThatGiveThem) {
    using formula::constantFormulaText;
    EXPECT_EQ(constantFormulaText(3.0), "=3");
    EXPECT_EQ(constantFormulaText("a \"b\""), "=\"a \"\"b\"\"\"");
    EXPECT_EQ(constantFormulaText(true), "=TRUE");
    EXPECT_EQ(constantFormulaText(CellError::NA), "=#N/A");
    Array m = Array::matrix(2, 2);
    m(1, 1) = 1.0, m(1, 2) = "x", m(2, 1) = false, m(2, 2) = CellError::Div0;
    EXPECT_EQ(constantFormulaText(m), "={1,\"x\";FALSE,#DIV/0!}");
    EXPECT_EQ(constantFormulaText(Array::vector({Variant(1.0), Variant(2.0)})), "={1,2}");
}
