#include <gtest/gtest.h>

#include "support/Errors.h"

#include "host/sheet/Application.h"
#include "host/sheet/Comment.h"
#include "host/sheet/Workbook.h"

using namespace host;
using namespace host::sheet;

using testsupport::errorNumberOf;

namespace {

struct DeleteRowsTest : ::testing::Test {
    ApplicationPtr app = Application::create();
    WorkbookPtr book = app->workbooks().add();
    WorksheetPtr sheet = book->sheet(1);

    Variant at(const char* address) { return sheet->range(address)->value(); }
    Variant formulaAt(const char* address) { return sheet->range(address)->formula(); }
};

}  // namespace

TEST_F(DeleteRowsTest, CellsBelowMoveUpWithTheirFormulasAndComments) {
    sheet->range("A1")->setValue(1.0);
    sheet->range("A2")->setValue(2.0);
    sheet->range("A3")->setFormula("=A2*10");
    sheet->range("A4")->setFormula("=$A$1+100");
    sheet->range("B5")->addComment("note");
    sheet->range("D1")->setValue("gone");  // outside the range's columns, but in its row
    book->saved = true;

    sheet->range("A1:B1")->deleteRows();

    EXPECT_EQ(at("A1"), Variant(2.0));
    EXPECT_EQ(formulaAt("A2"), Variant("=A1*10"));  // relative: still the cell that moved with it
    EXPECT_EQ(at("A2"), Variant(20.0));
    EXPECT_EQ(formulaAt("A3"), Variant("=$A$1+100"));  // absolute: the same address, now holding 2
    EXPECT_EQ(at("A3"), Variant(102.0));
    EXPECT_TRUE(at("D1").isEmpty());
    EXPECT_TRUE(at("A4").isEmpty());
    ASSERT_TRUE(sheet->range("B4")->comment());
    EXPECT_EQ(sheet->range("B4")->comment()->text(), "note");
    EXPECT_EQ(sheet->range("B4")->comment()->row(), 4);
    EXPECT_FALSE(sheet->range("B5")->comment());
    EXPECT_EQ(sheet->formulaCells().size(), 2u);
    EXPECT_FALSE(book->saved);
    EXPECT_EQ(sheet->usedRange()->address(), "$A$1:$B$4");
}

TEST_F(DeleteRowsTest, OtherFormulasKeepTheirReferencesAndRecalculate) {
    for (int r = 1; r <= 6; ++r) sheet->cells(r, 1)->setValue(r * 1.0);
    sheet->range("C1")->setFormula("=A5");
    sheet->range("C2")->setFormula("=SUM(A4:A6)");

    sheet->range("A3:A4")->deleteRows();  // A5, A6 move to A3, A4

    EXPECT_EQ(formulaAt("C1"), Variant("=A5"));  // not adjusted: now an empty cell
    EXPECT_EQ(at("C1"), Variant(0.0));
    EXPECT_EQ(formulaAt("C2"), Variant("=SUM(A4:A6)"));
    EXPECT_EQ(at("C2"), Variant(6.0));
    EXPECT_EQ(at("A3"), Variant(5.0));

    // In manual mode the moved formulas are marked for the next calculation.
    sheet->range("A9")->setValue(7.0);
    sheet->range("A10")->setValue(3.0);
    sheet->range("A11")->setFormula("=$A$9*10");
    app->setCalculation(CalculationMode::Manual);
    sheet->range("A1")->deleteRows();
    EXPECT_EQ(formulaAt("A10"), Variant("=$A$9*10"));
    EXPECT_EQ(at("A10"), Variant(70.0));
    app->calculate();
    EXPECT_EQ(at("A10"), Variant(30.0));
}

TEST_F(DeleteRowsTest, AReferenceLeavingTheSheetBecomesRefError) {
    sheet->range("A1")->setValue(1.0);
    sheet->range("A2")->setFormula("=A1+1");
    sheet->range("A1")->deleteRows();
    EXPECT_EQ(formulaAt("A1"), Variant("=#REF!"));
    EXPECT_EQ(at("A1"), Variant(CellError::Ref));
}

TEST_F(DeleteRowsTest, ArrayFormulasMoveOrGoWhole) {
    sheet->range("A3")->setValue(1.0);
    sheet->range("A4")->setValue(2.0);
    sheet->range("B3:B4")->setFormulaArray("=A3:A4*2");
    sheet->range("C6:C7")->setFormulaArray("=$A$3:$A$4+1");

    // Cutting through an array changes nothing.
    EXPECT_EQ(errorNumberOf([&] { sheet->range("A4")->deleteRows(); }), 1004);
    EXPECT_EQ(errorNumberOf([&] { sheet->range("A5:A6")->deleteRows(); }), 1004);
    EXPECT_EQ(at("A4"), Variant(2.0));
    EXPECT_EQ(at("B4"), Variant(4.0));

    sheet->range("A1")->deleteRows();
    EXPECT_EQ(sheet->range("B2")->formulaArray(), "=A2:A3*2");
    EXPECT_EQ(at("B3"), Variant(4.0));
    EXPECT_EQ(sheet->range("C5")->formulaArray(), "=$A$3:$A$4+1");
    EXPECT_EQ(at("C6"), Variant(1.0));  // A4 is empty now
    EXPECT_FALSE(sheet->range("C7")->hasArray());

    sheet->range("A2:A3")->deleteRows();  // the first array goes whole, the second moves on
    EXPECT_TRUE(at("B2").isEmpty());
    EXPECT_FALSE(sheet->range("B2")->hasArray());
    EXPECT_TRUE(sheet->range("C3")->hasArray());
    EXPECT_TRUE(sheet->range("C4")->hasArray());
    EXPECT_EQ(at("C3"), Variant(1.0));
}
