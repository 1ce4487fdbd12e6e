// GETDATA cells against a hand-written ODBC client, side by side: 10,000 cells over SQLite and 1,000
// over PostgreSQL (the PostgreSQL pair runs when TELM_PG_HOST, TELM_PG_PORT, TELM_PG_DATABASE,
// TELM_PG_USER and TELM_PG_PASSWORD name a server). The client sends the same SQL texts over one
// connection it keeps open, with one statement handle; the cells open and close a connection per cell
// as the add-in does. Besides, the platform's share alone: the same queries through connections opened
// and closed per query. Each benchmark reports "ratio", its time per query over the client's, and
// "client_us", the client's time per query.
//
// As the user runs it: `telm` opens a workbook file of N GETDATA cells and calculates it, against the
// client as a process of its own sending the same N queries. Each side's start-up (the program, the
// add-in, the connection) is taken out by timing it over one cell too: the ratio is
// (telm(N) - telm(1)) / (client(N) - client(1)).

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sql.h>
#include <sqlext.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/companion/Companion.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace {

using Clock = std::chrono::steady_clock;

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
};

// The statement the model's query gives for cell `i`.
std::string query(int i) { return "SELECT Amount FROM T WHERE Id = " + std::to_string(i); }
// The sum of the values of cells 1 to n.
double expectedSum(int n) { return 1.5 * n * (n + 1) / 2; }

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

double secondsSince(Clock::time_point start, int queries) {
    return std::chrono::duration<double>(Clock::now() - start).count() / queries;
}

// What a programmer writes by hand: one connection and one statement handle, the queries one after
// another, each value fetched as a double.
class HandWrittenClient {
public:
    HandWrittenClient(std::string text, int queries) : queries_(queries) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        connected_ = SQL_SUCCEEDED(SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                                                    nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
    }
    ~HandWrittenClient() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    bool connected() const { return connected_; }

    // The pass, or a negative number for a wrong sum.
    double pass() {
        const auto start = Clock::now();
        double total = 0;
        for (int i = 1; i <= queries_; ++i) {
            std::string sql = query(i);
            SQLExecDirect(stmt_, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS);
            double value = 0;
            SQLLEN indicator = 0;
            if (SQL_SUCCEEDED(SQLFetch(stmt_))) SQLGetData(stmt_, 1, SQL_C_DOUBLE, &value, 0, &indicator);
            SQLCloseCursor(stmt_);
            total += value;
        }
        const double seconds = secondsSince(start, queries_);
        return total == expectedSum(queries_) ? seconds : -1;
    }

private:
    int queries_;
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool connected_ = false;
};

// The platform's share alone: per query a connection opened (from the pool), a recordset read, the
// connection closed (back to the pool), as the add-in's data primitive does for each cell.
class PooledConnections {
public:
    explicit PooledConnections(const Source& source) : source_(source) {}
    double pass() {
        const auto start = Clock::now();
        double total = 0;
        for (int i = 1; i <= source_.cells; ++i) {
            host::ado::Connection connection;
            connection.open(source_.connection);
            host::ado::Recordset recordset;
            recordset.open(query(i), connection);
            total += recordset.getRows().arrayValue()(0, 0).toDouble();
            connection.close();
        }
        const double seconds = secondsSince(start, source_.cells);
        return total == expectedSum(source_.cells) ? seconds : -1;
    }

private:
    const Source& source_;
};

// A workbook of GETDATA cells, one per row, recalculated whole.
class GetDataCells {
public:
    explicit GetDataCells(const Source& source)
        : source_(source), app_(host::sheet::Application::create()),
          companion_(host::companion::Companion::open(app_, source.folder.string(), TELM_ADDIN_LIBRARY)),
          sheet_(app_->workbooks().add()->sheet(1)) {
        app_->setCalculation(host::sheet::CalculationMode::Manual);
        for (int i = 1; i <= source.cells; ++i)
            sheet_->cells(i, 1)->setFormula("=GETDATA(\"Amount\"," + std::to_string(i) + ")");
    }
    ~GetDataCells() { companion_->close(); }
    double pass() {
        const auto start = Clock::now();
        app_->calculate();  // GETDATA cells are volatile: every one is calculated
        const double seconds = secondsSince(start, source_.cells);
        return sheet_->cells(source_.cells, 1)->value().toDouble() == source_.cells * 1.5 ? seconds : -1;
    }

private:
    const Source& source_;
    std::shared_ptr<host::sheet::Application> app_;
    std::shared_ptr<host::companion::Companion> companion_;
    host::sheet::WorksheetPtr sheet_;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Source* sqliteSource() { return &sqlite(); }
Source* postgresSource() { return postgres() ? &*postgres() : nullptr; }

using SourceOf = Source* (*)();
constexpr const char* kNoServer = "no server: set TELM_PG_*";

// Each iteration runs one pass of the hand-written client and then one pass of `Measured`, so that
// both meet the same machine (a loopback server's latency drifts over seconds); "ratio" is the
// median of the iterations' ratios, the time reported the measured passes'.
template <class Measured>
void BM_AgainstTheClient(benchmark::State& state, SourceOf sourceOf) {
    Source* source = sourceOf();
    if (!source) return state.SkipWithError(kNoServer);
    HandWrittenClient client(source->connection, source->cells);
    if (!client.connected()) return state.SkipWithError("the client cannot connect");
    Measured measured(*source);
    std::vector<double> ratios, clientSeconds;
    for (auto _ : state) {
        state.PauseTiming();
        const double byHand = client.pass();
        state.ResumeTiming();
        const double seconds = measured.pass();
        if (byHand < 0 || seconds < 0) return state.SkipWithError("wrong values");
        ratios.push_back(seconds / byHand);
        clientSeconds.push_back(byHand);
    }
    state.SetItemsProcessed(state.iterations() * source->cells);
    state.counters["ratio"] = median(ratios);
    state.counters["client_us"] = median(clientSeconds) * 1e6;
}

void BM_PooledConnections(benchmark::State& state, SourceOf source) {
    BM_AgainstTheClient<PooledConnections>(state, source);
}
void BM_GetDataCells(benchmark::State& state, SourceOf source) { BM_AgainstTheClient<GetDataCells>(state, source); }

BENCHMARK_CAPTURE(BM_PooledConnections, Sqlite, sqliteSource)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK_CAPTURE(BM_GetDataCells, Sqlite, sqliteSource)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK_CAPTURE(BM_PooledConnections, Postgres, postgresSource)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK_CAPTURE(BM_GetDataCells, Postgres, postgresSource)->Unit(benchmark::kMillisecond)->Iterations(9);

// ---- as the user runs it: processes ----

constexpr const char* kClientText = "TELM_POOL_BENCH_CLIENT";
constexpr const char* kClientQueries = "TELM_POOL_BENCH_QUERIES";

// This program started again with kClientText (a connection text) and kClientQueries (n) in its
// environment is the hand-written client as a process: it sends the queries of cells 1 to n and exits,
// 0 when their sum is right.
const bool kRunsAsClient = [] {
    const char* text = std::getenv(kClientText);
    if (!text) return false;
    const int queries = std::atoi(std::getenv(kClientQueries));
    HandWrittenClient client(text, queries);
    std::_Exit(client.connected() && client.pass() >= 0 ? 0 : 1);
}();

// Runs a program to its end with standard output into `output`; its seconds, or -1 when it fails.
double timedProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                    const std::filesystem::path& output) {
    std::vector<char*> argv, envp;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (char** e = environ; *e; ++e) envp.push_back(*e);
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto start = Clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// The add-in folder `telm` starts with (the examples' companion beside the source's data model) and
// the workbook files of N cells and of one cell.
class UserRun {
public:
    explicit UserRun(const Source& source) : source_(source), addin_(source.folder / "addin") {
        std::filesystem::remove_all(addin_);
        std::filesystem::copy(TELM_EXAMPLES, addin_, std::filesystem::copy_options::recursive);
        std::filesystem::copy_file(source.folder / "DataModel.par", addin_ / "DataModel.par",
                                   std::filesystem::copy_options::overwrite_existing);
        writeWorkbook(source.cells);
        writeWorkbook(1);
    }

    // The seconds of `telm` opening the workbook of n cells, calculating it and printing its last cell;
    // -1 for a wrong value.
    double telm(int n) const {
        const auto output = source_.folder / "telm.out";
        const double seconds = timedProcess({TELM_PROGRAM, "--country", "1", "--addin", addin_.string(),
                                             book(n).string(), "--calc", "--print", cellName(n)},
                                            {}, output);
        std::ifstream printed(output);
        double value = 0;
        return printed >> value && value == 1.5 * n ? seconds : -1;
    }
    // The seconds of the client process sending the queries of n cells.
    double client(int n) const {
        return timedProcess({"/proc/self/exe"},
                            {std::string(kClientText) + "=" + source_.connection,
                             std::string(kClientQueries) + "=" + std::to_string(n)},
                            "/dev/null");
    }

private:
    static std::string cellName(int n) {
        std::string name = "A";
        return name.append(std::to_string(n));
    }
    std::filesystem::path book(int n) const { return source_.folder / ("cells" + std::to_string(n) + ".xlsx"); }
    void writeWorkbook(int n) const {
        auto app = host::sheet::Application::create();
        host::files::attachWorkbookStore(*app);
        app->setCalculation(host::sheet::CalculationMode::Manual);
        auto workbook = app->workbooks().add();
        for (int i = 1; i <= n; ++i)
            workbook->sheet(1)->cells(i, 1)->setFormula("=GETDATA(\"Amount\"," + std::to_string(i) + ")");
        app->workbookStore()->save(*workbook, book(n).string());
    }

    const Source& source_;
    std::filesystem::path addin_;
};

// Rounds of the four processes in turn; "ratio" is the median of the rounds' ratios of marginal
// time, "telm_us" and "client_us" the medians of the marginal time per cell.
void BM_AsTheUserRunsIt(benchmark::State& state, SourceOf sourceOf) {
    Source* source = sourceOf();
    if (!source) return state.SkipWithError(kNoServer);
    const UserRun run(*source);
    const int n = source->cells;
    std::vector<double> ratios, telmSeconds, clientSeconds;
    for (auto _ : state) {
        const double clientN = run.client(n), client1 = run.client(1), telmN = run.telm(n), telm1 = run.telm(1);
        if (clientN < 0 || client1 < 0 || telmN < 0 || telm1 < 0) return state.SkipWithError("a process failed");
        ratios.push_back((telmN - telm1) / (clientN - client1));
        telmSeconds.push_back((telmN - telm1) / (n - 1));
        clientSeconds.push_back((clientN - client1) / (n - 1));
    }
    state.counters["ratio"] = median(ratios);
    state.counters["telm_us"] = median(telmSeconds) * 1e6;
    state.counters["client_us"] = median(clientSeconds) * 1e6;
}

BENCHMARK_CAPTURE(BM_AsTheUserRunsIt, Sqlite, sqliteSource)->Unit(benchmark::kMillisecond)->Iterations(7);
BENCHMARK_CAPTURE(BM_AsTheUserRunsIt, Postgres, postgresSource)->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace
