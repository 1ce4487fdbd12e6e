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
