// Removing whole rows from a worksheet's cell storage.

#include "host/sheet/Comment.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

using formula::Area;
using formula::Formula;
using formula::ReferenceStyle;

namespace {

// The formula as it reads at its new row: the same R1C1 text, so relative references keep their
// offsets. A reference that would then leave the sheet makes the whole formula #REF!.
std::shared_ptr<const Formula> reread(const Formula& formula, int oldRow, int newRow, int column) {
    const std::string relative = formula.toText(ReferenceStyle::R1C1, oldRow, column);
    try {
        return std::make_shared<const Formula>(Formula::parse(relative, ReferenceStyle::R1C1, newRow, column));
    } catch (const formula::FormulaSyntaxError&) {
        return std::make_shared<const Formula>(Formula::parse("=#REF!", ReferenceStyle::A1, newRow, column));
    }
}

// Keys of the set moved by the removal: rows inside it are dropped, rows below move up.
template <class KeySet>
KeySet shiftedKeys(const KeySet& keys, int top, int bottom) {
    const int removed = bottom - top + 1;
    KeySet result;
    for (CellKey key : keys) {
        const int row = keyRow(key);
        if (row < top) result.insert(key);
        else if (row > bottom) result.insert(cellKey(row - removed, keyColumn(key)));
    }
    return result;
}

}  // namespace

std::vector<CellKey> Worksheet::removeRows(int top, int bottom) {
    for (const auto& [key, cell] : cells_) {
        if (!cell.array) continue;
        const Area& array = *cell.array;
        const bool reaches = array.bottom >= top && array.top <= bottom;
        const bool inside = array.top >= top && array.bottom <= bottom;
        if (reaches && !inside) throw RuntimeError(err::InvalidArgument, "You can't change part of an array.");
    }

    const int removed = bottom - top + 1;
    std::vector<CellKey> movedFormulas;
    CellStore kept;
    for (auto& [key, cell] : cells_) {
        const int row = keyRow(key), column = keyColumn(key);
        if (row < top) {
            kept.add(key) = std::move(cell);
            continue;
        }
        if (row <= bottom) continue;
        const int newRow = row - removed;
        if (cell.array) {
            cell.array->top -= removed;
            cell.array->bottom -= removed;
        }
        if (cell.formula) {
            cell.formula = reread(*cell.formula, row, newRow, column);
            movedFormulas.push_back(cellKey(newRow, column));
        }
        if (cell.comment) cell.comment->moveTo(newRow, column);
        kept.add(cellKey(newRow, column)) = std::move(cell);
    }
    cells_ = std::move(kept);
    ++drops_;
    contentBox_.reset();
    for (const auto& entry : cells_) includeInContent(keyRow(entry.first), keyColumn(entry.first));
    std::map<int, std::string> rows;
    for (auto& [row, attributes] : rowAttributes)
        if (row < top) rows.emplace(row, std::move(attributes));
        else if (row > bottom) rows.emplace(row - removed, std::move(attributes));
    rowAttributes = std::move(rows);
    formulaCells_ = shiftedKeys(formulaCells_, top, bottom);
    calc_.dirty = shiftedKeys(calc_.dirty, top, bottom);
    calc_.volatileCells = shiftedKeys(calc_.volatileCells, top, bottom);
    return movedFormulas;
}

}  // namespace host::sheet
