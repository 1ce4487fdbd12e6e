#pragma once
// Cell references as workbook files write them in attributes: "B12", "A1:C3" (no "$", no sheet).

#include <optional>
#include <string>
#include <string_view>

#include "host/formula/Reference.h"

namespace host::files {

struct CellPosition {
    int row = 1;
    int column = 1;
};

// "B12" -> row 12, column 2; nullopt for anything else or a cell outside the sheet's limits.
std::optional<CellPosition> parseCellReference(std::string_view text);
// "A1:C3" or a single cell "B2"; nullopt for anything else.
std::optional<formula::Area> parseAreaReference(std::string_view text);

// "B12" for row 12, column 2.
std::string cellReference(int row, int column);
// Appends "B12" for row 12, column 2 to the text, without a text of its own for it.
void appendCellReference(std::string& out, int row, int column);
// "A1:C3", or "B2" for a single cell.
std::string areaReference(const formula::Area& area);

}  // namespace host::files
