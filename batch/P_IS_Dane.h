#pragma once
// The data steps of Information Services programs: SQL statements over a connection text, and local
// cubes built from cube definition files.
//
// A cube definition file holds the statements of one cube, each item beginning on a line of its own
// with its key; the lines after it, up to the next key, continue it:
//   SOURCE_DSN=Driver={SQLite3};Database=[TELM.NET.Folder]\sales.db;
//   CREATECUBE=CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [Country], MEASURE [Amount] FUNCTION SUM)
//   INSERTINTO=INSERT INTO [Sales] ([Region].[Country], [Measures].[Amount])
//              SELECT country, amount FROM orders
// The folder token may stand in any of them.

#include <string>

#include "host/base/Variant.h"
#include "host/sheet/Range.h"

namespace telm {

struct CubeDefinitionText {
    std::string sourceDsn;
    std::string createCube;
    std::string insertInto;
};

// Runs `sql` over `connection` (folder token replaced). When `target` is given, the rows of the
// result are written from that cell on, the field names first when `withFieldNames`, after the area
// of the result last written from that cell (kept in a hidden name of the workbook) has been
// cleared. Gives the number of rows written. Raises the driver's failure, and, before writing
// anything, for a result that would run past the sheet's last row or column.
long RunSqlStep(const std::string& connection, const std::string& sql, const host::sheet::RangePtr& target,
                bool withFieldNames);

// Reads a cube definition file. Raises 53 for a missing file, and 5 naming the key that is missing.
CubeDefinitionText ReadCubeDefinition(const std::string& file);
// Builds (or rebuilds) the cube of the definition in the cube file.
void CreateOlapCube(const CubeDefinitionText& definition, const std::string& cubeFile);

}  // namespace telm
