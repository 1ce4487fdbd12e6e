#pragma once
// Address texts: column letters, parsing "A1:B2"-style texts into areas, printing areas back.

#include <string>
#include <string_view>
#include <vector>

#include "host/formula/Formula.h"
#include "host/formula/Reference.h"

namespace host::formula {

// "A" for 1, "Z" for 26, "AA" for 27, ... "XFD" for 16384.
std::string columnLetters(int column);

// Parses an address text as Range("...") and Application.Range take it: one or more areas separated
// by "," ("A1", "$A$1:$C$3", "A:C", "2:5", "Sheet1!A1", "'My Sheet'!A1:B2", "[Book.xlsx]Sheet1!A1",
// "'folder\[Book.xlsx]Sheet 1'!A1"); in R1C1 style "R1C1", "R[-1]C", "R1C1:R2C3", relative forms
// resolved against the anchor. Letters in any case. Raises RuntimeError 1004 for a text that is no
// address or names a cell outside the sheet's limits.
std::vector<ReferenceTarget> parseAddress(std::string_view text, ReferenceStyle style = ReferenceStyle::A1,
                                          int anchorRow = 1, int anchorColumn = 1);

// The text of one area ("$A$1", "A1:B2", "$A:$A", "R1C1", "R[1]C[-1]:R2C3"). Whole columns and whole
// rows print in their short form. In R1C1 style a relative part is printed relative to the anchor.
std::string formatArea(const Area& area, bool rowAbsolute, bool columnAbsolute, ReferenceStyle style,
                       int anchorRow = 1, int anchorColumn = 1);

// A sheet name as a reference prefix: "Sheet1!" or "'My Sheet'!" (quoted when it holds anything but
// letters, digits, "_" and "." or starts with a digit; quotes inside doubled). Without a sheet the
// prefix names the workbook file itself, as a call of an add-in's function does: "'/x/Addin.xla'!".
std::string sheetPrefix(const std::string& workbook, const std::string& sheet, const std::string& folder = "");

}  // namespace host::formula
