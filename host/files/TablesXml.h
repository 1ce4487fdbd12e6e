#pragma once
// The tables (list objects) of a worksheet in a workbook file: one table part each, related to the
// sheet's part.

#include <string>
#include <vector>

#include "host/files/Package.h"
#include "host/files/PackageWriter.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Adds a table part for each table of the sheet (numbered on from `tableNumber`, which moves on) with
// its relationship from `sheetPart`; gives the relationship ids, for the sheet's list of tables.
std::vector<std::string> writeTables(const sheet::Worksheet& sheet, const std::string& sheetPart, PackageWriter& package,
                                     int& tableNumber);

// Makes the tables of a worksheet part, by their areas and names, tables of the sheet again (the
// tables of query tables are read with those). A table part that cannot be read, or a table that
// overlaps another or whose name is taken, is passed over: its cells stay.
void readTables(const Package& package, const std::string& sheetPart, sheet::Worksheet& sheet);

}  // namespace host::files
