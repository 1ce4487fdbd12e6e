#pragma once
// Worksheet: a grid of cells with a name, visibility, comments and shapes.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/base/Variant.h"
#include "host/sheet/Cell.h"
#include "host/sheet/CellStore.h"
#include "host/sheet/FileExtras.h"
#include "host/sheet/FlatMap.h"
#include "host/sheet/PivotTable.h"
#include "host/sheet/QueryTable.h"
#include "host/sheet/Range.h"
#include "host/sheet/SheetFormats.h"

namespace host::sheet {

class Workbook;
class Application;
class ListObjects;
class ListObject;

enum class SheetVisibility { Visible = -1, Hidden = 0, VeryHidden = 2 };

// A drawing object on a sheet; comments have one each.
class Shape : public Object {
public:
    explicit Shape(std::string name) : name_(std::move(name)) {}
    std::string typeName() const override { return "Shape"; }
    const std::string& name() const { return name_; }
    double width = 96;
    double height = 55.5;

private:
    std::string name_;
};
using ShapePtr = std::shared_ptr<Shape>;

class Worksheet : public Object, public std::enable_shared_from_this<Worksheet> {
public:
    Worksheet(std::weak_ptr<Workbook> workbook, std::string name);
    std::string typeName() const override { return "Worksheet"; }

    std::shared_ptr<Workbook> parent() const;
    std::shared_ptr<Application> application() const;

    const std::string& name() const { return name_; }
    // Renames the sheet; raises 1004 for an empty name, one over 31 characters, one with : \ / ? * [ ]
    // or a name another sheet of the workbook has (letter case ignored).
    void setName(const std::string& name);
    SheetVisibility visible() const { return visible_; }
    // Hiding the last visible sheet of a workbook raises 1004.
    void setVisible(SheetVisibility visibility);

    // Range("A1"), Range("A1:B2,D4"), Range("Sheet1!A1") (the sheet must be this one); raises 1004
    // for a text that is no address.
    RangePtr range(std::string_view address);
    RangePtr range(const RangePtr& first, const RangePtr& last);
    RangePtr cells(int row, int column);
    RangePtr usedRange();

    void calculate();
    void activate();
    void select() { activate(); }
    // Removes the sheet from its workbook; raises 1004 for the last visible sheet.
    void remove();
    // True once the sheet was removed from its workbook; its ranges can no longer be used.
    bool isRemoved() const { return removed_; }

    // The tables (list objects) of the sheet.
    ListObjects& listObjects();
    // The sheet's tables, none when it never had any.
    std::vector<std::shared_ptr<ListObject>> tables() const;

    // Comments of the sheet, row by row.
    std::vector<std::shared_ptr<Comment>> comments() const;
    std::vector<ShapePtr> shapes() const;

    // The sheet's query tables (QueryTables), in the order they were added.
    std::vector<QueryTablePtr>& queryTables() { return queryTables_; }
    const std::vector<QueryTablePtr>& queryTables() const { return queryTables_; }
    // The sheet's pivot tables (PivotTables), in the order they were added.
    std::vector<PivotTablePtr>& pivotTables() { return pivotTables_; }

    // What the sheet's part of its file holds that the platform does not model; none for a new sheet.
    std::shared_ptr<const FileExtras> fileExtras;
    // Attributes of rows as the file gave them (height, hidden, outline level, ...), by row: the
    // platform does not model them, the file layer writes them back; they move with removed rows.
    std::map<int, std::string> rowAttributes;

    // The selection and active cell of the sheet (A1 for a new sheet).
    RangePtr selection() const;
    RangePtr activeCell() const;
    void setSelection(std::vector<formula::Area> areas, formula::Area activeCell);

    // ---- cell storage, for the platform's own modules ----
    const Cell* findCell(int row, int column) const { return cells_.find(cellKey(row, column)); }
    Cell* findCell(int row, int column) { return cells_.find(cellKey(row, column)); }
    Cell& cellAt(int row, int column);
    // Makes room for `count` stored cells in all (a file about to be read says how many it holds).
    void reserveCells(std::size_t count) { cells_.reserve(count); }
    // Drops a cell that holds nothing any more.
    void compact(int row, int column);
    // Changes whenever cells are dropped: a pointer to a cell kept from before may then dangle, one
    // kept since stays good.
    std::uint64_t dropCount() const { return drops_; }
    const CellStore& allCells() const { return cells_; }
    // The part of the area that can hold cells: the area cut to a box around every cell the sheet
    // holds (or held since rows were last removed); nullopt when nothing of it can.
    std::optional<formula::Area> clipToContent(const formula::Area& area) const;
    // Formats of whole rows, columns and the sheet, for cells without a format of their own.
    SheetFormats& formats() { return formats_; }
    const SheetFormats& formats() const { return formats_; }
    // The number format a cell shows: its own, else the one it inherits ("" for General).
    std::string numberFormatAt(int row, int column) const;
    // Keys of the cells holding a formula (single cells and array anchors).
    const FlatSet<CellKey, CellKeySlot>& formulaCells() const { return formulaCells_; }
    void noteFormula(CellKey key, bool present);
    // The formula cell whose result a cell shows: the cell itself, the anchor of its array, or none.
    std::optional<CellKey> formulaOwner(int row, int column) const;
    // Removes rows top to bottom and moves the cells below up, with their comments, array areas and
    // calculation state. A moved formula is re-read from its R1C1 text at its new place (one whose
    // relative reference would then leave the sheet becomes =#REF!). Raises 1004 and changes nothing
    // when an array formula reaches into the rows without lying wholly inside them. Gives the new
    // keys of the moved formula cells.
    std::vector<CellKey> removeRows(int top, int bottom);

    // Calculation state of the sheet's formula cells (by the key of the cell or array anchor).
    struct CalcState {
        // Marked here (by a file's reader, or kept while the calculator reads the dependencies
        // again), taken by the calculator into its own marks before its next use.
        FlatSet<CellKey, CellKeySlot> dirty;
        FlatSet<CellKey, CellKeySlot> volatileCells;
    };
    CalcState& calcState() { return calc_; }

private:
    std::weak_ptr<Workbook> workbook_;
    std::string name_;
    SheetVisibility visible_ = SheetVisibility::Visible;
    CellStore cells_;
    std::uint64_t drops_ = 0;
    std::optional<formula::Area> contentBox_;  // around every cell of cells_
    void includeInContent(int row, int column);
    FlatSet<CellKey, CellKeySlot> formulaCells_;
    SheetFormats formats_;
    CalcState calc_;
    std::vector<QueryTablePtr> queryTables_;
    std::vector<PivotTablePtr> pivotTables_;
    std::shared_ptr<ListObjects> listObjects_;
    bool removed_ = false;
    friend class Workbook;
    std::vector<formula::Area> selection_{formula::Area::cell(1, 1)};
    formula::Area activeCell_ = formula::Area::cell(1, 1);
};
using WorksheetPtr = std::shared_ptr<Worksheet>;

// Checks a sheet name; raises 1004 with the reason when it is not allowed.
void validateSheetName(const std::string& name);

}  // namespace host::sheet
