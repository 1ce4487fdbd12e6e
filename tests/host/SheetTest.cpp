#include <gtest/gtest.h>

#include "support/Errors.h"

#include "host/base/DateSerial.h"
#include "host/sheet/Application.h"
#include "host/sheet/Comment.h"
#include "host/sheet/CommandBars.h"

using namespace host;
using namespace host::sheet;

using testsupport::errorNumberOf;

namespace {

struct SheetTest : ::testing::Test {
    ApplicationPtr app = Application::create();
    WorkbookPtr book = app->workbooks().add();
    WorksheetPtr sheet = book->sheet(1);
};

}  // namespace

TEST_F(SheetTest, ValuesAreEnteredAsTyped) {
    auto a = sheet->range("A1:A7");
    a->setValue(Array::vector({}));  // nothing: every cell gets #N/A
    EXPECT_EQ(sheet->range("A1")->value(), Variant(CellError::NA));
    sheet->range("A1")->setValue("12.5");
    sheet->range("A2")->setValue("'12.5");
    sheet->range("A3")->setValue("true");
    sheet->range("A4")->setValue("#N/A");
    sheet->range("A5")->setValue("2024-02-29");
    sheet->range("A6")->setValue("=1+1");
    sheet->range("A7")->setValue("15%");
    EXPECT_EQ(sheet->range("A1")->value(), Variant(12.5));
    EXPECT_EQ(sheet->range("A2")->value(), Variant("12.5"));
    EXPECT_EQ(sheet->range("A3")->value(), Variant(true));
    EXPECT_EQ(sheet->range("A4")->value(), Variant(CellError::NA));
    EXPECT_EQ(sheet->range("A5")->value(), Variant(Date{dateSerial(2024, 2, 29)}));
    EXPECT_EQ(sheet->range("A5")->value2(), Variant(dateSerial(2024, 2, 29)));  // Value2 gives dates as numbers
    EXPECT_EQ(sheet->range("A6")->value(), Variant(2.0));
    EXPECT_EQ(sheet->range("A6")->formula(), Variant("=1+1"));
    EXPECT_EQ(sheet->range("A1")->formula(), Variant("12.5"));
    EXPECT_DOUBLE_EQ(sheet->range("A7")->value().toDouble(), 0.15);
}

TEST_F(SheetTest, ArraysFillRangesAndRangesGiveArrays) {
    Array two = Array::matrix(2, 2);
    two(1, 1) = 1;
    two(1, 2) = "b";
    two(2, 1) = true;
    sheet->range("B2:D3")->setValue(two);
    const Variant back = sheet->range("B2:C3")->value();
    ASSERT_TRUE(back.isArray());
    EXPECT_EQ(back.arrayValue()(1, 2), Variant("b"));
    EXPECT_EQ(back.arrayValue()(2, 1), Variant(true));
    EXPECT_TRUE(back.arrayValue()(2, 2).isEmpty());
    EXPECT_EQ(sheet->range("D2")->value(), Variant(CellError::NA));  // beyond the array
    // A one-dimensional array is a row, repeated down the rows.
    sheet->range("F1:G2")->setValue(Array::vector({Variant(1), Variant(2)}));
    EXPECT_EQ(sheet->range("G2")->value(), Variant(2));
}

TEST_F(SheetTest, FormulaOverSeveralCellsMovesReferences) {
    sheet->range("A1:A3")->setValue(Array::vector({Variant(5)}));
    sheet->range("B1:B3")->setFormula("=A1*2");
    EXPECT_EQ(sheet->range("B3")->formula(), Variant("=A3*2"));
    EXPECT_EQ(sheet->range("B3")->formulaR1C1(), Variant("=RC[-1]*2"));
    sheet->range("C2")->setFormulaR1C1("=R[-1]C[-1]+R1C1");
    EXPECT_EQ(sheet->range("C2")->formula(), Variant("=B1+$A$1"));
    EXPECT_EQ(sheet->range("C2")->value(), Variant(15.0));
}

TEST_F(SheetTest, BadFormulasAreRefusedAndChangeNothing) {
    sheet->range("A1")->setValue(1);
    try {
        sheet->range("A1")->setFormula("=SUM(1,2");
        FAIL() << "accepted a formula that does not parse";
    } catch (const formula::FormulaSyntaxError& e) {
        EXPECT_EQ(e.number(), 1004);
        EXPECT_GT(e.position(), 0u);
    }
    EXPECT_EQ(sheet->range("A1")->value(), Variant(1));
    EXPECT_EQ(errorNumberOf([&] { sheet->range("A1048577"); }), 1004);
    EXPECT_EQ(errorNumberOf([&] { sheet->cells(1, 16385); }), 1004);
    EXPECT_EQ(errorNumberOf([&] { sheet->range("not an address"); }), 1004);
}

TEST_F(SheetTest, AddressesAndNavigation) {
    auto r = sheet->range("B2:C4");
    EXPECT_EQ(r->address(), "$B$2:$C$4");
    EXPECT_EQ(r->address(false, false), "B2:C4");
    EXPECT_EQ(r->address(true, true, formula::ReferenceStyle::R1C1), "R2C2:R4C3");
    EXPECT_EQ(r->address(false, false, formula::ReferenceStyle::R1C1, false, sheet->range("A1")), "R[1]C[1]:R[3]C[2]");
    EXPECT_EQ(r->address(true, true, formula::ReferenceStyle::A1, true), "[" + book->name() + "]Sheet1!$B$2:$C$4");
    EXPECT_EQ(r->rowCount(), 3);
    EXPECT_EQ(r->count(), 6);
    EXPECT_EQ(r->cells(2, 2)->address(), "$C$3");
    EXPECT_EQ(r->item(3)->address(), "$B$3");
    EXPECT_EQ(r->offset(1, -1)->address(), "$A$3:$B$5");
    EXPECT_EQ(sheet->range("A1,C3:D3")->cellList().size(), 3u);
    EXPECT_EQ(sheet->range("A1,C3:D3")->cellList()[2]->address(), "$D$3");
    EXPECT_EQ(sheet->range("B2")->entireRow()->address(), "$2:$2");

    sheet->range("B2:C3")->setValue(1);
    sheet->range("D4")->setValue(1);  // touches diagonally
    EXPECT_EQ(sheet->range("B2")->currentRegion()->address(), "$B$2:$D$4");
    EXPECT_EQ(sheet->usedRange()->address(), "$B$2:$D$4");
    EXPECT_EQ(app->intersect(sheet->range("A1:C3"), sheet->range("B2:D4"))->address(), "$B$2:$C$3");
    EXPECT_EQ(app->intersect(sheet->range("A1"), sheet->range("B2")), nullptr);
}

TEST_F(SheetTest, Comments) {
    auto c = sheet->range("B2")->addComment("s(:)conn(:)sql");
    EXPECT_EQ(sheet->range("B2")->comment()->text(), "s(:)conn(:)sql");
    EXPECT_EQ(errorNumberOf([&] { sheet->range("B2")->addComment("again"); }), 1004);
    sheet->range("A1")->addComment("first");
    ASSERT_EQ(sheet->comments().size(), 2u);
    EXPECT_EQ(sheet->comments()[0]->text(), "first");  // row by row
    c->shape()->height = 10;
    EXPECT_EQ(sheet->shapes()[1]->height, 10);
    sheet->range("B2")->clearContents();  // contents only
    EXPECT_NE(sheet->range("B2")->comment(), nullptr);
    sheet->range("A1:B2")->clearComments();
    EXPECT_TRUE(sheet->comments().empty());
}

TEST_F(SheetTest, SheetsAndWorkbooks) {
    auto second = book->addSheet(nullptr, sheet);
    EXPECT_EQ(second->name(), "Sheet2");
    EXPECT_EQ(book->indexOf(*second), 2);
    EXPECT_EQ(errorNumberOf([&] { second->setName("sheet1"); }), 1004);
    EXPECT_EQ(errorNumberOf([&] { second->setName("a/b"); }), 1004);
    second->setName("Sheet1.a");
    second->setVisible(SheetVisibility::Hidden);
    EXPECT_EQ(errorNumberOf([&] { sheet->setVisible(SheetVisibility::VeryHidden); }), 1004);  // last visible one
    EXPECT_EQ(book->sheet("SHEET1.A"), second);
    auto third = book->addSheet();
    auto onThird = third->range("A1");
    third->remove();
    EXPECT_NE(errorNumberOf([&] { onThird->setFormula("=Sheet1!A1"); }), 0);  // the range went with its sheet

    auto addin = std::make_shared<Workbook>(app, "TELM.NET.xla");
    addin->isAddin = true;
    app->workbooks().attach(addin);
    EXPECT_EQ(app->workbooks().count(), 1);
    EXPECT_EQ(app->workbooks().item("telm.net.XLA"), addin);
    EXPECT_EQ(app->activeWorkbook(), book);

    auto r = sheet->range("A1");
    book->close();
    EXPECT_EQ(app->workbooks().count(), 0);
    EXPECT_EQ(app->activeSheet(), nullptr);
    EXPECT_NE(errorNumberOf([&] { r->value(); }), 0);  // the range went with its workbook
}

TEST_F(SheetTest, NamesAndProperties) {
    sheet->range("A1:A2")->setValue(Array::vector({Variant(2)}));
    book->names().add("Prices", "=Sheet1!$A$1:$A$2");
    sheet->range("B1")->setFormula("=SUM(Prices)");
    EXPECT_EQ(sheet->range("B1")->value(), Variant(4.0));
    sheet->range("A1")->setValue(10);
    EXPECT_EQ(sheet->range("B1")->value(), Variant(12.0));  // names are precedents too
    EXPECT_EQ(book->names().item("PRICES")->refersToRange()->address(), "$A$1:$A$2");
    EXPECT_EQ(errorNumberOf([&] { book->names().add("A1", "=1"); }), 1004);

    auto& props = book->customDocumentProperties();
    props.add("TELM.NET.Publ.Path", PropertyType::String, "/tmp/out");
    EXPECT_EQ(props.item("telm.net.publ.path")->value(), Variant("/tmp/out"));
    EXPECT_EQ(errorNumberOf([&] { props.add("TELM.NET.PUBL.PATH", PropertyType::String, "x"); }), 5);
    props.item(1)->remove();
    EXPECT_EQ(props.count(), 0);
}

TEST_F(SheetTest, MacrosTimersAndKeys) {
    std::vector<std::string> ran;
    app->registerMacro("Login", [&](std::vector<Variant>& args) {
        ran.push_back("Login " + (args.empty() ? std::string("-") : args[0].toString()));
        return Variant("done");
    });
    EXPECT_EQ(app->run("'TELM.NET.xla'!login", {Variant("x")}), Variant("done"));
    EXPECT_EQ(errorNumberOf([&] { app->run("Nothing"); }), 1004);
    app->onTime(nowSerial() + 1.0 / 86400, "Login");
    app->runDueMacros();
    EXPECT_EQ(ran, std::vector<std::string>{"Login x"});  // not yet due
    app->runDueMacros(true);
    EXPECT_EQ(ran.back(), "Login -");
    EXPECT_TRUE(app->scheduledMacros().empty());
    app->sendKeys("{F2}{F9}");
    EXPECT_EQ(app->sentKeys().back(), "{F2}{F9}");

    // A control's action reaches the macro through Application.Run.
    auto bar = app->commandBars().item("Worksheet Menu Bar");
    auto popup = bar->controls()->add(ControlType::Popup, 0, 0, true);
    auto button = popup->controls()->add(ControlType::Button, 0, 0, true);
    button->setOnAction("Login");
    button->execute();
    EXPECT_EQ(ran.size(), 3u);
}
