#pragma once
// Links into other workbooks and the XLS_ODBC source type.
//
// A link text is "'" folder "\" "[" book "]" sheet "'!" address, for example
// '/data/sales\[Plan.xlsx]Budget'!B2 or '[TELM.NET.Folder]\sub\[Plan.xlsx]Budget'!B2:C3; the folder
// token (any letter case) stands for the add-in folder. The sheet's part in quotes is read whole (a
// sheet name may hold "!"; a quote inside is doubled). GETDATALINK reads the linked cell (or each
// cell of a linked block) from the workbook's file, with the archive in front of a single cell.

#include <string>

#include "host/base/Variant.h"

namespace telm {

// The value behind a link. The folder token is replaced in `link` itself. A single cell: its address
// is put in R1C1 form, the archive decides first, describe mode answers "l(:)" and that link, else
// the value read; a value that is an error or a text starting with "#" answers 0 at error-reporting
// levels 0 and 1, itself at level 2 and nothing above. A block: every cell read on its own, without
// archive or describe mode.
host::Variant GetDataLinkCore(std::string& link);

// SELECT SUM(fieldText) over the table that linkText names, WHERE conditionText, through the Excel
// driver: a range with ":" is named Sheet$A1:C9, any other address (one cell, a defined name) is
// written in backquotes twice, as table and alias. Answers a rows x fields array from 0 whose 0 and
// Null items are "."; a Null sum is "no data" (0, or the no-data text at level 2); a failure gives
// 0, or "#Brak łącza. / " and its description at level 2. Describe mode answers "s(:)" connection
// "(:)" SQL.
// The statement GetDataXlsOdbc runs for these texts.
std::string XlsOdbcSql(const std::string& linkText, const std::string& fieldText, const std::string& conditionText);

host::Variant GetDataXlsOdbc(const std::string& linkText, const std::string& fieldText,
                             const std::string& conditionText);

// Rewrites the link formulas of the selection (within the used range) as GETDATALINK formulas; a link
// to an open workbook written without path gets that workbook's folder. Cells it cannot rewrite, and
// links longer than 1,000 characters (kept as they are rather than cut), are named in the status bar;
// a failure is reported under the "Data model" title.
void ConvertLinksToGetDataLink();

// After confirmation (message 108), rewrites the GETDATALINK formulas of the selection (within the
// used range) as plain links, each one the link its GETDATALINK last read. Alerts and the calculation
// mode are restored on every path.
void ConvertGetDataLinkToLinks();

// The link text of a link formula: "='..." gives the formula without "=", "=[Book]Sheet!A1" the full
// link with the open workbook's folder; any other formula "#".
host::Variant FormulaToLinkText(const host::Variant& formula);

}  // namespace telm
