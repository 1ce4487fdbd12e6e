// Recalculating a workbook of 10,000 GETDATA cells with the request-batching services off (one query
// per cell) and on (the cycle: collect, a few UNION ALL batches, look up), over SQLite and over the
// PostgreSQL server named by TELM_PG_HOST, TELM_PG_PORT, TELM_PG_DATABASE, TELM_PG_USER and
// TELM_PG_PASSWORD (skipped when they are unset). The figure is "speedup": the time with the services
// off divided by the time with them on.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/A_Deklaracje.h"
#include "data/S_ServiceManager.h"
#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

constexpr int kCells = 10000;

void run(const std::string& connection, const std::string& sql) {
    host::ado::Connection c;
    c.open(connection);
    host::ado::Recordset r;
    r.open(sql, c);
}

// A table T (Id, Amount) of kCells rows in a database, and the add-in folder whose data model reads it.
struct Source {
    std::filesystem::path folder;
    std::string connection;
    std::string table;

    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    Source(const std::string& name, std::string connectionText, std::string tableName)
        : folder(std::filesystem::temp_directory_path() / ("telm-services-bench-" + name + "-" + std::to_string(::getpid()))),
          connection(std::move(connectionText)), table(std::move(tableName)) {
        std::filesystem::create_directories(folder);
    }
    ~Source() { std::filesystem::remove_all(folder); }

    void fill() const {
        run(connection, "DROP TABLE IF EXISTS " + table);
        run(connection, "CREATE TABLE " + table + " (Id INTEGER PRIMARY KEY, Amount DOUBLE PRECISION)");
        run(connection, "INSERT INTO " + table +
                            " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(kCells) + ") SELECT i, i * 1.5 FROM n");
        std::ofstream(folder / "DataModel.par") << "[Measure Amount]\nType=ODBC\nGetDataArguments={id}\n"
                                                << "ConnectionText=" << connection << "\n"
                                                << "QueryText=SELECT Amount FROM " << table << " WHERE Id = {id}\n";
    }
};

const Source& sqlite() {
    static const auto source = [] {
        auto s = std::make_unique<Source>("sqlite", "", "T");
        s->connection = "Driver={SQLite3};Database=" + (s->folder / "bench.db").string() + ";";
        std::ofstream(s->folder / "bench.db").close();  // connections open existing database files only
        s->fill();
        return s;
    }();
    return *source;
}

std::optional<std::string> postgresConnection() {
    auto get = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    if (get("TELM_PG_HOST").empty() || get("TELM_PG_PORT").empty() || get("TELM_PG_USER").empty()) return std::nullopt;
    return "Driver={PostgreSQL Unicode};Server=" + get("TELM_PG_HOST") + ";Port=" + get("TELM_PG_PORT") +
           ";Database=" + get("TELM_PG_DATABASE") + ";UID=" + get("TELM_PG_USER") + ";PWD=" + get("TELM_PG_PASSWORD") + ";";
}

const Source* postgres() {
    static const auto source = []() -> std::unique_ptr<Source> {
        auto connection = postgresConnection();
        if (!connection) return nullptr;
        auto s = std::make_unique<Source>("pg", *connection, "services_bench_" + std::to_string(::getpid()));
        s->fill();
        return s;
    }();
    return source.get();
}

// Seconds of the last recalculation with the services off, per source.
std::map<std::string, double> secondsOff;

void recalculate(benchmark::State& state, const Source* source, const std::string& name, bool servicesOn) {
    if (!source) {
        state.SkipWithError("no PostgreSQL server (TELM_PG_* unset)");
        return;
    }
    auto app = host::sheet::Application::create();
    auto companion = host::companion::Companion::open(app, source->folder.string(), TELM_ADDIN_LIBRARY);
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    for (int i = 1; i <= kCells; ++i) sheet->cells(i, 1)->setFormula("=GETDATA(\"Amount\"," + std::to_string(i) + ")");
    if (servicesOn) telm::SwitchServicesOn(true);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (servicesOn)
            telm::CalculateWithServices(true);
        else
            app->calculate();  // GETDATA cells are volatile: every one is calculated
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (const host::Variant last = sheet->cells(kCells, 1)->value(); !last.isNumber() || last.toDouble() != kCells * 1.5)
        state.SkipWithError(("wrong cell value: " + last.toString()).c_str());
    state.SetItemsProcessed(state.iterations() * kCells);
    state.counters["cells/s"] = kCells / seconds;
    if (!servicesOn) secondsOff[name] = seconds;
    if (servicesOn && secondsOff.contains(name)) state.counters["speedup"] = secondsOff[name] / seconds;
    telm::SwitchServicesOff(true);
    companion->close();
    if (servicesOn && name == "pg") run(source->connection, "DROP TABLE " + source->table);
}

void BM_SqliteServicesOff(benchmark::State& state) { recalculate(state, &sqlite(), "sqlite", false); }
void BM_SqliteServicesOn(benchmark::State& state) { recalculate(state, &sqlite(), "sqlite", true); }
void BM_PostgresServicesOff(benchmark::State& state) { recalculate(state, postgres(), "pg", false); }
// Runs last: drops the server's table.
void BM_PostgresServicesOn(benchmark::State& state) { recalculate(state, postgres(), "pg", true); }

BENCHMARK(BM_SqliteServicesOff)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SqliteServicesOn)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PostgresServicesOff)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PostgresServicesOn)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
