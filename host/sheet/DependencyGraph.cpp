#include "host/sheet/DependencyGraph.h"

#include <algorithm>

#include "host/sheet/Application.h"
#include "host/sheet/References.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

using formula::Area;

namespace {

// Lists up to this length are kept with their node; longer ones (a formula over whole columns of
// formulas) are found again when needed.
constexpr std::size_t kMaxKeptList = 4096;
// The kept lists hold at most this many entries, plus so many a formula.
constexpr std::size_t kKeptBase = std::size_t{1} << 20;
constexpr std::size_t kKeptPerFormula = 16;

}  // namespace

// ---- nodes ----

void DependencyGraph::resolveReferences(Worksheet& sheet, const Cell& cell, SmallVector<ResolvedRef, 2>& out) {
    out.reset();
    auto add = [&](const formula::ReferenceTarget& t) {
        Worksheet* target = &sheet;
        if (!t.workbook.empty() || !t.sheet.empty()) {
            target = resolveSheet(application_, sheet, t).get();
            if (!target) return;
        }
        for (const ResolvedRef& r : out)
            if (r.sheet == target && r.area == t.area) return;  // each area once
        out.push_back({target, t.area});
    };
    for (const auto& t : cell.formula->writtenReferences()) add(t);
    const auto names = cell.formula->names();
    if (names.empty()) return;
    if (auto book = sheet.parent()) {
        for (const auto& name : names) {
            if (auto n = book->names().find(name))
                for (const auto& t : n->targets()) add(t);
        }
    }
}

void DependencyGraph::rebuild(const std::function<void(Worksheet&, CellKey, const formula::Formula&)>& seen) {
    nodes_.clear();
    reads_.clear();
    marks_.clear();
    keptEntries_ = 0;
    freePlaces_.clear();
    heldPlaces_.clear();
    index_.clear();
    cellDependents_.clear();
    areaDependents_.clear();
    ++version_;
    ++rebuilds_;
    inKeyOrder_ = true;
    std::size_t formulas = 0;
    for (const auto& book : application_.workbooks().all())
        for (const auto& sheet : book->worksheets()) formulas += sheet->formulaCells().size();
    nodes_.reserve(formulas);
    reads_.reserve(formulas);
    marks_.reserve(formulas);
    index_.reserve(formulas);
    cellDependents_.reserve(formulas);
    // Row by row, so that neighbouring formulas, which usually read each other, are neighbouring nodes.
    std::vector<CellKey> keys;
    for (const auto& book : application_.workbooks().all())
        for (const auto& sheet : book->worksheets()) {
            keys.assign(sheet->formulaCells().begin(), sheet->formulaCells().end());
            std::sort(keys.begin(), keys.end());
            for (CellKey key : keys)
                if (const Cell* cell = add(*sheet, key)) seen(*sheet, key, *cell->formula);
        }
    inKeyOrder_ = true;
}

const Cell* DependencyGraph::add(Worksheet& sheet, CellKey key) {
    Cell* cell = sheet.findCell(keyRow(key), keyColumn(key));
    if (!cell || !cell->formula) return nullptr;
    Index node;
    if (!freePlaces_.empty()) {
        node = freePlaces_.back();
        freePlaces_.pop_back();
        inKeyOrder_ = false;
    } else {
        // Appended after the last node of the same sheet, a formula further down keeps the order.
        if (!nodes_.empty() && (lastAppended_.sheet != &sheet || lastAppended_.key >= key)) inKeyOrder_ = false;
        lastAppended_ = {&sheet, key};
        node = static_cast<Index>(nodes_.size());
        nodes_.emplace_back();
        reads_.emplace_back();
        marks_.emplace_back();
    }
    Node& n = nodes_[node];
    n.id = {&sheet, key};
    n.cell = cell;
    n.cellDrops = sheet.dropCount();
    Reads& reads = reads_[node];
    reads.area = cell->array ? *cell->array : Area::cell(keyRow(key), keyColumn(key));
    resolveReferences(sheet, *cell, reads.references);
    index_[n.id] = node;
    for (const auto& r : reads.references) {
        if (r.area.isSingleCell())
            cellDependents_[NodeId{r.sheet, cellKey(r.area.top, r.area.left)}].push_back(node);
        else
            areaDependents_[r.sheet].add(r.area, node);
    }
    ++version_;
    return cell;
}

void DependencyGraph::remove(const NodeId& id) {
    const Index* found = index_.find(id);
    if (!found) return;
    const Index node = *found;
    index_.erase(id);
    Node& n = nodes_[node];
    for (const auto& r : reads_[node].references) {
        if (r.area.isSingleCell()) {
            if (auto* d = cellDependents_.find(NodeId{r.sheet, cellKey(r.area.top, r.area.left)}))
                d->erase(std::remove(d->begin(), d->end(), node), d->end());
        } else if (auto a = areaDependents_.find(r.sheet); a != areaDependents_.end()) {
            a->second.remove(r.area, node);
        }
    }
    forget(n.precedents);
    forget(n.dependents);
    n = Node{};
    reads_[node] = Reads{};
    marks_[node] = {};
    (placesHeld_ ? heldPlaces_ : freePlaces_).push_back(node);
    ++version_;
}

std::optional<DependencyGraph::Index> DependencyGraph::find(const NodeId& node) const {
    const Index* found = index_.find(node);
    if (!found) return std::nullopt;
    return *found;
}

Cell* DependencyGraph::cell(Index node) {
    Node& n = nodes_[node];
    if (n.cellDrops != n.id.sheet->dropCount()) {
        n.cell = n.id.sheet->findCell(keyRow(n.id.key), keyColumn(n.id.key));
        n.cellDrops = n.id.sheet->dropCount();
    }
    return n.cell;
}

void DependencyGraph::holdPlaces(bool hold) {
    placesHeld_ = hold;
    if (hold) return;
    freePlaces_.insert(freePlaces_.end(), heldPlaces_.begin(), heldPlaces_.end());
    heldPlaces_.clear();
}

// ---- dependents ----

void DependencyGraph::dependentsOfArea(Worksheet& sheet, const Area& area, std::vector<Index>& out) const {
    auto cellEntries = [&](int row, int column) {
        if (const auto* d = cellDependents_.find(NodeId{&sheet, cellKey(row, column)}))
            out.insert(out.end(), d->begin(), d->end());
    };
    if (!cellDependents_.empty()) {
        // The cheaper of looking up every cell of the area and walking the table's slots.
        if (area.cellCount() <= static_cast<long long>(cellDependents_.slotCount())) {
            for (int r = area.top; r <= area.bottom; ++r)
                for (int c = area.left; c <= area.right; ++c) cellEntries(r, c);
        } else {
            for (const auto& [cell, nodes] : cellDependents_)
                if (cell.sheet == &sheet && area.contains(keyRow(cell.key), keyColumn(cell.key)))
                    out.insert(out.end(), nodes.begin(), nodes.end());
        }
    }
    const auto a = areaDependents_.find(&sheet);
    if (a == areaDependents_.end()) return;
    if (area.isSingleCell())
        a->second.forEachContaining(area.top, area.left, [&](Index node) { out.push_back(node); });
    else
        a->second.forEachOverlapping(area, [&](Index node) { out.push_back(node); });
}

std::span<const DependencyGraph::Index> DependencyGraph::dependentsOf(Index node) {
    Node& n = nodes_[node];
    if (n.dependentsVersion == version_) return n.dependents;
    spareDependents_.clear();
    dependentsOfArea(*n.id.sheet, reads_[node].area, spareDependents_);
    if (keep(n.dependents, n.dependentsVersion, spareDependents_)) return n.dependents;
    return spareDependents_;
}

bool DependencyGraph::keep(IndexList& list, std::uint64_t& listVersion, const std::vector<Index>& found) {
    forget(list);
    if (found.size() > kMaxKeptList || keptEntries_ + found.size() > kKeptBase + kKeptPerFormula * nodes_.size())
        return false;
    list.assign(found.data(), found.data() + found.size());
    keptEntries_ += list.size();
    listVersion = version_;
    return true;
}

void DependencyGraph::forget(IndexList& list) {
    keptEntries_ -= list.size();
    list.reset();
}

// ---- order ----

void DependencyGraph::findPrecedents(Index node, std::vector<Index>& out) const {
    out.clear();
    for (const auto& r : reads_[node].references) {
        const auto area = r.sheet->clipToContent(r.area);  // a whole column: the rows that hold cells
        if (!area) continue;
        forEachFormulaIn(*r.sheet, *area, [&](Index p) {
            if (out.empty() || out.back() != p) out.push_back(p);
        });
    }
}

std::span<const DependencyGraph::Index> DependencyGraph::precedentsOf(Index node, std::vector<Index>& spare) {
    Node& n = nodes_[node];
    if (n.precedentsVersion == version_) return n.precedents;
    findPrecedents(node, spare);
    if (keep(n.precedents, n.precedentsVersion, spare)) return n.precedents;
    return spare;
}

std::vector<DependencyGraph::Index> DependencyGraph::order(const std::vector<Index>& roots, std::vector<Index>& circular) {
    // Node states within this pass; a node of another pass is outside the set.
    enum : char { InSet = 1, OnStack = 2, Done = 3, InCycle = 4 };
    const std::uint32_t pass = ++pass_;
    for (Index r : roots) {
        marks_[r] = {pass, InSet};
    }
    std::vector<Index> result;
    result.reserve(roots.size());

    struct Frame {
        Index node = 0;
        std::vector<Index> spare;  // the precedents when they are not kept with the node
        std::span<const Index> next;
        std::size_t index = 0;
    };
    // The frames up to depth are the stack; those above keep their room for the next nodes pushed.
    std::vector<Frame> stack;
    std::size_t depth = 0;
    auto push = [&](Index node) {
        marks_[node].state = OnStack;
        if (depth == stack.size()) stack.emplace_back();
        Frame& f = stack[depth++];
        f.node = node;
        f.index = 0;
        f.next = precedentsOf(node, f.spare);
    };
    auto inSet = [&](Index node) { return marks_[node].pass == pass; };
    for (Index root : roots) {
        if (marks_[root].state != InSet) continue;
        push(root);
        while (depth > 0) {
            Frame& top = stack[depth - 1];
            if (top.index < top.next.size()) {
                const Index p = top.next[top.index++];
                if (!inSet(p)) continue;
                const char st = marks_[p].state;
                if (st == InSet) {
                    push(p);
                } else if (st == OnStack) {
                    // A cycle: every frame from p up to the top is part of it.
                    for (std::size_t f = depth; f-- > 0;) {
                        circular.push_back(stack[f].node);
                        if (stack[f].node == p) break;
                    }
                }
                continue;
            }
            marks_[top.node].state = Done;
            result.push_back(top.node);
            --depth;
        }
    }
    // Members of a cycle are calculated as circular, not in the order; each is named once.
    for (Index c : circular) marks_[c].state = InCycle;
    std::erase_if(result, [&](Index n) { return marks_[n].state == InCycle; });
    std::erase_if(circular, [&](Index n) {
        if (marks_[n].state != InCycle) return true;
        marks_[n].state = Done;
        return false;
    });
    return result;
}

}  // namespace host::sheet
