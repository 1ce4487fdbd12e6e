// 2,000 GETDATAODBC cells and a workbook of 10,000 GETDATA cells over a SQLite database, each cell one
// query, against the same queries sent straight through ODBC (a connection per query, as the add-in
// opens one per call). The cells' benchmarks report the ratio of the times per query and the
// add-in's overhead per cell.

#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/A_Deklaracje.h"
#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

constexpr int kQueries = 2000;
constexpr int kGetDataCells = 10000;

struct Database {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "telm-ado-bench";
    std::string path = (folder / "bench.db").string();
    std::string connection = "Driver={SQLite3};Database=" + path + ";";
    Database() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::ofstream(path).close();  // connections open existing database files only
        host::ado::Connection c;
        c.open(connection);
        host::ado::Recordset create;
        create.open("CREATE TABLE T (Id INTEGER PRIMARY KEY, Amount REAL)", c);
        host::ado::Recordset fill;
        fill.open("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
                  "INSERT INTO T SELECT i, i * 1.5 FROM n",
                  c);
    }
    ~Database() { std::filesystem::remove_all(folder); }
    std::string query(int i) const { return "SELECT Amount FROM T WHERE Id = " + std::to_string(i); }
    // The data model of the GETDATA cells: one variable over the same table.
    void writeModel() const {
        std::ofstream(folder / "DataModel.par") << "[Measure Amount]\nType=ODBC\nGetDataArguments={id}\n"
                                                << "ConnectionText=" << connection << "\n"
                                                << "QueryText=SELECT Amount FROM T WHERE Id = {id}\n";
    }
};

const Database& database() {
    static const Database db;
    return db;
}

double directSecondsPerQuery = 0;

// One query straight through the ODBC API: connect, run, fetch the value, disconnect.
double directQuery(SQLHENV env, const std::string& connection, const std::string& sql) {
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection.c_str())), SQL_NTS,
                     nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
    double value = 0;
    SQLLEN indicator = 0;
    if (SQL_SUCCEEDED(SQLFetch(stmt))) SQLGetData(stmt, 1, SQL_C_DOUBLE, &value, 0, &indicator);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return value;
}

void BM_DirectOdbcQueries(benchmark::State& state) {
    const Database& db = database();
    SQLHENV env = SQL_NULL_HENV;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 1; i <= kQueries; ++i) total += directQuery(env, db.connection, db.query(i));
        directSecondsPerQuery = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kQueries;
    }
    benchmark::DoNotOptimize(total);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    state.SetItemsProcessed(state.iterations() * kQueries);
}
BENCHMARK(BM_DirectOdbcQueries)->Unit(benchmark::kMillisecond);

void BM_GetDataOdbcCells(benchmark::State& state) {
    const Database& db = database();
    auto app = host::sheet::Application::create();
    auto companion = host::companion::Companion::open(app, db.folder.string(), TELM_ADDIN_LIBRARY);
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    for (int i = 1; i <= kQueries; ++i)
        sheet->cells(i, 1)->setFormula("=GETDATAODBC(\"" + db.connection + "\",\"" + db.query(i) + "\",FALSE)");
    double secondsPerCell = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        app->calculateFull();
        secondsPerCell = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kQueries;
    }
    if (sheet->cells(kQueries, 1)->value().toDouble() != kQueries * 1.5) state.SkipWithError("wrong cell value");
    state.SetItemsProcessed(state.iterations() * kQueries);
    if (directSecondsPerQuery > 0) {
        state.counters["ratio"] = secondsPerCell / directSecondsPerQuery;
        state.counters["overhead_us_per_cell"] = (secondsPerCell - directSecondsPerQuery) * 1e6;
    }
    companion->close();
}
BENCHMARK(BM_GetDataOdbcCells)->Unit(benchmark::kMillisecond);

void BM_GetDataWorkbook(benchmark::State& state) {
    const Database& db = database();
    db.writeModel();
    auto app = host::sheet::Application::create();
    auto companion = host::companion::Companion::open(app, db.folder.string(), TELM_ADDIN_LIBRARY);
    auto sheet = app->workbooks().add()->sheet(1);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    for (int i = 1; i <= kGetDataCells; ++i)
        sheet->cells(i, 1)->setFormula("=GETDATA(\"Amount\"," + std::to_string(i) + ")");
    double secondsPerCell = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        app->calculate();  // GETDATA cells are volatile: every one is calculated
        secondsPerCell = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kGetDataCells;
    }
    if (sheet->cells(kGetDataCells, 1)->value().toDouble() != kGetDataCells * 1.5) state.SkipWithError("wrong cell value");
    state.SetItemsProcessed(state.iterations() * kGetDataCells);
    state.counters["cells/s"] = 1.0 / secondsPerCell;
    if (directSecondsPerQuery > 0) state.counters["ratio"] = secondsPerCell / directSecondsPerQuery;
    companion->close();
}
BENCHMARK(BM_GetDataWorkbook)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
