#pragma once
// The GETDATAODBC wizard: a query table becomes a GETDATAODBC formula with the same rows.

#include <string>

namespace telm {

// Writes a GETDATAODBC formula for the query table under the active cell into a cell the user
// points at, as an array formula over a range of the query table's size there. Texts longer than
// 255 characters are written as array constants of 255-character parts (message 113 says so). No
// query table under the active cell, or a pointed place that is no cell: message 107.
void InsertGetDataOdbcFormula();

// A text as a formula argument: a quoted literal, or, past 255 characters, a column array constant
// of quoted parts of at most 255 characters ({"part";"part"}), which the data functions join.
std::string FormulaTextArgument(const std::string& text);

}  // namespace telm
