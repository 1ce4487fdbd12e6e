// Formulas and values a user or a received workbook may hold that once crashed the sheet, took
// unbounded memory or gave results the spreadsheet does not give.

#include <gtest/gtest.h>

#include "host/MemoryLimit.h"
#include "host/base/NumberFormat.h"
#include "host/formula/Formula.h"
#include "host/sheet/Application.h"

using namespace host;
using namespace host::sheet;

namespace {

struct HostileFormulaTest : ::testing::Test {
    ApplicationPtr app = Application::create();
    WorkbookPtr book = app->workbooks().add();
    WorksheetPtr sheet = book->sheet(1);

    Variant at(const std::string& address) { return sheet->range(address)->value(); }
    void put(const std::string& address, const Variant& v) { sheet->range(address)->setFormula(v); }
    Variant eval(const std::string& formula) {
        put("Z1", formula);
        return at("Z1");
    }
    // The description of the error entering the formula raises; "" when it is taken.
    std::string entryError(const std::string& formula) {
        try {
            put("Z2", formula);
        } catch (const RuntimeError& e) {
            return e.description();
        }
        return "";
    }
};

std::string chain(const std::string& first, const std::string& step, std::size_t steps) {
    std::string text = "=" + first;
    text.reserve(text.size() + steps * step.size());
    for (std::size_t i = 0; i < steps; ++i) text += step;
    return text;
}

}  // namespace

TEST_F(HostileFormulaTest, ScaledOverflowIsValueForTextAndFillForDisplay) {
    EXPECT_EQ(eval("=TEXT(1E+307,\"0%\")"), Variant(CellError::Value));
    EXPECT_EQ(eval("=TEXT(1E+303,\"0.00%%%\")"), Variant(CellError::Value));
    put("A1", 1e307);
    sheet->range("A1")->setNumberFormat("0%");
    EXPECT_EQ(sheet->range("A1")->text(), std::string(kCellFill));
    EXPECT_EQ(formatValue(1e307, "0%"), "#VALUE!");
    EXPECT_EQ(displayText(-1.0, "yyyy-mm-dd"), std::string(kCellFill));
    EXPECT_EQ(displayText(1e300, "0"), std::string("1") + std::string(300, '0'));
}

TEST_F(HostileFormulaTest, LongOperatorChainsCalculateWithinTheLengthLimit) {
    // The longest chains the limit allows, of each kind, evaluate, print and are freed without
    // recursion deep enough to exhaust the stack.
    EXPECT_EQ(eval(chain("1", "+1", 4095)), Variant(4096.0));
    EXPECT_EQ(eval(chain("1", "&1", 4095)), Variant(std::string(4096, '1')));
    EXPECT_EQ(eval(chain("1E+300", "%", 8186)), Variant(0.0));
    EXPECT_EQ(eval(chain("2", "^1", 4095)), Variant(2.0));
    EXPECT_EQ(eval(chain("1", "=1", 4095)), Variant(false));
    EXPECT_EQ(eval("=SUM(" + chain("A1", ":A1", 2700).substr(1) + ")"), Variant(0.0));
    const std::string text = chain("1", "-1", 4095);
    put("Z1", text);
    EXPECT_EQ(sheet->range("Z1")->formula(), Variant(text));
    EXPECT_EQ(at("Z1"), Variant(-4094.0));

    // Past 8,192 characters a formula is refused when it is entered, whatever its kind.
    EXPECT_NE(entryError(chain("1", "+1", 20000)).find("longer than 8192 characters"), std::string::npos);
    EXPECT_NE(entryError(chain("1", "%", 30000)).find("longer than 8192 characters"), std::string::npos);
    EXPECT_NE(entryError(chain("1", "+", 100000) + "1").find("nested too deeply"), std::string::npos);
    EXPECT_NE(entryError("=\"" + std::string(9000, 'x') + "\"").find("position 8194"), std::string::npos);
    EXPECT_EQ(entryError("=\"" + std::string(8190, 'x') + "\""), "");
    // The limit counts A1 style: the longer R1C1 form of a formula within it is taken, as when a
    // moved formula is read again.
    std::string r1c1 = "=R[1]C[1]";
    for (int i = 0; i < 1000; ++i) r1c1 += "+R[1]C[1]";
    sheet->range("A1")->setFormulaR1C1(r1c1);
    EXPECT_EQ(sheet->range("A1")->formula().stringValue().size(), 1 + 2 + 1000 * 3);
    EXPECT_NE(entryError(chain("1", "+1", 4096)).find("position 8194"), std::string::npos);
    // Characters, not bytes, count.
    EXPECT_EQ(entryError("=\"" + [] { std::string s; for (int i = 0; i < 8190; ++i) s += "ż"; return s; }() + "\""), "");
}

TEST_F(HostileFormulaTest, NumbersCompareAndSnapAtFifteenDigits) {
    EXPECT_EQ(eval("=0.1+0.2=0.3"), Variant(true));
    EXPECT_EQ(eval("=0.1+0.2-0.3"), Variant(0.0));
    EXPECT_EQ(eval("=1-0.9-0.1"), Variant(0.0));
    EXPECT_EQ(eval("=0.3<0.1+0.2"), Variant(false));
    EXPECT_EQ(eval("=1+1E-14>1"), Variant(true));  // the 15th digit still counts
    // Only a sum or difference computed last snaps; one inside parentheses or a product keeps its
    // binary remainder.
    EXPECT_NE(eval("=(0.1+0.2-0.3)"), Variant(0.0));
    EXPECT_NE(eval("=1*(0.1+0.2-0.3)"), Variant(0.0));
    EXPECT_EQ(eval("=1E-20-0"), Variant(1e-20));
    put("A1", 0.1);
    put("A2", 0.2);
    put("A3", "=A1+A2");
    EXPECT_EQ(eval("=A3=0.3"), Variant(true));
    EXPECT_EQ(eval("=IF(A3=0.3,\"same\",\"differs\")"), Variant("same"));
}

TEST_F(HostileFormulaTest, FractionFormats) {
    EXPECT_EQ(eval("=TEXT(1.5,\"# ?/?\")"), Variant("1 1/2"));
    EXPECT_EQ(eval("=TEXT(-1.25,\"# ?/?\")"), Variant("-1 1/4"));
    EXPECT_EQ(eval("=TEXT(0.75,\"# ?/?\")"), Variant(" 3/4"));
    EXPECT_EQ(eval("=TEXT(1.5,\"?/?\")"), Variant("3/2"));
    EXPECT_EQ(eval("=TEXT(3.14159,\"# ??" "/??\")"), Variant("3 14/99"));
    EXPECT_EQ(eval("=TEXT(0.3333,\"# ???" "/???\")"), Variant("   1/3  "));
    EXPECT_EQ(eval("=TEXT(2.3,\"# ?/8\")"), Variant("2 2/8"));
    EXPECT_EQ(eval("=TEXT(2,\"# ?/?\")"), Variant("2    "));
    EXPECT_EQ(eval("=TEXT(1.99,\"# ?/?\")"), Variant("2    "));
    EXPECT_EQ(eval("=TEXT(1E+300,\"# ?/?\")"), Variant("1" + std::string(300, '0') + "    "));
    // The cell display with the built-in fraction format.
    put("A1", 1.5);
    sheet->range("A1")->setNumberFormat("# ?/?");
    EXPECT_EQ(sheet->range("A1")->text(), "1 1/2");
}

TEST_F(HostileFormulaTest, TextsReadAsNumbersTheSpreadsheetsWay) {
    EXPECT_EQ(eval("=\"$5\"+0"), Variant(5.0));
    EXPECT_EQ(eval("=\"-$5.50\"*2"), Variant(-11.0));
    EXPECT_EQ(eval("=VALUE(\"(5)\")"), Variant(-5.0));
    EXPECT_EQ(eval("=VALUE(\"($1,234.50)\")"), Variant(-1234.5));
    EXPECT_EQ(eval("=\"1,000\"+1"), Variant(1001.0));
    EXPECT_EQ(eval("=\" 12% \"*1"), Variant(0.12));
    EXPECT_EQ(eval("=VALUE(\"5$\")"), Variant(CellError::Value));
    EXPECT_EQ(eval("=VALUE(\"(-5)\")"), Variant(CellError::Value));
    EXPECT_EQ(eval("=VALUE(\"$$5\")"), Variant(CellError::Value));
    EXPECT_EQ(eval("=\"()\"+0"), Variant(CellError::Value));
}

TEST_F(HostileFormulaTest, TextsStopAtTheLongestACellHolds) {
    // Doubling concatenation: row 16 would reach 32,768 characters, one past the limit.
    const std::string limited = memtest::runWithMemoryLimit(200, [&]() -> std::string {
        put("A1", "x");
        for (int r = 2; r <= 40; ++r) put("A" + std::to_string(r), "=A" + std::to_string(r - 1) + "&A" + std::to_string(r - 1));
        if (at("A15").stringValue().size() != 16384) return "A15 is not 16384 characters";
        if (at("A16") != Variant(CellError::Value)) return "A16 is not #VALUE!";
        if (at("A40") != Variant(CellError::Value)) return "A40 is not #VALUE!";
        return "";
    });
    EXPECT_EQ(limited, "");
    put("B1", std::string(20000, 'y'));
    EXPECT_EQ(eval("=CONCATENATE(B1,B1)"), Variant(CellError::Value));
    EXPECT_EQ(eval("=LEN(CONCATENATE(B1,\"z\"))"), Variant(20001.0));
    EXPECT_EQ(eval("=TEXT(B1,\"@@\")"), Variant(CellError::Value));
}

TEST_F(HostileFormulaTest, WholeColumnsAndRowsCostOnlyTheCellsThatExist) {
    auto data = book->addSheet();
    data->setName("S1");
    for (int r = 1; r <= 1000; ++r)
        for (int c = 1; c <= 3; ++c) data->cells(r, c)->setValue(1.0);
    data->cells(5, 2)->setValue("text");
    const std::string limited = memtest::runWithMemoryLimit(200, [&]() -> std::string {
        put("A1", "=SUM(S1!A:XFD)");
        put("A2", "=COUNT(S1!A:CV)+COUNTA(S1!1:1048576)");
        put("A3", "=AVERAGE(S1!B:B)");
        put("A4", "=MAX(S1!A:Z)+MIN(S1!A:Z)");
        put("A5", "=AND(S1!A:XFD)");
        if (at("A1") != Variant(2999.0)) return "SUM gave " + at("A1").toString();
        if (at("A2") != Variant(2999.0 + 3000.0)) return "COUNT+COUNTA gave " + at("A2").toString();
        if (at("A3") != Variant(1.0)) return "AVERAGE gave " + at("A3").toString();
        if (at("A4") != Variant(2.0)) return "MAX+MIN gave " + at("A4").toString();
        if (at("A5") != Variant(true)) return "AND gave " + at("A5").toString();
        // An array formula cannot hold the whole sheet: #VALUE! instead of the memory.
        sheet->range("B1")->setFormulaArray("=SUM(S1!A:XFD*1)");
        if (at("B1") != Variant(CellError::Value)) return "the array formula gave " + at("B1").toString();
        data->cells(1000, 1)->setValue(10.0);
        if (at("A1") != Variant(3008.0)) return "SUM after a change gave " + at("A1").toString();
        return "";
    });
    EXPECT_EQ(limited, "");
}
