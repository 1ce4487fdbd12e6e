#pragma once
// The recalculation engine: tracks which formula cells depend on which cells, which are dirty and
// which are volatile, and evaluates formulas in dependency order. Circular references end with the
// error value #REF! in every cell of the cycle. A long calculation shows its progress in the status
// bar.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "host/formula/Reference.h"
#include "host/sheet/Cell.h"
#include "host/sheet/CellEvalContext.h"
#include "host/sheet/DependencyGraph.h"
#include "host/sheet/DirtyNodes.h"
#include "host/sheet/SharedResults.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Application;

class Calculator {
public:
    explicit Calculator(Application& application);

    // Cells of the areas were written. The formulas at formulaKeys were entered, replaced or removed.
    // Updates the dependencies, marks the changed formulas and everything depending on the written
    // cells dirty and, in automatic mode, recalculates.
    void cellsChanged(Worksheet& sheet, const std::vector<formula::Area>& areas, const std::vector<CellKey>& formulaKeys);
    // Sheets, workbooks or names were added, removed or renamed: dependencies are rebuilt before next
    // use.
    void structureChanged() {
        graphStale_ = true;
        sharedResults_.clear();
    }

    // Calculates the dirty and volatile formulas of every open workbook (full: every formula).
    void calculateAll(bool full);
    void calculateSheet(Worksheet& sheet);
    // Calculates the formula cells of the areas, dirty or not.
    void calculateRange(Worksheet& sheet, const std::vector<formula::Area>& areas);
    bool isCalculating() const { return calculating_; }
    // The number of the calculation running, unique in the process (0 between calculations): what a
    // function looks up once per calculation it may keep for the rest of it.
    std::uint64_t calculationNumber() const { return calculationNumber_; }
    // Evaluates a formula as an array formula of the given area, which is the caller while it runs;
    // nothing is stored.
    Variant evaluateAt(Worksheet& sheet, const formula::Area& area, const formula::Formula& formula);

    // The formula being evaluated: its sheet and its cell (or array area).
    struct CallerFrame {
        Worksheet* sheet = nullptr;
        formula::Area area;
        std::optional<bool> markedVolatile = std::nullopt;  // as the formula last marked itself
        bool callsUnknownFunction = false;
    };
    const CallerFrame* currentCaller() const { return callers_.empty() ? nullptr : &callers_.back(); }
    void markCallerVolatile(bool isVolatile);
    // The formula being evaluated calls a function the platform does not have (neither built in nor
    // registered). A cell whose formula does keeps the value it holds, the one its file stored, and
    // its dependents calculate from that; a cell without one shows #NAME?.
    void noteUnknownFunction(const std::string& name);
    // The names (upper case) of the functions noted since the last call.
    std::set<std::string> takeUnknownFunctions() { return std::exchange(unknownFunctions_, {}); }

    // The result of a built-in over the areas alone (SUM(A:A)): during a calculation, identical calls
    // share one result while the cells of the areas stay unwritten; else compute()'s.
    Variant sharedResult(const void* function, std::vector<SharedResults::SheetArea> areas,
                         const std::function<Variant()>& compute);

    // Formula cells of the same sheet that depend on the areas, directly or not, in the order found.
    std::vector<CellKey> dependentsOnSheet(Worksheet& sheet, const std::vector<formula::Area>& areas);
    // Areas of the same sheet that the formulas in the areas use, directly or not.
    std::vector<formula::Area> precedentsOnSheet(Worksheet& sheet, const std::vector<formula::Area>& areas);

    // The clock that times a calculation for its progress display: seconds from any fixed moment.
    using Clock = std::function<double()>;
    void setClock(Clock clock) { clock_ = std::move(clock); }

private:
    using Index = DependencyGraph::Index;

    void ensureGraph();
    // Before a rebuild: the dirty marks go into their sheets' calculation state, by cell.
    void keepMarksInSheets();
    // Takes the marks of the sheets' calculation state as dirty nodes, with what depends on them.
    void takeSheetMarks();
    void markDirtyFrom(std::vector<Index> work);
    // Marks the nodes and everything depending on them dirty, also when the nodes already were.
    void markDependentsDirty(const std::vector<Index>& nodes);
    void afterChange();
    std::vector<Index> nodesOf(const std::vector<NodeId>& cells) const;
    std::vector<NodeId> idsOf(const std::vector<Index>& nodes) const;
    std::vector<Index> volatileNodes() const;
    // Sheet by sheet, row by row: the order formulas are calculated in where nothing else decides it.
    void putInKeyOrder(std::vector<Index>& nodes) const;

    // A formula cell to calculate, with its cell as found when the sequence was made (good while the
    // sheet drops no cells).
    struct Step {
        NodeId id;
        Index node;
        Cell* cell;
        std::uint64_t drops;
    };
    std::vector<Step> stepsOf(const std::vector<Index>& nodes);

    // Evaluates the given formula cells in dependency order.
    void run(const std::vector<Index>& roots);
    // Evaluates every formula in dependency order (the order is kept until a formula changes).
    void runAll();
    // Sets the circular ones to #REF!, evaluates the sequence (the other roots, in calculation order),
    // clears the roots' dirty marks and reports the sheets calculated.
    void runSequence(const std::vector<Index>& circular, const std::vector<Step>& sequence);
    // Calculates the step's cell; true when its formula calls a function that is not built in (one
    // that may take its time, as a data function does).
    bool evaluate(const Step& step);
    // Brings what the steps after `next` read into the processor's cache ahead of their turn.
    void prefetchAhead(const std::vector<Step>& sequence, std::size_t next) const;
    // Evaluates the formula with the area as the caller.
    Variant evaluateAt(Worksheet& sheet, const formula::Area& area, const formula::Formula& formula, bool asArray,
                       bool* callsUnknownFunction = nullptr, std::span<const CellEvalContext::KnownCell> known = {});
    void setCircular(const NodeId& node);

    Application& application_;
    DependencyGraph graph_;
    DirtyNodes dirty_;  // formulas to calculate, by node
    bool graphStale_ = true;
    bool calculating_ = false;
    std::uint64_t calculationNumber_ = 0;
    std::uint64_t runRebuilds_ = 0;  // the graph's rebuild count when the running sequence was made
    std::vector<CallerFrame> callers_;
    std::set<std::string> unknownFunctions_;
    Clock clock_;
    // The calculation order of every formula and its circular ones, for graph_ at fullOrderVersion_.
    std::vector<Step> fullSequence_;
    std::vector<Index> fullCircular_;
    std::uint64_t fullOrderVersion_ = 0;
    SharedResults sharedResults_;  // within one calculation
};

}  // namespace host::sheet
