// One-cell MDX queries over a cube of 1,000,000 fact rows (1,000 cities in 20 countries, ten years of
// days), each opening its connection as the add-in does per cell, against the same aggregate asked of
// the SQLite source directly (a country in a year). BM_MdxCell reports the ratio of the times per
// query and the seconds the cube took to build.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/olap/CubeBuilder.h"

namespace {

constexpr int kOrders = 1'000'000;

struct SalesCube {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "telm-olap-bench";
    std::string source = "Driver={SQLite3};Database=" + (folder / "orders.db").string() + ";";
    std::string cubeFile = (folder / "sales.cub").string();
    std::string cube = "Provider=MSOLAP.2;Data Source=" + cubeFile + ";Initial Catalog=;";
    double buildSeconds = 0;

    SalesCube() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        run(source, "CREATE TABLE orders (id INTEGER, country TEXT, city_id INTEGER, city TEXT, year INTEGER, "
                    "month INTEGER, day INTEGER, amount REAL)");
        // Every order on a day and in a city of its own: a fact row of its own.
        run(source, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                        std::to_string(kOrders - 1) +
                        ") INSERT INTO orders SELECT i, 'Country' || (c % 20), c, 'City' || c, 2000 + d / 365, "
                        "1 + d % 365 / 31, 1 + d % 365 % 31, (i % 997) * 1.5 "
                        "FROM (SELECT i, i % 1000 AS c, (i / 1000 * 37 + i % 1000) % 3650 AS d FROM n)");
        const auto start = std::chrono::steady_clock::now();
        host::olap::buildCube(
            "Provider=MSOLAP;Location=" + cubeFile + ";SOURCE_DSN=\"" + source +
            "\";CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All Regions] TYPE ALL, LEVEL [Country], "
            "LEVEL [City], DIMENSION [Time] TYPE TIME, LEVEL [Year] TYPE YEAR, LEVEL [Month] TYPE MONTH, "
            "LEVEL [Day] TYPE DAY, MEASURE [Amount] FUNCTION SUM);INSERTINTO=INSERT INTO [Sales] ([Region].[Country], "
            "[Region].[City].KEY, [Region].[City].NAME, [Time].[Year], [Time].[Month], [Time].[Day], "
            "[Measures].[Amount]) SELECT country, city_id, city, year, month, day, amount FROM orders");
        buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    ~SalesCube() { std::filesystem::remove_all(folder); }

    static void run(const std::string& connection, const std::string& sql) {
        host::ado::Connection c;
        c.open(connection);
        host::ado::Recordset r;
        r.open(sql, c);
    }
    // One value, on a connection of its own.
    static double value(const std::string& connection, const std::string& query) {
        host::ado::Connection c;
        c.open(connection);
        host::ado::Recordset r;
        r.open(query, c);
        const double v = r.getRows().arrayValue()(0, 0).toDouble();
        r.close();
        c.close();
        return v;
    }
    std::string mdx(int i) const {
        return "WITH MEMBER [Measures].[wynik] AS '0 + SUM({[Region].[Country" + std::to_string(i % 20) +
               "]}*{[Time].[" + std::to_string(2000 + i % 10) + "]}*{[Measures].[Amount]})' "
               "SELECT {[Measures].[wynik]} on 0  FROM [Sales] ";
    }
    std::string sql(int i) const {
        return "SELECT SUM(amount) FROM orders WHERE country = 'Country" + std::to_string(i % 20) +
               "' AND year = " + std::to_string(2000 + i % 10);
    }
};

const SalesCube& cube() {
    static const SalesCube c;
    return c;
}

double directSecondsPerQuery = 0;

void BM_SqliteAggregate(benchmark::State& state) {
    const SalesCube& c = cube();
    int i = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(SalesCube::value(c.source, c.sql(i++)));
    directSecondsPerQuery = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / i;
}
BENCHMARK(BM_SqliteAggregate)->Unit(benchmark::kMillisecond);

void BM_MdxCell(benchmark::State& state) {
    const SalesCube& c = cube();
    int i = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(SalesCube::value(c.cube, c.mdx(i++)));
    const double perQuery = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / i;
    if (directSecondsPerQuery > 0) state.counters["vs_sqlite"] = perQuery / directSecondsPerQuery;
    state.counters["build_s"] = c.buildSeconds;
    if (SalesCube::value(c.cube, c.mdx(3)) != SalesCube::value(c.source, c.sql(3)))
        state.SkipWithError("the cube and the source disagree");
}
BENCHMARK(BM_MdxCell)->Unit(benchmark::kMillisecond);

// Points narrower than a country and a year: one city, a country in one month.
void BM_MdxCity(benchmark::State& state) {
    const SalesCube& c = cube();
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(SalesCube::value(
            c.cube, "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[City" + std::to_string(i++ % 1000) + "])"));
}
BENCHMARK(BM_MdxCity)->Unit(benchmark::kMillisecond);

void BM_MdxCountryMonth(benchmark::State& state) {
    const SalesCube& c = cube();
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(SalesCube::value(c.cube, "SELECT {[Measures].[Amount]} ON 0 FROM [Sales] WHERE ([Region].[Country" +
                                                              std::to_string(i++ % 20) + "], [Time].[2003].[5])"));
}
BENCHMARK(BM_MdxCountryMonth)->Unit(benchmark::kMillisecond);

}  // namespace
