// The menu commands that turn link formulas into GETDATALINK formulas and back, and the link text
// the data-source wizard takes from a formula.

#include <gtest/gtest.h>

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
