// Loading a data model of 20,000 variables spread over four model files.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/A_Deklaracje.h"
#include "data/F_Dane.h"

namespace {

// One variable block as users write them: a header, fields with comments, tabs and the folder token.
std::string variableBlock(int index) {
    const std::string n = std::to_string(index);
    return "[Measure Sales" + n + "]\r\n"
           "ABOUT=Net sales of region " + n + " ::: shown by the wizard\r\n"
           "TYPE=ODBC\r\n"
           "GETDATAARGUMENTS=Year,Month\r\n"
           "CONNECTIONTEXT=Driver={SQLite3};Database=[TELM.NET.Folder]\\sales.sqlite;\r\n"
           "QUERYTEXT=SELECT SUM(amount) FROM sales WHERE region=" + n + " AND year=Year AND month=Month\r\n"
           "\tSAMPLEFUNCTION=GETDATA(\"Sales" + n + "\";2024;1)\r\n"
           "ARG1=2022,2023,2024\r\n"
           "\r\n";
}

}  // namespace

static void BM_LoadDataModel(benchmark::State& state) {
    const int variables = static_cast<int>(state.range(0));
    constexpr int kFiles = 4;
    const auto folder = std::filesystem::temp_directory_path() / ("telm-bench-model-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (int f = 0; f < kFiles; ++f) {
        std::ofstream out(folder / ("DataModel" + std::to_string(f) + ".par"), std::ios::binary);
        if (f == 0) out << "PARAMETERS=OlapProvider=MSOLAP.4;ServerCalculation=0\r\n";
        for (int v = f; v < variables; v += kFiles) out << variableBlock(v);
    }
    telm::ResetSharedState();
    telm::SharedState().AddInFolder = folder.string();
    for (auto _ : state) {
        telm::LoadDataModel(false);
        if (telm::SharedState().DataModelVariables.size() != static_cast<std::size_t>(variables))
            state.SkipWithError("the model was not read");
    }
    state.SetItemsProcessed(state.iterations() * variables);
    telm::ResetSharedState();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadDataModel)->Arg(20000)->Unit(benchmark::kMillisecond);

// Looking a variable up by name in a model of 20,000 variables, as every GETDATA call does.
static void BM_FindModelVariable(benchmark::State& state) {
    telm::ResetSharedState();
    auto& variables = telm::SharedState().DataModelVariables;
    for (int v = 0; v < 20000; ++v) variables.emplace_back().Name = "Sales" + std::to_string(v);
    telm::IndexDataModel();
    int next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(telm::FindDataModelVariable("Sales" + std::to_string(next)));
        next = (next + 7919) % 20000;
    }
    telm::ResetSharedState();
}
BENCHMARK(BM_FindModelVariable);
