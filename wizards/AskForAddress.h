#pragma once
// The cell the user points at on a sheet, for the wizards.

#include <string>

#include "host/sheet/Range.h"

namespace telm {

// Asks for a cell (message 3148, title 2003): its top-left cell, or nullptr when the user cancelled
// or pointed at no cell (message 107).
host::sheet::RangePtr AskForAddress();

// The reference a formula in `from` writes for the cell `to`: its address, after the sheet's name
// when the sheets differ and the workbook's too when the workbooks differ, quoted where the name
// needs it ('Bob''s data'!A1, [Book2.xlsx]Sheet1!B5).
std::string ReferenceFrom(const host::sheet::Range& from, const host::sheet::Range& to, bool rowAbsolute,
                          bool columnAbsolute);

}  // namespace telm
