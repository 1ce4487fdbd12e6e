// The GETDATA engine driven from cell formulas over a real data model. Variables of a type outside
// the worker list answer their texts after substitution ("add  @  query  @  connection"), which shows
// exactly what a worker would have been given.

#include <gtest/gtest.h>

#include <fstream>

#include "core/A_Deklaracje.h"
#include "host/base/Text.h"
#include "support/AddInHost.h"

using namespace telm;
using host::Variant;

namespace {

constexpr const char* kModel = R"(PARAMETERS=ServerCalculation=0
[Measure Echo1]
Type=TEXT
GetDataArguments={a}
AddString=add {a}
QueryText=query {A}
ConnectionText=conn {a}
[Measure Echo2]
Type=text
GetDataArguments={a},{b}
QueryText={a}/{b}
[Measure Echo2]
Type=TEXT
GetDataArguments=second,variable
[Measure Formats]
Type=TEXT
GetDataArguments=N
QueryText=N[ValueFormat=0.00] N[ValueFormat=#,##0] N n[valueformat=0]
[Measure Measure]
Type=TEXT
GetDataArguments=M
AddString=Miara
Aliases=przychód=Revenue,koszt=Cost
[Measure BadAliases]
Type=TEXT
GetDataArguments=M
AddString=VALUE
Aliases=a=b,
[Measure Empty alias]
Type=TEXT
GetDataArguments=M
AddString=value
Aliases=net =
[Measure Slash]
Type=TEXT
GetDataArguments=Y/M,X
QueryText=Y-M-X
[Measure Blank type]
Type=TEXT 
GetDataArguments=A
[Measure Server]
Type=TEXT,SERVERCALCULATION
GetDataArguments=A
[Measure Empty name]
Type=TEXT
GetDataArguments=,A
QueryText=A[ValueFormat=0.0]
[Measure Olap]
Type=OLAP
GetDataArguments=A
ConnectionText=only,two
)";

struct GetData : ::testing::Test {
    testsupport::AddInHost host;
    host::sheet::WorksheetPtr sheet;

    GetData() {
        std::ofstream(host.folder.file("DataModel.par")) << kModel;
        host.start();
        sheet = host.app->workbooks().add()->sheet(1);
    }
    Variant cell(const std::string& formula) {
        sheet->range("Z1")->setFormula(formula);
        return sheet->range("Z1")->value();
    }
};

}  // namespace

TEST_F(GetData, ArgumentNamesAreReplacedInAllThreeTexts) {
    EXPECT_EQ(cell("=GETDATA(\"Echo1\",\"x\")"), Variant("add x  @  query x  @  conn x"));
    // Only the name: the one argument name becomes the empty text ...
    EXPECT_EQ(cell("=GETDATA(\"Echo1\")"), Variant("add   @  query   @  conn "));
    // ... but a variable with two argument names fails on the level rule.
    EXPECT_EQ(cell("=GETDATA(\"Echo2\")"), Variant(0.0));
    // The first of two variables of one name is used; a name in other letter case finds none.
    EXPECT_EQ(cell("=GETDATA(\"Echo2\",1,2)"), Variant("  @  1/2  @  "));
    EXPECT_EQ(cell("=GETDATA(\"echo1\",\"x\")"), Variant(0.0));
    EXPECT_EQ(SharedState().GetDataCallCount, 3);  // failed calls are not counted
    // Only a query that goes to an SQL source is held to the model's statements.
    EXPECT_EQ(cell("=GETDATA(\"Echo1\",\"x'; y\")"), Variant("add x'; y  @  query x'; y  @  conn x'; y"));
}

TEST_F(GetData, MissingNamesByErrorReportingLevel) {
    SharedState().ErrorReportingLevel = 2;
    EXPECT_EQ(cell("=GETDATA(\"Nope\",1)"), Variant("#Brak zmiennej modelu o nazwie: Nope"));
    SharedState().ErrorReportingLevel = 1;
    EXPECT_EQ(cell("=GETDATA(\"Nope\",1)"), Variant(0.0));
    SharedState().ErrorReportingLevel = 3;
    EXPECT_EQ(cell("=GETDATA(\"Nope\",1)"), Variant(0.0));  // nothing returned: the cell shows 0
}

TEST_F(GetData, FormattedTokens) {
    // Two codes for one name, plain occurrences in any letter case, and a marker in other letter
    // case that is no formatted token.
    EXPECT_EQ(cell("=GETDATA(\"Formats\",1234.5)"), Variant("  @  1234.50 1,235 1234.5 1234.5[valueformat=0]  @  "));
    // A number held as text is formatted as the number, as TEXT formats it.
    EXPECT_EQ(cell("=GETDATA(\"Formats\",\"1234.5\")"), Variant("  @  1234.50 1,235 1234.5 1234.5[valueformat=0]  @  "));
    // Any other text passes as it is.
    EXPECT_EQ(cell("=GETDATA(\"Formats\",\"abc\")"), Variant("  @  abc abc abc abc[valueformat=0]  @  "));
}

TEST_F(GetData, MeasureWordsAndAliases) {
    EXPECT_EQ(cell("=GETDATA(\"Measure\",\"PRZYCHÓD netto\")"), Variant("Revenue netto  @    @  "));
    EXPECT_EQ(cell("=GETDATA(\"BadAliases\",\"a\")"), Variant(0.0));  // a trailing comma: an empty item
    EXPECT_EQ(cell("=GETDATA(\"Empty alias\",\"net sales\")"), Variant("sales  @    @  "));
}

TEST_F(GetData, SlashForm) {
    EXPECT_EQ(cell("=GETDATA(\"Slash\",\"2024/03\",\"z\")"), Variant("2024  @  2024-03-z  @  "));
    EXPECT_EQ(cell("=GETDATA(\"Slash\",\"2024\",\"z\")"), Variant(0.0));  // fewer slash values than names
}

TEST_F(GetData, SourceTypesAndServerCalculationSuffix) {
    // Any letter case selects the same worker; a trailing blank or a type outside the list answers
    // the texts.
    EXPECT_EQ(cell("=GETDATA(\"Blank type\",1)"), Variant("  @    @  "));
    // With server calculation off the suffixed type is compared whole.
    EXPECT_EQ(cell("=GETDATA(\"Server\",1)"), Variant("  @    @  "));
    // An OLAP connection needs three comma parts.
    EXPECT_EQ(cell("=GETDATA(\"Olap\",1)"), Variant(0.0));
}

TEST_F(GetData, EmptyArgumentNameMeetingAFormattedTokenEnds) {
    EXPECT_EQ(cell("=GETDATA(\"Empty name\",1,2)"), Variant(0.0));
}

TEST_F(GetData, DescribeRequestAndJoinedArguments) {
    cell("=GETDATA(\"Echo1\",\"x\",\":\")");
    EXPECT_FALSE(SharedState().DescribeModeActive);  // cleared when the call ends
    EXPECT_EQ(host::Trim(SharedState().JoinedArguments), "Echo1,x,:");
    EXPECT_EQ(SharedState().JoinedArguments.size(), kJoinedArgumentsWidth);
    sheet->range("B1")->setValue(std::string(3000, 'y'));
    EXPECT_EQ(cell("=GETDATA(\"Echo1\",B1)").toString().size(), 3 * (3000 + 5) + 2 * 5);  // the call uses it all
    EXPECT_EQ(SharedState().JoinedArguments, "Echo1," + std::string(2000 - 6, 'y'));
}

TEST_F(GetData, RangesArriveAsTheirValues) {
    sheet->range("A1")->setValue("from a cell");
    sheet->range("A2:A3")->setValue(1);
    EXPECT_EQ(cell("=GETDATA(\"Echo1\",A1)"), Variant("add from a cell  @  query from a cell  @  conn from a cell"));
    // Two one-cell ranges and a number: the ranges as their values, the number unchanged.
    sheet->range("B1")->setValue(2.5);
    EXPECT_EQ(cell("=GETDATA(\"Echo2\",A1,B1,3)"), Variant("  @  from a cell/2.5  @  "));
    // Several cells arrive as a block, which cannot be joined: the entry answers the runtime's text.
    EXPECT_EQ(cell("=GETDATA(\"Echo1\",A2:A3)"), Variant("Type mismatch"));
}

TEST(GetDataReload, NoModelLoadedShowsThePendingTextAndLoadsIt) {
    testsupport::AddInHost host;
    host.start();  // no model file yet: the start-up load leaves the model empty
    std::ofstream(host.folder.file("DataModel.par")) << kModel;
    auto sheet = host.app->workbooks().add()->sheet(1);
    sheet->range("A1")->setFormula("=GETDATA(\"Echo1\",\"x\")");
    EXPECT_EQ(sheet->range("A1")->value(), Variant("#Unexpected error"));
    host.app->calculate();  // the model is loaded now
    EXPECT_EQ(sheet->range("A1")->value(), Variant("add x  @  query x  @  conn x"));
    sheet->range("A2")->setFormula("=GETDATA()");
    EXPECT_EQ(sheet->range("A2")->value(), Variant("#Unexpected error"));
}
