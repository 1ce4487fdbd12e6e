// Recalculating a sheet of 100,000 formula cells, half of them referring to other formula cells.

#include <benchmark/benchmark.h>

#include <string>

#include "host/sheet/Application.h"

using namespace host::sheet;

static void BM_RecalculateSheet(benchmark::State& state) {
    const int cells = static_cast<int>(state.range(0));
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(CalculationMode::Manual);
    const int rows = cells / 2;
    for (int r = 1; r <= rows; ++r) {
        sheet->cells(r, 1)->setFormula("=" + std::to_string(r) + "*2+1");                    // independent
        sheet->cells(r, 2)->setFormula("=A" + std::to_string(r) + "+B" + std::to_string(r > 1 ? r - 1 : 1) + "*0");
    }
    // The first B cell refers to itself through the *0 term; make it plain.
    sheet->cells(1, 2)->setFormula("=A1");
    for (auto _ : state) app->calculateFull();
    state.SetItemsProcessed(state.iterations() * cells);
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * cells, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RecalculateSheet)->Arg(100000)->Unit(benchmark::kMillisecond);

// A SUM over whole columns of a sheet holding 1,000 filled rows: the cost follows the cells that
// exist, not the columns' million rows.
static void BM_WholeColumnSum(benchmark::State& state) {
    auto app = Application::create();
    auto book = app->workbooks().add();
    auto data = book->sheet(1);
    data->setName("S1");
    for (int r = 1; r <= 1000; ++r)
        for (int c = 1; c <= 26; ++c) data->cells(r, c)->setValue(static_cast<double>(r + c));
    auto sheet = book->addSheet();
    app->setCalculation(CalculationMode::Manual);
    sheet->range("A1")->setFormula(state.range(0) == 0 ? "=SUM(S1!A:Z)" : "=SUM(S1!A:XFD)");
    for (auto _ : state) app->calculateFull();
}
BENCHMARK(BM_WholeColumnSum)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 50,000 rows of =A(i)+AVERAGE(B(i-5):B(i-1))/2 in column B; changing A1 makes every row dirty through
// the overlapping ranges and recalculates them.
static void BM_ChangeUnderRangeDependents(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(CalculationMode::Manual);
    for (int r = 1; r <= rows; ++r) {
        sheet->cells(r, 1)->setValue(static_cast<double>(r));
        const std::string i = std::to_string(r);
        sheet->cells(r, 2)->setFormula(r <= 5 ? "=A" + i
                                              : "=A" + i + "+AVERAGE(B" + std::to_string(r - 5) + ":B" + std::to_string(r - 1) + ")/2");
    }
    app->calculateFull();
    app->setCalculation(CalculationMode::Automatic);
    double value = 1;
    for (auto _ : state) sheet->range("A1")->setValue(value += 1);
}
BENCHMARK(BM_ChangeUnderRangeDependents)->Arg(50000)->Unit(benchmark::kMillisecond);

// Deleting the top row of a sheet of 100,000 formula cells: the sets of formula, dirty and volatile
// cells are rebuilt from one another with every key moved up.
static void BM_DeleteTopRow(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(CalculationMode::Manual);
    for (int r = 1; r <= rows; ++r) sheet->cells(r, 1)->setFormula("=1");
    for (auto _ : state) sheet->range("A1")->entireRow()->deleteRows();
}
BENCHMARK(BM_DeleteTopRow)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(10);
