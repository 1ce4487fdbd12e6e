#pragma once
// Reading one worksheet part (cells, values, formulas, array formulas) and its comments into a sheet.

#include <string>
#include <vector>

#include "host/files/ExternalLinks.h"
#include "host/files/Package.h"
#include "host/files/StoredPackage.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// What every sheet of a workbook file shares.
struct WorkbookParts {
    std::vector<std::string> sharedStrings;
    std::vector<std::string> cellFormats;  // format code by style index
    std::vector<ExternalBook> externalBooks;  // the links into other workbooks that formulas name by number
};

// Reads the cells of a worksheet part into the sheet, with their styles and the rows' attributes.
// Formula cells keep the value stored with them; those stored without one are marked for
// calculation. Fills `kept` with what the part holds beyond the cells. Raises 1004 naming the file
// and what is wrong.
void readWorksheet(const Package& package, const std::string& part, const WorkbookParts& shared,
                   sheet::Worksheet& sheet, StoredSheet& kept);

}  // namespace host::files
