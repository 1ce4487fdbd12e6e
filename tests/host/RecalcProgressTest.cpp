// A long calculation shows its progress in the status bar, timed by a clock the test moves.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"

using namespace host;
using namespace host::sheet;

namespace {

struct RecalcProgressTest : ::testing::Test {
    ApplicationPtr app = Application::create();
    WorksheetPtr sheet = app->workbooks().add()->sheet(1);
    double now = 100;
    std::vector<std::string> shown;  // "<own>": the status bar shows the application's own text

    RecalcProgressTest() {
        app->calculator().setClock([this] { return now; });
        app->onStatusBar = [this](const Variant& v) { shown.push_back(v.isString() ? v.stringValue() : "<own>"); };
        // Each call takes an eighth of a second.
        app->registerFunction("TICK", [this](std::vector<Variant>& arguments) {
            now += 0.125;
            return arguments.at(0);
        });
        app->setCalculation(CalculationMode::Manual);
    }

    // n cells, each of an eighth of a second: A1..An.
    void fillTicks(int n) {
        for (int r = 1; r <= n; ++r) sheet->cells(r, 1)->setFormula("=TICK(" + std::to_string(r) + ")");
    }
};

}  // namespace

TEST_F(RecalcProgressTest, LongCalculationShowsCellsDoneAFewTimesASecondThenClears) {
    fillTicks(40);  // five seconds
    app->calculateFull();
    // First after a second (8 cells), then every quarter of a second, then the status bar's own text.
    std::vector<std::string> expected;
    for (int done = 8; done <= 40; done += 2) expected.push_back("Calculating: " + std::to_string(done) + " of 40 cells");
    expected.push_back("<own>");
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(sheet->range("A40")->value(), Variant(40.0));
    EXPECT_EQ(app->statusBar(), Variant(false));
}

TEST_F(RecalcProgressTest, ShortCalculationShowsNothingAndCodesTextComesBack) {
    fillTicks(7);  // under a second
    app->calculateFull();
    EXPECT_TRUE(shown.empty());

    // A text the code put in the status bar is shown again after the progress, and stays its text.
    app->setStatusBar("Pobieranie danych");
    fillTicks(16);
    app->calculateFull();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.front(), "Pobieranie danych");
    EXPECT_EQ(shown[1], "Calculating: 8 of 16 cells");
    EXPECT_EQ(shown.back(), "Pobieranie danych");
    EXPECT_EQ(app->statusBar(), Variant("Pobieranie danych"));
}

TEST_F(RecalcProgressTest, FailedCalculationClearsItsProgress) {
    fillTicks(12);
    app->registerFunction("BOOM", [](std::vector<Variant>&) -> Variant { throw std::runtime_error("boom"); });
    sheet->range("A13")->setFormula("=BOOM()");
    EXPECT_THROW(app->calculateFull(), std::runtime_error);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "<own>");
}

TEST_F(RecalcProgressTest, SlowCellsAfterManyQuickOnesShowTheirProgressAtOnce) {
    // 1,000 quick cells (the clock stands still), then 40 data-function cells of an eighth of a
    // second each: the clock is read after each of those.
    for (int r = 1; r <= 1000; ++r) sheet->cells(r, 1)->setFormula("=" + std::to_string(r) + "+0");
    for (int r = 1; r <= 40; ++r) sheet->cells(1000 + r, 1)->setFormula("=TICK(" + std::to_string(r) + ")");
    app->calculateFull();
    // The progress shows a second into the slow cells, then every quarter of a second (two cells),
    // then the status bar's own text.
    ASSERT_GE(shown.size(), 5u);
    EXPECT_EQ(shown.back(), "<own>");
    auto doneOf = [](const std::string& text) { return std::stoi(text.substr(text.find(':') + 2)); };
    EXPECT_EQ(doneOf(shown.front()), 1008);
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) EXPECT_EQ(doneOf(shown[i]) - doneOf(shown[i - 1]), 2) << shown[i];
    EXPECT_EQ(sheet->range("A1040")->value(), Variant(40.0));
}
