#include <gtest/gtest.h>

#include "support/AddInHost.h"
#include "support/Errors.h"
#include "support/PrintVariant.h"

#include <cmath>

#include "core/A_Deklaracje.h"
#include "core/F_Slownie.h"
#include "host/base/RuntimeError.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

using namespace telm;
using host::Variant;

using testsupport::errorNumberOf;

namespace {

class AmountInWordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedState();
        SharedState().ExcelApp = host::sheet::Application::create();
    }
    void TearDown() override { ResetSharedState(); }
};

struct Example {
    double value;
    Variant language;
    std::string currency;
    std::string cents;
    bool threeLetters;
    std::string expected;
};

}  // namespace

TEST_F(AmountInWordsTest, SpellsTheAmountsOfTheTable) {
    const std::string none;
    const std::string per100 = "/100";
    const Example examples[] = {
        {1234.56, "PL", none, per100, false, "Jeden tysiąc dwieście trzydzieści cztery złote 56/100"},
        {1234.56, "EN", none, per100, false, "One thousand two hundred thirty four Polish Zlotys 56/100"},
        {2000000.05, "PL", none, per100, false, "Dwa miliony złotych 5/100"},
        {22000, "PL", none, per100, false, "Dwadzieścia dwa tysiące złotych 0/100"},
        {101000, "PL", none, per100, false, "Sto jeden tysięcy złotych 0/100"},
        {112e9, "PL", none, per100, false, "Sto dwanaście miliardów złotych 0/100"},
        {1001, "PL", none, per100, false, "Jeden tysiąc jeden złoty 0/100"},
        {105, "PL", none, per100, false, "Sto pięć złotych 0/100"},
        {10, "PL", none, per100, false, "Dziesięć złotych 0/100"},
        {2500, "EN", none, per100, false, "Two thousands five hundred Polish Zlotys 0/100"},
        {1000000, "EN", none, per100, false, "One milion Polish Zlotys 0/100"},
        {40, "EN", none, per100, false, "Fourty Polish Zlotys 0/100"},
        {0.05, "PL", none, per100, false, "Zero złotych 5/100"},
        {0.5, "EN", none, per100, false, "Zero Polish Zlotys 50/100"},
        {12.34, "EN", "USD", " cents", false, "Twelve USD 34 cents"},
        {1203.07, "PL", none, per100, true, "JED#DWA#ZER#TRZ#07/100"},
        {1203.07, "EN", none, per100, true, "ONE#TWO#ZER#THR#07/100"},
        {0, "PL", none, per100, true, "ZER#00/100"},
        // The edges of the range.
        {999999999999, "PL", none, per100, false,
         "Dziewięćset dziewięćdziesiąt dziewięć miliardów dziewięćset dziewięćdziesiąt dziewięć milionów "
         "dziewięćset dziewięćdziesiąt dziewięć tysięcy dziewięćset dziewięćdziesiąt dziewięć złotych 0/100"},
        {999999999999.5, "PL", none, per100, false, "#ARG! (>=10^12)"},
        {1e12, "EN", none, per100, true, "#ARG! (>=10^12)"},
        {-0.01, "PL", none, per100, false, "#ARG! (<0)"},
        // Languages: "pl" is Polish, anything else English.
        {1, "pl", none, per100, false, "Jeden złoty 0/100"},
        {1, "DE", none, per100, false, "One Polish Zloty 0/100"},
        {2, "", none, per100, false, "Two Polish Zlotys 0/100"},
        {3, "pl", none, per100, true, "TRZ#00/100"},
        // The currency text replaces only the units' word; an empty cents text leaves the bare number.
        {2000000, "PL", "EUR", per100, false, "Dwa miliony EUR 0/100"},
        {1, "PL", none, none, false, "Jeden złoty 0"},
        // Empty groups leave no double blanks behind; the teens and the forms.
        {1000, "PL", none, per100, false, "Jeden tysiąc złotych 0/100"},
        {1e9, "EN", none, per100, false, "One bilion Polish Zlotys 0/100"},
        {21, "PL", none, per100, false, "Dwadzieścia jeden złotych 0/100"},
        {114, "PL", none, per100, false, "Sto czternaście złotych 0/100"},
        {12003, "PL", none, per100, false, "Dwanaście tysięcy trzy złote 0/100"},
        {3000020, "EN", none, per100, false, "Three milions twenty Polish Zlotys 0/100"},
        // Cents round half to even; 100 cents carry into the whole part.
        {2.125, "PL", none, per100, false, "Dwa złote 12/100"},
        {2.375, "PL", none, per100, false, "Dwa złote 38/100"},
        {2000.999, "PL", none, per100, false, "Dwa tysiące jeden złoty 0/100"},
        {0.996, "EN", none, per100, false, "One Polish Zloty 0/100"},
        {9.996, "EN", none, per100, true, "ONE#ZER#00/100"},
    };
    for (const Example& e : examples) {
        EXPECT_EQ(AmountInWords(e.value, e.language, e.currency, e.cents, e.threeLetters), e.expected)
            << e.value << " " << e.language.toString();
    }
}

TEST_F(AmountInWordsTest, OnlySpellingAWholePartInWordsMakesTheFormulaVolatile) {
    auto& app = *SharedState().ExcelApp;
    int calls = 0;
    app.registerFunction("SPELL", [&](std::vector<Variant>& args) {
        ++calls;
        return Variant(AmountInWords(args[0].toDouble(), "PL", "", "/100", args[1].toBool()));
    });
    auto sheet = app.workbooks().add()->sheet(1);
    sheet->range("A1")->setFormula("=SPELL(5,FALSE)");
    EXPECT_EQ(sheet->range("A1")->value(), Variant("Pięć złotych 0/100"));
    for (const char* quiet : {"=SPELL(5,TRUE)", "=SPELL(0.5,FALSE)"}) {
        sheet->range("B1")->setFormula(quiet);
        calls = 0;
        app.calculate();
        EXPECT_EQ(calls, 1) << quiet;  // A1 only
    }

    // Without the application the volatile declaration fails; the other modes never make it.
    SharedState().ExcelApp.reset();
    EXPECT_EQ(errorNumberOf([] { AmountInWords(5, "PL", "", "/100", false); }), host::err::ObjectNotSet);
    EXPECT_EQ(AmountInWords(5, "PL", "", "/100", true), "PIE#00/100");
    EXPECT_EQ(AmountInWords(0.25, "PL", "", "/100", false), "Zero złotych 25/100");
}

TEST_F(AmountInWordsTest, ALanguageThatIsNoTextFailsOnlyWhereAGroupIsSpelled) {
    EXPECT_EQ(errorNumberOf([] { AmountInWords(7, Variant::null(), "", "/100", false); }), 94);
    EXPECT_EQ(AmountInWords(7, Variant::null(), "", "/100", true), "SEV#00/100");
    EXPECT_EQ(AmountInWords(0, Variant::null(), "", "/100", false), "Zero Polish Zlotys 0/100");
    EXPECT_EQ(errorNumberOf([] { AmountInWords(std::nan(""), "PL", "", "/100", false); }),
              host::err::InvalidProcedureCall);
}

TEST_F(AmountInWordsTest, GroupInWordsKeepsInnerBlanksAndRejectsOtherNumbers) {
    EXPECT_EQ(GroupInWords(105, "PL"), "sto  pięć");
    EXPECT_EQ(GroupInWords(0, "EN"), "");
    EXPECT_EQ(GroupInWords(919, "en"), "nine hundred nineteen");
    EXPECT_EQ(errorNumberOf([] { GroupInWords(1000, "PL"); }), host::err::SubscriptOutOfRange);
}

namespace {

// VALUE2STRING in cells of a sheet of the add-in as a user starts it.
struct Value2StringCells : testsupport::AddInHost {
    host::sheet::WorksheetPtr sheet;
    Value2StringCells() {
        start();
        sheet = app->workbooks().add()->sheet(1);
    }
    Variant cell(const std::string& formula) {
        sheet->range("A1")->setFormula(formula);
        return sheet->range("A1")->value();
    }
};

}  // namespace

TEST(Value2String, HalfCentsFollowTheAmountAsTheSheetShowsIt) {
    Value2StringCells t;
    EXPECT_EQ(t.cell("=VALUE2STRING(2000.995,\"PL\")"), Variant("Dwa tysiące jeden złoty 0/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(0.995,\"PL\")"), Variant("Jeden złoty 0/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(1.015,\"PL\")"), Variant("Jeden złoty 2/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(0.015,\"PL\")"), Variant("Zero złotych 2/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(1.025,\"PL\")"), Variant("Jeden złoty 2/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(1.0251,\"PL\")"), Variant("Jeden złoty 3/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(2000.999,\"PL\")"), Variant("Dwa tysiące jeden złoty 0/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(1203.075,\"EN\",\"\",\"\",TRUE)"), Variant("ONE#TWO#ZER#THR#08/100"));
    EXPECT_EQ(t.cell("=VALUE2STRING(999999999999,\"EN\",\"\",\"\",TRUE)"),
              Variant("NIN#NIN#NIN#NIN#NIN#NIN#NIN#NIN#NIN#NIN#NIN#NIN#00/100"));
}

TEST(Value2String, AnErrorValueGivenForATextIsNoText) {
    Value2StringCells t;
    // Never "Pięć Error 2042 0/100": the error value is refused as a text.
    for (const char* formula : {"=VALUE2STRING(5,\"PL\",NA())", "=VALUE2STRING(5,\"PL\",\"\",NA())"}) {
        const Variant v = t.cell(formula);
        EXPECT_TRUE(v.isError()) << formula << ": " << (v.isString() ? v.stringValue() : "");
    }
    // The language is a Variant: the member runs and answers with the failure's description.
    EXPECT_EQ(t.cell("=VALUE2STRING(5,NA())"), Variant("Type mismatch"));
    EXPECT_EQ(t.cell("=VALUE2STRING(5,NA(),\"\",\"/100\",TRUE)"), Variant("Type mismatch"));
}
