#pragma once
// The recalculation engine: tracks which formula cells depend on which cells, which are dirty and
// which are volatile, and evaluates formulas in dependency order. Circular references end with the
// error value #REF! in every cell of the cycle.

#include <memory>
#include <unordered_map>
#include <vector>

#include "host/formula/Reference.h"
#include "host/sheet/AreaIndex.h"
#include "host/sheet/Cell.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Application;

// A formula cell (single cell or array anchor) of a sheet.
struct NodeId {
    Worksheet* sheet = nullptr;
    CellKey key = 0;
    friend bool operator==(const NodeId&, const NodeId&) = default;
};
struct NodeIdHash {
    std::size_t operator()(const NodeId& n) const noexcept {
        return std::hash<const void*>()(n.sheet) ^ (std::hash<CellKey>()(n.key) * 0x9E3779B97F4A7C15ULL);
    }
};

class Calculator {
public:
    explicit Calculator(Application& application) : application_(application) {}

    // Cells of the areas were written. The formulas at formulaKeys were entered, replaced or removed.
    // Updates the dependencies, marks the changed formulas and everything depending on the written
    // cells dirty and, in automatic mode, recalculates.
    void cellsChanged(Worksheet& sheet, const std::vector<formula::Area>& areas, const std::vector<CellKey>& formulaKeys);
    // Sheets, workbooks or names were added, removed or renamed: dependencies are rebuilt before next
    // use.
    void structureChanged() { graphStale_ = true; }

    // Calculates the dirty and volatile formulas of every open workbook (full: every formula).
    void calculateAll(bool full);
    void calculateSheet(Worksheet& sheet);
    // Calculates the formula cells of the areas, dirty or not.
    void calculateRange(Worksheet& sheet, const std::vector<formula::Area>& areas);
    bool isCalculating() const { return calculating_; }
    // Evaluates a formula as an array formula of the given area, which is the caller while it runs;
    // nothing is stored.
    Variant evaluateAt(Worksheet& sheet, const formula::Area& area, const formula::Formula& formula);

    // The formula being evaluated: its sheet and its cell (or array area).
    struct CallerFrame {
        std::shared_ptr<Worksheet> sheet;
        formula::Area area;
    };
    const CallerFrame* currentCaller() const { return callers_.empty() ? nullptr : &callers_.back(); }
    void markCallerVolatile(bool isVolatile);

    // Formula cells of the same sheet that depend on the areas, directly or not, in the order found.
    std::vector<CellKey> dependentsOnSheet(Worksheet& sheet, const std::vector<formula::Area>& areas);
    // Areas of the same sheet that the formulas in the areas use, directly or not.
    std::vector<formula::Area> precedentsOnSheet(Worksheet& sheet, const std::vector<formula::Area>& areas);

private:
    struct ResolvedRef {
        Worksheet* sheet;
        formula::Area area;
    };

    void ensureGraph();
    void addNode(Worksheet& sheet, CellKey key);
    void removeNode(const NodeId& node);
    std::vector<ResolvedRef> resolvePrecedents(Worksheet& sheet, CellKey key);
    // Formula cells whose formulas use the cell.
    void dependentsOfCell(Worksheet& sheet, int row, int column, std::vector<NodeId>& out);
    void dependentsOfArea(Worksheet& sheet, const formula::Area& area, std::vector<NodeId>& out);
    void dependentsOfNode(const NodeId& node, std::vector<NodeId>& out);
    void markDirtyFrom(std::vector<NodeId> work);
    // Marks the nodes and everything depending on them dirty, also when the nodes already were.
    void markDependentsDirty(const std::vector<NodeId>& nodes);
    void afterChange();

    // Evaluates the given formula cells in dependency order.
    void run(std::vector<NodeId> roots);
    std::vector<NodeId> order(const std::vector<NodeId>& roots, std::vector<NodeId>& circular);
    void evaluate(const NodeId& node);
    void setCircular(const NodeId& node);

    Application& application_;
    bool graphStale_ = true;
    bool calculating_ = false;
    std::unordered_map<NodeId, std::vector<ResolvedRef>, NodeIdHash> precedents_;
    std::unordered_map<NodeId, std::vector<NodeId>, NodeIdHash> cellDependents_;  // by referenced cell
    std::unordered_map<Worksheet*, AreaIndex<NodeId>> areaDependents_;  // by referenced area
    std::vector<CallerFrame> callers_;
};

}  // namespace host::sheet
