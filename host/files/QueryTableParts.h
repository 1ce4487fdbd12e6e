#pragma once
// Query tables in workbook files: the queryTable parts of a sheet (reached through a table of type
// "queryTable", or straight from the sheet with the sheet's defined name of the same name giving the
// range) and the workbook's connections part, which holds each query's connection and SQL.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/files/Package.h"
#include "host/files/PackageWriter.h"
#include "host/files/XmlChunks.h"
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

// Adds the query tables of a worksheet part to the sheet and returns the ids of the sheet's
// relationships that lead to them. sheetNames are the sheet's own defined names (name -> reference
// text) for query tables related straight from the sheet. A query table whose connection or range
// cannot be found is left out, as it cannot be refreshed or read.
std::vector<std::string> readQueryTables(const Package& package, const std::string& sheetPart, const WorkbookConnections& connections,
                     const std::map<std::string, std::string>& sheetNames, sheet::Worksheet& sheet);

// Writes query tables the way the common spreadsheet programs store them: each as a table of type
// "queryTable" over its range, with its query table part, and its connection in the connections part.
class QueryTableWriter {
public:
    // Names a new part from a stem and an extension ("xl/tables/table", ".xml"), one the package does
    // not use yet.
    using PartNamer = std::function<std::string(const std::string& stem, const std::string& extension)>;
    // source: the package the workbook was read from (nullptr for none): its tables and connections
    // keep their ids, and the connections written are added to its connections part.
    QueryTableWriter(const Package* source, std::string sourceConnectionsPart, PartNamer namePart);

    // Writes the parts of the sheet's query tables, relates them to the sheet part and lists them in
    // the sheet's tables (the layout's "tableParts", made when it has none).
    void writeSheet(const sheet::Worksheet& sheet, PackageWriter& package, const std::string& sheetPart,
                    XmlChunks& layout);
    // Writes the connections part with the query tables' connections, when any were written.
    void finish(PackageWriter& package, const std::string& workbookPart) const;

private:
    const Package* source_;
    std::string sourceConnectionsPart_;
    PartNamer namePart_;
    int nextTableId_ = 1;
    int firstConnectionId_ = 1;
    std::vector<WorkbookConnection> connections_;  // written, ids from firstConnectionId_ on
    std::vector<std::string> tableNames_;           // the names given to the tables so far
};

// Whether the sheet's query tables are still those read from its file.
bool sameQueryTables(const std::vector<sheet::QueryTablePtr>& now, const std::vector<sheet::QueryTable>& asRead);

// Adds relationship ids to the layout's list of tables ("tableParts") and takes others out; the list
// goes when it is left empty.
void listTableParts(XmlChunks& layout, const std::vector<std::string>& added, const std::vector<std::string>& removed);

}  // namespace host::files
