#pragma once
// Writing a workbook as a spreadsheet XML file (the format SpreadsheetXml.h reads).

#include <string>

#include "host/sheet/Workbook.h"

namespace host::files {

// Writes every sheet of the workbook, in tab order, with its name and visibility, its values (Number,
// String, Boolean, DateTime, Error) and its formulas (R1C1, with their last results). The cells of an
// array formula are written as values. The file is replaced only once the new one is complete.
// Raises 1004 naming the file when it cannot be written.
void writeSpreadsheetXml(const sheet::Workbook& workbook, const std::string& path);

}  // namespace host::files
