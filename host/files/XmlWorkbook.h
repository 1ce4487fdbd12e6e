#pragma once
// Reading an XML file as a workbook: a spreadsheet XML file as its sheets, any other XML as one sheet
// of the records it repeats.

#include <string>

#include "host/sheet/Application.h"

namespace host::files {

// True for a file name ending in ".xml", in any letter case.
bool isXmlFileName(const std::string& path);

// Reads the XML file into a new workbook of the application, named after the file and located in its
// folder, not yet among the open workbooks. A spreadsheet XML file (root "Workbook" in the
// spreadsheet namespace) gives its worksheets; any other XML one sheet of its records (see
// readXmlRecords). Raises RuntimeError 1004 naming the file when it is missing or not well-formed
// (with the byte offset of the fault), or holds a cell or formula that cannot be read.
sheet::WorkbookPtr readXmlWorkbook(sheet::Application& application, const std::string& path);

}  // namespace host::files
