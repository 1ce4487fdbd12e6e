#include "host/sheet/Calculator.h"

#include <algorithm>
#include <unordered_set>

#include "host/formula/Address.h"
#include "host/sheet/Application.h"
#include "host/sheet/CellEvalContext.h"
#include "host/sheet/References.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

using formula::Area;

namespace {

// The cells a formula node occupies: one cell, or the whole array.
Area nodeArea(const Worksheet& sheet, CellKey key) {
    const Cell* c = sheet.findCell(keyRow(key), keyColumn(key));
    if (c && c->array) return *c->array;
    return Area::cell(keyRow(key), keyColumn(key));
}

bool overlaps(const Area& a, const Area& b) {
    return a.top <= b.bottom && a.bottom >= b.top && a.left <= b.right && a.right >= b.left;
}

// Every formula cell of every open workbook.
template <class F>
void forEachFormula(Application& app, F f) {
    for (const auto& book : app.workbooks().all())
        for (const auto& sheet : book->worksheets())
            for (CellKey key : sheet->formulaCells()) f(*sheet, key);
}

}  // namespace

// ---- dependency graph ----

std::vector<Calculator::ResolvedRef> Calculator::resolvePrecedents(Worksheet& sheet, CellKey key) {
    std::vector<ResolvedRef> result;
    const Cell* cell = sheet.findCell(keyRow(key), keyColumn(key));
    if (!cell || !cell->formula) return result;
    auto add = [&](const formula::ReferenceTarget& t) {
        if (auto target = resolveSheet(application_, sheet, t)) result.push_back({target.get(), t.area});
    };
    for (const auto& t : cell->formula->references()) add(t);
    if (auto book = sheet.parent()) {
        for (const auto& name : cell->formula->names()) {
            auto n = book->names().find(name);
            if (!n) continue;
            try {
                for (const auto& t : formula::parseAddress(n->refersTo().substr(n->refersTo().starts_with("=") ? 1 : 0)))
                    add(t);
            } catch (const RuntimeError&) {
                // a name that refers to a constant has no precedents
            }
        }
    }
    return result;
}

void Calculator::addNode(Worksheet& sheet, CellKey key) {
    const NodeId node{&sheet, key};
    auto refs = resolvePrecedents(sheet, key);
    for (const auto& r : refs) {
        if (r.area.isSingleCell())
            cellDependents_[NodeId{r.sheet, cellKey(r.area.top, r.area.left)}].push_back(node);
        else
            areaDependents_[r.sheet].add(r.area, node);
    }
    precedents_[node] = std::move(refs);
    // Formulas read from a file calling RAND, NOW, ... are volatile as typed ones are.
    const Cell* cell = sheet.findCell(keyRow(key), keyColumn(key));
    if (cell && cell->formula && cell->formula->isVolatile()) sheet.calcState().volatileCells.insert(key);
}

void Calculator::removeNode(const NodeId& node) {
    auto it = precedents_.find(node);
    if (it == precedents_.end()) return;
    for (const auto& r : it->second) {
        if (r.area.isSingleCell()) {
            auto d = cellDependents_.find(NodeId{r.sheet, cellKey(r.area.top, r.area.left)});
            if (d != cellDependents_.end()) std::erase(d->second, node);
        } else if (auto a = areaDependents_.find(r.sheet); a != areaDependents_.end()) {
            a->second.remove(r.area, node);
        }
    }
    precedents_.erase(it);
}

void Calculator::ensureGraph() {
    if (!graphStale_) return;
    precedents_.clear();
    cellDependents_.clear();
    areaDependents_.clear();
    forEachFormula(application_, [&](Worksheet& sheet, CellKey key) { addNode(sheet, key); });
    graphStale_ = false;
    // Cells marked dirty while the graph was stale (formulas read from a file without a value, user
    // functions of an opened workbook) make what depends on them dirty too.
    std::vector<NodeId> dirty;
    for (const auto& book : application_.workbooks().all())
        for (const auto& sheet : book->worksheets())
            for (CellKey k : sheet->calcState().dirty) dirty.push_back({sheet.get(), k});
    markDependentsDirty(dirty);
}

void Calculator::dependentsOfCell(Worksheet& sheet, int row, int column, std::vector<NodeId>& out) {
    if (auto d = cellDependents_.find(NodeId{&sheet, cellKey(row, column)}); d != cellDependents_.end())
        out.insert(out.end(), d->second.begin(), d->second.end());
    if (auto a = areaDependents_.find(&sheet); a != areaDependents_.end())
        a->second.forEachContaining(row, column, [&](const NodeId& node) { out.push_back(node); });
}

void Calculator::dependentsOfArea(Worksheet& sheet, const Area& area, std::vector<NodeId>& out) {
    if (area.isSingleCell()) return dependentsOfCell(sheet, area.top, area.left, out);
    if (area.cellCount() <= static_cast<long long>(cellDependents_.size())) {
        for (int r = area.top; r <= area.bottom; ++r)
            for (int c = area.left; c <= area.right; ++c)
                if (auto d = cellDependents_.find(NodeId{&sheet, cellKey(r, c)}); d != cellDependents_.end())
                    out.insert(out.end(), d->second.begin(), d->second.end());
    } else {
        // A large area: walk the single-cell dependency entries instead of the cells.
        for (const auto& [cell, nodes] : cellDependents_)
            if (cell.sheet == &sheet && area.contains(keyRow(cell.key), keyColumn(cell.key)))
                out.insert(out.end(), nodes.begin(), nodes.end());
    }
    if (auto a = areaDependents_.find(&sheet); a != areaDependents_.end())
        a->second.forEachOverlapping(area, [&](const NodeId& node) { out.push_back(node); });
}

void Calculator::dependentsOfNode(const NodeId& node, std::vector<NodeId>& out) {
    dependentsOfArea(*node.sheet, nodeArea(*node.sheet, node.key), out);
}

void Calculator::markDirtyFrom(std::vector<NodeId> work) {
    std::vector<NodeId> next;
    while (!work.empty()) {
        const NodeId node = work.back();
        work.pop_back();
        if (!node.sheet->calcState().dirty.insert(node.key).second) continue;
        next.clear();
        dependentsOfNode(node, next);
        work.insert(work.end(), next.begin(), next.end());
    }
}

void Calculator::markDependentsDirty(const std::vector<NodeId>& nodes) {
    std::vector<NodeId> work;
    for (const NodeId& node : nodes) {
        node.sheet->calcState().dirty.insert(node.key);
        dependentsOfNode(node, work);
    }
    markDirtyFrom(std::move(work));
}

// ---- changes ----

void Calculator::cellsChanged(Worksheet& sheet, const std::vector<Area>& areas, const std::vector<CellKey>& formulaKeys) {
    std::vector<NodeId> dirty;
    for (CellKey key : formulaKeys) {
        const NodeId node{&sheet, key};
        if (!graphStale_) removeNode(node);
        sheet.calcState().volatileCells.erase(key);
        sheet.calcState().dirty.erase(key);
        if (!sheet.formulaCells().contains(key)) continue;
        if (!graphStale_) addNode(sheet, key);
        const Cell* cell = sheet.findCell(keyRow(key), keyColumn(key));
        if (cell && cell->formula && cell->formula->isVolatile()) sheet.calcState().volatileCells.insert(key);
        dirty.push_back(node);
    }
    ensureGraph();
    for (const Area& a : areas) dependentsOfArea(sheet, a, dirty);
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
    std::vector<NodeId> roots;
    if (full) {
        forEachFormula(application_, [&](Worksheet& sheet, CellKey key) { roots.push_back({&sheet, key}); });
    } else {
        // Volatile cells and everything depending on them are calculated with the dirty ones.
        std::vector<NodeId> volatiles;
        for (const auto& book : application_.workbooks().all())
            for (const auto& sheet : book->worksheets())
                for (CellKey k : sheet->calcState().volatileCells) volatiles.push_back({sheet.get(), k});
        markDependentsDirty(volatiles);
        for (const auto& book : application_.workbooks().all())
            for (const auto& sheet : book->worksheets())
                for (CellKey k : sheet->calcState().dirty) roots.push_back({sheet.get(), k});
    }
    run(std::move(roots));
}

void Calculator::calculateSheet(Worksheet& sheet) {
    if (calculating_) return;
    ensureGraph();
    auto& state = sheet.calcState();
    std::vector<NodeId> roots;
    for (CellKey k : state.dirty) roots.push_back({&sheet, k});
    for (CellKey k : state.volatileCells)
        if (!state.dirty.contains(k)) roots.push_back({&sheet, k});
    run(std::move(roots));
}

void Calculator::calculateRange(Worksheet& sheet, const std::vector<Area>& areas) {
    if (calculating_) return;
    ensureGraph();
    std::vector<NodeId> roots;
    std::unordered_set<CellKey> seen;
    for (const Area& a : areas) {
        auto visit = [&](CellKey owner) {
            if (seen.insert(owner).second) roots.push_back({&sheet, owner});
        };
        if (a.cellCount() > static_cast<long long>(sheet.formulaCells().size())) {
            for (CellKey k : sheet.formulaCells())
                if (overlaps(nodeArea(sheet, k), a)) visit(k);
        } else {
            for (int r = a.top; r <= a.bottom; ++r)
                for (int c = a.left; c <= a.right; ++c)
                    if (auto owner = sheet.formulaOwner(r, c)) visit(*owner);
        }
    }
    run(roots);
    // What depends on the recalculated cells is now out of date.
    std::vector<NodeId> deps;
    for (const NodeId& n : roots) dependentsOfNode(n, deps);
    std::erase_if(deps, [&](const NodeId& d) { return d.sheet == &sheet && seen.contains(d.key); });
    markDirtyFrom(std::move(deps));
}

std::vector<NodeId> Calculator::order(const std::vector<NodeId>& roots, std::vector<NodeId>& circular) {
    std::unordered_set<NodeId, NodeIdHash> inSet(roots.begin(), roots.end());
    enum : char { OnStack = 1, Done = 2 };
    std::unordered_map<NodeId, char, NodeIdHash> state;
    state.reserve(roots.size());
    std::unordered_set<NodeId, NodeIdHash> inCycle;
    std::vector<NodeId> result;
    result.reserve(roots.size());

    struct Frame {
        NodeId node;
        std::vector<NodeId> next;
        std::size_t index = 0;
    };
    // The formula cells of the set that a node's formula reads.
    auto precedentsInSet = [&](const NodeId& node) {
        std::vector<NodeId> out;
        auto it = precedents_.find(node);
        if (it == precedents_.end()) return out;
        for (const auto& r : it->second) {
            Worksheet& s = *r.sheet;
            auto consider = [&](CellKey owner) {
                const NodeId p{&s, owner};
                if (inSet.contains(p)) out.push_back(p);
            };
            const auto area = s.clipToContent(r.area);  // a whole column: the rows that hold cells
            if (!area) continue;
            if (area->cellCount() > static_cast<long long>(s.formulaCells().size())) {
                for (CellKey k : s.formulaCells())
                    if (overlaps(nodeArea(s, k), *area)) consider(k);
            } else {
                for (int row = area->top; row <= area->bottom; ++row)
                    for (int col = area->left; col <= area->right; ++col)
                        if (auto owner = s.formulaOwner(row, col)) consider(*owner);
            }
        }
        return out;
    };

    std::vector<Frame> stack;
    for (const NodeId& root : roots) {
        if (state[root] != 0) continue;
        state[root] = OnStack;
        stack.push_back({root, precedentsInSet(root)});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.index < top.next.size()) {
                const NodeId p = top.next[top.index++];
                char& st = state[p];
                if (st == 0) {
                    st = OnStack;
                    auto next = precedentsInSet(p);
                    stack.push_back({p, std::move(next)});
                } else if (st == OnStack) {
                    // A cycle: every frame from p up to the top is part of it.
                    for (auto f = stack.rbegin(); f != stack.rend(); ++f) {
                        inCycle.insert(f->node);
                        if (f->node == p) break;
                    }
                }
                continue;
            }
            state[top.node] = Done;
            result.push_back(top.node);
            stack.pop_back();
        }
    }
    std::erase_if(result, [&](const NodeId& n) { return inCycle.contains(n); });
    circular.assign(inCycle.begin(), inCycle.end());
    return result;
}

void Calculator::run(std::vector<NodeId> roots) {
    if (roots.empty()) return;
    calculating_ = true;
    std::vector<std::shared_ptr<Worksheet>> calculatedSheets;
    try {
        std::vector<NodeId> circular;
        const auto sequence = order(roots, circular);
        for (const NodeId& n : circular) setCircular(n);
        for (const NodeId& n : sequence) evaluate(n);
        for (const NodeId& n : roots) {
            n.sheet->calcState().dirty.erase(n.key);
            auto sp = n.sheet->shared_from_this();
            if (std::find(calculatedSheets.begin(), calculatedSheets.end(), sp) == calculatedSheets.end())
                calculatedSheets.push_back(sp);
        }
    } catch (...) {
        calculating_ = false;
        callers_.clear();
        throw;
    }
    calculating_ = false;
    for (const auto& sheet : calculatedSheets) application_.fireSheetCalculate(sheet);
}

void Calculator::setCircular(const NodeId& node) {
    const Area area = nodeArea(*node.sheet, node.key);
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) node.sheet->cellAt(r, c).value = CellError::Ref;
}

void Calculator::evaluate(const NodeId& node) {
    Worksheet& sheet = *node.sheet;
    const Cell* cell = sheet.findCell(keyRow(node.key), keyColumn(node.key));
    if (!cell || !cell->formula) return;
    const auto formula = cell->formula;  // the formula may be replaced while it runs
    const bool isArray = cell->array.has_value();
    const Area area = isArray ? *cell->array : Area::cell(keyRow(node.key), keyColumn(node.key));

    callers_.push_back({sheet.shared_from_this(), area});
    CellEvalContext context(application_, sheet, area.top, area.left);
    Variant result;
    try {
        result = formula::evaluate(*formula, context, isArray);
    } catch (...) {
        callers_.pop_back();
        throw;
    }
    callers_.pop_back();

    if (!isArray) {
        // A formula showing an empty cell shows 0.
        sheet.cellAt(area.top, area.left).value = result.isEmpty() ? Variant(0.0) : std::move(result);
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
    callers_.push_back({sheet.shared_from_this(), area});
    CellEvalContext context(application_, sheet, area.top, area.left);
    try {
        Variant result = formula::evaluate(formula, context, true);
        callers_.pop_back();
        return result;
    } catch (...) {
        callers_.pop_back();
        throw;
    }
}

void Calculator::markCallerVolatile(bool isVolatile) {
    if (callers_.empty()) return;
    const auto& frame = callers_.back();
    const CellKey key = cellKey(frame.area.top, frame.area.left);
    if (isVolatile)
        frame.sheet->calcState().volatileCells.insert(key);
    else
        frame.sheet->calcState().volatileCells.erase(key);
}

// ---- audit ----

std::vector<CellKey> Calculator::dependentsOnSheet(Worksheet& sheet, const std::vector<Area>& areas) {
    ensureGraph();
    std::vector<CellKey> found;
    std::unordered_set<CellKey> seen;
    std::vector<NodeId> work;
    for (const Area& a : areas) dependentsOfArea(sheet, a, work);
    for (std::size_t i = 0; i < work.size(); ++i) {
        const NodeId n = work[i];
        if (n.sheet != &sheet || !seen.insert(n.key).second) continue;
        found.push_back(n.key);
        dependentsOfNode(n, work);
    }
    return found;
}

std::vector<Area> Calculator::precedentsOnSheet(Worksheet& sheet, const std::vector<Area>& areas) {
    ensureGraph();
    std::vector<Area> found;
    std::unordered_set<CellKey> seen;
    std::vector<CellKey> work;
    for (const Area& a : areas)
        for (CellKey k : sheet.formulaCells())
            if (a.contains(keyRow(k), keyColumn(k))) work.push_back(k);
    for (std::size_t i = 0; i < work.size(); ++i) {
        if (!seen.insert(work[i]).second) continue;
        auto it = precedents_.find(NodeId{&sheet, work[i]});
        if (it == precedents_.end()) continue;
        for (const auto& r : it->second) {
            if (r.sheet != &sheet) continue;
            if (std::find(found.begin(), found.end(), r.area) == found.end()) found.push_back(r.area);
            for (CellKey k : sheet.formulaCells())
                if (r.area.contains(keyRow(k), keyColumn(k))) work.push_back(k);
        }
    }
    return found;
}

}  // namespace host::sheet
