#include "host/sheet/Application.h"

#include <algorithm>

#include "host/base/DateSerial.h"
#include "host/base/NumberFormat.h"
#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/CellEvalContext.h"
#include "host/sheet/CommandBars.h"
#include "host/sheet/PivotTable.h"
#include "host/sheet/References.h"

namespace host::sheet {

namespace {

// Function and macro names match without regard to letter case.
std::string nameKey(std::string_view name) { return UCase(name); }

}  // namespace

std::shared_ptr<Application> Application::create() {
    std::shared_ptr<Application> app(new Application());
    app->workbooks_ = std::make_shared<Workbooks>(app);
    app->commandBars_ = std::make_shared<CommandBars>();
    app->calculator_ = std::make_unique<Calculator>(*app);
    std::weak_ptr<Application> weak = app;
    app->commandBars_->setMacroRunner([weak](const std::string& onAction) {
        if (auto a = weak.lock()) a->run(onAction);
    });
    // The pivot tables' own worksheet function; volatile, since a refresh changes the table's values
    // without touching the cell a reference names.
    app->registerFunction("GETPIVOTDATA", [weak](std::vector<Variant>& arguments) {
        if (auto a = weak.lock()) a->markVolatile(true);
        return getPivotData(arguments);
    });
    return app;
}

Application::~Application() = default;

Variant Application::international(int index) const {
    if (index == 1) return countryCode;
    throw RuntimeError(err::InvalidProcedureCall);
}

void Application::setStatusBar(const Variant& value) {
    statusBar_ = value;
    if (onStatusBar) onStatusBar(value);
}

void Application::showProgress(const std::optional<std::string>& text) {
    if (onProgress) return onProgress(text);
    if (onStatusBar) onStatusBar(text ? Variant(*text) : statusBar_);
}

// ---- workbooks and selection ----

WorkbookPtr Application::activeWorkbook() const {
    auto book = activeWorkbook_.lock();
    if (book && workbooks_->find(book->name()) == book) return book;
    return nullptr;
}

void Application::setActiveWorkbook(const WorkbookPtr& workbook) { activeWorkbook_ = workbook; }

WorksheetPtr Application::activeSheet() const {
    auto book = activeWorkbook();
    return book ? book->activeSheet() : nullptr;
}

RangePtr Application::activeCell() const {
    auto sheet = activeSheet();
    return sheet ? sheet->activeCell() : nullptr;
}

RangePtr Application::selection() const {
    auto sheet = activeSheet();
    return sheet ? sheet->selection() : nullptr;
}

std::vector<WindowPtr> Application::windows() const {
    std::vector<WindowPtr> result;
    for (const auto& book : workbooks_->all())
        for (const auto& w : book->windows()) result.push_back(w);
    return result;
}

WindowPtr Application::window(const std::string& caption) const {
    for (const auto& w : windows())
        if (StrComp(w->caption, caption, CompareMethod::Text) == 0) return w;
    throw RuntimeError(err::SubscriptOutOfRange);
}

RangePtr Application::range(std::string_view address) {
    const auto targets = formula::parseAddress(address);
    auto sheet = activeSheet();
    if (!sheet) throw RuntimeError(err::InvalidArgument, "Method 'Range' of object '_Global' failed");
    std::vector<formula::Area> areas;
    WorksheetPtr target;
    for (const auto& t : targets) {
        auto s = resolveSheet(*this, *sheet, t);
        if (!s || (target && s != target)) throw RuntimeError(err::InvalidArgument, "Method 'Range' of object '_Global' failed");
        target = s;
        areas.push_back(t.area);
    }
    return std::make_shared<Range>(target, std::move(areas));
}

RangePtr Application::intersect(const RangePtr& a, const RangePtr& b) const {
    if (!a || !b || a->parent() != b->parent()) return nullptr;
    std::vector<formula::Area> common;
    for (const auto& x : a->areas())
        for (const auto& y : b->areas()) {
            const formula::Area i{std::max(x.top, y.top), std::max(x.left, y.left), std::min(x.bottom, y.bottom),
                                  std::min(x.right, y.right)};
            if (i.top <= i.bottom && i.left <= i.right) common.push_back(i);
        }
    if (common.empty()) return nullptr;
    return std::make_shared<Range>(a->parent(), std::move(common));
}

// ---- calculation ----

void Application::setCalculation(CalculationMode mode) {
    const bool becomesAutomatic = mode == CalculationMode::Automatic && calculation_ != CalculationMode::Automatic;
    calculation_ = mode;
    if (becomesAutomatic) calculate();
}

void Application::calculate() { calculator_->calculateAll(false); }
void Application::calculateFull() { calculator_->calculateAll(true); }
void Application::markVolatile(bool isVolatile) { calculator_->markCallerVolatile(isVolatile); }

Variant Application::caller() const {
    const auto* frame = calculator_->currentCaller();
    if (!frame) return CellError::Ref;
    return std::make_shared<Range>(frame->sheet->shared_from_this(), std::vector<formula::Area>{frame->area});
}

namespace {

// Evaluation outside any cell: references resolve against a sheet, read files of closed workbooks.
Variant evaluateText(Application& app, const std::string& text, formula::ReferenceStyle style) {
    auto sheet = app.activeSheet();
    const int row = sheet ? sheet->activeCell()->row() : 1;
    const int column = sheet ? sheet->activeCell()->column() : 1;
    const auto parsed = formula::Formula::parse(text, style, row, column);
    if (!sheet) {
        // Without an open workbook only constants and external references can be evaluated.
        auto scratch = std::make_shared<Workbook>(app.weak_from_this(), "");
        scratch->initialise();
        scratch->addSheet();
        CellEvalContext context(app, *scratch->sheet(1), row, column);
        return formula::evaluate(parsed, context, false);
    }
    CellEvalContext context(app, *sheet, row, column);
    return formula::evaluate(parsed, context, false);
}

}  // namespace

Variant Application::evaluate(const std::string& formulaText) {
    return evaluateText(*this, formulaText, formula::ReferenceStyle::A1);
}

Variant Application::evaluateInCell(const RangePtr& cell, const std::string& formulaText) {
    const auto parsed = formula::Formula::parse(formulaText, formula::ReferenceStyle::A1, cell->row(), cell->column());
    return calculator_->evaluateAt(*cell->parent(), formula::Area::cell(cell->row(), cell->column()), parsed);
}

Variant Application::executeExcel4Macro(const std::string& text) {
    return evaluateText(*this, text, formula::ReferenceStyle::R1C1);
}

// ---- functions, macros, timers ----

void Application::registerFunction(const std::string& name, formula::UserFunction function) {
    functions_[nameKey(name)] = std::move(function);
}

const formula::UserFunction* Application::findFunction(const std::string& name) const {
    // Names are kept in upper case, as formulas mostly write them.
    auto it = functions_.find(name);
    if (it == functions_.end()) it = functions_.find(nameKey(name));
    return it == functions_.end() ? nullptr : &it->second;
}

void Application::registerMacro(const std::string& name, Macro macro) { macros_[nameKey(name)] = std::move(macro); }

Variant Application::run(const std::string& macroName, std::vector<Variant> arguments) {
    // "'Book.xla'!Macro" and "Book.xla!Macro" name a macro of a workbook; the name alone is enough here.
    std::string_view name = macroName;
    if (const auto bang = name.rfind('!'); bang != std::string_view::npos) name.remove_prefix(bang + 1);
    auto it = macros_.find(nameKey(name));
    if (it == macros_.end() && macroResolver_) {
        // Copy the resolver: the macro may replace it while it runs.
        auto resolver = macroResolver_;
        if (auto result = resolver(std::string(name), arguments)) return *result;
    }
    if (it == macros_.end())
        throw RuntimeError(err::InvalidArgument, "Cannot run the macro '" + macroName +
                                                     "'. The macro may not be available in this workbook.");
    // Copy the macro: it may register or remove macros while it runs.
    Macro macro = it->second;
    return macro(arguments);
}

namespace {

// Times are date serials of whole seconds; a sum such as "now + one second" may miss the serial of
// that second by a rounding step.
constexpr double kSameTime = 1e-3 / 86400;

bool isDue(const ScheduledMacro& m, double now) { return m.when <= now + kSameTime; }

}  // namespace

void Application::onTime(double when, const std::string& procedure) {
    // Kept in time order; macros of the same time in the order they were scheduled.
    const auto at = std::upper_bound(scheduled_.begin(), scheduled_.end(), when,
                                     [](double w, const ScheduledMacro& m) { return w < m.when; });
    scheduled_.insert(at, {when, procedure});
}

void Application::runDueMacros(bool force) {
    const double now = nowSerial();
    std::vector<ScheduledMacro> due;
    std::erase_if(scheduled_, [&](const ScheduledMacro& m) {
        const bool runNow = force || isDue(m, now);
        if (runNow) due.push_back(m);
        return runNow;
    });
    for (const auto& m : due) run(m.procedure);
}

bool Application::runNextDueMacro() {
    if (scheduled_.empty() || !isDue(scheduled_.front(), nowSerial())) return false;
    const ScheduledMacro next = scheduled_.front();
    scheduled_.erase(scheduled_.begin());
    run(next.procedure);
    return true;
}

std::optional<ScheduledMacro> Application::nextScheduledMacro() const {
    if (scheduled_.empty()) return std::nullopt;
    return scheduled_.front();
}

void Application::quit() {
    quitRequested_ = true;
    if (onQuit) onQuit();
}

// ---- worksheet functions ----

Variant Application::worksheetFunctionSum(const std::vector<Variant>& arguments) {
    double total = 0;
    auto add = [&](const Variant& v, bool fromReference) {
        if (v.isError()) throw RuntimeError(1004, "Unable to get the Sum property of the WorksheetFunction class");
        if (v.isNumber()) total += v.toDouble();
        else if (!fromReference && (v.isBoolean() || v.isString())) total += v.isBoolean() ? (v.boolValue() ? 1 : 0) : v.toDouble();
    };
    for (const Variant& a : arguments) {
        if (auto r = asRange(a)) {
            for (const auto& cell : r->cellList()) add(cell->value2(), true);
        } else if (a.isArray()) {
            for (const Variant& e : a.arrayValue().elements()) add(e, true);
        } else if (!a.isMissing() && !a.isEmpty()) {
            add(a, false);
        }
    }
    return total;
}

Variant Application::worksheetFunctionTranspose(const Variant& array) {
    Variant source = asRange(array) ? asRange(array)->value() : array;
    if (!source.isArray()) return source;
    const Array& a = source.arrayValue();
    if (a.dimensions() == 1) {
        // A one-dimensional array is a row; its transpose is a column.
        Array column = Array::matrix(a.count(1), 1);
        for (long i = 0; i < a.count(1); ++i) column(i + 1, 1) = a(a.lbound(1) + i);
        return column;
    }
    if (a.dimensions() != 2) throw RuntimeError(err::TypeMismatch);
    Array t = Array::matrix(a.count(2), a.count(1));
    for (long i = 0; i < a.count(1); ++i)
        for (long j = 0; j < a.count(2); ++j) t(j + 1, i + 1) = a(a.lbound(1) + i, a.lbound(2) + j);
    return t;
}

std::string Application::worksheetFunctionText(const Variant& value, const std::string& formatCode) {
    return formatValue(asRange(value) ? asRange(value)->value() : value, formatCode);
}

// ---- events ----

void Application::addSheetCalculateHandler(std::function<void(const WorksheetPtr&)> handler) {
    sheetCalculateHandlers_.push_back(std::move(handler));
}

void Application::addSheetChangeHandler(std::function<void(const WorksheetPtr&, const RangePtr&)> handler) {
    sheetChangeHandlers_.push_back(std::move(handler));
}

void Application::addWorkbookActivateHandler(std::function<void(const WorkbookPtr&)> handler) {
    workbookActivateHandlers_.push_back(std::move(handler));
}

void Application::fireSheetCalculate(const WorksheetPtr& sheet) {
    if (!enableEvents) return;
    for (auto handlers = sheetCalculateHandlers_; auto& h : handlers) h(sheet);
}

void Application::fireSheetChange(const WorksheetPtr& sheet, const RangePtr& target) {
    if (!enableEvents) return;
    for (auto handlers = sheetChangeHandlers_; auto& h : handlers) h(sheet, target);
}

void Application::fireWorkbookActivate(const WorkbookPtr& workbook) {
    if (!enableEvents) return;
    for (auto handlers = workbookActivateHandlers_; auto& h : handlers) h(workbook);
}

}  // namespace host::sheet
