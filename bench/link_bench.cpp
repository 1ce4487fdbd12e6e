// 1,000 GETDATALINK cells reading one closed workbook file of 10,000 cells, against one read of that
// file. The file is touched before every calculation so that each one must read it again: the ratio
// "ratio_to_one_file_read" (a calculation / one file read) stays near 1 when the file is read once
// per calculation, and would be near 1,000 if every cell read it.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "host/companion/Companion.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

constexpr int kRows = 1000;
constexpr int kColumns = 10;
constexpr int kLinkCells = 1000;

struct SourceBook {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "telm-link-bench";
    std::string path = (folder / "Source.xlsx").string();
    SourceBook() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        auto writer = host::sheet::Application::create();
        host::files::attachWorkbookStore(*writer);
        auto book = writer->workbooks().add();
        auto sheet = book->sheet(1);
        sheet->setName("Data");
        for (int r = 1; r <= kRows; ++r)
            for (int c = 1; c <= kColumns; ++c) sheet->cells(r, c)->setValue(r * 100.0 + c);
        book->saveAs(path);
        book->close();
    }
    ~SourceBook() { std::filesystem::remove_all(folder); }
    // Marks the file changed, so that the next read cannot use a kept copy.
    void touch() const {
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now());
    }
};

const SourceBook& source() {
    static const SourceBook book;
    return book;
}

double secondsPerFileRead = 0;

void BM_ReadSourceFile(benchmark::State& state) {
    const SourceBook& book = source();
    auto app = host::sheet::Application::create();
    host::files::attachWorkbookStore(*app);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto opened = app->workbooks().open(book.path);
        secondsPerFileRead = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        opened->close();
    }
}
BENCHMARK(BM_ReadSourceFile)->Unit(benchmark::kMillisecond);

void BM_GetDataLinkCells(benchmark::State& state) {
    const SourceBook& book = source();
    auto app = host::sheet::Application::create();
    auto companion = host::companion::Companion::open(app, book.folder.string(), TELM_ADDIN_LIBRARY);
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    const std::string prefix = "=GETDATALINK(\"'" + book.folder.string() + "\\[Source.xlsx]Data'!";
    for (int i = 0; i < kLinkCells; ++i) {
        const int row = i / kColumns * (kRows / (kLinkCells / kColumns)) + 1;
        sheet->cells(i + 1, 1)->setFormula(prefix + "R" + std::to_string(row) + "C" + std::to_string(i % kColumns + 1) + "\")");
    }
    double secondsPerCalculation = 0;
    for (auto _ : state) {
        state.PauseTiming();
        book.touch();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        app->calculate();  // GETDATALINK cells are volatile: every one is calculated
        secondsPerCalculation = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (sheet->cells(kLinkCells, 1)->value().toDouble() != (kRows - kRows / (kLinkCells / kColumns) + 1) * 100.0 + kColumns)
        state.SkipWithError("wrong cell value");
    state.SetItemsProcessed(state.iterations() * kLinkCells);
    if (secondsPerFileRead > 0) state.counters["ratio_to_one_file_read"] = secondsPerCalculation / secondsPerFileRead;
    companion->close();
}
BENCHMARK(BM_GetDataLinkCells)->Unit(benchmark::kMillisecond);

}  // namespace
