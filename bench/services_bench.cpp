// The request-batching services as a user runs them: `telm` opens a workbook of 10,000 GETDATA cells
// (written by openpyxl) and recalculates it with `--run CalculateAll2`, with the services off (one query
// per cell) and on (`--run SetServicesOn` first: collect, a few batches, look up), over SQLite and over
// the PostgreSQL server named by TELM_PG_HOST, TELM_PG_PORT, TELM_PG_DATABASE, TELM_PG_USER and
// TELM_PG_PASSWORD (skipped when they are unset). Each round runs the two processes one after the
// other, so that both meet the same load; the figures are the medians of the rounds' wall times, and
// "speedup" is the median time off divided by the median time on.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kCells = 10000;

void run(const std::string& connection, const std::string& sql) {
    host::ado::Connection c;
    c.open(connection);
    host::ado::Recordset r;
    r.open(sql, c);
}

// Runs a program with its standard output into `output` and its standard error discarded; true when
// it ends with status 0.
bool runProcess(const std::vector<std::string>& arguments, const fs::path& output) {
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string contentOf(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A table (Id, Amount) of kCells rows in a database, an add-in folder whose data model reads it, and
// the workbook whose cell Ak asks for the amount of row k.
struct Source {
    fs::path folder;
    std::string connection;
    std::string table;

    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    Source(const std::string& name, std::string connectionText, std::string tableName)
        : folder(fs::temp_directory_path() / ("telm-services-bench-" + name + "-" + std::to_string(::getpid()))),
          connection(std::move(connectionText)), table(std::move(tableName)) {
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~Source() {
        if (table.starts_with("services_bench_")) {
            try {
                run(connection, "DROP TABLE " + table);
            } catch (...) {  // the server may have gone; the folder goes anyway
            }
        }
        fs::remove_all(folder);
    }

    fs::path addin() const { return folder / "addin"; }
    fs::path workbook() const { return folder / "book.xlsx"; }

    void fill() const {
        run(connection, "DROP TABLE IF EXISTS " + table);
        run(connection, "CREATE TABLE " + table + " (Id INTEGER PRIMARY KEY, Amount DOUBLE PRECISION)");
        run(connection, "INSERT INTO " + table +
                            " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                            std::to_string(kCells) + ") SELECT i, i * 1.5 FROM n");
        fs::copy(TELM_EXAMPLES, addin(), fs::copy_options::recursive);
        std::ofstream(addin() / "DataModel.par") << "[Measure Amount]\nType=ODBC\nGetDataArguments={id}\n"
                                                 << "ConnectionText=" << connection << "\n"
                                                 << "QueryText=SELECT Amount FROM " << table << " WHERE Id = {id}\n";
        std::ofstream(folder / "book.py") << "import openpyxl\nwb = openpyxl.Workbook()\nws = wb.active\n"
                                          << "for i in range(1, " << kCells + 1 << "):\n"
                                          << "    ws.cell(row=i, column=1).value = '=GETDATA(\"Amount\",%d)' % i\n"
                                          << "wb.save('" << workbook().string() << "')\n";
        if (!runProcess({"/usr/bin/python3", (folder / "book.py").string()}, folder / "python.out"))
            throw std::runtime_error("openpyxl could not write the workbook");
    }

    // Seconds of one telm process that opens the workbook and recalculates it; nullopt when it fails
    // or the last cell is not the amount of its row.
    std::optional<double> recalculate(bool servicesOn) const {
        std::vector<std::string> command = {TELM_PROGRAM, "--addin", addin().string(), workbook().string()};
        if (servicesOn) command.insert(command.end(), {"--answer", "OK", "--run", "SetServicesOn"});
        std::string lastCell = "A";
        lastCell += std::to_string(kCells);
        command.insert(command.end(), {"--run", "CalculateAll2", "--print", lastCell});
        const auto start = std::chrono::steady_clock::now();
        const bool ran = runProcess(command, folder / "telm.out");
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ran || contentOf(folder / "telm.out") != std::to_string(kCells * 3 / 2) + "\n") return std::nullopt;
        return seconds;
    }
};

std::unique_ptr<Source> sqlite() {
    auto s = std::make_unique<Source>("sqlite", "", "T");
    s->connection = "Driver={SQLite3};Database=" + (s->folder / "bench.db").string() + ";";
    std::ofstream(s->folder / "bench.db").close();  // connections open existing database files only
    s->fill();
    return s;
}

std::unique_ptr<Source> postgres() {
    auto get = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    if (get("TELM_PG_HOST").empty() || get("TELM_PG_PORT").empty() || get("TELM_PG_USER").empty()) return nullptr;
    auto s = std::make_unique<Source>(
        "pg",
        "Driver={PostgreSQL Unicode};Server=" + get("TELM_PG_HOST") + ";Port=" + get("TELM_PG_PORT") +
            ";Database=" + get("TELM_PG_DATABASE") + ";UID=" + get("TELM_PG_USER") + ";PWD=" + get("TELM_PG_PASSWORD") + ";",
        "services_bench_" + std::to_string(::getpid()));
    s->fill();
    return s;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Each iteration is one round: services off, then on.
void sideBySide(benchmark::State& state, const Source* source) {
    if (!source) {
        state.SkipWithError("no PostgreSQL server (TELM_PG_* unset)");
        return;
    }
    std::vector<double> off, on;
    for (auto _ : state) {
        const auto a = source->recalculate(false);
        const auto b = source->recalculate(true);
        if (!a || !b) {
            state.SkipWithError(!a ? "telm failed with the services off" : "telm failed with the services on");
            return;
        }
        off.push_back(*a);
        on.push_back(*b);
    }
    state.counters["off s"] = median(off);
    state.counters["on s"] = median(on);
    state.counters["speedup"] = median(off) / median(on);
}

void BM_SqliteServices(benchmark::State& state) { sideBySide(state, sqlite().get()); }
void BM_PostgresServices(benchmark::State& state) { sideBySide(state, postgres().get()); }

BENCHMARK(BM_SqliteServices)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PostgresServices)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
