#pragma once
// Range: one or more rectangular areas of one worksheet, the object through which cells are read,
// written, calculated and commented.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Formula.h"
#include "host/formula/Reference.h"
#include "host/sheet/Cell.h"

namespace host::sheet {

class Worksheet;
class Comment;

class Range : public Object, public std::enable_shared_from_this<Range> {
public:
    Range(std::shared_ptr<Worksheet> sheet, std::vector<formula::Area> areas);

    std::string typeName() const override { return "Range"; }
    Variant defaultValue() const override { return value(); }

    // The worksheet; raises an automation error when the sheet has been deleted or its workbook closed.
    std::shared_ptr<Worksheet> parent() const;
    const std::vector<formula::Area>& areas() const { return areas_; }
    const formula::Area& firstArea() const { return areas_.front(); }

    // Values: one cell gives its value, several cells a rows x columns Array (lower bounds 1) of the
    // first area. Value keeps dates and currency; Value2 gives them as Double.
    Variant value() const;
    Variant value2() const;
    // Writes a value into every cell, or an Array over the range (a one-dimensional array fills a
    // row; cells beyond the array get #N/A). Clears formulas in the range. Raises 1004 when the range
    // cuts through an array formula, 7 (changing nothing) when a value other than Empty would fill
    // more than 4,194,304 cells.
    void setValue(const Variant& value);

    // Formula text in A1 style (a constant's text for a cell without formula, "" for an empty cell);
    // several cells give an Array of texts. Setting a text that starts with "=" enters a formula
    // (FormulaSyntaxError when it does not parse); any other text is entered as typed: numbers,
    // TRUE/FALSE and error values become those values, a leading apostrophe keeps text.
    Variant formula() const;
    void setFormula(const Variant& formulaOrValue);
    Variant formulaR1C1() const;
    void setFormulaR1C1(const Variant& formulaOrValue);
    // The array formula covering the range's first cell ("" when none); setting enters one array
    // formula over the whole first area.
    std::string formulaArray() const;
    void setFormulaArray(const std::string& text);
    // True when every cell holds a formula, False when none does, Null when mixed.
    Variant hasFormula() const;
    bool hasArray() const;

    // Address of the range ("$A$1:$B$2", areas joined with ","); with external, prefixed by
    // "[Book]Sheet!"; in R1C1 style relative parts are relative to relativeTo (default A1).
    std::string address(bool rowAbsolute = true, bool columnAbsolute = true,
                        formula::ReferenceStyle style = formula::ReferenceStyle::A1, bool external = false,
                        const std::shared_ptr<Range>& relativeTo = nullptr) const;

    int row() const { return firstArea().top; }
    int column() const { return firstArea().left; }
    int rowCount() const { return firstArea().rows(); }
    int columnCount() const { return firstArea().columns(); }
    // Number of cells in all areas.
    long long count() const;

    // Cells(row, column) relative to the range's first cell (1-based; may lie outside the range).
    std::shared_ptr<Range> cells(int row, int column) const;
    // The n-th cell (1-based) of the first area, row by row.
    std::shared_ptr<Range> item(long long index) const;
    // Every cell in the platform's enumeration order: area by area, row by row, left to right.
    std::vector<std::shared_ptr<Range>> cellList() const;
    // The cells of cellList() that the sheet stores (a value, formula, number format or comment), in
    // the same order; a large range of few cells costs only its stored cells.
    std::vector<std::shared_ptr<Range>> storedCellList() const;
    std::shared_ptr<Range> offset(int rows, int columns) const;
    std::shared_ptr<Range> resize(int rows, int columns) const;
    std::shared_ptr<Range> entireRow() const;
    std::shared_ptr<Range> entireColumn() const;
    // The block of non-empty cells around the range's first cell, bounded by empty rows and columns.
    std::shared_ptr<Range> currentRegion() const;
    // Every cell on the same sheet whose value depends on this range, at all levels; raises 1004
    // "No cells were found." when there is none. Precedents likewise for the cells this range uses.
    std::shared_ptr<Range> dependents() const;
    std::shared_ptr<Range> precedents() const;

    // The first cell's comment, or nullptr.
    std::shared_ptr<Comment> comment() const;
    // Adds a comment to the first cell; raises 1004 when it already has one.
    std::shared_ptr<Comment> addComment(const std::string& text);
    void clearComments();
    // Removes values and formulas, keeping number formats and comments.
    void clearContents();
    // Deletes the whole rows of the first area; the cells below move up with their comments. A moved
    // formula keeps its R1C1 text, so its relative references point at the cells that moved with it
    // and its absolute ones at the same addresses; one whose relative reference would leave the sheet
    // becomes =#REF!. References of other formulas into the moved cells are NOT adjusted. Raises 1004
    // "You can't change part of an array." when an array formula reaches into the rows without lying
    // wholly inside them.
    void deleteRows();

    // Copy: puts the range on the application's clipboard. What a later paste gives is what the range
    // holds at the time of pasting.
    void copy();
    // PasteSpecial of values only (no operation, blanks not skipped, not transposed): the values the
    // copied range shows go into this range as constants, number formats stay. A one-cell range takes
    // the copied range's size; a range whose rows and columns are multiples of it takes it repeated;
    // any other takes it once at its first cell. Raises 1004 when the clipboard holds no range or a
    // range of several areas.
    void pasteSpecialValues();

    // Calculates the formulas of the range (whether or not they are dirty).
    void calculate();
    // Makes the range the selection of its sheet and its sheet the active one.
    void select();
    void activate();

    // Number format of the first cell ("General" when none); setting applies to every cell.
    std::string numberFormat() const;
    void setNumberFormat(const std::string& code);
    // The first cell's value as displayed with its number format.
    std::string text() const;

private:
    // Raises error 7 before a write that would fill more cells than memory can be expected to hold.
    static void refuseOversizedFill(long long cells);
    void forEachCell(const std::function<void(int row, int column)>& f) const;
    void enterText(const Variant& formulaOrValue, formula::ReferenceStyle style);
    Variant formulaTexts(formula::ReferenceStyle style) const;
    // Tells the calculator which cells changed and raises the sheet-change event.
    void notifyChanged(Worksheet& sheet, const std::vector<formula::Area>& areas, const std::vector<CellKey>& formulaKeys);

    std::weak_ptr<Worksheet> sheet_;
    std::vector<formula::Area> areas_;
};
using RangePtr = std::shared_ptr<Range>;

// The Range inside a Variant, or nullptr when it holds none.
RangePtr asRange(const Variant& value);

}  // namespace host::sheet
