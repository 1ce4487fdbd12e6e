#include "data/P_ArchiwumCommands.h"

#include <array>
#include <string_view>

#include "commands/SelectCellsContaining.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
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

// Enters the cell's formula again and calculates the cell, as the spreadsheet does with an entered
// formula even in manual mode. False when the formula cannot be entered again (part of an array).
bool reenterFormula(host::sheet::Range& cell) {
    try {
        cell.setFormula(cell.formula());
        cell.calculate();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

// The twin sheet of a sheet, created hidden right after it when missing (the sheet stays active).
WorksheetPtr twinSheetOf(const WorksheetPtr& sheet) {
    const auto book = sheet->parent();
    const std::string twinName = sheet->name() + ".a";
    if (auto twin = book->findSheet(twinName)) return twin;
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

// Archives one data-function cell into the twin cell at its address. A failing step is skipped, except
// that a cell whose formula cannot be entered again keeps its twin cell unchanged: its request is
// unknown.
void archiveCell(const RangePtr& cell, host::sheet::Worksheet& twin) {
    auto& s = SharedState();
    Variant before;
    IgnoringErrors([&] { before = cell->value(); });
    std::string description;
    s.DescribeModeRequested = true;
    bool reentered = reenterFormula(*cell);
    if (reentered) IgnoringErrors([&] { description = cell->value().toString(); });
    s.DescribeModeRequested = false;
    s.DescribeModeActive = false;
    reentered = reenterFormula(*cell) && reentered;
    if (!reentered) return;
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
            sheet->setVisible(SheetVisibility::Hidden);
            book->sheet(host::Left(name, host::Len(name) - 2))->select();  // the sheet it belongs to
        } else if (const WorksheetPtr twin = book->findSheet(name + ".a")) {
            if (twin->visible() == SheetVisibility::Visible) {
                twin->setVisible(SheetVisibility::Hidden);
            } else {
                twin->setVisible(SheetVisibility::Visible);
                twin->select();
            }
        } else if (host::ui::MsgBox(GetMessageText(102), host::ui::vbOKCancel + host::ui::vbQuestion, title()) ==
                   host::ui::vbOK) {
            ArchiveRange(nullptr);
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
        app.displayAlerts = false;
        active->parent()->sheet(name)->remove();
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
