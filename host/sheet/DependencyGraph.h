#pragma once
// The dependency graph of the formula cells of the open workbooks: which areas each formula reads,
// which formulas read a cell or an area, and the order in which a set of formulas is calculated.
//
// Formula cells (single cells and array anchors) are nodes kept in one array and named by their
// position in it, so that the calculation walks arrays instead of looking cells up by address. What
// a node reads and what reads it is kept with the node until a formula is added or removed.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "host/base/SmallVector.h"
#include "host/formula/Reference.h"
#include "host/sheet/AreaIndex.h"
#include "host/sheet/Cell.h"
#include "host/sheet/FlatMap.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Application;

// A formula cell (single cell or array anchor) of a sheet.
struct NodeId {
    Worksheet* sheet = nullptr;
    CellKey key = 0;
    friend bool operator==(const NodeId&, const NodeId&) = default;
};
struct NodeIdSlot {
    std::size_t operator()(const NodeId& n, int shift, std::uint64_t seed) const {
        return cellKeySlot(n.key, shift, reinterpret_cast<std::uintptr_t>(n.sheet) ^ seed);
    }
};

class DependencyGraph {
public:
    using Index = std::uint32_t;
    struct ResolvedRef {
        Worksheet* sheet;
        formula::Area area;
    };

    explicit DependencyGraph(Application& application) : application_(application) {}

    // Reads every formula of every open workbook again, calling seen(sheet, key, formula) for each.
    void rebuild(const std::function<void(Worksheet&, CellKey, const formula::Formula&)>& seen);
    // Adds the formula cell, reading its references (and the names it uses) now. Gives its cell,
    // nullptr when it holds no formula.
    const Cell* add(Worksheet& sheet, CellKey key);
    void remove(const NodeId& node);
    std::optional<Index> find(const NodeId& node) const;
    const NodeId& id(Index node) const { return nodes_[node].id; }
    // The places of nodes: id(node).sheet is nullptr at a free one.
    std::size_t size() const { return nodes_.size(); }
    // The formula nodes, free places left out.
    std::size_t formulaCount() const { return nodes_.size() - freePlaces_.size() - heldPlaces_.size(); }
    // The node's cell, looked up again only after its sheet dropped cells.
    Cell* cell(Index node);
    // True while the nodes' places follow the formulas sheet by sheet, row by row (the order of
    // rebuild()), so that sorting nodes by place puts them in that order.
    bool inKeyOrder() const { return inKeyOrder_; }
    // Changes whenever the graph is rebuilt: nodes found before name other cells.
    std::uint64_t rebuildCount() const { return rebuilds_; }
    // Calls visit(node) for the formula nodes occupying cells of the area (an array's node may come more
    // than once), walking the area's cells or the sheet's formulas, whichever are fewer.
    template <class Visit>
    void forEachFormulaIn(Worksheet& sheet, const formula::Area& area, const Visit& visit) const {
        if (area.cellCount() > static_cast<long long>(sheet.formulaCells().size())) {
            for (CellKey k : sheet.formulaCells())
                if (const Index* p = index_.find(NodeId{&sheet, k}); p && reads_[*p].area.overlaps(area)) visit(*p);
            return;
        }
        for (int row = area.top; row <= area.bottom; ++row)
            for (int column = area.left; column <= area.right; ++column)
                if (auto owner = sheet.formulaOwner(row, column))
                    if (const Index* p = index_.find(NodeId{&sheet, *owner})) visit(*p);
    }
    std::span<const ResolvedRef> references(Index node) const { return reads_[node].references; }
    // The formula nodes the node reads when order() found them since the last change; else none.
    std::span<const Index> keptPrecedents(Index node) const {
        const Node& n = nodes_[node];
        if (n.precedentsVersion != version_) return {};
        return n.precedents;
    }
    // Asks the processor to bring what a calculation reads of the node into its cache.
    void prefetch(Index node) const {
        if (node >= nodes_.size()) return;
        const auto* first = reinterpret_cast<const char*>(&nodes_[node]);
        for (std::size_t offset = 0; offset < sizeof(Node); offset += 64) __builtin_prefetch(first + offset);
    }
    // Removed nodes' places are not given to new nodes while held (a calculation walks them).
    void holdPlaces(bool hold);

    // Formula nodes whose formulas read a cell of the area (repeats possible).
    void dependentsOfArea(Worksheet& sheet, const formula::Area& area, std::vector<Index>& out) const;
    // Formula nodes whose formulas read a cell of the node; good until the next call.
    std::span<const Index> dependentsOf(Index node);

    // The nodes in calculation order (each after the nodes of the set that it reads), and apart from
    // it the nodes of the set that read themselves through others of the set.
    std::vector<Index> order(const std::vector<Index>& roots, std::vector<Index>& circular);
    // Changes whenever a formula is added or removed.
    std::uint64_t version() const { return version_; }

private:
    using IndexList = SmallVector<Index, 2>;
    // What a calculation reads of every node, kept small: a calculation walks the nodes several times.
    struct Node {
        NodeId id;  // sheet nullptr: a free place
        Cell* cell = nullptr;  // good while the sheet's drop count stays cellDrops
        std::uint64_t cellDrops = 0;
        // Kept while version_ stays as it was when they were found.
        std::uint64_t precedentsVersion = 0;
        std::uint64_t dependentsVersion = 0;
        IndexList precedents;  // formula nodes in the referenced areas
        IndexList dependents;
    };
    // What the node's formula occupies and reads, by node apart from the nodes: needed when the lists
    // of a node are found again, not while they are kept.
    struct Reads {
        formula::Area area;
        SmallVector<ResolvedRef, 2> references;
    };
    // Scratch of order() for a node: the pass that last saw it and what it found (apart from the
    // nodes, so that the walk reads little memory).
    struct Mark {
        std::uint32_t pass = 0;
        char state = 0;
    };

    // The areas the formula of the cell reads (each once), into out.
    void resolveReferences(Worksheet& sheet, const Cell& cell, SmallVector<ResolvedRef, 2>& out);
    // The formula nodes in the node's referenced areas, into out.
    void findPrecedents(Index node, std::vector<Index>& out) const;
    // The node's precedents, kept with the node when the list is short; else in spare.
    std::span<const Index> precedentsOf(Index node, std::vector<Index>& spare);
    // Keeps found as a node's list (true) unless it is long or the kept lists would outgrow their
    // budget, which follows the number of formulas: memory stays in proportion to the workbook.
    bool keep(IndexList& list, std::uint64_t& listVersion, const std::vector<Index>& found);
    void forget(IndexList& list);

    Application& application_;
    std::vector<Node> nodes_;
    std::vector<Reads> reads_;  // by node
    std::vector<Mark> marks_;  // by node
    std::vector<Index> freePlaces_;
    std::vector<Index> heldPlaces_;
    bool placesHeld_ = false;
    FlatMap<NodeId, Index, NodeIdSlot> index_;
    FlatMap<NodeId, IndexList, NodeIdSlot> cellDependents_;          // by referenced cell
    std::unordered_map<Worksheet*, AreaIndex<Index>> areaDependents_;  // by referenced area
    std::vector<Index> spareDependents_;
    std::size_t keptEntries_ = 0;  // in the nodes' kept lists
    std::uint64_t version_ = 1;
    std::uint64_t rebuilds_ = 0;
    std::uint32_t pass_ = 0;
    bool inKeyOrder_ = true;
    NodeId lastAppended_;
};

}  // namespace host::sheet
