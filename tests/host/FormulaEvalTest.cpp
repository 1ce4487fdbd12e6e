#include <gtest/gtest.h>

#include <map>

#include "host/formula/Formula.h"

using namespace host;
using namespace host::formula;

namespace {

// A Range handed to user-defined functions: knows its target and gives the cells' values.
class FakeRange : public Object {
public:
    FakeRange(ReferenceTarget target, Variant values) : target(std::move(target)), values_(std::move(values)) {}
    std::string typeName() const override { return "Range"; }
    Variant defaultValue() const override { return values_; }
    ReferenceTarget target;

private:
    Variant values_;
};

// One sheet of cells (plus an "Other" sheet), names and user functions in maps.
class FakeSheet : public EvalContext {
public:
    int row = 1;
    int column = 1;
    std::map<std::string, std::map<std::pair<int, int>, Variant>> sheets;
    std::map<std::string, ReferenceTarget> names;
    std::map<std::string, UserFunction> functions;

    int formulaRow() const override { return row; }
    int formulaColumn() const override { return column; }
    Variant referenceValues(const ReferenceTarget& t) override {
        const auto sheet = sheets.find(t.sheet);
        if (!t.workbook.empty() || sheet == sheets.end()) return CellError::Ref;
        auto cell = [&](int r, int c) {
            const auto it = sheet->second.find({r, c});
            return it == sheet->second.end() ? Variant() : it->second;
        };
        if (t.area.isSingleCell()) return cell(t.area.top, t.area.left);
        Array a = Array::matrix(t.area.rows(), t.area.columns());
        for (int r = 0; r < t.area.rows(); ++r)
            for (int c = 0; c < t.area.columns(); ++c) a(r + 1, c + 1) = cell(t.area.top + r, t.area.left + c);
        return a;
    }
    Variant referenceObject(const ReferenceTarget& t) override {
        return std::make_shared<FakeRange>(t, referenceValues(t));
    }
    std::optional<ReferenceTarget> resolveName(const std::string& name) override {
        const auto it = names.find(name);
        return it == names.end() ? std::nullopt : std::optional(it->second);
    }
    const UserFunction* findUserFunction(const std::string& name) override {
        const auto it = functions.find(name);
        return it == functions.end() ? nullptr : &it->second;
    }
    Date now() override { return Date{45000.75}; }
    std::string formatText(const Variant& value, const std::string& code) override {
        return "[" + value.toString() + "|" + code + "]";
    }

    Variant eval(std::string_view text, bool asArray = false) {
        return evaluate(Formula::parse(text, ReferenceStyle::A1, row, column), *this, asArray);
    }
};

// A1:A3 = 1, 2, 3; B1 = "x", B2 = TRUE, B3 blank; C1 = "10.5" as text, C2 = #N/A; Other!A1 = 7.
class FormulaEval : public ::testing::Test {
protected:
    FormulaEval() {
        auto& cells = sheet.sheets[""];
        cells[{1, 1}] = 1;
        cells[{2, 1}] = 2;
        cells[{3, 1}] = 3;
        cells[{1, 2}] = "x";
        cells[{2, 2}] = true;
        cells[{1, 3}] = "10.5";
        cells[{2, 3}] = CellError::NA;
        sheet.sheets["Other"][{1, 1}] = 7;
        sheet.names["MyRange"] = ReferenceTarget{"", "", "", {1, 1, 3, 1}};
    }

    Variant eval(std::string_view text, bool asArray = false) { return sheet.eval(text, asArray); }

    static Array matrix(long rows, long columns, std::vector<Variant> byRow) {
        Array a = Array::matrix(rows, columns);
        for (long r = 0; r < rows; ++r)
            for (long c = 0; c < columns; ++c) a(r + 1, c + 1) = byRow[static_cast<std::size_t>(r * columns + c)];
        return a;
    }

    FakeSheet sheet;
};

}  // namespace

TEST_F(FormulaEval, OperatorPrecedence) {
    EXPECT_EQ(eval("=-2^2"), Variant(4.0));
    EXPECT_EQ(eval("=2^3^2"), Variant(64.0));
    EXPECT_EQ(eval("=1+2*3"), Variant(7.0));
    EXPECT_EQ(eval("=(1+2)*3"), Variant(9.0));
    EXPECT_EQ(eval("=\"a\"&1+1"), Variant("a2"));
    EXPECT_EQ(eval("=1+2=3"), Variant(true));
    EXPECT_EQ(eval("=2*50%"), Variant(1.0));
    EXPECT_EQ(eval("=10-2-3"), Variant(5.0));
    EXPECT_EQ(eval("1 + 2"), Variant(3.0));
}

TEST_F(FormulaEval, ArithmeticConvertsLikeTheSpreadsheet) {
    EXPECT_EQ(eval("=\"1\"+1"), Variant(2.0));
    EXPECT_EQ(eval("=\"abc\"+1"), Variant(CellError::Value));
    EXPECT_EQ(eval("=TRUE+TRUE"), Variant(2.0));
    EXPECT_EQ(eval("=B3+1"), Variant(1.0));
    EXPECT_EQ(eval("=B3&\"x\""), Variant("x"));
    EXPECT_EQ(eval("=B3"), Variant(0.0));
    EXPECT_EQ(eval("=A2"), Variant(2.0));
    EXPECT_EQ(eval("=C1*2"), Variant(21.0));
    EXPECT_EQ(eval("=\"50%\"*2"), Variant(1.0));
    EXPECT_EQ(eval("=1/0"), Variant(CellError::Div0));
    EXPECT_EQ(eval("=0^0"), Variant(CellError::Num));
    EXPECT_EQ(eval("=(-8)^0.5"), Variant(CellError::Num));
    EXPECT_EQ(eval("=0.1+0.2&\"\""), Variant("0.3"));
    EXPECT_EQ(eval("=1/3&\"\""), Variant("0.333333333333333"));
    EXPECT_EQ(eval("=1E20&\"|\"&0.00001&\"|\"&1E-10&\"|\"&-1234.5"), Variant("1E+20|0.00001|1E-10|-1234.5"));
    EXPECT_EQ(eval("=TRUE&\"\""), Variant("TRUE"));
    EXPECT_EQ(eval("=Other!A1*2"), Variant(14.0));
    EXPECT_EQ(eval("=Missing!A1"), Variant(CellError::Ref));
}

TEST_F(FormulaEval, ComparisonsOrderNumbersTextsBooleans) {
    EXPECT_EQ(eval("=1<\"a\""), Variant(true));
    EXPECT_EQ(eval("=\"z\"<FALSE"), Variant(true));
    EXPECT_EQ(eval("=\"abc\"=\"ABC\""), Variant(true));
    EXPECT_EQ(eval("=\"b\">\"A\""), Variant(true));
    EXPECT_EQ(eval("=\"1\"=1"), Variant(false));
    EXPECT_EQ(eval("=B3=0"), Variant(true));
    EXPECT_EQ(eval("=B3=\"\""), Variant(true));
    EXPECT_EQ(eval("=B3=FALSE"), Variant(true));
    EXPECT_EQ(eval("=2<>2"), Variant(false));
    EXPECT_EQ(eval("=\"Ż\"=\"ż\""), Variant(true));
}

TEST_F(FormulaEval, ErrorsPropagateLeftmostFirst) {
    EXPECT_EQ(eval("=NA()+1/0"), Variant(CellError::NA));
    EXPECT_EQ(eval("=1/0+NA()"), Variant(CellError::Div0));
    EXPECT_EQ(eval("=C2&\"x\""), Variant(CellError::NA));
    EXPECT_EQ(eval("=#REF!>1"), Variant(CellError::Ref));
    EXPECT_EQ(eval("=SUM(A1:C3)"), Variant(CellError::NA));
    EXPECT_EQ(eval("=IF(#NUM!,1,2)"), Variant(CellError::Num));
    EXPECT_EQ(eval("=LEN(C2)"), Variant(CellError::NA));
    EXPECT_EQ(eval("=ISERROR(C2)"), Variant(true));
    EXPECT_EQ(eval("=IFERROR(1/0,\"none\")"), Variant("none"));
    EXPECT_EQ(eval("=UnknownName+1"), Variant(CellError::Name));
    EXPECT_EQ(eval("=NoSuchFunction(1)"), Variant(CellError::Name));
}

TEST_F(FormulaEval, ImplicitIntersectionOutsideArrayFormulas) {
    sheet.row = 2;
    sheet.column = 3;
    EXPECT_EQ(eval("=A1:A3*10"), Variant(20.0));
    EXPECT_EQ(eval("=MyRange"), Variant(2.0));
    EXPECT_EQ(eval("=A1:C1"), Variant("10.5"));
    EXPECT_EQ(eval("=A:A+0"), Variant(2.0));
    EXPECT_EQ(eval("=A1:B3"), Variant(CellError::Value));
    EXPECT_EQ(eval("=SUM(A1:A3)"), Variant(6.0));  // functions over ranges see the whole range
    sheet.row = 5;
    EXPECT_EQ(eval("=A1:A3"), Variant(CellError::Value));
    EXPECT_EQ(eval("=A1 : A3"), Variant(CellError::Value));
    EXPECT_EQ(eval("=SUM(A1 : A2)"), Variant(3.0));
}

TEST_F(FormulaEval, ArrayFormulasLiftElementWise) {
    EXPECT_EQ(eval("=A1:A2*{10,20}", true), Variant(matrix(2, 2, {10.0, 20.0, 20.0, 40.0})));
    EXPECT_EQ(eval("={1,2,3}+{10,20}", true), Variant(matrix(1, 3, {11.0, 22.0, CellError::NA})));
    EXPECT_EQ(eval("={1;2}*{1,2,3}", true), Variant(matrix(2, 3, {1.0, 2.0, 3.0, 2.0, 4.0, 6.0})));
    EXPECT_EQ(eval("={1,2;3,4}+{1;2;3}", true),
              Variant(matrix(3, 2, {2.0, 3.0, 5.0, 6.0, CellError::NA, CellError::NA})));
    EXPECT_EQ(eval("=IF(A1:A3>1,\"big\",B3)", true), Variant(matrix(3, 1, {0.0, "big", "big"})));
    EXPECT_EQ(eval("=LEN(A1:B1)", true), Variant(matrix(1, 2, {1.0, 1.0})));
    EXPECT_EQ(eval("=A1", true), Variant(1.0));
    // Outside array formulas constants still lift, and the cell shows the top-left value.
    EXPECT_EQ(eval("={5,6}+1"), Variant(6.0));
    EXPECT_EQ(eval("=SUM({1,2,3}*2)"), Variant(12.0));
}

TEST_F(FormulaEval, IfAndIfErrorEvaluateOnlyWhatTheyUse) {
    int calls = 0;
    sheet.functions["Boom"] = [&](std::vector<Variant>&) -> Variant {
        ++calls;
        return 99.0;
    };
    EXPECT_EQ(eval("=IF(TRUE,1,Boom())"), Variant(1.0));
    EXPECT_EQ(eval("=IF(1>2,Boom())"), Variant(false));
    EXPECT_EQ(eval("=IFERROR(5,Boom())"), Variant(5.0));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(eval("=IF(\"false\",1,Boom())"), Variant(99.0));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(eval("=IF(B1,1,2)"), Variant(CellError::Value));
    EXPECT_EQ(eval("=IF(TRUE,)"), Variant(0.0));
}

TEST_F(FormulaEval, UserFunctionsGetRangesValuesAndMissing) {
    std::vector<Variant> received;
    sheet.functions["Probe"] = [&](std::vector<Variant>& args) -> Variant {
        received = args;
        return "ok";
    };
    EXPECT_EQ(eval("=Probe(A1, Other!A1:B2, (A2), 1+1, , {1,2}, MyRange, \"x\", A1*1)"), Variant("ok"));
    ASSERT_EQ(received.size(), 9u);
    auto rangeTarget = [&](std::size_t i) {
        EXPECT_TRUE(received[i].isObject()) << i;
        auto range = received[i].isObject() ? std::dynamic_pointer_cast<FakeRange>(received[i].objectValue()) : nullptr;
        return range ? range->target : ReferenceTarget{};
    };
    EXPECT_EQ(rangeTarget(0).area, Area::cell(1, 1));
    EXPECT_EQ(rangeTarget(1), (ReferenceTarget{"", "", "Other", {1, 1, 2, 2}}));
    EXPECT_EQ(rangeTarget(2).area, Area::cell(2, 1));
    EXPECT_EQ(received[3], Variant(2.0));
    EXPECT_TRUE(received[4].isMissing());
    EXPECT_EQ(received[5], Variant(matrix(1, 2, {1.0, 2.0})));
    EXPECT_EQ(rangeTarget(6).area, (Area{1, 1, 3, 1}));
    EXPECT_EQ(received[7], Variant("x"));
    EXPECT_EQ(received[8], Variant(1.0));

    EXPECT_EQ(eval("=Probe()"), Variant("ok"));
    EXPECT_TRUE(received.empty());
}

TEST_F(FormulaEval, UserFunctionResults) {
    sheet.functions["Fails"] = [](std::vector<Variant>&) -> Variant { throw RuntimeError(91); };
    sheet.functions["Pair"] = [](std::vector<Variant>&) -> Variant { return Array::vector({"a", "b"}); };
    sheet.functions["Itself"] = [](std::vector<Variant>& args) { return args.at(0); };
    sheet.functions["GETDATAOLAPuni"] = [](std::vector<Variant>&) -> Variant { return CellError::GettingData; };
    sheet.functions["Huge"] = [](std::vector<Variant>&) -> Variant { return 1e308 * 10; };
    EXPECT_EQ(eval("=Fails()"), Variant(CellError::Value));
    EXPECT_EQ(eval("=Huge()"), Variant(CellError::Num));
    EXPECT_EQ(eval("=Huge()&\"\""), Variant(CellError::Num));
    EXPECT_EQ(eval("=Pair()"), Variant("a"));
    EXPECT_EQ(eval("=Pair()", true), Variant(matrix(1, 2, {"a", "b"})));
    EXPECT_EQ(eval("=Itself(A3)+1"), Variant(4.0));
    EXPECT_EQ(eval("=GETDATAOLAPuni()"), Variant(CellError::GettingData));
}

TEST_F(FormulaEval, Transpose) {
    EXPECT_EQ(eval("=TRANSPOSE(A1:A3)", true), Variant(matrix(1, 3, {1.0, 2.0, 3.0})));
    EXPECT_EQ(eval("=TRANSPOSE({1,2;3,4;5,6})", true), Variant(matrix(2, 3, {1.0, 3.0, 5.0, 2.0, 4.0, 6.0})));
    EXPECT_EQ(eval("=TRANSPOSE(7)", true), Variant(7.0));
}

TEST_F(FormulaEval, RoundingAndMath) {
    EXPECT_EQ(eval("=ROUND(2.5,0)"), Variant(3.0));
    EXPECT_EQ(eval("=ROUND(-2.5,0)"), Variant(-3.0));
    EXPECT_EQ(eval("=ROUND(1.005,2)"), Variant(1.01));
    EXPECT_EQ(eval("=ROUND(1234.5,-2)"), Variant(1200.0));
    EXPECT_EQ(eval("=ROUND(A3/2,)"), Variant(2.0));
    EXPECT_EQ(eval("=INT(-2.5)"), Variant(-3.0));
    EXPECT_EQ(eval("=MOD(-3,2)"), Variant(1.0));
    EXPECT_EQ(eval("=MOD(3,-2)"), Variant(-1.0));
    EXPECT_EQ(eval("=MOD(1,0)"), Variant(CellError::Div0));
    EXPECT_EQ(eval("=ABS(-4)"), Variant(4.0));
    EXPECT_EQ(eval("=NOW()"), Variant(Date{45000.75}));
    EXPECT_EQ(eval("=TODAY()+1"), Variant(45001.0));
}

TEST_F(FormulaEval, AggregatesSkipTextsAndBlanksInRanges) {
    EXPECT_EQ(eval("=SUM(A1:B3)"), Variant(6.0));
    EXPECT_EQ(eval("=SUM(\"1\",TRUE,2,)"), Variant(4.0));
    EXPECT_EQ(eval("=SUM(\"x\")"), Variant(CellError::Value));
    EXPECT_EQ(eval("=SUM({1,\"2\",TRUE})"), Variant(1.0));
    EXPECT_EQ(eval("=MIN(A1:B3)"), Variant(1.0));
    EXPECT_EQ(eval("=MAX(A1:B3,-5)"), Variant(3.0));
    EXPECT_EQ(eval("=MAX(B1:B3)"), Variant(0.0));
    EXPECT_EQ(eval("=AVERAGE(A1:B3)"), Variant(2.0));
    EXPECT_EQ(eval("=AVERAGE(B1:B3)"), Variant(CellError::Div0));
    EXPECT_EQ(eval("=COUNT(A1:C3)"), Variant(3.0));
    EXPECT_EQ(eval("=COUNT(\"1\",\"x\",C2)"), Variant(1.0));
    EXPECT_EQ(eval("=COUNTA(A1:C3)"), Variant(7.0));
    EXPECT_EQ(eval("=AND(A1:B3)"), Variant(true));
    EXPECT_EQ(eval("=AND(A1,0)"), Variant(false));
    EXPECT_EQ(eval("=OR(B3,B1)"), Variant(CellError::Value));
    EXPECT_EQ(eval("=OR(FALSE,A3)"), Variant(true));
    EXPECT_EQ(eval("=NOT(A1)"), Variant(false));
}

TEST_F(FormulaEval, TextFunctionsCountCharacters) {
    EXPECT_EQ(eval("=LEN(\"Zażółć gęślą jaźń\")"), Variant(17.0));
    EXPECT_EQ(eval("=LEFT(\"Łódź\",2)&\"|\"&RIGHT(\"Łódź\",2)&\"|\"&MID(\"Żółw\",2,2)&\"|\"&LEFT(\"Ąb\")"),
              Variant("Łó|dź|ół|Ą"));
    EXPECT_EQ(eval("=MID(\"abc\",5,2)&RIGHT(\"abc\",9)"), Variant("abc"));
    EXPECT_EQ(eval("=LEFT(\"abc\",-1)"), Variant(CellError::Value));
    EXPECT_EQ(eval("=MID(\"abc\",0,1)"), Variant(CellError::Value));
    EXPECT_EQ(eval("=UPPER(\"zażółć\")&LOWER(\"ĘŚ\")"), Variant("ZAŻÓŁĆęś"));
    EXPECT_EQ(eval("=CONCATENATE(\"a\",1.5,TRUE,B3)"), Variant("a1.5TRUE"));
    EXPECT_EQ(eval("=VALUE(\" 1,234.5 \")"), Variant(1234.5));
    EXPECT_EQ(eval("=VALUE(\"x\")"), Variant(CellError::Value));
    EXPECT_EQ(eval("=TEXT(A3/4,\"0.00\")"), Variant("[0.75|0.00]"));
    EXPECT_EQ(eval("=TEXT(C1,\"0\")"), Variant("[10.5|0]"));
    EXPECT_EQ(eval("=ISNUMBER(A1)&ISNUMBER(C1)&ISTEXT(C1)&ISBLANK(B3)&ISBLANK(\"\")"),
              Variant("TRUEFALSETRUETRUEFALSE"));
}
