#pragma once
// The tables (list objects) of a worksheet in a workbook file: one table part each, related to the
// sheet's part.

#include <functional>
#include <string>
#include <vector>

#include "host/files/Package.h"
#include "host/files/PackageWriter.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Adds a table part (named by newPart) for each table of the sheet not among `kept` (the tables the
// file already holds) with its relationship from `sheetPart`; ids go on from `tableId`, which moves
// on. Gives the relationship ids, for the sheet's list of tables.
std::vector<std::string> writeTables(const sheet::Worksheet& sheet, const std::string& sheetPart, PackageWriter& package,
                                     int& tableId, const std::vector<std::string>& kept,
                                     const std::function<std::string()>& newPart);

// Makes the tables of a worksheet part, by their areas and names, tables of the sheet again (the
// tables of query tables are read with those). A table part that cannot be read, or a table that
// overlaps another or whose name is taken, is passed over: its cells stay. Gives the names of the
// tables read.
std::vector<std::string> readTables(const Package& package, const std::string& sheetPart, sheet::Worksheet& sheet);

}  // namespace host::files
