#pragma once
// A workbook's links: the other workbooks its cell formulas refer to by external reference
// ("='folder\[Book.xlsx]Sheet1'!A1", "=[Book.xlsx]Sheet1!A1"), as the spreadsheet's LinkSources and
// ChangeLink see them.

#include <string>
#include <vector>

#include "host/sheet/Workbook.h"

namespace host::sheet {

// The full names of the workbooks the formulas refer to, each once (letter case ignored, "\" and "/"
// alike), in the order found: sheet by sheet, row by row. A reference written with a folder gives
// the folder and the name as written; one without a folder gives the full name of the open workbook
// of that name, or the name alone. References of the workbook to itself are no links.
std::vector<std::string> linkSources(const Workbook& workbook);

// Makes every external reference to `source` (a full name as linkSources gives it, letter case
// ignored, "\" and "/" alike) refer to the workbook file `replacement` instead: the formulas are
// entered again with the new folder and name. Returns the number of formulas changed.
int changeLink(Workbook& workbook, const std::string& source, const std::string& replacement);

}  // namespace host::sheet
