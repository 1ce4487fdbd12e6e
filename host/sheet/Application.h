#pragma once
// Application: the spreadsheet application as the add-in sees it. Owns the open workbooks, the
// command bars, calculation, the registered functions and macros, and the application's settings.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Formula.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

class Calculator;
class CommandBars;

enum class CalculationMode { Manual = -4135, Automatic = -4105, SemiAutomatic = 2 };

// Reads and writes workbook files; attached by the file layer.
class WorkbookStore {
public:
    virtual ~WorkbookStore() = default;
    // Opens a workbook file into the application (not yet attached to the open workbooks).
    virtual WorkbookPtr open(Application& application, const std::string& fullName) = 0;
    virtual void save(const Workbook& workbook, const std::string& fullName) = 0;
    // Told when an open workbook is closed, so that what the store holds for its file is let go.
    virtual void closed(const Workbook& /*workbook*/) {}
    // The values of an area of a sheet of a workbook file that is not open (external references).
    virtual Variant readClosed(const std::string& folder, const std::string& workbook, const std::string& sheet,
                               const formula::Area& area) = 0;
    // The workbook of a file that is not open, as read for external references (its sheets and
    // names); nullptr when the file is missing or unreadable.
    virtual WorkbookPtr closedWorkbook(const std::string& fullName) = 0;
};

// A macro run by name (Application.Run, OnTime, a command-bar control's OnAction).
using Macro = std::function<Variant(std::vector<Variant>& arguments)>;

struct ScheduledMacro {
    double when;  // date serial
    std::string procedure;
};

class Application : public Object, public std::enable_shared_from_this<Application> {
public:
    static std::shared_ptr<Application> create();
    ~Application() override;
    std::string typeName() const override { return "Application"; }

    // ---- settings ----
    std::string caption = "Microsoft Excel";
    std::string version = "16.0";
    int countryCode = 1;  // International(1)
    std::string userName = "user";
    std::string organizationName;
    int enableCancelKey = 1;
    int calculationInterruptKey = 2;
    bool screenUpdating = true;
    bool displayAlerts = true;
    bool enableEvents = true;
    std::string pathSeparator() const { return "/"; }
    // International(index): 1 the country code; other indices raise 5.
    Variant international(int index) const;
    // The status bar: a text, or False when the application shows its own.
    Variant statusBar() const { return statusBar_; }
    void setStatusBar(const Variant& value);
    // Receives every status-bar change (the terminal shows progress with it).
    std::function<void(const Variant&)> onStatusBar;
    // The application's own progress text over the status bar, or (nullopt) the status bar's text
    // again; StatusBar keeps the text the code set.
    void showProgress(const std::optional<std::string>& text);
    // Receives the application's own progress texts (nullopt: the progress ended); without it they
    // reach onStatusBar.
    std::function<void(const std::optional<std::string>&)> onProgress;

    // ---- workbooks and selection ----
    Workbooks& workbooks() { return *workbooks_; }
    std::shared_ptr<Workbooks> workbooksObject() const { return workbooks_; }
    WorkbookPtr activeWorkbook() const;
    void setActiveWorkbook(const WorkbookPtr& workbook);
    WorksheetPtr activeSheet() const;
    RangePtr activeCell() const;
    RangePtr selection() const;
    // The workbook of the running add-in code (the companion add-in).
    WorkbookPtr thisWorkbook() const { return thisWorkbook_.lock(); }
    void setThisWorkbook(const WorkbookPtr& workbook) { thisWorkbook_ = workbook; }
    // Windows of the open workbooks; by caption, letter case ignored.
    std::vector<WindowPtr> windows() const;
    WindowPtr window(const std::string& caption) const;
    // Range("Sheet1!A1") or Range("A1") on the active sheet.
    RangePtr range(std::string_view address);
    // The ranges' common cells, nullptr when they share none or lie on different sheets.
    RangePtr intersect(const RangePtr& a, const RangePtr& b) const;

    CommandBars& commandBars() { return *commandBars_; }
    std::shared_ptr<CommandBars> commandBarsObject() const { return commandBars_; }

    // ---- calculation ----
    CalculationMode calculation() const { return calculation_; }
    // Switching to automatic recalculates.
    void setCalculation(CalculationMode mode);
    // Calculates dirty and volatile formulas of every open workbook.
    void calculate();
    // Calculates every formula of every open workbook.
    void calculateFull();
    // Marks the calling cell volatile; outside a formula it does nothing.
    void markVolatile(bool isVolatile = true);
    // The calling cell (the whole range of an array formula) while a formula runs; #REF! otherwise.
    Variant caller() const;
    Calculator& calculator() { return *calculator_; }

    // Evaluates a formula text in A1 style as if entered in the active cell.
    Variant evaluate(const std::string& formulaText);
    // Evaluates a formula text in A1 style as the array formula of a cell, which is the caller while
    // it runs: one value or an Array. The cell is not changed.
    Variant evaluateInCell(const RangePtr& cell, const std::string& formulaText);
    // Evaluates an R1C1 reference or formula text ("'folder\[Book.xlsx]Sheet1'!R1C1"), reading
    // workbooks that are not open from their files.
    Variant executeExcel4Macro(const std::string& text);

    // ---- functions, macros, timers, keys ----
    // Registers a user-defined function under a name (letter case ignored).
    void registerFunction(const std::string& name, formula::UserFunction function);
    const formula::UserFunction* findFunction(const std::string& name) const;
    void registerMacro(const std::string& name, Macro macro);
    // Consulted by run() for a name that is not registered: runs the macro and gives its result, or
    // gives nullopt when it does not know the name either.
    using MacroResolver = std::function<std::optional<Variant>(const std::string& name, std::vector<Variant>& arguments)>;
    void setMacroResolver(MacroResolver resolver) { macroResolver_ = std::move(resolver); }
    // Runs a macro by name, with an optional "Book!" or "'Book'!" qualifier; raises 1004 when there is
    // no such macro.
    Variant run(const std::string& macroName, std::vector<Variant> arguments = {});
    // Schedules a macro; runDueMacros runs those whose time has come (all of them with force), in
    // time order; runNextDueMacro runs the earliest one if its time has come and says whether it did.
    // A host program's event loop waits for nextScheduledMacro() and runs it.
    void onTime(double when, const std::string& procedure);
    void runDueMacros(bool force = false);
    bool runNextDueMacro();
    std::optional<ScheduledMacro> nextScheduledMacro() const;
    const std::vector<ScheduledMacro>& scheduledMacros() const { return scheduled_; }
    // Keystrokes sent to the application are recorded and played on the active cell's edit line:
    // {F2} edits the active cell (the edit line shows its formula), {F9} while editing replaces the
    // edit line by the formula's result as a constant formula ("=3"), {ESC} ends editing, a typed
    // character starts or extends the edit line, and Enter ("~" or {ENTER}) enters it into the cell.
    // An edit line that points at one value cell of a pivot table ("=B5") enters that cell's pivot
    // reference formula instead, as pointing at a pivot table does. Other keys do nothing.
    void sendKeys(const std::string& keys);
    const std::vector<std::string>& sentKeys() const { return sentKeys_; }
    // The edit line's text while a cell is edited, nullopt otherwise.
    const std::optional<std::string>& editLine() const { return editLine_; }
    // Receives every change of the edit line (the terminal shows it).
    std::function<void(const std::string&)> onEditLine;

    // The range on the clipboard (Range::copy), nullptr when it holds none.
    RangePtr clipboardRange() const { return clipboard_; }
    void setClipboardRange(RangePtr range) { clipboard_ = std::move(range); }
    // Asks the application to quit; the handler (if any) decides what that means.
    void quit();
    bool quitRequested() const { return quitRequested_; }
    std::function<void()> onQuit;

    // ---- worksheet functions callable from code ----
    Variant worksheetFunctionSum(const std::vector<Variant>& arguments);
    Variant worksheetFunctionTranspose(const Variant& array);
    std::string worksheetFunctionText(const Variant& value, const std::string& formatCode);

    // ---- events ----
    void addSheetCalculateHandler(std::function<void(const WorksheetPtr&)> handler);
    void addSheetChangeHandler(std::function<void(const WorksheetPtr&, const RangePtr&)> handler);
    void addWorkbookActivateHandler(std::function<void(const WorkbookPtr&)> handler);
    void fireSheetCalculate(const WorksheetPtr& sheet);
    void fireSheetChange(const WorksheetPtr& sheet, const RangePtr& target);
    void fireWorkbookActivate(const WorkbookPtr& workbook);

    // ---- commands that fail on their own route ----
    // A command that reports its own failure to the user (a message box on its failure route) and
    // then ends notes it here, so that a host program can tell it from a command that succeeded.
    void noteCommandFailure(std::string description) { commandFailure_ = std::move(description); }
    // The failure noted since the last call, if any; clears it.
    std::optional<std::string> takeCommandFailure() { return std::exchange(commandFailure_, std::nullopt); }

    // ---- files ----
    void setWorkbookStore(std::shared_ptr<WorkbookStore> store) { store_ = std::move(store); }
    WorkbookStore* workbookStore() const { return store_.get(); }

private:
    Application() = default;

    std::shared_ptr<Workbooks> workbooks_;
    std::shared_ptr<CommandBars> commandBars_;
    std::unique_ptr<Calculator> calculator_;
    std::shared_ptr<WorkbookStore> store_;
    std::weak_ptr<Workbook> activeWorkbook_;
    std::weak_ptr<Workbook> thisWorkbook_;
    CalculationMode calculation_ = CalculationMode::Automatic;
    Variant statusBar_ = false;
    // Keyed by the upper-cased name.
    std::unordered_map<std::string, formula::UserFunction> functions_;
    std::unordered_map<std::string, Macro> macros_;
    MacroResolver macroResolver_;
    std::vector<ScheduledMacro> scheduled_;
    std::vector<std::string> sentKeys_;
    std::optional<std::string> editLine_;
    RangePtr clipboard_;
    bool quitRequested_ = false;
    std::optional<std::string> commandFailure_;
    std::vector<std::function<void(const WorksheetPtr&)>> sheetCalculateHandlers_;
    std::vector<std::function<void(const WorksheetPtr&, const RangePtr&)>> sheetChangeHandlers_;
    std::vector<std::function<void(const WorkbookPtr&)>> workbookActivateHandlers_;
};
using ApplicationPtr = std::shared_ptr<Application>;

}  // namespace host::sheet
