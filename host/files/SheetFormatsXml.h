#pragma once
// The number formats of whole rows, whole columns and the whole sheet in a worksheet part: column
// styles in <cols>, row styles on <row customFormat="1">. A cell written in such a row or column
// carries its own style, as the file format wants.

#include <map>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "host/files/CellStyles.h"
#include "host/files/XmlChunks.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// Gives the columns and rows whose format the platform changed since the part was read (asRead; an
// empty set for a new sheet) their new format, in the layout's <cols> and in rowAttributes (the
// attribute text of each row element, by row): each keeps its other attributes and takes a copy of
// its own style with the new number format. Columns take the sheet's format where they have none.
void applySheetFormats(const sheet::SheetFormats& formats, const sheet::SheetFormats& asRead, XmlChunks& layout,
                       std::map<int, std::string>& rowAttributes, CellStyleTable& styles);

// Reads the format of a row element of a worksheet part's cells into the sheet.
void readRowFormat(pugi::xml_node row, const std::vector<std::string>& cellFormats, sheet::Worksheet& sheet);
// Reads the column formats of a worksheet part into the sheet, after its cells and row formats: a cell
// the part stored without a style of its own stays General inside a formatted row or column.
void readSheetFormats(pugi::xml_node worksheet, const std::vector<std::string>& cellFormats, sheet::Worksheet& sheet);

}  // namespace host::files
