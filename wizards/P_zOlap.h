#pragma once
// The pivot-table commands: a pivot table's reference formula taken into a cell and converted into a
// GETDATAOLAP formula, an offline cube built from the pivot tables over the "Query" sheet's query, and
// the pivot fields' subtotals switched off.

#include <string>

#include "host/sheet/Range.h"

namespace telm {

// Lets the user point at a pivot-table cell; the host writes that cell's pivot reference formula into
// the active cell by keystrokes ("=", the address, Enter), and the macro "GetPivotData2GetDataOlap"
// is scheduled one second later to convert it. The active cell is remembered for the conversion.
void InsertPivotReferenceFormula();

// Reselects the cell remembered by InsertPivotReferenceFormula and converts its pivot reference
// formula into a GETDATAOLAP formula.
void ConvertSelectedPivotFormulas();

// The cell's GETPIVOTDATA formula as a GETDATAOLAP formula over the pivot table's cube: message 109
// when the table has no cube behind it (the cell is left as it is), message 111 when a page field has
// several items chosen. False when the cell holds no pivot reference formula or was not converted.
bool ConvertGetPivotDataFormula(const host::sheet::RangePtr& cell);

// Writes the query file ("<workbook>.oqy" beside the saved workbook) that builds an offline cube from
// the query table of the sheet "Query" with the row fields of the workbook's pivot tables as
// dimensions and their data fields as measures; asks whether to build the cube now, which opens the
// file (the cube is built and shown as a pivot table in a new workbook). Messages 1008, 149 to 157.
void BuildOfflineCube();

// Switches off the subtotals of every field of every pivot table of the active sheet (the classic
// layout on host versions 12, 14 and 15) and lays the tables out again.
void ClearPivotFieldSubtotals();

}  // namespace telm
