#pragma once
// Reading a workbook file (the Office Open XML spreadsheet format, whatever the file's extension).

#include <string>

#include "host/sheet/Application.h"

namespace host::files {

// Reads the file into a new workbook of the application, named after the file and located in its
// folder, not yet among the open workbooks: sheets with their visibility, values, formulas with their
// stored results, array formulas, number formats, comments, defined names, custom document
// properties. Raises RuntimeError 1004 naming the file and what is wrong when it is missing, no zip,
// lacks a part, holds malformed XML or a formula that does not parse.
sheet::WorkbookPtr readWorkbook(sheet::Application& application, const std::string& path);

// A new workbook without sheets for a file being read: named after the file, located in its folder,
// with its names, properties and window, not yet among the open workbooks.
sheet::WorkbookPtr workbookForFile(sheet::Application& application, const std::string& path);
// Marks a workbook just read from its file: dependencies to be built, nothing changed since.
void finishReading(sheet::Workbook& book);

}  // namespace host::files
