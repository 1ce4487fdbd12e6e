#pragma once
// The parts of one worksheet in a file being written: its cells, its comments and the drawing that
// shows the comments in the common spreadsheet programs.

#include <optional>
#include <string>

#include "host/files/CellStyles.h"
#include "host/files/ExternalLinks.h"
#include "host/files/SharedStrings.h"
#include "host/files/XmlChunks.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// The layout of a worksheet part for a sheet that has none from its file.
XmlChunks newWorksheetLayout();

// The worksheet part: the layout (the part as the file had it, or a new one) with every cell in row
// order with its value, formula (A1 style, without "="), array range and style, the rows'
// attributes, the used area and whether the tab is selected; every other element stays as it is.
// commentDrawingId: the relationship id of the comment drawing ("" for none), nullopt to keep the
// layout's own reference. externalBooks: the workbook's list of links into other workbooks, which
// formulas name by their place in it (references to workbooks not in it add them), nullptr to write
// the references with the workbooks' names.
std::string worksheetXml(const sheet::Worksheet& sheet, XmlChunks layout, bool selected, SharedStringTable& strings,
                         CellStyleTable& styles, const std::optional<std::string>& commentDrawingId,
                         std::vector<ExternalBook>* externalBooks = nullptr);

// The comments part of a sheet that has comments.
std::string commentsXml(const sheet::Worksheet& sheet);
// The drawing of a sheet's comment boxes; sheetNumber keeps the shape ids of the sheets apart.
std::string commentDrawingXml(const sheet::Worksheet& sheet, int sheetNumber);

}  // namespace host::files
