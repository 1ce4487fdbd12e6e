#pragma once
// The number formats of whole rows, whole columns and the whole sheet in a worksheet part: column
// styles in <cols>, row styles on <row customFormat="1">. A cell written in such a row or column
// carries its own style, as the file format wants.

#include <string>
#include <vector>

#include <pugixml.hpp>

#include "host/files/CellStyles.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Adds the sheet's column formats (the sheet's format for the columns without one) as <cols> before
// `sheetData`, and its row formats as attributes of the rows of `sheetData`, adding rows without cells.
void writeSheetFormats(pugi::xml_node worksheet, pugi::xml_node sheetData, const sheet::Worksheet& sheet,
                       CellStyleTable& styles);

// Reads the column and row formats of a worksheet part into the sheet, after its cells: a cell the
// part stored without a style of its own stays General inside a formatted row or column.
void readSheetFormats(pugi::xml_node worksheet, const std::vector<std::string>& cellFormats, sheet::Worksheet& sheet);

}  // namespace host::files
