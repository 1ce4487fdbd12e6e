// The menu commands that turn link formulas into GETDATALINK formulas and back, and the link text
// the data-source wizard takes from a formula.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/A_Deklaracje.h"
#include "data/F_Lacze.h"
#include "host/base/Text.h"
#include "host/ui/Dialogs.h"
#include "support/LinkBooks.h"

using host::Variant;
using host::sheet::CalculationMode;
using testsupport::quote;

namespace {

struct LinkConversion : ::testing::Test {
    testsupport::LinkBooks t;
    std::vector<Variant> statusTexts;

    LinkConversion() {
        t.app->onStatusBar = [this](const Variant& text) { statusTexts.push_back(text); };
    }
    std::string formulaOf(const char* address) { return t.sheet->range(address)->formula().toString(); }
    void run(const char* selection, const char* command) {
        t.sheet->range(selection)->select();
        t.app->run(command);
    }
};

}  // namespace

TEST_F(LinkConversion, LinksBecomeGetDataLinkAndBack) {
    // A link with its folder, and one written without path into an open workbook.
    t.sheet->range("A1")->setFormula("=" + t.planLink("B2"));
    auto plan = t.app->workbooks().open(t.plan);
    t.sheet->parent()->activate();
    t.sheet->range("A2")->setFormula("=[Plan.xlsx]Budget!B3");
    t.sheet->range("A3")->setFormula("=1+2");
    t.sheet->range("A4")->setFormula("=GETDATALINK(" + quote(t.planLink("C2")) + ")");
    run("A1:A5", "Link2GetDataLink");
    EXPECT_EQ(formulaOf("A1"), "=GETDATALINK(" + quote(t.planLink("B2")) + ")");
    EXPECT_EQ(formulaOf("A2"), "=GETDATALINK(" + quote(t.planLink("B3")) + ")");
    EXPECT_EQ(formulaOf("A3"), "=1+2");
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(100.0));
    EXPECT_EQ(t.sheet->range("A2")->value(), Variant(300.0));
    // The cells that stay are named in the status bar, which is handed back at the end. The cells
    // beyond the used range are not visited.
    ASSERT_EQ(statusTexts.size(), 3u);
    EXPECT_EQ(statusTexts[0], Variant("Formuły w $A$3 nie da się zamienić na funkcję 'GETDATALINK()'."));
    EXPECT_EQ(statusTexts[1], Variant("Formuła zawiera już funkcję 'GETDATALINK()'"));
    EXPECT_EQ(statusTexts[2], Variant(false));

    // Back to links after confirmation: each the link its GETDATALINK read, address as written.
    t.dialogs.answerMessage(host::ui::vbOK);
    run("A1:A4", "GetDataLink2Link");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - Data model");
    EXPECT_EQ(t.dialogs.record()[0].buttons, host::ui::vbOKCancel + host::ui::vbQuestion);
    EXPECT_EQ(formulaOf("A1"), "=" + t.planLink("B2"));
    EXPECT_EQ(formulaOf("A2"), "=" + t.planLink("B3"));
    EXPECT_EQ(formulaOf("A3"), "=1+2");
    EXPECT_EQ(formulaOf("A4"), "=" + t.planLink("C2"));
    EXPECT_EQ(t.sheet->range("A4")->value(), Variant(200.0));
    EXPECT_EQ(t.app->calculation(), CalculationMode::Automatic);
    EXPECT_TRUE(t.app->displayAlerts);
}

TEST_F(LinkConversion, CancelledOrFailedConversionRestoresTheSettings) {
    const std::string getDataLink = "=GETDATALINK(" + quote(t.planLink("B2")) + ")";
    t.sheet->range("A1")->setFormula(getDataLink);
    t.app->setCalculation(CalculationMode::Manual);
    t.dialogs.answerMessage(host::ui::vbCancel);
    run("A1", "GetDataLink2Link");
    EXPECT_EQ(formulaOf("A1"), getDataLink);
    EXPECT_EQ(t.app->calculation(), CalculationMode::Manual);
    EXPECT_TRUE(t.app->displayAlerts);

    // A GETDATALINK asked for its description reads no link: its cell cannot become one, and the walk
    // ends there with the settings restored.
    t.sheet->range("A2")->setFormula("=GETDATALINK(" + quote(t.planLink("B3")) + ",\":\")");
    t.sheet->range("A3")->setFormula("=GETDATALINK(" + quote(t.planLink("C2")) + ")");
    t.dialogs.answerMessage(host::ui::vbOK);
    run("A1:A3", "GetDataLink2Link");
    EXPECT_EQ(formulaOf("A1"), "=" + t.planLink("B2"));
    EXPECT_EQ(host::Left(formulaOf("A2"), 13), "=GETDATALINK(");
    EXPECT_EQ(host::Left(formulaOf("A3"), 13), "=GETDATALINK(");
    EXPECT_EQ(t.app->calculation(), CalculationMode::Manual);
    EXPECT_TRUE(t.app->displayAlerts);
}

TEST_F(LinkConversion, LinkToAWorkbookThatIsNotOpenIsReported) {
    t.sheet->range("A1")->setFormula("=[NieMa.xlsx]Budget!B3");
    run("A1", "Link2GetDataLink");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - Data model");
    EXPECT_EQ(t.dialogs.record()[0].buttons, host::ui::vbCritical);
    EXPECT_EQ(formulaOf("A1"), "=[NieMa.xlsx]Budget!B3");
    EXPECT_EQ(t.app->statusBar(), Variant(false));
}

TEST_F(LinkConversion, FormulaToLinkText) {
    EXPECT_EQ(telm::FormulaToLinkText("=" + t.planLink("B2")), Variant(t.planLink("B2")));
    t.app->workbooks().open(t.plan);
    EXPECT_EQ(telm::FormulaToLinkText("=[Plan.xlsx]Budget!B3"), Variant(t.planLink("B3")));
    EXPECT_EQ(telm::FormulaToLinkText("=1+2"), Variant("#"));
}

TEST_F(LinkConversion, ALinkTooLongForGetDataLinkStaysAsItIs) {
    // A workbook deep enough in folders that its link runs past 1,000 characters.
    std::string deep = t.sub;
    for (int level = 0; level < 5; ++level) deep += "/" + std::string(200, static_cast<char>('a' + level));
    std::filesystem::create_directories(deep);
    testsupport::writePlanBook(deep + "/Plan.xlsx", 100);
    const std::string longLink = "'" + deep + "\\[Plan.xlsx]Budget'!B2";
    ASSERT_GT(longLink.size(), 1000u);
    t.sheet->range("A1")->setFormula("=" + longLink);
    t.sheet->range("A2")->setFormula("=" + t.planLink("B3"));
    run("A1:A2", "Link2GetDataLink");
    EXPECT_EQ(formulaOf("A1"), "=" + longLink);
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(100.0));
    EXPECT_EQ(formulaOf("A2"), "=GETDATALINK(" + quote(t.planLink("B3")) + ")");
    ASSERT_FALSE(statusTexts.empty());
    EXPECT_NE(statusTexts[0].toString().find("$A$1 jest dłuższa niż 1000 znaków"), std::string::npos)
        << statusTexts[0].toString();
}

TEST_F(LinkConversion, ASheetNameHoldingAnExclamationMarkIsReadWhole) {
    xlsxtest::runPython(t.sub, R"PY(
import sys, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "a!b"
ws["B2"] = 5
ws["C2"] = 6
wb.create_sheet("it's")["B2"] = 8
wb.save(sys.argv[1])
)PY",
                        t.sub + "/Bang.xlsx");
    const std::string bang = "'" + t.sub + "\\[Bang.xlsx]a!b'!";
    EXPECT_EQ(t.link(bang + "B2", "A1"), Variant(5.0));
    EXPECT_EQ(t.link("'" + t.sub + "\\[Bang.xlsx]it''s'!B2", "A2"), Variant(8.0));
    t.sheet->range("B1:C1")->setFormulaArray("=GETDATALINK(" + quote(bang + "B2:C2") + ")");
    EXPECT_EQ(t.sheet->range("C1")->value(), Variant(6.0));
    // Converted back, the link reads the same cell.
    t.dialogs.answerMessage(host::ui::vbOK);
    run("A1", "GetDataLink2Link");
    EXPECT_EQ(formulaOf("A1"), "=" + bang + "B2");
    EXPECT_EQ(t.sheet->range("A1")->value(), Variant(5.0));
}
