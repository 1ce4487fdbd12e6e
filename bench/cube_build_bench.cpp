// Building a cube of 1,000,000 source rows (1,000 cities in 20 countries, ten years of days, every row
// a fact row of its own): from a SQLite source into a cube file, and, when TELM_PG_HOST, TELM_PG_PORT,
// TELM_PG_DATABASE, TELM_PG_USER and TELM_PG_PASSWORD name a server, from a table there into a schema
// of that server. Reports source rows per second, and for the cube file its size and the share of it
// that is free pages.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/olap/CubeBuilder.h"

namespace {

constexpr int kRows = 1'000'000;

const std::string kCreate =
    "CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All Regions] TYPE ALL, LEVEL [Country], LEVEL [City], "
    "DIMENSION [Time] TYPE TIME, LEVEL [Year] TYPE YEAR, LEVEL [Month] TYPE MONTH, LEVEL [Day] TYPE DAY, "
    "MEASURE [Amount] FUNCTION SUM, MEASURE [Orders] FUNCTION COUNT)";
const std::string kInsert =
    "INSERT INTO [Sales] ([Region].[Country], [Region].[City].KEY, [Region].[City].NAME, [Time].[Year], "
    "[Time].[Month], [Time].[Day], [Measures].[Amount], [Measures].[Orders]) "
    "SELECT country, city_id, city, year, month, day, amount, id FROM orders";

void run(const std::string& connection, const std::string& sql) {
    host::ado::Connection c;
    c.open(connection);
    host::ado::Recordset r;
    r.open(sql, c);
}

double number(const std::string& connection, const std::string& sql) {
    host::ado::Connection c;
    c.open(connection);
    host::ado::Recordset r;
    r.open(sql, c);
    return r.getRows().arrayValue()(0, 0).toDouble();
}

// The orders, as one statement of the source's SQL over the numbers 0 .. kRows - 1 in `numbers`.
std::string ordersSelect(const std::string& numbers, const std::string& concat) {
    return "SELECT i AS id, 'Country' " + concat + " (c % 20) AS country, c AS city_id, 'City' " + concat +
           " c AS city, 2000 + d / 365 AS year, 1 + d % 365 / 31 AS month, 1 + d % 365 % 31 AS day, "
           "(i % 997) * 1.5 AS amount FROM (SELECT i, i % 1000 AS c, (i / 1000 * 37 + i % 1000) % 3650 AS d FROM " +
           numbers + ") AS n";
}

double secondsOf(const std::string& buildText) {
    const auto start = std::chrono::steady_clock::now();
    host::olap::buildCube(buildText);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CubeBuildSqlite(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "telm-cube-build-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string database = (folder / "orders.db").string();
    std::ofstream(database).close();
    const std::string source = "Driver={SQLite3};Database=" + database + ";";
    run(source, "CREATE TABLE orders (id INTEGER, country TEXT, city_id INTEGER, city TEXT, year INTEGER, "
                "month INTEGER, day INTEGER, amount REAL)");
    run(source, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(kRows - 1) +
                    ") INSERT INTO orders " + ordersSelect("n", "||"));
    const std::string cubeFile = (folder / "sales.cub").string();
    double seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove(cubeFile);
        seconds = secondsOf("Provider=MSOLAP;Location=" + cubeFile + ";SOURCE_DSN=\"" + source + "\";CREATECUBE=" +
                            kCreate + ";INSERTINTO=" + kInsert);
    }
    const std::string cube = "Driver={SQLite3};Database=" + cubeFile + ";";
    const double pages = number(cube, "PRAGMA page_count"), free = number(cube, "PRAGMA freelist_count");
    state.counters["rows_per_s"] = kRows / seconds;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(cubeFile)) / 1e6;
    state.counters["free_share"] = pages > 0 ? free / pages : 0;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CubeBuildSqlite)->Unit(benchmark::kSecond)->Iterations(1);

void BM_CubeBuildPostgres(benchmark::State& state) {
    auto get = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    const std::string host = get("TELM_PG_HOST"), port = get("TELM_PG_PORT"), database = get("TELM_PG_DATABASE"),
                      user = get("TELM_PG_USER"), password = get("TELM_PG_PASSWORD");
    if (host.empty() || port.empty() || user.empty()) {
        state.SkipWithError("no PostgreSQL server named by TELM_PG_*");
        for (auto _ : state) {
        }
        return;
    }
    // The server as a data source of an odbc.ini of the benchmark's own.
    const std::filesystem::path ini = std::filesystem::temp_directory_path() / "telm-cube-build-bench.odbc.ini";
    std::ofstream(ini) << "[TelmBenchCubes]\nDriver=PostgreSQL Unicode\nServername=" << host << "\nPort=" << port
                       << "\nDatabase=" << database << "\n";
    ::setenv("ODBCINI", ini.c_str(), 1);
    const std::string source = "Driver={PostgreSQL Unicode};Server=" + host + ";Port=" + port + ";Database=" +
                               database + ";UID=" + user + ";PWD=" + password + ";";
    const std::string schema = "cube_bench_" + std::to_string(::getpid());
    run(source, "DROP TABLE IF EXISTS orders");
    run(source, "CREATE TABLE orders AS " + ordersSelect("generate_series(0, " + std::to_string(kRows - 1) + ") AS g(i)", "||"));
    double seconds = 0;
    for (auto _ : state)
        seconds = secondsOf("Provider=MSOLAP;Data Source=TelmBenchCubes;Initial Catalog=" + schema + ";User ID=" + user +
                            ";Password=" + password + ";SOURCE_DSN=\"" + source + "\";CREATECUBE=" + kCreate +
                            ";INSERTINTO=" + kInsert);
    state.counters["rows_per_s"] = kRows / seconds;
    run(source, "DROP SCHEMA " + schema + " CASCADE");
    run(source, "DROP TABLE orders");
    std::filesystem::remove(ini);
}
BENCHMARK(BM_CubeBuildPostgres)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
