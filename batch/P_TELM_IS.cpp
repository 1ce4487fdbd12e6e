#include "batch/P_TELM_IS.h"

#include <vector>

#include "analyses/BusyState.h"
#include "batch/P_IS_Program.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

constexpr int kTitle = 2006;
constexpr int kFirstRow = 3;
constexpr int kArgumentColumns = 4;

// Reports the program's failure and notes it for the caller.
void report(const std::string& prompt, int buttons = host::ui::vbExclamation) {
    ReportMessage(prompt, buttons, GetMessageText(kTitle));
    ExcelApplication().noteCommandFailure(prompt);
}

bool isProgramSheet(const host::sheet::WorksheetPtr& sheet) {
    return sheet && sheet->range("A1")->value() == host::Variant(kISProgramMark);
}

// Keeps ISProgramRunning True for its lifetime.
struct ProgramRunning {
    ProgramRunning() { SharedState().ISProgramRunning = true; }
    ~ProgramRunning() { SharedState().ISProgramRunning = false; }
};

// Runs the rows; gives the failing row's number and failure, or nothing when every row ran.
std::optional<std::pair<int, std::string>> runRows(const host::sheet::WorksheetPtr& sheet) {
    ProgramRunning running;
    BusyState busy(true);
    for (int row = kFirstRow;; ++row) {
        const std::string command = sheet->cells(row, 1)->value().toString();
        if (command.empty()) return std::nullopt;
        busy.status(GetMessageText(117) + " " + std::to_string(row) + ": " + command);
        std::vector<std::string> arguments;
        for (int column = 2; column <= 1 + kArgumentColumns; ++column)
            arguments.push_back(sheet->cells(row, column)->value().toString());
        try {
            RunISCommand(command, arguments, sheet);
        } catch (const host::RuntimeError& e) {
            return std::make_pair(row, e.description());
        }
    }
}

}  // namespace

void RunISProgram() {
    try {
        auto sheet = ExcelApplication().activeSheet();
        if (!isProgramSheet(sheet)) return report(GetMessageText(1021) + kISProgramMark);
        if (auto failure = runRows(sheet))
            report(GetMessageText(117) + " " + std::to_string(failure->first) + ": " + failure->second,
                   host::ui::vbCritical);
    } catch (const host::RuntimeError& e) {
        report(GetMessageText(1999) + e.description());
    }
}

void StartISWorkbook() {
    const auto& state = SharedState();
    try {
        auto& app = ExcelApplication();
        host::sheet::WorkbookPtr book;
        for (const auto& open : app.workbooks().list())
            if (open->fullName() == host::nativePath(state.ISWorkbookName) || open->name() == state.ISWorkbookName) book = open;
        if (!book) book = app.workbooks().open(state.ISWorkbookName);
        book->activate();
        auto sheet = book->findSheet(state.ISSheetName);
        if (!sheet) return report(GetMessageText(1021) + kISProgramMark + "\n" + state.ISSheetName);
        sheet->activate();
        // A workbook's ProgramStart is the program on the sheet ISSheetName names.
        RunISProgram();
    } catch (const host::RuntimeError& e) {
        report(GetMessageText(1017) + ": " + state.ISWorkbookName + "\n" + e.description());
    }
}

}  // namespace telm
