#pragma once
// Query tables in workbook files: the queryTable parts of a sheet (reached through a table of type
// "queryTable", or straight from the sheet with the sheet's defined name of the same name giving the
// range) and the workbook's connections part, which holds each query's connection and SQL.

#include <map>
#include <string>
#include <vector>

#include "host/files/Package.h"
#include "host/files/PackageWriter.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// A database connection of the workbook's connections part.
struct WorkbookConnection {
    std::string name;
    std::string connection;  // with its type prefix: "ODBC;..." or "OLEDB;..."
    std::string command;     // the SQL
};
using WorkbookConnections = std::map<int, WorkbookConnection>;  // by connection id

// The database connections of the connections part ("" or a missing part: none).
WorkbookConnections readConnections(const Package& package, const std::string& part);

// Adds the query tables of a worksheet part to the sheet. sheetNames are the sheet's own defined
// names (name -> reference text) for query tables related straight from the sheet. A query table
// whose connection or range cannot be found is left out, as it cannot be refreshed or read.
void readQueryTables(const Package& package, const std::string& sheetPart, const WorkbookConnections& connections,
                     const std::map<std::string, std::string>& sheetNames, sheet::Worksheet& sheet);

// Writes query tables the way the common spreadsheet programs store them: each as a table of type
// "queryTable" over its range, with its query table part, and its connection in the connections part.
class QueryTableWriter {
public:
    // Writes the parts of the sheet's query tables and relates them to the sheet part; returns the
    // relationship ids of the table parts, for the sheet's list of tables.
    std::vector<std::string> writeSheet(const sheet::Worksheet& sheet, PackageWriter& package,
                                        const std::string& sheetPart);
    // Writes the connections part of the query tables written, when there were any.
    void finish(PackageWriter& package, const std::string& workbookPart) const;

private:
    std::vector<WorkbookConnection> connections_;  // the query tables' connections, id = position + 1
    std::vector<std::string> tableNames_;           // the names given to the tables so far
};

}  // namespace host::files
