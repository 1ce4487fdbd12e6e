// Recalculating the selection, its dependents and its precedents, with a worksheet function that
// notes the order in which the cells are calculated; the usage statistics.

#include <gtest/gtest.h>

#include "CommandHost.h"
#include "host/ui/Dialogs.h"

using host::Variant;
using host::sheet::CalculationMode;

namespace {

struct RecalcCommands : ::testing::Test {
    testsupport::CommandHost host;
    std::vector<std::string> calculated;

    // A chain A1 -> B1 -> C1 -> D1, a diamond A1 -> G1 -> F1 (F1 also reads A1 and sits left of G1)
    // and an unrelated E1; every formula notes its cell when it is calculated.
    RecalcCommands() {
        host.app->registerFunction("TRACE", [this](std::vector<Variant>& a) -> Variant {
            calculated.push_back(a[0].toString());
            return a[1].isObject() ? host::sheet::asRange(a[1])->value() : a[1];
        });
        host.cell("A1")->setValue(1.0);
        host.cell("B1")->setFormula("=TRACE(\"B1\",A1*2)");
        host.cell("C1")->setFormula("=TRACE(\"C1\",B1+1)");
        host.cell("D1")->setFormula("=TRACE(\"D1\",C1*10)");
        host.cell("E1")->setFormula("=TRACE(\"E1\",5)");
        host.cell("G1")->setFormula("=TRACE(\"G1\",A1+100)");
        host.cell("F1")->setFormula("=TRACE(\"F1\",A1+G1)");
        host.app->setCalculation(CalculationMode::Manual);
        calculated.clear();
    }
    double value(const char* address) { return host.cell(address)->value().toDouble(); }
    std::vector<std::string> position(std::initializer_list<const char*> cells) {
        std::vector<std::string> found;
        for (const auto& c : calculated)
            for (const char* wanted : cells)
                if (c == wanted) found.push_back(c);
        return found;
    }
};

}  // namespace

TEST_F(RecalcCommands, DependentsInTheOrderTheyReadEachOther) {
    host.cell("A1")->setValue(2.0);
    host.cell("A1")->select();
    host.run("PrzeliczNastepniki");
    EXPECT_EQ(position({"B1", "C1", "D1"}), (std::vector<std::string>{"B1", "C1", "D1"}));
    EXPECT_EQ(position({"G1", "F1"}), (std::vector<std::string>{"G1", "F1"}));
    EXPECT_EQ(calculated.size(), 5u);  // E1 depends on nothing of it
    EXPECT_EQ(value("D1"), 50.0);
    EXPECT_EQ(value("F1"), 104.0);
    EXPECT_TRUE(host.dialogs.record().empty());
}

TEST_F(RecalcCommands, PrecedentsDeepestFirstThenTheSelection) {
    host.cell("A1")->setValue(3.0);
    host.cell("D1")->select();
    host.run("PrzeliczPoprzedniki");
    EXPECT_EQ(calculated, (std::vector<std::string>{"B1", "C1", "D1"}));
    EXPECT_EQ(value("D1"), 70.0);
    EXPECT_EQ(value("F1"), 102.0);  // not asked for: still the old value

    calculated.clear();
    host.cell("F1")->select();
    host.run("PrzeliczPoprzedniki");
    EXPECT_EQ(calculated, (std::vector<std::string>{"G1", "F1"}));
    EXPECT_EQ(value("F1"), 106.0);
}

TEST_F(RecalcCommands, SelectionAloneAndCellsWithoutRelations) {
    host.cell("A1")->setValue(4.0);
    host.cell("C1:D1")->select();
    host.run("PrzeliczZaznaczone");
    EXPECT_EQ(calculated, (std::vector<std::string>{"C1", "D1"}));
    EXPECT_EQ(value("D1"), 30.0);  // B1 was not calculated: C1 read its old 2

    calculated.clear();
    host.cell("E1")->select();
    host.run("PrzeliczNastepniki");
    host.run("PrzeliczPoprzedniki");
    EXPECT_EQ(calculated, (std::vector<std::string>{"E1", "E1"}));
    EXPECT_TRUE(host.dialogs.record().empty());
}

TEST_F(RecalcCommands, CountersAreShownWithTheirSharesAndOkResetsThem) {
    auto& s = telm::SharedState();
    auto setCounters = [&] {
        s.DataFunctionCallCount = 8;
        s.GetDataCallCount = 4;
        s.ArchiveHitCount = 2;
        s.ExternalQueryCount = 3;
    };
    setCounters();
    host.dialogs.answerMessage(host::ui::vbCancel);
    host.run("CountersInfo");
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    const auto& shown = host.lastDialog();
    EXPECT_EQ(shown.title, "TELM.NET - Counting module");
    EXPECT_EQ(shown.buttons, host::ui::vbOKCancel + host::ui::vbInformation);
    for (const char* line : {"Statistics of GETDATA() (and other) function usage\n\n", "Total external data functions: 8\n",
                             "incl: GETDATA() function: 4 (50.0%)\n", "incl: from archives: 2 (25.0%)\n",
                             "incl: external queries: 3 (37.5%)\n", "Archive efficiency: 25.0%\n",
                             "GETDATA() efficiency: 62.5%\n", "(Click 'OK' to reset counters.)"})
        EXPECT_NE(shown.prompt.find(line), std::string::npos) << line << "\n" << shown.prompt;
    EXPECT_EQ(s.GetDataCallCount, 4);

    host.dialogs.answerMessage(host::ui::vbOK);
    host.run("CountersInfo");
    EXPECT_EQ(s.DataFunctionCallCount + s.GetDataCallCount + s.ArchiveHitCount + s.ExternalQueryCount, 0);
    // Nothing counted yet: no division by zero.
    host.run("CountersInfo");
    EXPECT_NE(host.lastDialog().prompt.find("Archive efficiency: 0.0%"), std::string::npos);

    // At level 0 nothing is shown, so nothing is confirmed and nothing reset.
    setCounters();
    s.ErrorReportingLevel = 0;
    host.run("CountersInfo");
    EXPECT_EQ(s.ArchiveHitCount, 2);

    // In Polish the shares take the decimal comma.
    s.ErrorReportingLevel = 1;
    s.LanguageIndex = 0;
    host.dialogs.answerMessage(host::ui::vbCancel);
    host.run("CountersInfo");
    EXPECT_NE(host.lastDialog().prompt.find("(50,0%)"), std::string::npos) << host.lastDialog().prompt;
    EXPECT_EQ(host.lastDialog().prompt.find("50.0"), std::string::npos);
}
