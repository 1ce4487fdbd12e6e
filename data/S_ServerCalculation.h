#pragma once
// Server calculation: the SQL requests of marked data-model variables are handed to a calculation
// outside the system, through the sheet "SCData1" of the workbook
// AddInFolder\ServerCalculation\TelmNetServerCalculation.xls, and their values are read back from the
// table [SCTable3] of the database TelmNetServerCalculation.mdb beside it (by the ADO query worker).
//
// A request is one text: the trimmed joined GETDATA arguments, "(:::)", then the ADO request
// ("ADO(:)" connection "(::)" SQL).

#include <string>

namespace telm {

// Start-up: switches server calculation on when the model parameter ServerCalculation is the number 1,
// then opens the workbook, shows its window and sets manual calculation. A workbook that cannot be
// opened is reported ("No Server Calculation Workbook 'TelmNetServerCalculation.xls'") and leaves
// server calculation off.
void OpenServerCalculationWorkbook();

// Records a request for the next write-out.
void AddServerCalculationRequest(const std::string& request);

// After a sheet calculation: forces manual calculation (saying "Manual" when it was not), rewrites
// "SCData1" with the header row RecNo, Args, Value, QueryType, DataSource, SqlText and one row per
// request recorded since the last write-out (SQL cut to 10,000 characters), and empties the list.
// A missing sheet or workbook drops the requests silently.
void WriteServerCalculationRequests();

// The sheet-change event while server calculation is on: nothing to do.
void HandleServerSheetChange();

}  // namespace telm
