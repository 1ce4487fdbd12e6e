#include <gtest/gtest.h>

#include "host/formula/Formula.h"

using namespace host;
using namespace host::formula;

namespace {

Formula parseA1(std::string_view text) { return Formula::parse(text, ReferenceStyle::A1, 1, 1); }

// The only reference of a formula.
ReferenceTarget referenceOf(std::string_view text, ReferenceStyle style = ReferenceStyle::A1, int row = 1,
                            int column = 1) {
    const auto refs = Formula::parse(text, style, row, column).references();
    EXPECT_EQ(refs.size(), 1u) << text;
    return refs.empty() ? ReferenceTarget{} : refs.front();
}

ReferenceTarget target(std::string folder, std::string workbook, std::string sheet, Area area) {
    return {std::move(folder), std::move(workbook), std::move(sheet), area};
}

// Position and reason of the syntax error a text raises ("" when it parses).
std::string syntaxError(std::string_view text, ReferenceStyle style = ReferenceStyle::A1) {
    try {
        Formula::parse(text, style, 5, 5);
    } catch (const FormulaSyntaxError& e) {
        EXPECT_EQ(e.number(), 1004);
        return std::to_string(e.position()) + ": " + e.reason();
    }
    return "";
}

}  // namespace

TEST(FormulaParse, A1ReferenceForms) {
    EXPECT_EQ(referenceOf("=A1").area, Area::cell(1, 1));
    EXPECT_EQ(referenceOf("=$b$7").area, Area::cell(7, 2));
    EXPECT_EQ(referenceOf("=xfd1048576").area, Area::cell(1048576, 16384));
    EXPECT_EQ(referenceOf("=B2:A1").area, (Area{1, 1, 2, 2}));
    EXPECT_EQ(referenceOf("=A:A").area, (Area{1, 1, kMaxRows, 1}));
    EXPECT_EQ(referenceOf("=$A:$C").area, (Area{1, 1, kMaxRows, 3}));
    EXPECT_EQ(referenceOf("=1:1").area, (Area{1, 1, 1, kMaxColumns}));
    EXPECT_EQ(referenceOf("=$3:5").area, (Area{3, 1, 5, kMaxColumns}));
}

TEST(FormulaParse, QualifiedReferences) {
    EXPECT_EQ(referenceOf("=Sheet1!A1"), target("", "", "Sheet1", Area::cell(1, 1)));
    EXPECT_EQ(referenceOf("='My Sheet'!A1:B2"), target("", "", "My Sheet", {1, 1, 2, 2}));
    EXPECT_EQ(referenceOf("='It''s'!C3"), target("", "", "It's", Area::cell(3, 3)));
    EXPECT_EQ(referenceOf("=[Book.xlsx]Sheet1!A1"), target("", "Book.xlsx", "Sheet1", Area::cell(1, 1)));
    EXPECT_EQ(referenceOf("='[Book 1.xlsx]Sheet 1'!A1"), target("", "Book 1.xlsx", "Sheet 1", Area::cell(1, 1)));
    EXPECT_EQ(referenceOf("='C:\\folder\\[Book.xlsx]Sheet1'!A1"),
              target("C:\\folder\\", "Book.xlsx", "Sheet1", Area::cell(1, 1)));
    EXPECT_EQ(referenceOf("='/home/x/[Book.xlsx]Sheet1'!$A$1"),
              target("/home/x/", "Book.xlsx", "Sheet1", Area::cell(1, 1)));
    EXPECT_EQ(referenceOf("='folder\\[Book.xls]Sheet1'!R1C1", ReferenceStyle::R1C1),
              target("folder\\", "Book.xls", "Sheet1", Area::cell(1, 1)));
    EXPECT_EQ(referenceOf("=Arkusz_ź!A:A").sheet, "Arkusz_ź");
}

TEST(FormulaParse, NamesFunctionsAndReferencesAreTellApart) {
    const Formula f = parseA1("=SUM(Sales_2024, MyRange) + LOG10(A1) + FY2024 + GETDATAOLAPuni(1,,3) + Sheet2!Total");
    EXPECT_EQ(f.names(), (std::vector<std::string>{"Sales_2024", "MyRange", "Sheet2!Total"}));
    const auto refs = f.references();
    ASSERT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs[0].area, Area::cell(1, 1));
    EXPECT_EQ(refs[1].area, Area::cell(2024, 26 * 6 + 25));  // column FY
    EXPECT_EQ(f.toText(ReferenceStyle::A1, 1, 1),
              "=SUM(Sales_2024,MyRange)+LOG10(A1)+FY2024+GETDATAOLAPuni(1,,3)+Sheet2!Total");
    EXPECT_EQ(parseA1("true+False").toText(ReferenceStyle::A1, 1, 1), "=TRUE+FALSE");
}

TEST(FormulaParse, R1C1ResolvesAgainstTheAnchor) {
    auto r1c1 = [](std::string_view text) { return referenceOf(text, ReferenceStyle::R1C1, 10, 5).area; };
    EXPECT_EQ(r1c1("=R1C1"), Area::cell(1, 1));
    EXPECT_EQ(r1c1("=R[-1]C[2]"), Area::cell(9, 7));
    EXPECT_EQ(r1c1("=RC"), Area::cell(10, 5));
    EXPECT_EQ(r1c1("=r2c"), Area::cell(2, 5));
    EXPECT_EQ(r1c1("=R1C1:R2C2"), (Area{1, 1, 2, 2}));
    EXPECT_EQ(r1c1("=R1:R3"), (Area{1, 1, 3, kMaxColumns}));
    EXPECT_EQ(r1c1("=C[-1]:C2"), (Area{1, 2, kMaxRows, 4}));
    EXPECT_EQ(r1c1("=R"), (Area{10, 1, 10, kMaxColumns}));
    // Outside R1C1 style these are names, and A1 texts are names in R1C1 style.
    EXPECT_EQ(parseA1("=R1C1").names(), std::vector<std::string>{"R1C1"});
    EXPECT_EQ(Formula::parse("=A1+Rate", ReferenceStyle::R1C1, 1, 1).names(),
              (std::vector<std::string>{"A1", "Rate"}));
}

TEST(FormulaParse, PrintsInEitherStyleAndRoundTrips) {
    const Formula f = Formula::parse("=SUM( $A$1 : B$2 ) + C3*-D$4% & \"x\"\"y\" + A:$B + 2:$3", ReferenceStyle::A1, 5, 5);
    const std::string a1 = "=SUM($A$1:B$2)+C3*-D$4%&\"x\"\"y\"+A:$B+2:$3";
    const std::string r1c1 = "=SUM(R1C1:R2C[-3])+R[-2]C[-2]*-R4C[-1]%&\"x\"\"y\"+C[-4]:C2+R[-3]:R3";
    EXPECT_EQ(f.toText(ReferenceStyle::A1, 5, 5), a1);
    EXPECT_EQ(f.toText(ReferenceStyle::R1C1, 5, 5), r1c1);
    EXPECT_EQ(Formula::parse(r1c1, ReferenceStyle::R1C1, 5, 5).toText(ReferenceStyle::A1, 5, 5), a1);
    EXPECT_EQ(parseA1(a1).toText(ReferenceStyle::R1C1, 5, 5), r1c1);

    const std::string external = "='C:\\data\\[Book 1.xlsx]Sheet 1'!$A$1+[Book.xlsx]Sheet1!B2+'My Sheet'!C:C";
    EXPECT_EQ(parseA1(external).toText(ReferenceStyle::A1, 1, 1), external);
    EXPECT_EQ(Formula::parse("'folder\\[Book.xls]Sheet1'!R1C1", ReferenceStyle::R1C1, 3, 3)
                  .toText(ReferenceStyle::R1C1, 3, 3),
              "='folder\\[Book.xls]Sheet1'!R1C1");
    // Whole rows and columns in R1C1, single ones in their short form.
    EXPECT_EQ(Formula::parse("=R2+C[1]:C[2]", ReferenceStyle::R1C1, 1, 1).toText(ReferenceStyle::A1, 1, 1),
              "=$2:$2+B:C");
    EXPECT_EQ(parseA1("=A:A+3:3").toText(ReferenceStyle::R1C1, 3, 2), "=C[-1]+R");
}

TEST(FormulaParse, ConstantsPrintBack) {
    EXPECT_EQ(parseA1("1E3+.5+1e-3+0.1+123456789012345678").toText(ReferenceStyle::A1, 1, 1),
              "=1000+0.5+0.001+0.1+1.23456789012346E+17");
    EXPECT_EQ(parseA1("{1,-2.5;\"a\",TRUE}").toText(ReferenceStyle::A1, 1, 1), "={1,-2.5;\"a\",TRUE}");
    EXPECT_EQ(parseA1("{\"a\";\"b\"}").toText(ReferenceStyle::A1, 1, 1), "={\"a\";\"b\"}");
    EXPECT_EQ(parseA1("#n/a&#DIV/0!&#REF!&#NAME?&#NULL!&#NUM!&#VALUE!").toText(ReferenceStyle::A1, 1, 1),
              "=#N/A&#DIV/0!&#REF!&#NAME?&#NULL!&#NUM!&#VALUE!");
}

TEST(FormulaParse, SyntaxErrorsNamePositionAndReason) {
    EXPECT_EQ(syntaxError("=\"abc"), "2: unterminated text");
    EXPECT_EQ(syntaxError("=SUM(1,2"), "9: missing ')'");
    EXPECT_EQ(syntaxError("=(1+2))"), "7: unexpected ')'");
    EXPECT_EQ(syntaxError("=1+"), "4: unexpected end of formula");
    EXPECT_EQ(syntaxError("=\"żółw\"+XFE1"), "9: reference outside the sheet");
    EXPECT_EQ(syntaxError("=A1048577"), "2: reference outside the sheet");
    EXPECT_EQ(syntaxError("=Sheet1!A0"), "9: reference outside the sheet");
    EXPECT_EQ(syntaxError("=R[-5]C1", ReferenceStyle::R1C1), "2: reference outside the sheet");
    EXPECT_EQ(syntaxError("=RC[16380]", ReferenceStyle::R1C1), "2: reference outside the sheet");
    EXPECT_EQ(syntaxError("={1,2;3}"), "8: array rows differ in length");
    EXPECT_EQ(syntaxError("={1,A1}"), "5: unexpected 'A1'");
    EXPECT_EQ(syntaxError("=ROUND(1)"), "2: wrong number of arguments to ROUND");
    EXPECT_EQ(syntaxError("=1 ~ 2"), "4: unexpected character '~'");
    EXPECT_EQ(syntaxError("=#WHAT"), "2: unknown error value");
    EXPECT_EQ(syntaxError("=1+1E400"), "4: number too large");
    EXPECT_EQ(syntaxError("='Sheet 1!A1"), "2: unterminated sheet name");
    try {
        Formula::parse("=SUM(", ReferenceStyle::A1, 1, 1);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.description(), "Formula error at position 6: missing ')'");
    }
}

TEST(FormulaParse, EachFormulaParsesAloneAfterFailedAndLongOnes) {
    // The parser reuses its room from formula to formula: nothing of one may show in the next.
    const std::string shortText = "=SUM(A1:B2)+'My Sheet'!C3*\"x\"";
    const std::string expected = parseA1(shortText).toText(ReferenceStyle::A1, 1, 1);
    EXPECT_EQ(expected, shortText);
    EXPECT_NE(syntaxError("=SUM(Sheet2!A1,\"text\",(1+"), "");
    EXPECT_EQ(parseA1(shortText).toText(ReferenceStyle::A1, 1, 1), expected);
    std::string longText = "=1";
    for (int i = 0; i < 600; ++i) longText += "+Sheet3!B" + std::to_string(i + 1);
    EXPECT_EQ(parseA1(longText).references().size(), 600u);
    const Formula again = parseA1(shortText);
    EXPECT_EQ(again.toText(ReferenceStyle::A1, 1, 1), expected);
    EXPECT_EQ(again.references().size(), 2u);
    EXPECT_TRUE(again.names().empty());
}

TEST(FormulaParse, Volatility) {
    EXPECT_TRUE(parseA1("=NOW()+1").isVolatile());
    EXPECT_TRUE(parseA1("=IF(A1,today(),0)").isVolatile());
    EXPECT_TRUE(parseA1("=RAND()").isVolatile());
    EXPECT_FALSE(parseA1("=SUM(A1)+Now").isVolatile());
}

TEST(FormulaParse, DeepNestingIsASyntaxErrorNotACrash) {
    EXPECT_EQ(syntaxError("=" + std::string(100000, '(') + "1"), "258: formula nested too deeply");
    EXPECT_EQ(syntaxError("=" + std::string(100000, '-') + "1"), "257: formula nested too deeply");
    EXPECT_EQ(syntaxError("=" + std::string(200, '(') + "1" + std::string(200, ')')), "");
}
