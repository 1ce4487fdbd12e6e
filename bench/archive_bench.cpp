// Archiving a sheet of 10,000 GETDATA cells over a SQLite database through the archive command: per
// cell the request is described, the query run live, the log line written and the twin cell filled;
// then the sheet recalculates from the archive. Reports cells per second.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

constexpr int kCells = 10000;

// An add-in folder with a table of kCells amounts, a data model reading one by its id, and "Log".
struct AddInFolder {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "telm-archive-bench";
    AddInFolder() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder / "Log");
        const std::string connection = "Driver={SQLite3};Database=" + (folder / "bench.db").string() + ";";
        host::ado::Connection c;
        c.open(connection);
        for (const char* sql : {"CREATE TABLE T (Id INTEGER PRIMARY KEY, Amount REAL)",
                                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
                                "INSERT INTO T SELECT i, i * 1.5 FROM n"}) {
            host::ado::Recordset r;
            r.open(sql, c);
        }
        std::ofstream(folder / "DataModel.par") << "[Measure Amount]\nType=ODBC\nGetDataArguments={id}\n"
                                                << "ConnectionText=" << connection << "\n"
                                                << "QueryText=SELECT Amount FROM T WHERE Id = {id}\n";
    }
    ~AddInFolder() { std::filesystem::remove_all(folder); }
};

void BM_ArchiveGetDataSheet(benchmark::State& state) {
    const AddInFolder addin;
    auto app = host::sheet::Application::create();
    auto companion = host::companion::Companion::open(app, addin.folder.string(), TELM_ADDIN_LIBRARY);
    auto book = app->workbooks().add();
    auto sheet = book->sheet(1);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    for (int i = 1; i <= kCells; ++i) sheet->cells(i, 1)->setFormula("=GETDATA(\"Amount\"," + std::to_string(i) + ")");
    app->calculateFull();
    app->setCalculation(host::sheet::CalculationMode::Automatic);
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (auto twin = book->findSheet("Sheet1.a")) twin->remove();
        sheet->range("A1")->select();  // one cell: the whole sheet, without a question
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        app->run("MoveToArchive");
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const auto twin = book->findSheet("Sheet1.a");
    if (!twin || twin->cells(kCells, 1)->value().toDouble() != kCells * 1.5) state.SkipWithError("not archived");
    state.SetItemsProcessed(state.iterations() * kCells);
    state.counters["cells/s"] = kCells / seconds;
    companion->close();
}
BENCHMARK(BM_ArchiveGetDataSheet)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
