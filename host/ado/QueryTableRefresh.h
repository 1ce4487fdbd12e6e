#pragma once
// Refreshing a query table (QueryTable.Refresh): its SQL runs over its connection through the data
// layer, with the rules of every connection (drivers by name, no extension loading, the statement
// time-out), and the rows replace the table's old ones on the sheet.

#include "host/sheet/QueryTable.h"
#include "host/sheet/Worksheet.h"

namespace host::ado {

// Runs the table's SQL, which must be one statement, and writes its rows from the top left cell of the
// table's range, field names first when the table shows them; cells of the old range that the new
// rows do not cover are emptied, and the range becomes the new rows. A failure raises the data
// layer's RuntimeError and leaves the sheet and the table as they were.
void refreshQueryTable(sheet::Worksheet& sheet, sheet::QueryTable& table);

}  // namespace host::ado
