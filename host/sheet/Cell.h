#pragma once
// The content of one worksheet cell, as the sheet stores it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/base/Variant.h"
#include "host/formula/Formula.h"
#include "host/sheet/NumberFormatCode.h"

namespace host::sheet {

class Comment;

// Row and column packed into one key, 32 bits each, so that every address has its own key;
// ordering keys orders cells row by row.
using CellKey = std::uint64_t;
inline CellKey cellKey(int row, int column) {
    return (static_cast<CellKey>(static_cast<std::uint32_t>(row)) << 32) | static_cast<std::uint32_t>(column);
}
inline int keyRow(CellKey key) { return static_cast<int>(key >> 32); }
inline int keyColumn(CellKey key) { return static_cast<int>(key & 0xFFFFFFFFu); }

// The home slot of a cell key in a hash table of 2^(64 - shift) slots (shift at most 61): eight rows of
// a column have neighbouring slots, as ranges are read down their columns and cells are entered row
// by row, and the groups of eight are spread by a multiplicative hash. The salt (the rest of a
// table's key, such as its sheet, and the table's own seed) moves the groups.
inline std::size_t cellKeySlot(CellKey key, int shift, std::uint64_t salt = 0) {
    constexpr std::uint64_t kSpread = 0x9E3779B97F4A7C15ULL;
    const CellKey rowInGroup = (key >> 32) & 7;
    const CellKey group = key & ~(CellKey{7} << 32);
    const std::uint64_t hash = ((group * kSpread) ^ salt) * kSpread;
    return (static_cast<std::size_t>(hash >> shift) & ~std::size_t{7}) | rowInGroup;
}
struct CellKeySlot {
    std::size_t operator()(CellKey key, int shift, std::uint64_t seed) const { return cellKeySlot(key, shift, seed); }
};

struct Cell {
    Variant value;  // the constant, or the formula's last result
    // The formula of a single cell or of the anchor (top-left cell) of an array formula.
    std::shared_ptr<const formula::Formula> formula;
    // For every cell of an array formula: the array's area (its anchor is the area's top-left cell).
    std::optional<formula::Area> array;
    // The cell's style in its file's styles part (font, fill, borders, ...), kept for writing back.
    std::uint32_t style = 0;
    NumberFormatCode numberFormat;  // empty is General
    std::shared_ptr<Comment> comment;

    // A cell with nothing in it can be dropped from the sheet.
    bool isBlank() const {
        return value.isEmpty() && !formula && !array && style == 0 && numberFormat.empty() && !comment;
    }
};

}  // namespace host::sheet
