#pragma once
// The tables (list objects) of a worksheet in a workbook file: one table part each, related to the
// sheet's part.

#include <functional>
#include <string>
#include <vector>

#include "host/files/Package.h"
#include "host/files/PackageWriter.h"
#include "host/files/StoredPackage.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Brings the table parts the file holds (`asRead`) up to the sheet's tables of the same names: a part
// whose table changed its area or headings is written again from the source's, keeping all it does
// not model; a part whose table is gone is left out. Gives the sheet's relationship ids of the parts
// left out, for the caller to take out of the sheet's relationships and list of tables.
std::vector<std::string> updateKeptTables(const sheet::Worksheet& sheet, const std::vector<TableAsRead>& asRead,
                                          const Package& source, PackageWriter& package);

// Adds a table part (named by newPart) for each table of the sheet not among `kept` (the tables the
// file already holds) with its relationship from `sheetPart`; ids go on from `tableId`, which moves
// on. Gives the relationship ids, for the sheet's list of tables.
std::vector<std::string> writeTables(const sheet::Worksheet& sheet, const std::string& sheetPart, PackageWriter& package,
                                     int& tableId, const std::vector<TableAsRead>& kept,
                                     const std::function<std::string()>& newPart);

// Makes the tables of a worksheet part, by their areas and names, tables of the sheet again (the
// tables of query tables are read with those). A table part that cannot be read, or a table that
// overlaps another or whose name is taken, is passed over: its cells stay, and a save keeps its part
// as stored. Gives the tables read.
std::vector<TableAsRead> readTables(const Package& package, const std::string& sheetPart, sheet::Worksheet& sheet);

}  // namespace host::files
