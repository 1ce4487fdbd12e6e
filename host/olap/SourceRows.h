#pragma once
// The rows of a query on a source database, read one at a time (a cube's source may hold millions of
// rows), each value as text.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host::olap {

using SourceRow = std::vector<std::optional<std::string>>;  // nullopt for SQL NULL

// Runs `select` on the source named by the ODBC connection text `source` (the data-access layer's
// ODBC and file-driver forms) and hands every row to `row`. Raises kDriverError when the query gives
// another number of columns than `columns`, the driver's failure otherwise.
void readSourceRows(const std::string& source, const std::string& select, int columns, int commandTimeout,
                    const std::function<void(const SourceRow&)>& row);

}  // namespace host::olap
