#include "host/files/SheetCells.h"

#include <algorithm>

namespace host::files {

std::vector<PlacedCell> cellsInRowOrder(const sheet::Worksheet& sheet) {
    std::vector<PlacedCell> cells;
    for (const auto& [key, cell] : sheet.allCells())
        if (!cell.value.isEmpty() || cell.formula) cells.push_back({sheet::keyRow(key), sheet::keyColumn(key), &cell});
    std::sort(cells.begin(), cells.end(),
              [](const PlacedCell& a, const PlacedCell& b) { return a.row != b.row ? a.row < b.row : a.column < b.column; });
    return cells;
}

}  // namespace host::files
