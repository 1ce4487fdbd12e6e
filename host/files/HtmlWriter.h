#pragma once
// Writing a workbook as a web page: one table per visible sheet, the cells as the sheet shows them.

#include <string>

#include "host/sheet/Workbook.h"

namespace host::files {

// Writes a UTF-8 HTML page titled with the workbook's name: for each visible sheet in tab order a
// heading with the sheet's name and a table of its used area, each cell holding its displayed text
// (its number format applied). The file is replaced only once the new one is complete. Raises 1004
// naming the file when it cannot be written.
void writeHtml(const sheet::Workbook& workbook, const std::string& path);

// Text with the characters HTML gives a meaning to written as references.
std::string htmlEscape(const std::string& text);

}  // namespace host::files
