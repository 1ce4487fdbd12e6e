#include <gtest/gtest.h>

#include "host/MemoryLimit.h"
#include "host/sheet/Application.h"

using namespace host;
using namespace host::sheet;

namespace {

struct RecalcTest : ::testing::Test {
    ApplicationPtr app = Application::create();
    WorkbookPtr book = app->workbooks().add();
    WorksheetPtr sheet = book->sheet(1);

    Variant at(const char* address) { return sheet->range(address)->value(); }
    void put(const char* address, const Variant& v) { sheet->range(address)->setFormula(v); }
};

}  // namespace

TEST_F(RecalcTest, AutomaticModeRecalculatesDependentsInOrder) {
    // Entered out of order: C1 uses B1, which uses A1.
    put("C1", "=B1*10");
    put("B1", "=A1+1");
    put("A1", 2);
    EXPECT_EQ(at("B1"), Variant(3.0));
    EXPECT_EQ(at("C1"), Variant(30.0));
    put("A1", 5);
    EXPECT_EQ(at("C1"), Variant(60.0));
    // A range reference depends on every cell in it.
    put("D1", "=SUM(A1:C1)");
    EXPECT_EQ(at("D1"), Variant(71.0));
    put("A1", "=1");
    EXPECT_EQ(at("D1"), Variant(1.0 + 2.0 + 20.0));
}

TEST_F(RecalcTest, ManualModeWaitsUntilCalculated) {
    put("A1", 1);
    put("B1", "=A1*2");
    app->setCalculation(CalculationMode::Manual);
    put("A1", 4);
    EXPECT_EQ(at("B1"), Variant(2.0));  // still the old result
    put("C1", "=A1+B1");
    EXPECT_TRUE(at("C1").isEmpty());  // entered, not calculated
    app->calculate();
    EXPECT_EQ(at("B1"), Variant(8.0));
    EXPECT_EQ(at("C1"), Variant(12.0));

    put("A1", 10);
    app->setCalculation(CalculationMode::Automatic);  // switching back recalculates
    EXPECT_EQ(at("C1"), Variant(30.0));
}

TEST_F(RecalcTest, SheetAndRangeCalculateOnlyTheirCells) {
    auto other = book->addSheet();
    other->range("A1")->setValue(1);
    other->range("B1")->setFormula("=A1");
    put("A1", "=Sheet2!A1*100");
    app->setCalculation(CalculationMode::Manual);
    other->range("A1")->setValue(7);
    sheet->calculate();  // Sheet1's formula is dirty, Sheet2's B1 stays as it was
    EXPECT_EQ(at("A1"), Variant(700.0));
    EXPECT_EQ(other->range("B1")->value(), Variant(1.0));
    other->range("B1")->calculate();
    EXPECT_EQ(other->range("B1")->value(), Variant(7.0));
    other->range("A1")->setValue(9);
    other->range("B1:B1048576")->calculate();  // more cells than formulas: found from the formulas
    EXPECT_EQ(other->range("B1")->value(), Variant(9.0));
}

TEST_F(RecalcTest, VolatileCellsRecalculateEveryTime) {
    int calls = 0;
    app->registerFunction("COUNTER", [&](std::vector<Variant>&) {
        app->markVolatile();
        return Variant(static_cast<double>(++calls));
    });
    int plainCalls = 0;
    app->registerFunction("PLAIN", [&](std::vector<Variant>&) { return Variant(static_cast<double>(++plainCalls)); });
    put("A1", "=COUNTER()");
    put("A2", "=A1*2");
    put("B1", "=PLAIN()");
    const int afterEntry = calls;
    app->calculate();
    EXPECT_EQ(calls, afterEntry + 1);
    EXPECT_EQ(at("A2"), Variant(2.0 * calls));  // dependents of a volatile cell follow it
    EXPECT_EQ(plainCalls, 1);                    // a cell that is not volatile is not recalculated
    sheet->calculate();
    EXPECT_EQ(calls, afterEntry + 2);
}

TEST_F(RecalcTest, IndependentCellsCalculateRowByRow) {
    std::vector<std::string> order;
    app->registerFunction("TRACE", [&](std::vector<Variant>&) {
        app->markVolatile();
        order.push_back(asRange(app->caller())->address(false, false));
        return Variant(1.0);
    });
    app->setCalculation(CalculationMode::Manual);
    for (const char* address : {"B7", "A900", "C2", "A7", "B1", "A3000", "Z5"}) put(address, "=TRACE()");
    order.clear();
    app->calculate();
    EXPECT_EQ(order, (std::vector<std::string>{"B1", "C2", "Z5", "A7", "B7", "A900", "A3000"}));
}

TEST_F(RecalcTest, CallerIsTheCallingCellOrArray) {
    std::vector<std::string> seen;
    app->registerFunction("WHERE", [&](std::vector<Variant>&) {
        auto caller = asRange(app->caller());
        seen.push_back(caller ? caller->address() : "none");
        return Variant(caller ? static_cast<double>(caller->count()) : -1.0);
    });
    put("B2", "=WHERE()");
    sheet->range("D1:D3")->setFormulaArray("=WHERE()");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "$B$2");
    EXPECT_EQ(seen[1], "$D$1:$D$3");
    EXPECT_EQ(at("D3"), Variant(3.0));  // a single value fills the whole array
    EXPECT_TRUE(app->caller().isError());  // outside a formula
}

TEST_F(RecalcTest, ArrayFormulaSpreadsAndPadsWithNA) {
    sheet->range("A1:C2")->setFormulaArray("={1,2;3,4}");
    EXPECT_EQ(at("B2"), Variant(4.0));
    EXPECT_EQ(at("C1"), Variant(CellError::NA));
    EXPECT_EQ(sheet->range("C2")->formula(), Variant("={1,2;3,4}"));
    EXPECT_THROW(sheet->range("B2")->setValue(5), RuntimeError);  // part of an array
    sheet->range("A1:C2")->clearContents();
    EXPECT_EQ(sheet->range("A1:C2")->hasFormula(), Variant(false));
}

TEST_F(RecalcTest, UserFunctionsGetRangesValuesAndMissing) {
    std::vector<std::string> kinds;
    app->registerFunction("KINDS", [&](std::vector<Variant>& args) {
        for (const auto& a : args) kinds.push_back(a.isMissing() ? "missing" : typeName(a));
        return Variant("ok");
    });
    put("A1", 3);
    put("B1", "=KINDS(A1, A1:A2, 1+1, , \"x\")");
    EXPECT_EQ(at("B1"), Variant("ok"));
    EXPECT_EQ(kinds, (std::vector<std::string>{"Range", "Range", "Double", "missing", "String"}));
}

TEST_F(RecalcTest, CircularReferencesEndWithAnErrorValue) {
    put("A1", "=B1+1");
    put("B1", "=A1+1");
    put("C1", "=A1");
    put("D1", "=D1");
    EXPECT_EQ(at("A1"), Variant(CellError::Ref));
    EXPECT_EQ(at("B1"), Variant(CellError::Ref));
    EXPECT_EQ(at("C1"), Variant(CellError::Ref));  // the error flows on to dependents
    EXPECT_EQ(at("D1"), Variant(CellError::Ref));
    put("B1", 1);  // breaking the cycle recovers
    EXPECT_EQ(at("C1"), Variant(2.0));
}

TEST_F(RecalcTest, LongChainsDoNotExhaustTheStack) {
    app->setCalculation(CalculationMode::Manual);
    put("A1", 1);
    for (int r = 2; r <= 20000; ++r) sheet->cells(r, 1)->setFormula("=A" + std::to_string(r - 1) + "+1");
    app->calculate();
    EXPECT_EQ(sheet->cells(20000, 1)->value(), Variant(20000.0));
}

TEST_F(RecalcTest, ExternalReferencesToOpenWorkbooks) {
    auto other = app->workbooks().add();
    other->sheet(1)->setName("Data Sheet");
    other->sheet(1)->range("B2")->setValue(42);
    put("A1", "='[" + other->name() + "]Data Sheet'!B2 + 1");
    EXPECT_EQ(at("A1"), Variant(43.0));
    other->sheet(1)->range("B2")->setValue(1);
    EXPECT_EQ(at("A1"), Variant(2.0));
    EXPECT_EQ(app->executeExcel4Macro("'[" + other->name() + "]Data Sheet'!R2C2"), Variant(1.0));
    // A workbook that is not open and no file layer to read it: #REF!.
    put("A2", "='/tmp/x/[Missing.xlsx]Sheet1'!A1");
    EXPECT_EQ(at("A2"), Variant(CellError::Ref));
    // Without any workbook open, a name is looked up in a scratch workbook that has none.
    auto bare = Application::create();
    EXPECT_EQ(bare->executeExcel4Macro("x"), Variant(CellError::Name));
}

TEST_F(RecalcTest, EventsReachHandlers) {
    std::vector<std::string> events;
    app->addSheetChangeHandler([&](const WorksheetPtr& s, const RangePtr& r) { events.push_back("change " + s->name() + r->address()); });
    app->addSheetCalculateHandler([&](const WorksheetPtr& s) { events.push_back("calculate " + s->name()); });
    app->addWorkbookActivateHandler([&](const WorkbookPtr& b) { events.push_back("activate " + b->name()); });
    put("A1", 1);
    put("A2", "=A1");
    auto second = app->workbooks().add();
    book->activate();
    EXPECT_EQ(events, (std::vector<std::string>{"change Sheet1$A$1", "calculate Sheet1", "change Sheet1$A$2",
                                                "activate " + second->name(), "activate " + book->name()}));
    app->enableEvents = false;
    put("A1", 2);
    EXPECT_EQ(events.size(), 5u);
}

TEST_F(RecalcTest, DependentsAndPrecedents) {
    put("A1", 1);
    put("B1", "=A1");
    put("C1", "=B1+A1");
    put("D5", "=SUM(C1:C2)");
    EXPECT_EQ(sheet->range("A1")->dependents()->address(), "$B$1,$C$1,$D$5");
    EXPECT_EQ(sheet->range("D5")->precedents()->address(), "$C$1:$C$2,$B$1,$A$1");
    EXPECT_THROW(sheet->range("D5")->dependents(), RuntimeError);
}

TEST_F(RecalcTest, KeptCalculationOrderFollowsChangedFormulas) {
    app->setCalculation(CalculationMode::Manual);
    put("A1", 1);
    put("B1", "=A1+1");
    put("C1", "=B1*2");
    app->calculateFull();
    EXPECT_EQ(at("C1"), Variant(4.0));
    // The dependency turns around: B1 now reads C1, which reads A1.
    put("C1", "=A1*10");
    put("B1", "=C1+1");
    app->calculateFull();
    EXPECT_EQ(at("B1"), Variant(11.0));
    // A formula added inside a range another formula reads comes before it.
    put("D1", "=SUM(A2:A4)");
    put("A3", "=C1*3");
    app->calculateFull();
    EXPECT_EQ(at("D1"), Variant(30.0));
    put("A1", 2);
    app->calculateFull();
    EXPECT_EQ(at("D1"), Variant(60.0));
    EXPECT_EQ(at("B1"), Variant(21.0));
}

TEST_F(RecalcTest, FunctionClearingCellsWhileCalculating) {
    // A user function that clears formula cells calculated after it, so that the sheet drops them.
    app->registerFunction("CLEARROW", [this](std::vector<Variant>&) {
        sheet->range("A3:C3")->clearContents();
        return Variant(1.0);
    });
    app->setCalculation(CalculationMode::Manual);
    for (int r = 2; r <= 4; ++r)
        for (int c = 1; c <= 3; ++c) sheet->cells(r, c)->setFormula("=" + std::to_string(r * 10 + c) + "+0");
    put("A1", "=CLEARROW()");
    app->calculateFull();
    app->calculateFull();
    EXPECT_EQ(at("A1"), Variant(1.0));
    EXPECT_EQ(sheet->range("B3")->hasFormula(), Variant(false));
    EXPECT_EQ(at("C4"), Variant(43.0));
}

TEST_F(RecalcTest, SheetNamesMatchInAnyLetterCase) {
    auto other = book->addSheet();
    other->setName("Łódź Dane");
    other->range("A1")->setValue(5);
    put("A1", "='łÓDŹ dane'!A1*2");
    put("A2", "='ŁÓDŹ DANE'!A1+SHEET1!A1");
    EXPECT_EQ(at("A1"), Variant(10.0));
    EXPECT_EQ(at("A2"), Variant(15.0));
    other->range("A1")->setValue(1);
    EXPECT_EQ(at("A2"), Variant(3.0));
}

TEST_F(RecalcTest, IdenticalColumnAggregatesFollowCellsWrittenDuringTheCalculation) {
    app->setCalculation(CalculationMode::Manual);
    for (int r = 1; r <= 2000; ++r) sheet->cells(r, 1)->setValue(1.0);
    // A1500 is a formula calculated in the same pass as the sums below it in the order.
    put("C1", 5);
    put("A1500", "=C1*2");
    for (int r = 1; r <= 3; ++r) sheet->cells(r, 2)->setFormula("=SUM(A:A)");
    put("D1", "=MAX(A:A)");
    put("D2", "=COUNT(A:A)");
    put("D3", "=AVERAGE(A1:A2000)");
    app->calculateFull();
    EXPECT_EQ(at("B1"), Variant(1999.0 + 10));
    EXPECT_EQ(at("B3"), Variant(1999.0 + 10));
    EXPECT_EQ(at("D1"), Variant(10.0));
    EXPECT_EQ(at("D2"), Variant(2000.0));
    EXPECT_EQ(at("D3"), Variant((1999.0 + 10) / 2000));
    put("C1", 50);
    app->calculate();
    EXPECT_EQ(at("B2"), Variant(1999.0 + 100));
    EXPECT_EQ(at("D1"), Variant(100.0));

    // A function writing into the column between two identical sums: the later one sees the write.
    app->registerFunction("SETA5", [this](std::vector<Variant>&) {
        sheet->range("A5")->setValue(1001.0);
        return Variant(0.0);
    });
    put("E1", "=SUM(A1:A2000)");
    put("E2", "=SETA5()");
    put("E3", "=SUM(A1:A2000)");
    app->calculateFull();
    EXPECT_EQ(at("E3"), Variant(1999.0 + 100 + 1000));

    // The same area of another sheet is another range.
    auto other = book->addSheet();
    for (int r = 1; r <= 2000; ++r) other->cells(r, 1)->setValue(3.0);
    other->range("B1")->setFormula("=SUM(A:A)");
    put("E4", "=SUM(" + other->name() + "!A:A)");
    app->calculateFull();
    EXPECT_EQ(other->range("B1")->value(), Variant(6000.0));
    EXPECT_EQ(at("E4"), Variant(6000.0));
}

TEST_F(RecalcTest, ColumnAggregatesReadCellsRowByRowWithValue2) {
    // Entered bottom-up: the sum still adds row by row, which decides the rounding (1e16 + 1 is 1e16).
    put("A3", -1e16);
    put("A2", 1);
    put("A1", 1e16);
    put("B1", "=SUM(A:A)");
    EXPECT_EQ(at("B1"), Variant(0.0));
    // Dates and currencies count as their numbers, also across many runs of values; an error is the
    // result.
    for (int r = 1; r <= 1500; ++r) sheet->cells(r, 3)->setValue(Date{2.0});
    put("D1", "=SUM(C:C)");
    put("D2", "=COUNT(C1:C1500)");
    EXPECT_EQ(at("D1"), Variant(3000.0));
    EXPECT_EQ(at("D2"), Variant(1500.0));
    put("C700", "=1/0");
    EXPECT_EQ(at("D1"), Variant(CellError::Div0));
}

TEST_F(RecalcTest, AuditOfAColumnReadingAllRowsBelow) {
    // Each row takes the MAX of the rows below it: the walks stay in proportion to the formulas.
    app->setCalculation(CalculationMode::Manual);
    auto fill = [](Worksheet& s, int rows) {
        s.cells(rows, 1)->setValue(1.0);
        for (int r = rows - 1; r >= 1; --r)  // bottom-up: each formula entered finds no dependents yet
            s.cells(r, 1)->setFormula("=MAX(A" + std::to_string(r + 1) + ":A$" + std::to_string(rows) + ")+1");
    };
    fill(*sheet, 4);
    EXPECT_EQ(sheet->range("A1")->precedents()->address(), "$A$2:$A$4,$A$3:$A$4,$A$4");
    EXPECT_EQ(sheet->range("A4")->dependents()->address(), "$A$3,$A$2,$A$1");
    EXPECT_EQ(sheet->range("A3")->dependents()->address(), "$A$2,$A$1");

    const int rows = 3000;
    auto big = book->addSheet();
    fill(*big, rows);
    const std::string limited = memtest::runWithMemoryLimit(30, [&]() -> std::string {
        const auto dependents = big->cells(rows, 1)->dependents();
        const auto precedents = big->cells(1, 1)->precedents();
        if (dependents->areas().size() != rows - 1) return "dependents: " + std::to_string(dependents->areas().size());
        if (precedents->areas().size() != rows - 1) return "precedents: " + std::to_string(precedents->areas().size());
        return "";
    });
    EXPECT_EQ(limited, "");
}

TEST_F(RecalcTest, ChangedInputsCalculateSheetBySheetRowByRowWhateverTheEntryOrder) {
    std::vector<std::string> order;
    app->registerFunction("TRACE", [&](std::vector<Variant>& arguments) {
        auto caller = asRange(app->caller());
        order.push_back(caller->parent()->name() + "!" + caller->address(false, false));
        return arguments.at(0);
    });
    app->setCalculation(CalculationMode::Manual);
    auto other = book->addSheet();
    // Entered sheet 2 first, rows out of order; B2 reads C5 further down.
    other->range("A2")->setFormula("=TRACE(Sheet1!Z1)");
    put("C5", "=TRACE(Z1)");
    put("A9", "=TRACE(Z1)");
    put("B2", "=TRACE(C5)+1");
    other->range("A1")->setFormula("=TRACE(Sheet1!Z1)*2");
    put("A9", "=TRACE(Z1)+0");  // replaced: the new formula takes another place
    put("Z1", 1);
    app->calculateFull();
    const std::vector<std::string> expected{"Sheet1!C5", "Sheet1!B2", "Sheet1!A9", "Sheet2!A1", "Sheet2!A2"};
    for (double input : {2.0, 3.0}) {
        order.clear();
        put("Z1", input);
        app->calculate();
        EXPECT_EQ(order, expected);
        EXPECT_EQ(at("B2"), Variant(input + 1));
        EXPECT_EQ(other->range("A1")->value(), Variant(input * 2));
    }
    // Calculated once, nothing stays dirty.
    order.clear();
    app->calculate();
    EXPECT_TRUE(order.empty());
}

TEST_F(RecalcTest, CellReadThroughTwoPathsCalculatesOncePerChange) {
    int calls = 0;
    app->registerFunction("COUNTED", [&](std::vector<Variant>& arguments) {
        ++calls;
        return arguments.at(0);
    });
    put("A1", 1);
    put("B1", "=A1+1");
    put("C1", "=A1*2");
    put("D1", "=COUNTED(B1+C1)");
    put("E1", "=D1+B1");
    calls = 0;
    put("A1", 5);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(at("D1"), Variant(16.0));
    EXPECT_EQ(at("E1"), Variant(22.0));
    app->calculate();
    EXPECT_EQ(calls, 1);
}

TEST_F(RecalcTest, PendingChangesSurviveNewSheetsDeletedRowsAndRemovedSheets) {
    app->setCalculation(CalculationMode::Manual);
    put("A1", 1);
    put("B1", "=A1*100");
    put("A8", 4);
    put("B8", "=A8*2");
    auto other = book->addSheet();
    other->range("A1")->setFormula("=Sheet1!A1+1");
    app->calculateFull();

    put("A1", 3);
    put("A8", 5);
    auto added = book->addSheet();  // the dependencies are read again
    app->calculate();
    EXPECT_EQ(at("B1"), Variant(300.0));
    EXPECT_EQ(at("B8"), Variant(10.0));
    EXPECT_EQ(other->range("A1")->value(), Variant(4.0));

    // Rows removed below a formula waiting to be calculated; the formula moved up is calculated too.
    put("A1", 6);
    sheet->range("A4")->deleteRows();
    app->calculate();
    EXPECT_EQ(at("B1"), Variant(600.0));
    EXPECT_EQ(at("B7"), Variant(10.0));

    // A removed sheet's formulas waiting to be calculated are left alone.
    put("A1", 7);
    other->remove();
    other.reset();
    added->range("A1")->setFormula("=Sheet1!B1+1");
    app->calculate();
    EXPECT_EQ(added->range("A1")->value(), Variant(701.0));
    EXPECT_EQ(at("B1"), Variant(700.0));
}

TEST_F(RecalcTest, FormulaReadsACellItsFunctionDroppedMeanwhile) {
    app->registerFunction("CLEARB2", [this](std::vector<Variant>&) {
        sheet->range("B2")->clearContents();
        return Variant(1.0);
    });
    app->setCalculation(CalculationMode::Manual);
    put("B2", "=7+0");
    put("C2", "=CLEARB2()+B2");
    app->calculateFull();
    EXPECT_EQ(at("C2"), Variant(1.0));
    EXPECT_EQ(sheet->range("B2")->hasFormula(), Variant(false));
}

TEST_F(RecalcTest, PlainFormulasOfEveryOperandKindGiveWhatTheGeneralEvaluationGives) {
    // Operands of every kind in column A; each formula of column B reads them directly (the cells'
    // values read in place), the same formula in column C reads them through parentheses (copied).
    app->setCalculation(CalculationMode::Manual);
    const std::vector<Variant> operands = {2.5,      Variant(Date{45000.25}), Currency::fromDouble(1.5), "7",  "abc",
                                           true,     Variant(),               1e308,                     0.0,  -3.0};
    const char* shapes[] = {"A{}+1", "A{}*A{}", "1/A{}", "A{}-A{}", "A{}&\"x\"", "A{}>0", "-A{}", "A{}%", "A{}^2", "A{}+A{}"};
    auto spell = [](std::string shape, const std::string& ref) {
        for (std::size_t p; (p = shape.find("A{}")) != std::string::npos;) shape.replace(p, 3, ref);
        return shape;
    };
    const int n = static_cast<int>(operands.size());
    for (int i = 0; i < n; ++i) sheet->cells(i + 1, 1)->setValue(operands[i]);
    sheet->cells(n + 1, 1)->setFormula("=1/0");  // an error value
    int row = 1;
    for (const char* shape : shapes)
        for (int i = 1; i <= n + 1; ++i, ++row) {
            sheet->cells(row, 2)->setFormula("=" + spell(shape, "A" + std::to_string(i)));
            sheet->cells(row, 3)->setFormula("=" + spell(shape, "(A" + std::to_string(i) + ")"));
        }
    app->calculateFull();
    for (int r = 1; r < row; ++r) {
        const Variant direct = sheet->cells(r, 2)->value(), copied = sheet->cells(r, 3)->value();
        EXPECT_EQ(direct, copied) << sheet->cells(r, 2)->formula().stringValue();
        EXPECT_EQ(direct.type(), copied.type()) << sheet->cells(r, 2)->formula().stringValue();
    }
    // A few by their values: dates and amounts as plain numbers, texts converted, errors passed on.
    EXPECT_EQ(sheet->range("B2")->value(), Variant(45001.25));
    EXPECT_EQ(sheet->range("B3")->value(), Variant(2.5));
    EXPECT_EQ(sheet->range("B4")->value(), Variant(8.0));
    EXPECT_EQ(sheet->range("B5")->value(), Variant(CellError::Value));
    EXPECT_EQ(sheet->range("B7")->value(), Variant(1.0));
    EXPECT_EQ(sheet->range("B11")->value(), Variant(CellError::Div0));
    EXPECT_EQ(sheet->range("B19")->value(), Variant(CellError::Num));        // 1e308*1e308
    EXPECT_EQ(sheet->range("B31")->value(), Variant(CellError::Div0));       // 1/0
    EXPECT_EQ(sheet->range("B45")->value(), Variant("2.5x"));
    // The last sum or difference of a formula at 15 significant digits; a chain of references.
    put("D1", 0.1);
    put("D2", 0.2);
    put("D3", 0.3);
    put("E1", "=D1+D2-D3");
    put("E2", "=E1+D1*10-D2/D1");
    app->calculateFull();
    EXPECT_EQ(at("E1"), Variant(0.0));
    EXPECT_EQ(at("E2"), Variant(-1.0));
    put("D4", "=D1+D2");  // 0.30000000000000004
    put("E4", "=D3-D4");
    put("E5", "=D4-0.3");
    app->calculateFull();
    EXPECT_EQ(at("E4"), Variant(0.0));
    EXPECT_EQ(at("E5"), Variant(0.0));
}

TEST_F(RecalcTest, FormulaReadsItsOperandBeforeItsFunctionChangesIt) {
    // The left operand is read before the function runs, also when the function rewrites the cell
    // and makes the sheet store more cells.
    app->registerFunction("REWRITE", [this](std::vector<Variant>&) {
        put("A1", 100);
        for (int r = 1; r <= 2000; ++r) sheet->cells(r, 9)->setValue(r);
        return Variant(1.0);
    });
    app->setCalculation(CalculationMode::Manual);
    put("A1", 5);
    put("B1", "=A1+REWRITE()");
    app->calculateFull();
    EXPECT_EQ(at("B1"), Variant(6.0));
    EXPECT_EQ(at("A1"), Variant(100));
}
