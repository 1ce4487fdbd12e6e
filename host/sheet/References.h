#pragma once
// Resolving the workbook and sheet a reference names, relative to the sheet that names it.

#include "host/formula/Formula.h"
#include "host/formula/Reference.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Application;

// The sheet a reference target points at: the given sheet when the target names none, else the named
// sheet of the named (or the same) open workbook, letter case ignored. nullptr when that workbook is
// not open or has no such sheet.
WorksheetPtr resolveSheet(Application& application, const Worksheet& from, const formula::ReferenceTarget& target);

// True when the target names a workbook that is not open (to be read from its file).
bool namesClosedWorkbook(Application& application, const formula::ReferenceTarget& target);

// A cell's value as Value2: dates and currency amounts as plain numbers.
Variant value2Of(const Cell& cell);
// True for the values that Value2 gives as plain numbers: dates and currency amounts.
inline bool isDateOrCurrency(const Variant& v) {
    const VarType type = v.type();
    return type == VarType::Date || type == VarType::Currency;
}
// The cell's stored value where it is its Value2 as it stands (no date or currency); else nullptr.
inline const Variant* value2InPlace(const Cell& cell) { return isDateOrCurrency(cell.value) ? nullptr : &cell.value; }

// The values of an area of a sheet: one value for one cell, a rows x columns Array otherwise.
Variant areaValues(const Worksheet& sheet, const formula::Area& area, bool asValue2);

// The most cells a formula takes as one array of values (four whole columns); a larger reference
// there gives #VALUE! instead of taking the memory.
inline constexpr long long kMaxArrayCells = 4LL * formula::kMaxRows;

// The values (as Value2) of the cells of the area that exist, row by row, a run at a time: the cost
// follows the cells the sheet holds, not the size of the area.
void visitAreaValues(const Worksheet& sheet, const formula::Area& area, const formula::VisitCellValues& visit);

}  // namespace host::sheet
