#pragma once
// The parts of one worksheet in a file being written: its cells, its comments and the drawing that
// shows the comments in the common spreadsheet programs.

#include <string>
#include <vector>

#include "host/files/CellStyles.h"
#include "host/files/SharedStrings.h"
#include "host/sheet/Worksheet.h"

namespace host::files {

// The worksheet part: every cell in row order with its value, formula (A1 style, without "="),
// array range and style. legacyDrawingId: the relationship id of the comment drawing, "" for none;
// tablePartIds: those of the sheet's table parts.
std::string worksheetXml(const sheet::Worksheet& sheet, bool selected, SharedStringTable& strings,
                         CellStyleTable& styles, const std::string& legacyDrawingId,
                         const std::vector<std::string>& tablePartIds = {});

// The comments part of a sheet that has comments.
std::string commentsXml(const sheet::Worksheet& sheet);
// The drawing of a sheet's comment boxes; sheetNumber keeps the shape ids of the sheets apart.
std::string commentDrawingXml(const sheet::Worksheet& sheet, int sheetNumber);

}  // namespace host::files
