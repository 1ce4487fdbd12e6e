#pragma once
// The data-source definition command: the active cell's data formula (or the query table under it)
// read into the definition form, which saves it as a data-model variable.

#include <string>
#include <vector>

namespace telm {

// Fills fFormDefZroDan from the active cell and shows it: a GETDATAODBC formula gives an ODBC source
// (connection and SQL), GETDATAOLAP an OLAP one (data source, catalogue and cube; measure as the add
// string; members as the query), GETDATALINK or a plain link formula (FormulaToLinkText, "#" for no
// link) an XLS one, GETDATA the variable it names, a query table under the cell an ODBC one. Once the
// form saved the variable, the model is read again and the variable's sample formula, when it has one
// that parses, goes into the active cell with ArchiveOperationActive set, so that this calculation
// bypasses the archive; otherwise the cell keeps its formula. Message 1000 when no workbook is open;
// a run-time error ends the command through its error trap.
void OpenDataSourceWizard();

// The top-level arguments of a call of a worksheet function in a formula ("=F(a,(b,c),"x,y")" gives
// "a", "(b,c)", "\"x,y\""); empty when the formula does not start with "=" and the function's name
// (any letter case) and "(".
std::vector<std::string> FunctionArguments(const std::string& formula, const std::string& function);

}  // namespace telm
