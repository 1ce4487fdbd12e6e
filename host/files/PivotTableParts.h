#pragma once
// Pivot tables in workbook files: the pivotTable parts of a sheet, each with its cache definition,
// whose source is a database connection of the workbook's connections part. What is read is what a
// refresh and the add-in's commands need: the connection and query, the table's top-left cell and its
// fields by orientation. The values on the sheet are the cells the file holds; the table's own layout
// is known once it is refreshed.

#include <string>

#include "host/files/Package.h"
#include "host/files/QueryTableParts.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Adds the pivot tables of a worksheet part to the sheet. A pivot table whose cache is not over a
// database connection of the workbook (a range of a sheet, a missing part) is left out.
void readPivotTables(const Package& package, const std::string& sheetPart, const WorkbookConnections& connections,
                     sheet::Worksheet& sheet);

}  // namespace host::files
