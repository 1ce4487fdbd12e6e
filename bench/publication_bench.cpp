// Writing the published copies of a workbook of 10,000 rows of five cells (numbers and texts) as
// xlsx, spreadsheet XML and a web page, each measured on its own.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "host/files/HtmlWriter.h"
#include "host/files/SpreadsheetXmlWriter.h"
#include "host/files/XlsxWriter.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

constexpr int kRows = 10000;

struct Copy {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "telm-publication-bench";
    host::sheet::ApplicationPtr app = host::sheet::Application::create();
    host::sheet::WorkbookPtr book;
    Copy() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        app->setCalculation(host::sheet::CalculationMode::Manual);
        book = app->workbooks().add();
        auto sheet = book->sheet(1);
        for (int row = 1; row <= kRows; ++row) {
            sheet->cells(row, 1)->setValue("Oddział " + std::to_string(row % 37));
            for (int column = 2; column <= 5; ++column) sheet->cells(row, column)->setValue(row * 1.25 + column);
        }
    }
    ~Copy() { std::filesystem::remove_all(folder); }
    std::string file(const char* name) const { return (folder / name).string(); }
};

Copy& copy() {
    static Copy c;
    return c;
}

void BM_PublishXlsx(benchmark::State& state) {
    for (auto _ : state) host::files::writeWorkbook(*copy().book, copy().file("copy.xlsx"));
    state.SetItemsProcessed(state.iterations() * kRows * 5);
}
BENCHMARK(BM_PublishXlsx)->Unit(benchmark::kMillisecond);

void BM_PublishSpreadsheetXml(benchmark::State& state) {
    for (auto _ : state) host::files::writeSpreadsheetXml(*copy().book, copy().file("copy.xml"));
    state.SetItemsProcessed(state.iterations() * kRows * 5);
}
BENCHMARK(BM_PublishSpreadsheetXml)->Unit(benchmark::kMillisecond);

void BM_PublishWebPage(benchmark::State& state) {
    for (auto _ : state) host::files::writeHtml(*copy().book, copy().file("copy.htm"));
    state.SetItemsProcessed(state.iterations() * kRows * 5);
}
BENCHMARK(BM_PublishWebPage)->Unit(benchmark::kMillisecond);

}  // namespace
