#include "host/sheet/Calculator.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <unordered_map>
#include <unordered_set>

#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/CalculationProgress.h"
#include "host/sheet/CellEvalContext.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

using formula::Area;

namespace {

// The most cells of its sheet that a formula reads without a look-up.
constexpr std::size_t kMaxKnownCells = 8;

// Calls visit(sheet) for every sheet of the open workbooks, in their order.
template <class Visit>
void forEverySheet(Application& app, const Visit& visit) {
    for (const auto& book : app.workbooks().all())
        for (const auto& sheet : book->worksheets()) visit(*sheet);
}

}  // namespace

Calculator::Calculator(Application& application) : application_(application), graph_(application), clock_(coarseSeconds) {}

// ---- dependency graph ----

void Calculator::ensureGraph() {
    if (graphStale_) {
        keepMarksInSheets();
        // Formulas read from a file calling RAND, NOW, ... are volatile as typed ones are.
        graph_.rebuild([](Worksheet& sheet, CellKey key, const formula::Formula& formula) {
            if (formula.isVolatile()) sheet.calcState().volatileCells.insert(key);
        });
        graphStale_ = false;
    }
    takeSheetMarks();
}

void Calculator::keepMarksInSheets() {
    if (dirty_.empty()) return;
    // Nodes of sheets removed since are left out: their sheets may be gone.
    std::unordered_set<const Worksheet*> open;
    forEverySheet(application_, [&](Worksheet& sheet) { open.insert(&sheet); });
    for (Index n : dirty_.sorted()) {
        const NodeId& id = graph_.id(n);
        if (open.contains(id.sheet)) id.sheet->calcState().dirty.insert(id.key);
    }
    dirty_.reset();
}

void Calculator::takeSheetMarks() {
    // Cells marked in their sheets (formulas read from a file without a value, user functions of an
    // opened workbook, marks kept over a rebuild) make what depends on them dirty too.
    std::vector<Index> marked;
    forEverySheet(application_, [&](Worksheet& sheet) {
        auto& pending = sheet.calcState().dirty;
        if (pending.empty()) return;
        for (CellKey key : pending)
            if (auto n = graph_.find(NodeId{&sheet, key})) marked.push_back(*n);
        pending.clear();
    });
    if (!marked.empty()) markDependentsDirty(marked);
}

std::vector<Calculator::Index> Calculator::nodesOf(const std::vector<NodeId>& cells) const {
    std::vector<Index> nodes;
    nodes.reserve(cells.size());
    for (const NodeId& c : cells)
        if (auto n = graph_.find(c)) nodes.push_back(*n);
    return nodes;
}

std::vector<Calculator::Index> Calculator::volatileNodes() const {
    std::vector<Index> nodes;
    forEverySheet(application_, [&](Worksheet& sheet) {
        for (CellKey k : sheet.calcState().volatileCells)
            if (auto n = graph_.find(NodeId{&sheet, k})) nodes.push_back(*n);
    });
    return nodes;
}

void Calculator::putInKeyOrder(std::vector<Index>& nodes) const {
    if (graph_.inKeyOrder()) {
        if (!std::is_sorted(nodes.begin(), nodes.end())) std::sort(nodes.begin(), nodes.end());
        return;
    }
    std::unordered_map<const Worksheet*, std::size_t> position;
    forEverySheet(application_, [&](Worksheet& sheet) { position.emplace(&sheet, position.size()); });
    auto placeOf = [&](Index n) {
        const NodeId& id = graph_.id(n);
        const auto p = position.find(id.sheet);
        return std::pair(p == position.end() ? position.size() : p->second, id.key);
    };
    std::sort(nodes.begin(), nodes.end(), [&](Index a, Index b) { return placeOf(a) < placeOf(b); });
}

void Calculator::markDirtyFrom(std::vector<Index> work) {
    while (!work.empty()) {
        const Index node = work.back();
        work.pop_back();
        if (!dirty_.mark(node)) continue;
        const auto& dependents = graph_.dependentsOf(node);
        work.insert(work.end(), dependents.begin(), dependents.end());
    }
}

void Calculator::markDependentsDirty(const std::vector<Index>& nodes) {
    for (Index node : nodes) dirty_.mark(node);
    // Every formula dirty (a workbook read without results): nothing left to find.
    if (dirty_.count() == graph_.formulaCount()) return;
    std::vector<Index> work;
    for (Index node : nodes) {
        const auto& dependents = graph_.dependentsOf(node);
        work.insert(work.end(), dependents.begin(), dependents.end());
    }
    markDirtyFrom(std::move(work));
}

// ---- changes ----

void Calculator::cellsChanged(Worksheet& sheet, const std::vector<Area>& areas, const std::vector<CellKey>& formulaKeys) {
    for (const Area& area : areas) sharedResults_.written(sheet, area);
    std::vector<NodeId> changed;
    for (CellKey key : formulaKeys) {
        const NodeId node{&sheet, key};
        if (!graphStale_) {
            if (auto n = graph_.find(node)) dirty_.clear(*n);  // its place may go to another formula
            graph_.remove(node);
        }
        sheet.calcState().volatileCells.erase(key);
        sheet.calcState().dirty.erase(key);
        if (!sheet.formulaCells().contains(key)) continue;
        if (!graphStale_) graph_.add(sheet, key);
        const Cell* cell = sheet.findCell(keyRow(key), keyColumn(key));
        if (cell && cell->formula && cell->formula->isVolatile()) sheet.calcState().volatileCells.insert(key);
        changed.push_back(node);
    }
    ensureGraph();
    std::vector<Index> dirty = nodesOf(changed);
    for (const Area& a : areas) graph_.dependentsOfArea(sheet, a, dirty);
    markDirtyFrom(std::move(dirty));
    afterChange();
}

void Calculator::afterChange() {
    if (application_.calculation() == CalculationMode::Automatic && !calculating_) calculateAll(false);
}

// ---- calculation ----

void Calculator::calculateAll(bool full) {
    if (calculating_) return;
    ensureGraph();
    if (full) return runAll();
    // Volatile cells and everything depending on them are calculated with the dirty ones, sheet by
    // sheet, row by row.
    markDependentsDirty(volatileNodes());
    std::vector<Index> roots = dirty_.sorted();
    putInKeyOrder(roots);
    run(roots);
}

void Calculator::calculateSheet(Worksheet& sheet) {
    if (calculating_) return;
    ensureGraph();
    std::vector<Index> roots;
    for (Index n : dirty_.sorted())
        if (graph_.id(n).sheet == &sheet) roots.push_back(n);
    for (CellKey k : sheet.calcState().volatileCells)
        if (auto n = graph_.find(NodeId{&sheet, k}); n && !dirty_.contains(*n)) roots.push_back(*n);
    putInKeyOrder(roots);
    run(roots);
}

void Calculator::calculateRange(Worksheet& sheet, const std::vector<Area>& areas) {
    if (calculating_) return;
    ensureGraph();
    std::vector<Index> cells;
    std::unordered_set<Index> seen;
    for (const Area& a : areas) {
        const std::size_t first = cells.size();
        graph_.forEachFormulaIn(sheet, a, [&](Index node) {
            if (seen.insert(node).second) cells.push_back(node);
        });
        // As a walk of the area's cells finds them.
        std::sort(cells.begin() + static_cast<std::ptrdiff_t>(first), cells.end(),
                  [&](Index x, Index y) { return graph_.id(x).key < graph_.id(y).key; });
    }
    const std::vector<NodeId> ids = idsOf(cells);
    run(cells);
    // What depends on the recalculated cells is now out of date.
    std::vector<Index> deps;
    const std::vector<Index> calculated = nodesOf(ids);
    const std::unordered_set<Index> calculatedSet(calculated.begin(), calculated.end());
    for (Index n : calculated) {
        const auto& dependents = graph_.dependentsOf(n);
        deps.insert(deps.end(), dependents.begin(), dependents.end());
    }
    std::erase_if(deps, [&](Index d) { return calculatedSet.contains(d); });
    markDirtyFrom(std::move(deps));
}

std::vector<NodeId> Calculator::idsOf(const std::vector<Index>& nodes) const {
    std::vector<NodeId> ids;
    ids.reserve(nodes.size());
    for (Index n : nodes) ids.push_back(graph_.id(n));
    return ids;
}

std::vector<Calculator::Step> Calculator::stepsOf(const std::vector<Index>& nodes) {
    std::vector<Step> steps;
    steps.reserve(nodes.size());
    for (Index n : nodes) {
        const NodeId& id = graph_.id(n);
        steps.push_back({id, n, graph_.cell(n), id.sheet->dropCount()});
    }
    return steps;
}

void Calculator::run(const std::vector<Index>& roots) {
    if (roots.empty()) return;
    std::vector<Index> circular;
    const auto sequence = stepsOf(graph_.order(roots, circular));
    runSequence(circular, sequence);
}

void Calculator::runAll() {
    if (fullOrderVersion_ != graph_.version()) {
        // Sheet by sheet, row by row: neighbouring cells are calculated together.
        std::vector<Index> roots;
        roots.reserve(graph_.formulaCount());
        for (Index n = 0; n < graph_.size(); ++n)
            if (graph_.id(n).sheet) roots.push_back(n);
        putInKeyOrder(roots);
        fullCircular_.clear();
        fullSequence_ = stepsOf(graph_.order(roots, fullCircular_));
        fullOrderVersion_ = graph_.version();
    }
    if (fullSequence_.empty() && fullCircular_.empty()) return;
    // Copies: a formula entered while they run changes the kept order.
    const std::vector<Index> circular = fullCircular_;
    const std::vector<Step> sequence = fullSequence_;
    runSequence(circular, sequence);
}

void Calculator::runSequence(const std::vector<Index>& circular, const std::vector<Step>& sequence) {
    static std::atomic<std::uint64_t> calculationsBegun{0};
    calculating_ = true;
    calculationNumber_ = ++calculationsBegun;
    sharedResults_.clear();
    graph_.holdPlaces(true);
    // The sheets stay while the calculation names them, also when a function removes one.
    std::vector<WorksheetPtr> sheets;
    for (const auto& book : application_.workbooks().all())
        sheets.insert(sheets.end(), book->worksheets().begin(), book->worksheets().end());
    const std::vector<NodeId> circularIds = idsOf(circular);
    // The sheets of the roots (the sequence and the circular ones), in the order of the workbooks.
    std::vector<Worksheet*> rootSheets;
    auto noteSheet = [&](Worksheet* sheet) {
        if (rootSheets.empty() || rootSheets.back() != sheet)
            if (std::find(rootSheets.begin(), rootSheets.end(), sheet) == rootSheets.end()) rootSheets.push_back(sheet);
    };
    for (const NodeId& n : circularIds) noteSheet(n.sheet);
    for (const Step& step : sequence) noteSheet(step.id.sheet);
    std::vector<Worksheet*> calculatedSheets;
    for (const auto& sheet : sheets)
        if (std::find(rootSheets.begin(), rootSheets.end(), sheet.get()) != rootSheets.end())
            calculatedSheets.push_back(sheet.get());
    const std::uint64_t rebuilds = graph_.rebuildCount();
    runRebuilds_ = rebuilds;
    try {
        for (const NodeId& n : circularIds) setCircular(n);
        {
            CalculationProgress progress(application_, clock_, sequence.size());
            for (std::size_t i = 0; i < sequence.size(); ++i) {
                prefetchAhead(sequence, i);
                progress.cellDone(evaluate(sequence[i]));
            }
        }
        // The roots are the sequence and the circular ones; a graph rebuilt meanwhile knows them by cell.
        auto calculated = [&](Index node, const NodeId& id) {
            if (graph_.rebuildCount() == rebuilds) return dirty_.clear(node);
            if (auto n = graph_.find(id)) dirty_.clear(*n);
        };
        for (std::size_t i = 0; i < circular.size(); ++i) calculated(circular[i], circularIds[i]);
        for (const Step& step : sequence) calculated(step.node, step.id);
    } catch (...) {
        calculating_ = false;
        calculationNumber_ = 0;
        sharedResults_.clear();
        graph_.holdPlaces(false);
        callers_.clear();
        throw;
    }
    calculating_ = false;
    calculationNumber_ = 0;
    sharedResults_.clear();
    graph_.holdPlaces(false);
    for (Worksheet* sheet : calculatedSheets) application_.fireSheetCalculate(sheet->shared_from_this());
}

void Calculator::prefetchAhead(const std::vector<Step>& sequence, std::size_t next) const {
    // The cell, its formula and the formula's tree lie apart in memory, each found through the one
    // before: each is asked for a few steps after the one before it, so that each is in the cache
    // when the step comes.
    constexpr std::size_t kCellAhead = 16, kFormulaAhead = 8, kTreeAhead = 4;
    if (next + kCellAhead < sequence.size()) {
        const Step& step = sequence[next + kCellAhead];
        if (const auto* cell = reinterpret_cast<const char*>(step.cell))
            for (std::size_t offset = 0; offset < sizeof(Cell); offset += 64) __builtin_prefetch(cell + offset);
        graph_.prefetch(step.node);
    }
    auto formulaOf = [&](std::size_t i) -> const formula::Formula* {
        if (i >= sequence.size()) return nullptr;
        const Step& step = sequence[i];
        // The cell found when the sequence was made is good only while its sheet dropped no cells.
        if (!step.cell || step.drops != step.id.sheet->dropCount()) return nullptr;
        return step.cell->formula.get();
    };
    if (const formula::Formula* f = formulaOf(next + kFormulaAhead)) __builtin_prefetch(f);
    if (const formula::Formula* f = formulaOf(next + kTreeAhead)) f->prefetch();
}

void Calculator::setCircular(const NodeId& node) {
    const Cell* cell = node.sheet->findCell(keyRow(node.key), keyColumn(node.key));
    const Area area = cell && cell->array ? *cell->array : Area::cell(keyRow(node.key), keyColumn(node.key));
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) node.sheet->cellAt(r, c).value = CellError::Ref;
    sharedResults_.written(*node.sheet, area);
}

bool Calculator::evaluate(const Step& step) {
    Worksheet& sheet = *step.id.sheet;
    const int row = keyRow(step.id.key), column = keyColumn(step.id.key);
    Cell* cell = step.drops == sheet.dropCount() ? step.cell : sheet.findCell(row, column);
    if (!cell || !cell->formula) return false;
    // A user-defined function may replace the formula while it runs: the formula is held till the end.
    const formula::Formula* formula = cell->formula.get();
    const bool callsUserFunction = formula->callsUserFunction();
    const auto held = callsUserFunction ? cell->formula : nullptr;
    const bool isArray = cell->array.has_value();
    const Area area = isArray ? *cell->array : Area::cell(row, column);

    // The formula cells it reads on its sheet, as the graph knows them: read without a look-up.
    std::array<CellEvalContext::KnownCell, kMaxKnownCells> known;
    std::size_t knownCount = 0;
    if (graph_.rebuildCount() == runRebuilds_ && graph_.id(step.node) == step.id) {
        const auto precedents = graph_.keptPrecedents(step.node);
        if (precedents.size() <= known.size())
            for (Index p : precedents)
                if (graph_.id(p).sheet == &sheet)
                    if (const Cell* c = graph_.cell(p)) known[knownCount++] = {graph_.id(p).key, c};
    }

    if (!isArray && formula->isPlainArithmetic()) {
        // =A1+1 over numbers: no caller to note, nothing that could change a cell meanwhile.
        CellEvalContext context(application_, sheet, row, column, {known.data(), knownCount});
        if (auto value = formula::evaluateArithmetic(*formula, context)) {
            sharedResults_.written(sheet, area);
            cell->value = std::move(*value);
            return false;
        }
    }

    const std::uint64_t drops = sheet.dropCount();
    bool unknownFunction = false;
    Variant result = evaluateAt(sheet, area, *formula, isArray, &unknownFunction, {known.data(), knownCount});
    // The cell is found again if the formula dropped cells.
    Cell& target = drops == sheet.dropCount() ? *cell : sheet.cellAt(row, column);
    if (unknownFunction && !target.value.isEmpty()) return callsUserFunction;  // the value its file stored stays
    sharedResults_.written(sheet, area);
    if (!isArray) {
        // A formula showing an empty cell shows 0.
        target.value = result.isEmpty() ? Variant(0.0) : std::move(result);
        return callsUserFunction;
    }
    // Spread the result over the array's cells; cells beyond it show #N/A.
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) {
            Variant v;
            const int i = r - area.top, j = c - area.left;
            if (!result.isArray()) {
                v = result;
            } else {
                const Array& a = result.arrayValue();
                if (a.dimensions() == 1) {
                    // A one-dimensional array is one row; a one-row result repeats down the rows.
                    v = j < a.count(1) ? a(a.lbound(1) + j) : Variant(CellError::NA);
                } else if (a.dimensions() == 2) {
                    const long rows = a.count(1), cols = a.count(2);
                    const long ri = rows == 1 ? 0 : i, cj = cols == 1 ? 0 : j;
                    v = (ri < rows && cj < cols) ? a(a.lbound(1) + ri, a.lbound(2) + cj) : Variant(CellError::NA);
                } else {
                    v = CellError::NA;
                }
            }
            sheet.cellAt(r, c).value = v.isEmpty() ? Variant(0.0) : v;
        }
    return callsUserFunction;
}

Variant Calculator::evaluateAt(Worksheet& sheet, const Area& area, const formula::Formula& formula) {
    return evaluateAt(sheet, area, formula, true);
}

Variant Calculator::evaluateAt(Worksheet& sheet, const Area& area, const formula::Formula& formula, bool asArray,
                               bool* callsUnknownFunction, std::span<const CellEvalContext::KnownCell> known) {
    // Set field by field: a frame built whole and copied in is read back before its last write lands.
    CallerFrame& frame = callers_.emplace_back();
    frame.sheet = &sheet;
    frame.area = area;
    CellEvalContext context(application_, sheet, area.top, area.left, known);
    try {
        Variant result = formula::evaluate(formula, context, asArray);
        if (callsUnknownFunction) *callsUnknownFunction = callers_.back().callsUnknownFunction;
        callers_.pop_back();
        return result;
    } catch (...) {
        callers_.pop_back();
        throw;
    }
}

Variant Calculator::sharedResult(const void* function, std::vector<SharedResults::SheetArea> areas,
                                 const std::function<Variant()>& compute) {
    if (!calculating_) return compute();
    return sharedResults_.get(function, std::move(areas), compute);
}

void Calculator::markCallerVolatile(bool isVolatile) {
    if (callers_.empty()) return;
    auto& frame = callers_.back();
    // A function marks its cell again and again while it runs; the set changes only the first time.
    if (frame.markedVolatile == isVolatile) return;
    frame.markedVolatile = isVolatile;
    const CellKey key = cellKey(frame.area.top, frame.area.left);
    if (isVolatile)
        frame.sheet->calcState().volatileCells.insert(key);
    else
        frame.sheet->calcState().volatileCells.erase(key);
}

void Calculator::noteUnknownFunction(const std::string& name) {
    if (!callers_.empty()) callers_.back().callsUnknownFunction = true;
    unknownFunctions_.insert(UCase(name));
}

// ---- audit ----

// Both walks take a cell into the work when first found, not each time a formula reads it: with
// overlapping ranges (each row reading all rows below it) the work stays as long as the formulas.

std::vector<CellKey> Calculator::dependentsOnSheet(Worksheet& sheet, const std::vector<Area>& areas) {
    ensureGraph();
    std::vector<CellKey> found;
    std::vector<bool> taken;  // by node
    std::vector<Index> work, first;
    auto take = [&](std::span<const Index> nodes) {
        for (Index n : nodes) {
            if (n >= taken.size()) taken.resize(n + 1);
            if (taken[n] || graph_.id(n).sheet != &sheet) continue;
            taken[n] = true;
            work.push_back(n);
        }
    };
    for (const Area& a : areas) graph_.dependentsOfArea(sheet, a, first);
    take(first);
    for (std::size_t i = 0; i < work.size(); ++i) {
        found.push_back(graph_.id(work[i]).key);
        take(graph_.dependentsOf(work[i]));
    }
    return found;
}

namespace {

struct AreaHash {
    std::size_t operator()(const Area& a) const {
        const auto rows = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a.top)) << 32) | static_cast<std::uint32_t>(a.bottom);
        const auto columns = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(a.left)) << 32) | static_cast<std::uint32_t>(a.right);
        return std::hash<std::uint64_t>()(rows * 0x9E3779B97F4A7C15ull ^ columns);
    }
};

}  // namespace

std::vector<Area> Calculator::precedentsOnSheet(Worksheet& sheet, const std::vector<Area>& areas) {
    ensureGraph();
    // The sheet's formulas row by row, so that areas are found in the same order every time.
    std::vector<CellKey> formulas(sheet.formulaCells().begin(), sheet.formulaCells().end());
    std::sort(formulas.begin(), formulas.end());
    std::vector<bool> taken(formulas.size());
    std::vector<std::size_t> work;  // places in formulas
    // The formulas of an area lie among the keys of its rows, a run of the sorted keys.
    auto takeFormulasIn = [&](const Area& a) {
        const CellKey last = cellKey(a.bottom, a.right);
        auto k = static_cast<std::size_t>(std::lower_bound(formulas.begin(), formulas.end(), cellKey(a.top, a.left)) - formulas.begin());
        for (; k < formulas.size() && formulas[k] <= last; ++k) {
            if (taken[k] || !a.contains(keyRow(formulas[k]), keyColumn(formulas[k]))) continue;
            taken[k] = true;
            work.push_back(k);
        }
    };
    for (const Area& a : areas) takeFormulasIn(a);
    std::vector<Area> found;
    std::unordered_set<Area, AreaHash> foundSet;
    for (std::size_t i = 0; i < work.size(); ++i) {
        const auto node = graph_.find(NodeId{&sheet, formulas[work[i]]});
        if (!node) continue;
        for (const auto& r : graph_.references(*node)) {
            if (r.sheet != &sheet || !foundSet.insert(r.area).second) continue;
            found.push_back(r.area);
            takeFormulasIn(r.area);
        }
    }
    return found;
}

}  // namespace host::sheet
