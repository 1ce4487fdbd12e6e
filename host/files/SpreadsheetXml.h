#pragma once
// The spreadsheet XML format: a "Workbook" element in the spreadsheet namespace holding "Worksheet"
// elements, each a "Table" of "Row"s of "Cell"s.

#include <pugixml.hpp>

#include <string>

#include "host/sheet/Workbook.h"

namespace host::files {

inline constexpr const char* kSpreadsheetNamespace = "urn:schemas-microsoft-com:office:spreadsheet";

// True when the element is the root of a spreadsheet XML file.
bool isSpreadsheetXml(const pugi::xml_node& root);

// Adds every worksheet of the file to the workbook (ss:Name its name), with its cells: rows and
// cells at the positions their ss:Index gives (else after the one before), values by their
// ss:Type (Number, String, Boolean, DateTime, Error), formulas from ss:Formula (R1C1) with their
// Data as the stored result, and comments. The sheet the file marks as active becomes the active one.
// Raises 1004 naming the file and what is wrong.
void readSpreadsheetXml(const pugi::xml_node& root, const std::string& path, sheet::Workbook& book);

}  // namespace host::files
