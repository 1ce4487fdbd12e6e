#pragma once
// The add-in's shared state: every program-wide variable, read and written by all modules, held in
// one struct reached through SharedState(). Initial values are zero, empty, False or no object;
// InitGlobalDefaults (GlobalDefaults.h) assigns the start-up defaults.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/base/Variant.h"
#include "host/sheet/Application.h"

namespace telm {

// One named way of fetching a value, read from the data-model files.
struct DataModelVariable {
    std::string Name;
    std::string ABOUT;
    std::string TYPE;
    std::string ADDSTRING;
    std::string GETDATAARGUMENTS;
    std::string CONNECTIONTEXT;
    std::string QUERYTEXT;
    std::string ALIASES;
    std::string SAMPLEFUNCTION;
    std::string ARG1;
    std::string ARG2;
    std::string ARG3;
    std::string ARG4;
    std::string ARG5;
};

// One catalogue entry: the Polish text (index 0) and the English text (index 1).
struct MessageEntry {
    bool filled = false;
    std::array<std::string, 2> text;
};

// The system's name, the title of its own message boxes.
inline constexpr std::string_view kSystemName = "TELM.NET";

inline constexpr int kMaxMessageId = 4000;
// Width of JoinedArguments.
inline constexpr std::size_t kJoinedArgumentsWidth = 2000;

struct A_Deklaracje {
    // ---- host objects ----
    std::shared_ptr<host::sheet::Application> ExcelApp;
    std::shared_ptr<host::sheet::Workbooks> ExcelWorkbooks;
    std::int16_t ExcelVersion = 0;
    host::sheet::RangePtr TargetCell;

    // ---- folders and data model ----
    std::string AddInFolder;
    std::string AnalysesFolder;
    std::string SavedCurDir;
    std::string ModelFolder;
    std::string ModelName;
    std::string ModelFile;
    std::string ModelParameters;
    std::vector<DataModelVariable> DataModelVariables;
    // Position in DataModelVariables of the first variable of each name, built by the loader.
    std::unordered_map<std::string, std::size_t> DataModelIndex;
    std::string JoinedArguments;  // always kJoinedArgumentsWidth characters once written

    // ---- language and messages ----
    std::array<MessageEntry, kMaxMessageId + 1> MessageCatalogue;
    std::int16_t LanguageIndex = 0;
    std::int16_t ErrorReportingLevel = 0;
    host::Variant pvErrorReportingWay;
    host::Variant ReportChannel;
    std::string ErrorText;
    std::string ErrorDetail;
    bool ISProgramRunning = false;

    // ---- usage counters (16-bit statistics) ----
    std::int16_t GetDataCallCount = 0;
    std::int16_t DataFunctionCallCount = 0;
    std::int16_t ExternalQueryCount = 0;
    std::int16_t ArchiveHitCount = 0;

    // ---- archive and describe mode ----
    bool ArchiveOperationActive = false;
    std::int32_t ArchiveSavedCalculation = 0;
    bool DescribeModeRequested = false;
    bool DescribeModeActive = false;

    // ---- data functions and back-ends ----
    std::string CurrentOlapProvider;
    bool WebServiceBuffering = false;
    // The first login items GETDATAOLAP met for each server data source (its name in capitals).
    std::unordered_map<std::string, std::string> LastOlapConnections;
    host::Variant InfoSheetValue;
    bool PromptCancelled = false;
    host::Variant CurrentConnectionText;
    host::Variant CurrentQueryText;
    std::vector<host::Variant> FieldNames;
    host::Variant AuthorisationTable;  // a list of AuthorisationEntry texts from index 0
    std::string AuthorisationUser;
    std::string AuthorisationPassword;
    std::string LoginUser;
    std::string LoginPassword;
    std::int32_t LinkSavedCalculation = 0;
    host::Variant SavedCalculation;
    bool ServicesOff = false;
    bool ServiceDirectCall = false;
    bool ServiceCollecting = false;
    bool ServerCalculationOn = false;
    // The request-batching services: the collected requests (sorted and filtered after a cycle's
    // collecting pass), the result of each at the same position, and the next position to write.
    std::vector<std::string> ServiceRequestList;
    std::vector<host::Variant> ServiceResults;
    std::int32_t ServiceResultCounter = 0;

    // ---- commands, analyses and publication ----
    bool RepairLinksOnActivate = false;
    bool PublishAllowPrivate = false;
    bool PublishFormulaOption = false;
    bool PublishSilently = false;
    bool AnalysisMode = false;
    std::string CurrentAnalysisName;
    std::string CurrentAnalysisWorkbook;
    std::string LastOpenedAnalysis;
    std::string SelectedAddress;
    std::int16_t SelectedModelIndex = 0;
    std::string ISWorkbookName;
    std::string ISSheetName;
};

// The one instance of the shared state.
A_Deklaracje& SharedState();
// Returns every shared variable to its initial zero value (for tests and a fresh host).
void ResetSharedState();

// Adds one to a usage counter; a counter at its limit stays there.
void IncrementCounter(std::int16_t& counter);

// ExcelApp, raising error 91 when the host application was never handed in.
host::sheet::Application& ExcelApplication();

}  // namespace telm
