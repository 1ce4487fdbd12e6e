#include "batch/P_IS_Program.h"

#include "batch/P_IS_Dane.h"
#include "core/A_Deklaracje.h"
#include "core/F_Pomocnicze.h"
#include "core/P_API.h"
#include "data/P_ArchiwumCommands.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"

namespace telm {

namespace {

// The cell an SQL step writes to: "Sheet!A1" on the program's workbook or "A1" on the program sheet.
host::sheet::RangePtr targetCell(const std::string& address, const host::sheet::WorksheetPtr& programSheet) {
    if (address.empty()) return nullptr;
    const auto bang = address.rfind('!');
    if (bang == std::string::npos) return programSheet->range(address);
    std::string sheetName = address.substr(0, bang);
    if (sheetName.size() >= 2 && sheetName.front() == '\'' && sheetName.back() == '\'')
        sheetName = host::Replace(sheetName.substr(1, sheetName.size() - 2), "''", "'");
    return programSheet->parent()->sheet(sheetName)->range(address.substr(bang + 1));
}

bool isTrue(const std::string& text) {
    const std::string upper = host::UCase(host::Trim(text));
    return upper == "TRUE" || upper == "1" || upper == "PRAWDA";
}

constexpr double kOneSecond = 1.0 / 86400.0;

// Whether `file` names the workbook's own file (or a workbook of its name, which the refresh would
// close as well).
bool isFileOf(const host::sheet::Workbook& book, const std::string& file) {
    const std::string path = host::nativePath(file);
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return host::StrComp(name, book.name(), host::CompareMethod::Text) == 0;
}

}  // namespace

void RunISCommand(const std::string& command, const std::vector<std::string>& arguments,
                  const host::sheet::WorksheetPtr& programSheet) {
    auto argument = [&](std::size_t i) { return i < arguments.size() ? arguments[i] : std::string(); };
    const std::string name = host::UCase(host::Trim(command));
    if (name == "SQL") {
        RunSqlStep(argument(0), argument(1), targetCell(argument(2), programSheet), isTrue(argument(3)));
    } else if (name == "DOWNLOAD") {
        const std::string file = ReplaceFolderPlaceholder(argument(1));
        if (!DownloadFile(argument(0), file))
            throw host::RuntimeError(75, "The download of '" + argument(0) + "' into '" + file + "' failed.");
    } else if (name == "HIDDENARCHIVEREFRESH") {
        const std::string file = ReplaceFolderPlaceholder(argument(0));
        // The refresh closes the workbook it saves: never the one the program runs from.
        if (isFileOf(*programSheet->parent(), file))
            throw host::RuntimeError(
                5, "'" + file + "' is the program's own workbook, which cannot be refreshed while it runs.");
        RefreshWorkbookArchives(file);
        if (auto failure = ExcelApplication().takeCommandFailure()) throw host::RuntimeError(5, *failure);
    } else if (name == "CUBE") {
        CreateOlapCube(ReadCubeDefinition(argument(0)), argument(1));
    } else if (name == "STARTIS") {
        SharedState().ISWorkbookName = ReplaceFolderPlaceholder(argument(0));
        SharedState().ISSheetName = argument(1);
        ExcelApplication().onTime(host::nowSerial() + kOneSecond, "AutoStartIS");
    } else {
        throw host::RuntimeError(5, "Unknown command '" + command + "'.");
    }
}

}  // namespace telm
