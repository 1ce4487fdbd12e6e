// Whole-column aggregates and long chains in memory: 1,000 formulas =SUM(A:A) over a column of
// values (the time should follow the column's cells once, not once per formula), and a change at
// the head of a chain of formulas, each taking the one above it; precedents and dependents of a
// column of formulas over overlapping ranges.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <string>

#include "host/sheet/Application.h"

using namespace host::sheet;

static void BM_RepeatedColumnSum(benchmark::State& state) {
    const int values = static_cast<int>(state.range(0));
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(CalculationMode::Manual);
    for (int r = 1; r <= values; ++r) sheet->cells(r, 1)->setValue(static_cast<double>(r % 1000) + 0.5);
    for (int r = 1; r <= 1000; ++r) sheet->cells(r, 2)->setFormula("=SUM(A:A)");
    for (auto _ : state) app->calculateFull();
    state.counters["values/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * values * 1000,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RepeatedColumnSum)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A1 is a value, A(r) = A(r-1)+1; changing A1 recalculates the whole chain.
static void BM_ChainHeadChange(benchmark::State& state) {
    const int cells = static_cast<int>(state.range(0));
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(CalculationMode::Manual);
    sheet->cells(1, 1)->setValue(1.0);
    for (int r = 2; r <= cells; ++r) sheet->cells(r, 1)->setFormula("=A" + std::to_string(r - 1) + "+1");
    app->calculateFull();
    app->setCalculation(CalculationMode::Automatic);
    double value = 1;
    for (auto _ : state) sheet->range("A1")->setValue(value += 1);
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * cells, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ChainHeadChange)->Arg(500000)->Unit(benchmark::kMillisecond)->Iterations(5);

// A20000 = 1, A(r) = MAX(A(r+1):A$20000)+1: every row reads all the rows below it. Precedents of the
// top cell and dependents of the bottom one each reach the whole column; the peak memory of the
// process is shown (run one benchmark at a time to read it).
static long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

static void auditColumn(benchmark::State& state, bool precedents) {
    const int rows = static_cast<int>(state.range(0));
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(CalculationMode::Manual);
    sheet->cells(rows, 1)->setValue(1.0);
    const std::string last = std::to_string(rows);
    for (int r = 1; r < rows; ++r) sheet->cells(r, 1)->setFormula("=MAX(A" + std::to_string(r + 1) + ":A$" + last + ")+1");
    for (auto _ : state) {
        auto found = precedents ? sheet->cells(1, 1)->precedents() : sheet->cells(rows, 1)->dependents();
        benchmark::DoNotOptimize(found);
    }
    state.counters["peak MB"] = static_cast<double>(peakMegabytes());
}
static void BM_PrecedentsOfColumn(benchmark::State& state) { auditColumn(state, true); }
static void BM_DependentsOfColumn(benchmark::State& state) { auditColumn(state, false); }
BENCHMARK(BM_PrecedentsOfColumn)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DependentsOfColumn)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);
