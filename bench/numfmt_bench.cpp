// Formatting 100,000 numbers with a thousands-and-decimals code, as a column of cells is displayed.

#include <benchmark/benchmark.h>

#include "host/base/NumberFormat.h"

static void BM_FormatNumbers(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < count; ++i) {
            std::string text = host::formatValue(i * 1234.5678 - 5e7, "#,##0.00");
            benchmark::DoNotOptimize(text);
        }
    }
    state.counters["numbers/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * count, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FormatNumbers)->Arg(100000)->Unit(benchmark::kMillisecond);
