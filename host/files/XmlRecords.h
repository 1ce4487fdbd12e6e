#pragma once
// Any XML file as a table of the records it repeats.

#include <pugixml.hpp>

#include <string>

#include "host/sheet/Worksheet.h"

namespace host::files {

// Fills the sheet with the records under the root element: row 1 the field names, then one row per
// record. The records are the child elements of the root, or of the element reached by going down
// while an element has exactly one child element (when that ends at an element without children, it
// is the one record). A record's fields are its leaf elements, named by their path inside the record
// joined with "/" (a record without child elements is one field named after itself), and the
// attributes of it and of its elements, named "@name" ("path/@name" inside). A leaf that has
// attributes but no text gives only its attributes. Columns follow the order in which fields first
// appear; where a record repeats a field, its first value counts. A value that reads as a number
// becomes that number. Raises 1004 naming the file when the table does not fit on a sheet.
void readXmlRecords(const pugi::xml_node& root, const std::string& path, sheet::Worksheet& sheet);

}  // namespace host::files
