#pragma once
// Refreshing a pivot table from its source: a cube (an MDX query over the row fields' levels) or a
// relational query (a GROUP BY over it), then laying the totals out on the sheet with the subtotals
// of the outer row fields that have them on and a grand total.

#include "host/sheet/PivotTable.h"
#include "host/sheet/Worksheet.h"

namespace host::ado {

// Raises the data layer's RuntimeError when the source cannot be read.
void refreshPivotTable(sheet::Worksheet& sheet, sheet::PivotTable& table);

}  // namespace host::ado
