#include "data/P_ArchiwumCommands.h"

#include <array>
#include <string_view>

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "core/SelectCellsContaining.h"
#include "data/F_000.h"
#include "data/P_Archiwum.h"
#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Comment.h"
#include "host/sheet/Workbook.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::RuntimeError;
using host::Variant;
using host::sheet::RangePtr;
using host::sheet::SheetVisibility;
using host::sheet::WorksheetPtr;

namespace {

constexpr long kLargestAskedSelection = 99999;
constexpr long kLongestSheetName = 31;
constexpr std::array<std::string_view, 6> kDataFunctionCalls = {"GETDATA(",     "DANE(",           "GETDATAODBC(",
                                                                 "GETDATAOLAP(", "GETDATAOLAPuni(", "GETDATALINK("};

WorksheetPtr activeSheetOf(host::sheet::Application& app) {
    auto sheet = app.activeSheet();
    if (!sheet) throw RuntimeError(host::err::ObjectNotSet);
    return sheet;
}

std::string title() { return GetMessageText(2001); }

// What BeginArchiveOperation found, given back by EndArchiveOperation (the calculation mode is kept
// in ArchiveSavedCalculation).
struct SavedDisplay {
    Variant statusBar = false;
    bool screenUpdating = true;
};
SavedDisplay savedDisplay;

// Begin on construction, End on destruction: the busy state never outlives the command.
class ArchiveOperation {
public:
    explicit ArchiveOperation(const std::string& statusText) { BeginArchiveOperation(statusText); }
    ~ArchiveOperation() {
        try {
            EndArchiveOperation();
        } catch (const RuntimeError&) {  // a destructor cannot pass it on; the state is restored first
        }
    }
    ArchiveOperation(const ArchiveOperation&) = delete;
    ArchiveOperation& operator=(const ArchiveOperation&) = delete;
};

bool isDataFunctionCell(const host::sheet::Range& cell) {
    if (!cell.hasFormula().toBool()) return false;
    const std::string formula = cell.formula().toString();
    for (std::string_view call : kDataFunctionCalls)
        if (host::InStr(formula, call, host::CompareMethod::Text) > 0) return true;
    return false;
}

// Whether the formula is one data-function call and nothing around it ("=GETDATA(...)"): only then
// is the cell's value the function's own, which a twin cell can stand for. A call inside an
// expression would answer its frozen value into the expression and be counted twice.
bool isWholeDataFunctionCall(std::string_view formula) {
    auto trim = [](std::string_view t) {
        while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
        return t;
    };
    formula = trim(formula);
    if (!formula.starts_with('=')) return false;
    formula = trim(formula.substr(1));
    bool named = false;
    for (std::string_view call : kDataFunctionCalls)
        named = named || host::StrComp(host::Left(formula, host::Len(call)), call, host::CompareMethod::Text) == 0;
    if (!named) return false;
    int depth = 0;
    bool inText = false;
    for (std::size_t i = formula.find('('); i < formula.size(); ++i) {
        const char c = formula[i];
        if (c == '"') inText = !inText;  // a doubled quote inside a text closes and opens again
        if (inText) continue;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i + 1 == formula.size();
    }
    return false;
}

// A SourceDescription, as a data function answers in describe mode; anything else (an error, a
// value) means the request is unknown.
bool isSourceDescription(const std::string& text) {
    return text.starts_with("s(:)") || text.starts_with("m(:)") || text.starts_with("l(:)");
}

// Calculates the cell again as it stands, its formula untouched. False for a cell of an array
// formula, which is left out.
bool recalculate(host::sheet::Range& cell) {
    if (cell.hasArray()) return false;
    try {
        cell.calculate();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// Tells the user why an archive command left everything as it was, and notes the failure.
void refuse(const std::string& text) {
    ReportMessage(text, host::ui::vbExclamation, title());
    ExcelApplication().noteCommandFailure(text);
}

// The twin sheet of a sheet when the archive made it; nullptr without one, and, after telling the
// user, when the sheet of that name is the user's own.
WorksheetPtr existingTwinOf(const host::sheet::Workbook& book, const std::string& twinName) {
    auto twin = book.findSheet(twinName);
    if (!twin || IsArchiveTwin(*twin)) return twin;
    refuse(GetMessageText(1060) + twinName);
    return nullptr;
}

// The twin sheet of a sheet, created hidden right after it when missing (the sheet stays active).
// nullptr, after telling the user, when a sheet of that name is the user's own or when the sheet's
// name leaves no room for ".a".
WorksheetPtr twinSheetOf(const WorksheetPtr& sheet) {
    const auto book = sheet->parent();
    const std::string twinName = sheet->name() + ".a";
    if (book->findSheet(twinName)) return existingTwinOf(*book, twinName);
    if (host::Len(twinName) > kLongestSheetName) {
        refuse(GetMessageText(1061) + sheet->name());
        return nullptr;
    }
    auto twin = book->addSheet(nullptr, sheet, twinName);
    twin->setVisible(SheetVisibility::Hidden);
    sheet->activate();
    return twin;
}

// One line of "Log\Archiwum.log"; a missing folder loses only the line.
void logArchivedCell(const host::sheet::Range& cell, const Variant& before, const std::string& description) {
    const auto sheet = cell.parent();
    const auto book = sheet->parent();
    const std::string line = book->path() + "\\[" + book->name() + "]" + sheet->name() + "!" + cell.address() +
                             " : " + before.toString() + " : " + description;
    IgnoringErrors([&] { AppendLogLine(line, SharedState().AddInFolder + "\\Log\\Archiwum.log", true, ""); });
}

// Archives one data-function cell into the twin cell at its address. A cell that is more than one
// data-function call, or whose request cannot be told, stays live and keeps its twin cell unchanged;
// after that a failing step is skipped.
void archiveCell(const RangePtr& cell, host::sheet::Worksheet& twin) {
    auto& s = SharedState();
    if (!isWholeDataFunctionCall(cell->formula().toString())) return;
    Variant before;
    IgnoringErrors([&] { before = cell->value(); });
    std::string description;
    s.DescribeModeRequested = true;
    bool calculated = recalculate(*cell);
    if (calculated) IgnoringErrors([&] { description = cell->value().toString(); });
    s.DescribeModeRequested = false;
    s.DescribeModeActive = false;
    calculated = recalculate(*cell) && calculated;
    if (!calculated || !isSourceDescription(description)) return;
    logArchivedCell(*cell, before, description);
    RangePtr twinCell;
    IgnoringErrors([&] { twinCell = twin.range(cell->address()); });
    if (!twinCell) return;
    IgnoringErrors([&] { twinCell->setValue(cell->value()); });
    IgnoringErrors([&] { twinCell->clearComments(); });
    IgnoringErrors([&] { twinCell->addComment(EncodeSourceComment(description) + "\n\n" + ArchiveSignature()); });
}

void archiveCells(const RangePtr& rng) {
    auto& app = ExcelApplication();
    const WorksheetPtr sheet = rng->parent();
    if (IsArchiveSheetName(sheet->name())) return;
    const WorksheetPtr twin = twinSheetOf(sheet);
    if (!twin) return;
    app.setCalculation(host::sheet::CalculationMode::Manual);
    const std::string status = GetMessageText(112) + "... " + sheet->name() + "!";
    for (const RangePtr& cell : rng->storedCellList()) {
        app.setStatusBar(status + cell->address());
        if (isDataFunctionCell(*cell)) archiveCell(cell, *twin);
    }
    FormatArchiveComments(twin->name());
}

// The twin cells of the GETDATA cells of `rng`: their comments removed, then cleared or dotted.
void eraseTwinCells(const RangePtr& rng, host::sheet::Worksheet& twin, bool bClearContents) {
    const std::string call = GetMessageText(3011) + "(";
    for (const RangePtr& cell : rng->storedCellList()) {
        if (host::InStr(cell->formula().toString(), call, host::CompareMethod::Text) == 0) continue;
        const RangePtr twinCell = twin.range(cell->address());
        twinCell->clearComments();
        if (bClearContents) {
            twinCell->clearContents();
        } else {
            twinCell->setValue(".");
        }
    }
}

}  // namespace

std::string ArchiveSignature() {
    auto& app = ExcelApplication();
    return app.worksheetFunctionText(host::nowSerial(), "YYYY.MM.DD hh:mm:ss") + ", \r" + app.userName + ", " +
           app.organizationName;
}

void EnlargeCommentShapes(host::sheet::Worksheet& sheet) {
    for (const auto& shape : sheet.shapes())
        if (shape->height < 100) {
            shape->height = 150;
            shape->width = 500;
        }
}

void BeginArchiveOperation(const std::string& statusText) {
    auto& s = SharedState();
    auto& app = ExcelApplication();
    s.ArchiveOperationActive = true;
    s.ArchiveSavedCalculation = static_cast<std::int32_t>(app.calculation());
    savedDisplay = {app.statusBar(), app.screenUpdating};
    app.setCalculation(host::sheet::CalculationMode::Manual);
    app.setStatusBar(statusText);
    app.screenUpdating = false;
}

void EndArchiveOperation() {
    auto& s = SharedState();
    auto& app = ExcelApplication();
    s.ArchiveOperationActive = false;
    app.setStatusBar(savedDisplay.statusBar);
    app.screenUpdating = savedDisplay.screenUpdating;
    // Last: going back to automatic recalculates, now through the archive.
    app.setCalculation(static_cast<host::sheet::CalculationMode>(s.ArchiveSavedCalculation));
}

RangePtr GetWorkRange() {
    auto& app = ExcelApplication();
    RangePtr used;
    try {
        SharedState().TargetCell = app.activeCell();
        RangePtr selection = app.selection();
        used = activeSheetOf(app)->usedRange();
        const long long cells = selection->count();
        if (cells > 1 && cells <= kLargestAskedSelection) {
            if (host::ui::MsgBox(GetMessageText(100), host::ui::vbYesNo, title()) == host::ui::vbNo) selection = used;
        } else {
            selection = used;
        }
        return app.intersect(used, selection);
    } catch (const RuntimeError&) {
        return used;
    }
}

void ArchiveRange(RangePtr rng) {
    {
        ArchiveOperation busy(GetMessageText(101));
        try {
            if (!rng) rng = GetWorkRange();
            if (rng) archiveCells(rng);
        } catch (const RuntimeError&) {  // reports nothing: what was archived stays archived
        }
    }
    if (auto target = SharedState().TargetCell) {
        try {
            target->select();
        } catch (const RuntimeError&) {
        }
    }
}

void RefreshArchiveSelection() { ArchiveRange(nullptr); }

void EraseArchive(bool bClearContents) {
    ArchiveOperation busy(GetMessageText(103));
    WorksheetPtr sheet;
    try {
        const RangePtr rng = GetWorkRange();
        if (!rng) throw RuntimeError(host::err::ObjectNotSet);
        sheet = rng->parent();
        if (IsArchiveSheetName(sheet->name())) return;
        const WorksheetPtr twin = sheet->parent()->findSheet(sheet->name() + ".a");
        if (twin && !IsArchiveTwin(*twin)) return refuse(GetMessageText(1060) + twin->name());
        if (!twin) {
            ReportMessage(GetMessageText(1011), host::ui::vbExclamation, kSystemName);
            sheet->activate();
            return;
        }
        eraseTwinCells(rng, *twin, bClearContents);
    } catch (const RuntimeError&) {
        if (sheet) sheet->activate();
    }
}

void ClearArchiveCells() { EraseArchive(true); }
void FillArchiveWithPoints() { EraseArchive(false); }

void ToggleArchiveSheet() {
    auto& app = ExcelApplication();
    app.screenUpdating = false;
    try {
        SharedState().TargetCell = app.activeCell();
        const WorksheetPtr sheet = activeSheetOf(app);
        const std::string name = sheet->name();
        const auto book = sheet->parent();
        if (IsArchiveSheetName(name)) {
            if (!IsArchiveTwin(*sheet)) {
                refuse(GetMessageText(1060) + name);
            } else {
                sheet->setVisible(SheetVisibility::Hidden);
                book->sheet(host::Left(name, host::Len(name) - 2))->select();  // the sheet it belongs to
            }
        } else if (!book->findSheet(name + ".a")) {
            if (host::ui::MsgBox(GetMessageText(102), host::ui::vbOKCancel + host::ui::vbQuestion, title()) ==
                host::ui::vbOK)
                ArchiveRange(nullptr);
        } else if (const WorksheetPtr twin = existingTwinOf(*book, name + ".a")) {
            if (twin->visible() == SheetVisibility::Visible) {
                twin->setVisible(SheetVisibility::Hidden);
            } else {
                twin->setVisible(SheetVisibility::Visible);
                twin->select();
            }
        }
    } catch (const RuntimeError&) {
        ReportMessage(GetMessageText(1000), host::ui::vbExclamation, title());
    }
    app.screenUpdating = true;
}

void DeleteArchiveSheet() {
    auto& app = ExcelApplication();
    try {
        const WorksheetPtr active = activeSheetOf(app);
        std::string name = active->name();
        if (!IsArchiveSheetName(name)) name += ".a";
        const WorksheetPtr twin = active->parent()->sheet(name);
        if (!IsArchiveTwin(*twin)) return refuse(GetMessageText(1060) + name);
        app.displayAlerts = false;
        twin->remove();
        app.displayAlerts = true;
    } catch (const RuntimeError&) {
        app.displayAlerts = true;
        ReportMessage(GetMessageText(1011), host::ui::vbExclamation, title());
    }
}

void FormatArchiveComments(const std::string& sheetName) {
    auto book = ExcelApplication().activeWorkbook();
    if (!book) throw RuntimeError(host::err::ObjectNotSet);
    const WorksheetPtr sheet = book->sheet(sheetName);
    for (const auto& comment : sheet->comments())
        if (host::InStr(comment->text(), ">\n") > 0) {
            ReportMessage("Procedura już była uruchamiana w tym arkuszu.", host::ui::vbCritical, "TELM.NET - TELM2XML");
            return;
        }
    EnlargeCommentShapes(*sheet);
}

void SelectArchiveMismatches() { SelectCellsContaining("#Arch!"); }

}  // namespace telm
