// The text converter as a user runs it: `telm` defines a converter on a new sheet and runs it over a
// listing of a million lines into a SQLite file. Shows the time and the peak memory of the process.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs the program and gives its peak resident memory in megabytes; -1 when it fails.
long runProcess(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss / 1024;
}

}  // namespace

static void BM_TextConverterListing(benchmark::State& state) {
    const long lines = state.range(0);
    const fs::path folder = fs::temp_directory_path() / ("telm_tc_bench_" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy(TELM_EXAMPLES, folder / "addin", fs::copy_options::recursive);
    {
        std::ofstream listing(folder / "listing.txt", std::ios::binary);
        listing << "SALES REPORT\r\nCity      Amount\r\n";
        for (long i = 1; i <= lines; ++i) listing << "City" << (i % 5000) << std::string(6 - std::to_string(i % 5000).size(), ' ') << i % 100000 << ",25\r\n";
    }
    const std::string database = (folder / "listing.db").string();
    const std::vector<std::string> command = {
        TELM_PROGRAM, "--addin", (folder / "addin").string(), "--new",
        "--set", "A1=TELM.NET.TC",
        "--set", "A3=File", "--set", "B3=" + (folder / "listing.txt").string(),
        "--set", "A4=SkipRows", "--set", "B4=2",
        "--set", "A5=Table", "--set", "B5=Sales",
        "--set", "A6=Connection", "--set", "B6=Driver={SQLite3};Database=" + database + ";",
        "--set", "A7=Fields",
        "--set", "A8=City", "--set", "B8=10",
        "--set", "A9=Amount", "--set", "C9=NUMBER",
        "--run", "StartTC"};
    long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(database);
        std::ofstream(database, std::ios::binary).flush();  // an empty file is an empty database
        state.ResumeTiming();
        peak = runProcess(command);
        if (peak < 0) state.SkipWithError("telm failed");
    }
    state.counters["peak MB"] = static_cast<double>(peak);
    fs::remove_all(folder);
}
BENCHMARK(BM_TextConverterListing)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);
