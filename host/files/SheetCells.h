#pragma once
// The stored cells of a sheet in row order, left to right: what the file writers walk.

#include <vector>

#include "host/sheet/Cell.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

struct PlacedCell {
    int row;
    int column;
    const sheet::Cell* cell;
};

// Every stored cell of the sheet that holds a value or a formula, sorted by row and column.
std::vector<PlacedCell> cellsInRowOrder(const sheet::Worksheet& sheet);

}  // namespace host::files
