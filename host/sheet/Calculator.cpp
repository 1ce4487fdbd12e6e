#include "host/sheet/Calculator.h"

#include <algorithm>
#include <atomic>
#include <unordered_set>

#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/CalculationProgress.h"
#include "host/sheet/CellEvalContext.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

using formula::Area;

namespace {

enum class CellOrder { Any, RowByRow };

// Puts the cells from `first` on, all of one sheet, in row order: the order they are calculated in
// where nothing else decides it.
void sortRowByRow(std::vector<NodeId>& cells, std::size_t first) {
    std::sort(cells.begin() + static_cast<std::ptrdiff_t>(first), cells.end(),
              [](const NodeId& a, const NodeId& b) { return a.key < b.key; });
}

// The cells of every open sheet in one set of its calculation state (dirty or volatile), sheet by
// sheet; with RowByRow, row by row within a sheet.
std::vector<NodeId> cellsOfEverySheet(Application& app, FlatSet<CellKey, CellKeySlot> Worksheet::CalcState::*set,
                                      CellOrder order) {
    std::vector<NodeId> cells;
    for (const auto& book : app.workbooks().all())
        for (const auto& sheet : book->worksheets()) {
            const auto first = cells.size();
            for (CellKey k : sheet->calcState().*set) cells.push_back({sheet.get(), k});
            if (order == CellOrder::RowByRow) sortRowByRow(cells, first);
        }
    return cells;
}

}  // namespace

Calculator::Calculator(Application& application) : application_(application), graph_(application), clock_(coarseSeconds) {}

// ---- dependency graph ----

void Calculator::ensureGraph() {
    if (!graphStale_) return;
    // Formulas read from a file calling RAND, NOW, ... are volatile as typed ones are.
    graph_.rebuild([](Worksheet& sheet, CellKey key, const formula::Formula& formula) {
        if (formula.isVolatile()) sheet.calcState().volatileCells.insert(key);
    });
    graphStale_ = false;
    // Cells marked dirty while the graph was stale (formulas read from a file without a value, user
    // functions of an opened workbook) make what depends on them dirty too.
    markDependentsDirty(nodesOf(cellsOfEverySheet(application_, &Worksheet::CalcState::dirty, CellOrder::Any)));
}

std::vector<Calculator::Index> Calculator::nodesOf(const std::vector<NodeId>& cells) const {
    std::vector<Index> nodes;
    nodes.reserve(cells.size());
    for (const NodeId& c : cells)
        if (auto n = graph_.find(c)) nodes.push_back(*n);
    return nodes;
}

void Calculator::markDirtyFrom(std::vector<Index> work) {
    while (!work.empty()) {
        const Index node = work.back();
        work.pop_back();
        const NodeId& id = graph_.id(node);
        if (!id.sheet->calcState().dirty.insert(id.key)) continue;
        const auto& dependents = graph_.dependentsOf(node);
        work.insert(work.end(), dependents.begin(), dependents.end());
    }
}

void Calculator::markDependentsDirty(const std::vector<Index>& nodes) {
    std::vector<Index> work;
    for (Index node : nodes) {
        const NodeId& id = graph_.id(node);
        id.sheet->calcState().dirty.insert(id.key);
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
        if (!graphStale_) graph_.remove(node);
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
    // Volatile cells and everything depending on them are calculated with the dirty ones.
    markDependentsDirty(nodesOf(cellsOfEverySheet(application_, &Worksheet::CalcState::volatileCells, CellOrder::Any)));
    run(nodesOf(cellsOfEverySheet(application_, &Worksheet::CalcState::dirty, CellOrder::RowByRow)));
}

void Calculator::calculateSheet(Worksheet& sheet) {
    if (calculating_) return;
    ensureGraph();
    auto& state = sheet.calcState();
    std::vector<NodeId> roots;
    for (CellKey k : state.dirty) roots.push_back({&sheet, k});
    for (CellKey k : state.volatileCells)
        if (!state.dirty.contains(k)) roots.push_back({&sheet, k});
    sortRowByRow(roots, 0);
    run(nodesOf(roots));
}

void Calculator::calculateRange(Worksheet& sheet, const std::vector<Area>& areas) {
    if (calculating_) return;
    ensureGraph();
    std::vector<NodeId> cells;
    std::unordered_set<CellKey> seen;
    for (const Area& a : areas) {
        const std::size_t first = cells.size();
        graph_.forEachFormulaIn(sheet, a, [&](Index node) {
            const CellKey owner = graph_.id(node).key;
            if (seen.insert(owner).second) cells.push_back({&sheet, owner});
        });
        sortRowByRow(cells, first);  // as a walk of the area's cells finds them
    }
    run(nodesOf(cells));
    // What depends on the recalculated cells is now out of date.
    std::vector<Index> deps;
    for (Index n : nodesOf(cells)) {
        const auto& dependents = graph_.dependentsOf(n);
        deps.insert(deps.end(), dependents.begin(), dependents.end());
    }
    std::erase_if(deps, [&](Index d) { return graph_.id(d).sheet == &sheet && seen.contains(graph_.id(d).key); });
    markDirtyFrom(std::move(deps));
}

std::vector<Calculator::Step> Calculator::stepsOf(const std::vector<Index>& nodes) const {
    std::vector<Step> steps;
    steps.reserve(nodes.size());
    for (Index n : nodes) {
        const NodeId& id = graph_.id(n);
        steps.push_back({id, id.sheet->findCell(keyRow(id.key), keyColumn(id.key)), id.sheet->dropCount()});
    }
    return steps;
}

void Calculator::run(const std::vector<Index>& roots) {
    if (roots.empty()) return;
    std::vector<Index> circularNodes;
    const auto sequence = stepsOf(graph_.order(roots, circularNodes));
    auto ids = [&](const std::vector<Index>& nodes) {
        std::vector<NodeId> result;
        result.reserve(nodes.size());
        for (Index n : nodes) result.push_back(graph_.id(n));
        return result;
    };
    runSequence(ids(circularNodes), sequence, ids(roots));
}

void Calculator::runAll() {
    if (fullOrderVersion_ != graph_.version()) {
        // Sheet by sheet, row by row: neighbouring cells are calculated together.
        fullRoots_.clear();
        for (const auto& book : application_.workbooks().all())
            for (const auto& sheet : book->worksheets()) {
                const auto first = fullRoots_.size();
                for (CellKey key : sheet->formulaCells()) fullRoots_.push_back({sheet.get(), key});
                std::sort(fullRoots_.begin() + static_cast<std::ptrdiff_t>(first), fullRoots_.end(),
                          [](const NodeId& a, const NodeId& b) { return a.key < b.key; });
            }
        std::vector<Index> circular;
        fullSequence_ = stepsOf(graph_.order(nodesOf(fullRoots_), circular));
        fullCircular_.clear();
        for (Index n : circular) fullCircular_.push_back(graph_.id(n));
        fullOrderVersion_ = graph_.version();
    }
    if (fullRoots_.empty()) return;
    // Copies: a formula entered while they run changes the kept order.
    const std::vector<NodeId> roots = fullRoots_, circular = fullCircular_;
    const std::vector<Step> sequence = fullSequence_;
    runSequence(circular, sequence, roots);
}

void Calculator::runSequence(const std::vector<NodeId>& circular, const std::vector<Step>& sequence,
                             const std::vector<NodeId>& roots) {
    static std::atomic<std::uint64_t> calculationsBegun{0};
    calculating_ = true;
    calculationNumber_ = ++calculationsBegun;
    sharedResults_.clear();
    graph_.holdPlaces(true);
    // The sheets stay while the calculation names them, also when a function removes one.
    std::vector<WorksheetPtr> sheets;
    for (const auto& book : application_.workbooks().all())
        sheets.insert(sheets.end(), book->worksheets().begin(), book->worksheets().end());
    std::vector<Worksheet*> calculatedSheets;
    try {
        for (const NodeId& n : circular) setCircular(n);
        {
            CalculationProgress progress(application_, clock_, sequence.size());
            for (const Step& step : sequence) {
                evaluate(step);
                progress.cellDone();
            }
        }
        for (const NodeId& n : roots) {
            n.sheet->calcState().dirty.erase(n.key);
            if (calculatedSheets.empty() || calculatedSheets.back() != n.sheet)
                if (std::find(calculatedSheets.begin(), calculatedSheets.end(), n.sheet) == calculatedSheets.end())
                    calculatedSheets.push_back(n.sheet);
        }
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

void Calculator::setCircular(const NodeId& node) {
    const Cell* cell = node.sheet->findCell(keyRow(node.key), keyColumn(node.key));
    const Area area = cell && cell->array ? *cell->array : Area::cell(keyRow(node.key), keyColumn(node.key));
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) node.sheet->cellAt(r, c).value = CellError::Ref;
    sharedResults_.written(*node.sheet, area);
}

void Calculator::evaluate(const Step& step) {
    Worksheet& sheet = *step.id.sheet;
    const int row = keyRow(step.id.key), column = keyColumn(step.id.key);
    Cell* cell = step.drops == sheet.dropCount() ? step.cell : sheet.findCell(row, column);
    if (!cell || !cell->formula) return;
    const auto formula = cell->formula;  // the formula may be replaced while it runs
    const bool isArray = cell->array.has_value();
    const Area area = isArray ? *cell->array : Area::cell(row, column);

    const std::uint64_t drops = sheet.dropCount();
    bool unknownFunction = false;
    Variant result = evaluateAt(sheet, area, *formula, isArray, &unknownFunction);
    // The cell is found again if the formula dropped cells.
    Cell& target = drops == sheet.dropCount() ? *cell : sheet.cellAt(row, column);
    if (unknownFunction && !target.value.isEmpty()) return;  // the value its file stored stays
    sharedResults_.written(sheet, area);
    if (!isArray) {
        // A formula showing an empty cell shows 0.
        target.value = result.isEmpty() ? Variant(0.0) : std::move(result);
        return;
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
}

Variant Calculator::evaluateAt(Worksheet& sheet, const Area& area, const formula::Formula& formula) {
    return evaluateAt(sheet, area, formula, true);
}

Variant Calculator::evaluateAt(Worksheet& sheet, const Area& area, const formula::Formula& formula, bool asArray,
                               bool* callsUnknownFunction) {
    callers_.push_back({&sheet, area});
    CellEvalContext context(application_, sheet, area.top, area.left);
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
