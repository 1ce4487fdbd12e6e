#pragma once
// Building cubes from the local-cube statements of a connection text:
//   Provider=MSOLAP;Location=/data/sales.cub;SOURCE_DSN="Driver={SQLite3};Database=/data/sales.db";
//   CREATECUBE=CREATE CUBE [Sales] (...);INSERTINTO=INSERT INTO [Sales] (...) SELECT ... FROM ...
// (see CubeStatements.h). The SELECT runs on SOURCE_DSN as written; the cube is written where the
// text's cubes live (CubeDatabase.h): a cube file (created when missing, never a file of another kind)
// or a server's schema. A cube of the same name is replaced, and a cube file then compacted; a failed
// build leaves the earlier cube as it was, and removes a cube file it created.

#include <string>

namespace host::olap {

// Builds (or rebuilds) the cube the text describes. Raises a syntax error or "cannot find" for
// statements that do not fit together, the driver's failure of the source or the cube database.
void buildCube(const std::string& connectionText, const std::string& user = {}, const std::string& password = {});

}  // namespace host::olap
