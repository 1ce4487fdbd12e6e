// Saving and opening a workbook file of 100,000 cells: numbers, texts and formulas.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"

using namespace host::sheet;

namespace {

const int kColumns = 10;

std::string benchFile() { return (std::filesystem::temp_directory_path() / "telm_files_bench.xlsx").string(); }

// Rows of ten cells: six numbers, two texts and two formulas.
WorkbookPtr buildWorkbook(Application& app, int cells) {
    auto book = app.workbooks().add();
    auto sheet = book->sheet(1);
    app.setCalculation(CalculationMode::Manual);
    for (int r = 1; r <= cells / kColumns; ++r) {
        for (int c = 1; c <= 6; ++c) sheet->cellAt(r, c).value = r * 0.5 + c;
        sheet->cellAt(r, 7).value = "Wiersz " + std::to_string(r % 1000);
        sheet->cellAt(r, 8).value = "tekst ąę " + std::to_string(r);
        sheet->cells(r, 9)->setFormula("=SUM(A" + std::to_string(r) + ":F" + std::to_string(r) + ")");
        sheet->cells(r, 10)->setFormula("=I" + std::to_string(r) + "*2");
    }
    app.calculateFull();
    return book;
}

void BM_SaveWorkbook(benchmark::State& state) {
    const int cells = static_cast<int>(state.range(0));
    auto app = Application::create();
    host::files::attachWorkbookStore(*app);
    auto book = buildWorkbook(*app, cells);
    for (auto _ : state) app->workbookStore()->save(*book, benchFile());
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * cells, benchmark::Counter::kIsRate);
    std::filesystem::remove(benchFile());
}
BENCHMARK(BM_SaveWorkbook)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_OpenWorkbook(benchmark::State& state) {
    const int cells = static_cast<int>(state.range(0));
    auto app = Application::create();
    host::files::attachWorkbookStore(*app);
    app->workbookStore()->save(*buildWorkbook(*app, cells), benchFile());
    for (auto _ : state) benchmark::DoNotOptimize(app->workbookStore()->open(*app, benchFile()));
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * cells, benchmark::Counter::kIsRate);
    std::filesystem::remove(benchFile());
}
BENCHMARK(BM_OpenWorkbook)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
