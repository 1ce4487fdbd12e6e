#pragma once
// The content of one worksheet cell, as the sheet stores it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/base/Variant.h"
#include "host/formula/Formula.h"

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

struct Cell {
    Variant value;  // the constant, or the formula's last result
    // The formula of a single cell or of the anchor (top-left cell) of an array formula.
    std::shared_ptr<const formula::Formula> formula;
    // For every cell of an array formula: the array's area (its anchor is the area's top-left cell).
    std::optional<formula::Area> array;
    std::string numberFormat;  // "" is General
    std::shared_ptr<Comment> comment;

    // A cell with nothing in it can be dropped from the sheet.
    bool isBlank() const { return value.isEmpty() && !formula && !array && numberFormat.empty() && !comment; }
};

}  // namespace host::sheet
