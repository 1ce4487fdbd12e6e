// The four workbooks that recalculation is compared on with another spreadsheet program
// (bench/compare_recalc.py runs both): opening and recalculating 100,000 formulas, recalculating them
// alone, changing the input at the head of a 50,000-cell chain, and 50,000 SUMs over 10-cell ranges.
//
// The workbook files are written to the folder named by TELM_RECALC_WORKBOOKS (kept there for the
// comparison), else to a temporary folder removed at the end.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include <unistd.h>

#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"

using namespace host::sheet;
namespace fs = std::filesystem;

namespace {

const int kFormulaRows = 50000;  // two formulas a row
const int kChainCells = 50000;
const int kSums = 50000;

struct Folder {
    fs::path path;
    bool keep = false;
    Folder() {
        if (const char* named = std::getenv("TELM_RECALC_WORKBOOKS")) {
            path = named;
            keep = true;
        } else {
            path = fs::temp_directory_path() / ("telm_recalc_workbooks_" + std::to_string(::getpid()));
        }
        fs::create_directories(path);
    }
    ~Folder() {
        if (!keep) fs::remove_all(path);
    }
};

Folder& folder() {
    static Folder f;
    return f;
}

std::string row(int r) { return std::to_string(r); }

// A: =r*2+1 (independent); B: =A(r)+B(r-1)*0 (each refers to two formula cells).
void fillFormulas(Worksheet& sheet) {
    for (int r = 1; r <= kFormulaRows; ++r) {
        sheet.cells(r, 1)->setFormula("=" + row(r) + "*2+1");
        sheet.cells(r, 2)->setFormula(r == 1 ? "=A1" : "=A" + row(r) + "+B" + row(r - 1) + "*0");
    }
}

// A1 = 1; B1 = A1+1; B(r) = B(r-1)+1.
void fillChain(Worksheet& sheet) {
    sheet.cells(1, 1)->setValue(1.0);
    sheet.cells(1, 2)->setFormula("=A1+1");
    for (int r = 2; r <= kChainCells; ++r) sheet.cells(r, 2)->setFormula("=B" + row(r - 1) + "+1");
}

// A: numbers; B(r) = SUM(A(r):A(r+9)).
void fillSums(Worksheet& sheet) {
    for (int r = 1; r < kSums + 10; ++r) sheet.cells(r, 1)->setValue(static_cast<double>(r % 97));
    for (int r = 1; r <= kSums; ++r) sheet.cells(r, 2)->setFormula("=SUM(A" + row(r) + ":A" + row(r + 9) + ")");
}

// The workbook file of the given content, written once per run.
std::string workbookFile(const std::string& name, void (*fill)(Worksheet&)) {
    static std::set<std::string> written;
    const fs::path path = folder().path / (name + ".xlsx");
    if (!written.insert(name).second) return path.string();
    auto app = Application::create();
    host::files::attachWorkbookStore(*app);
    app->setCalculation(CalculationMode::Manual);
    auto book = app->workbooks().add();
    fill(*book->sheet(1));
    app->calculateFull();
    app->workbookStore()->save(*book, path.string());
    return path.string();
}

std::shared_ptr<Application> openedApplication(const std::string& file) {
    auto app = Application::create();
    host::files::attachWorkbookStore(*app);
    app->setCalculation(CalculationMode::Manual);
    app->workbooks().open(file);
    return app;
}

void countCells(benchmark::State& state, int cells) {
    state.counters["cells/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * cells, benchmark::Counter::kIsRate);
}

void BM_OpenAndRecalculate(benchmark::State& state) {
    const std::string file = workbookFile("formulas", fillFormulas);
    for (auto _ : state) openedApplication(file)->calculateFull();
    countCells(state, 2 * kFormulaRows);
}
BENCHMARK(BM_OpenAndRecalculate)->Unit(benchmark::kMillisecond);

void BM_RecalculateOpened(benchmark::State& state) {
    auto app = openedApplication(workbookFile("formulas", fillFormulas));
    for (auto _ : state) app->calculateFull();
    countCells(state, 2 * kFormulaRows);
}
BENCHMARK(BM_RecalculateOpened)->Unit(benchmark::kMillisecond);

void BM_ChangeChainHead(benchmark::State& state) {
    auto app = openedApplication(workbookFile("chain", fillChain));
    app->calculateFull();
    app->setCalculation(CalculationMode::Automatic);
    auto head = app->workbooks().all().front()->sheet(1)->range("A1");
    double value = 1;
    for (auto _ : state) head->setValue(value += 1);
    countCells(state, kChainCells);
}
BENCHMARK(BM_ChangeChainHead)->Unit(benchmark::kMillisecond);

void BM_RangeSums(benchmark::State& state) {
    auto app = openedApplication(workbookFile("sums", fillSums));
    for (auto _ : state) app->calculateFull();
    countCells(state, kSums);
}
BENCHMARK(BM_RangeSums)->Unit(benchmark::kMillisecond);

}  // namespace
