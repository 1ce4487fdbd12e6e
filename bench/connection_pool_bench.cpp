// GETDATA cells against a hand-written ODBC client, side by side: 10,000 cells over SQLite and 1,000
// over PostgreSQL (the PostgreSQL pair runs when TELM_PG_HOST, TELM_PG_PORT, TELM_PG_DATABASE,
// TELM_PG_USER and TELM_PG_PASSWORD name a server). The client sends the same SQL texts over one
// connection it keeps open, with one statement handle; the cells open and close a connection per cell
// as the add-in does, so the pool carries them. Between the two, the platform's share alone: the same
// queries through connections opened and closed per query. Each benchmark after the client reports
// "ratio": its best time per query over the client's.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

using Clock = std::chrono::steady_clock;

// The shorter of two times, 0 standing for none yet.
double bestOf(double best, double seconds) { return best == 0 ? seconds : std::min(best, seconds); }

// A table T(Id, Amount) of 10,000 rows in a data source, and an add-in folder whose data model reads it.
struct Source {
    std::filesystem::path folder;
    std::string connection;
    int cells;

    Source(const std::string& name, std::string text, int cellCount)
        : folder(std::filesystem::temp_directory_path() / ("telm-pool-bench-" + name)),
          connection(std::move(text)), cells(cellCount) {
        std::filesystem::create_directories(folder);
        run({"DROP TABLE IF EXISTS T", "CREATE TABLE T (Id INTEGER PRIMARY KEY, Amount DOUBLE PRECISION)",
             "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
             "INSERT INTO T SELECT i, i * 1.5 FROM n", "ANALYZE T"});
        std::ofstream(folder / "DataModel.par") << "[Measure Amount]\nType=ODBC\nGetDataArguments={id}\n"
                                                << "ConnectionText=" << connection << "\n"
                                                << "QueryText=SELECT Amount FROM T WHERE Id = {id}\n";
    }
    ~Source() {
        run({"DROP TABLE IF EXISTS T"});
        std::filesystem::remove_all(folder);
    }
    void run(std::initializer_list<const char*> statements) const {
        host::ado::Connection c;
        c.open(connection);
        for (const char* sql : statements) {
            host::ado::Recordset r;
            r.open(sql, c);
        }
    }
    // The statement the model's query gives for cell `i`.
    static std::string query(int i) { return "SELECT Amount FROM T WHERE Id = " + std::to_string(i); }
};

Source& sqlite() {
    static Source source = [] {
        const auto folder = std::filesystem::temp_directory_path() / "telm-pool-bench-sqlite";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const std::string file = (folder / "bench.db").string();
        std::ofstream(file).close();  // connections open existing database files only
        return Source("sqlite", "Driver={SQLite3};Database=" + file + ";", 10000);
    }();
    return source;
}

std::optional<Source>& postgres() {
    static std::optional<Source> source = []() -> std::optional<Source> {
        auto get = [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value ? value : "");
        };
        if (get("TELM_PG_HOST").empty() || get("TELM_PG_PORT").empty() || get("TELM_PG_USER").empty())
            return std::nullopt;
        return std::make_optional<Source>("postgres",
                                          "Driver={PostgreSQL Unicode};Server=" + get("TELM_PG_HOST") +
                                              ";Port=" + get("TELM_PG_PORT") + ";Database=" + get("TELM_PG_DATABASE") +
                                              ";UID=" + get("TELM_PG_USER") + ";PWD=" + get("TELM_PG_PASSWORD") +
                                              ";CommLog=0;Debug=0;",
                                          1000);
    }();
    return source;
}

// What a programmer writes by hand: one connection and one statement handle, the queries one after
// another, each value fetched as a double.
double handWrittenSecondsPerQuery(const Source& source, benchmark::State& state) {
    SQLHENV env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string text = source.connection;
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT)))
        state.SkipWithError("the client cannot connect");
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    double best = 0, total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 1; i <= source.cells; ++i) {
            std::string sql = Source::query(i);
            SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
            double value = 0;
            SQLLEN indicator = 0;
            if (SQL_SUCCEEDED(SQLFetch(stmt))) SQLGetData(stmt, 1, SQL_C_DOUBLE, &value, 0, &indicator);
            SQLCloseCursor(stmt);
            total += value;
        }
        best = bestOf(best, std::chrono::duration<double>(Clock::now() - start).count() / source.cells);
    }
    if (total != state.iterations() * 1.5 * source.cells * (source.cells + 1) / 2) state.SkipWithError("wrong sum");
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    state.SetItemsProcessed(state.iterations() * source.cells);
    return best;
}

// The platform's share alone: per query a connection opened (from the pool), a recordset read, the
// connection closed (back to the pool), as the add-in's data primitive does for each cell.
double pooledSecondsPerQuery(const Source& source, benchmark::State& state) {
    double best = 0, total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        for (int i = 1; i <= source.cells; ++i) {
            host::ado::Connection connection;
            connection.open(source.connection);
            host::ado::Recordset recordset;
            recordset.open(Source::query(i), connection);
            total += recordset.getRows().arrayValue()(0, 0).toDouble();
            connection.close();
        }
        best = bestOf(best, std::chrono::duration<double>(Clock::now() - start).count() / source.cells);
    }
    if (total != state.iterations() * 1.5 * source.cells * (source.cells + 1) / 2) state.SkipWithError("wrong sum");
    state.SetItemsProcessed(state.iterations() * source.cells);
    return best;
}

// A workbook of GETDATA cells, one per row, recalculated whole.
double cellSecondsPerQuery(const Source& source, benchmark::State& state) {
    auto app = host::sheet::Application::create();
    auto companion = host::companion::Companion::open(app, source.folder.string(), TELM_ADDIN_LIBRARY);
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    for (int i = 1; i <= source.cells; ++i)
        sheet->cells(i, 1)->setFormula("=GETDATA(\"Amount\"," + std::to_string(i) + ")");
    double best = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        app->calculate();  // GETDATA cells are volatile: every one is calculated
        best = bestOf(best, std::chrono::duration<double>(Clock::now() - start).count() / source.cells);
    }
    if (sheet->cells(source.cells, 1)->value().toDouble() != source.cells * 1.5) state.SkipWithError("wrong cell value");
    state.SetItemsProcessed(state.iterations() * source.cells);
    companion->close();
    return best;
}

Source* sqliteSource() { return &sqlite(); }
Source* postgresSource() { return postgres() ? &*postgres() : nullptr; }

using SourceOf = Source* (*)();
using Measure = double (*)(const Source&, benchmark::State&);
constexpr const char* kNoServer = "no server: set TELM_PG_*";

double sqliteClient = 0, postgresClient = 0;

void BM_HandWrittenClient(benchmark::State& state, SourceOf source, double* client) {
    if (!source()) return state.SkipWithError(kNoServer);
    *client = handWrittenSecondsPerQuery(*source(), state);
}

void BM_AgainstTheClient(benchmark::State& state, SourceOf source, Measure measure, const double* client) {
    if (!source()) return state.SkipWithError(kNoServer);
    const double seconds = measure(*source(), state);
    if (*client > 0) state.counters["ratio"] = seconds / *client;
}

BENCHMARK_CAPTURE(BM_HandWrittenClient, Sqlite, sqliteSource, &sqliteClient)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_AgainstTheClient, SqlitePooledConnections, sqliteSource, pooledSecondsPerQuery, &sqliteClient)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_AgainstTheClient, SqliteGetDataCells, sqliteSource, cellSecondsPerQuery, &sqliteClient)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_HandWrittenClient, Postgres, postgresSource, &postgresClient)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_AgainstTheClient, PostgresPooledConnections, postgresSource, pooledSecondsPerQuery,
                  &postgresClient)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_AgainstTheClient, PostgresGetDataCells, postgresSource, cellSecondsPerQuery, &postgresClient)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
