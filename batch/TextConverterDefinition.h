#pragma once
// The definition of a text converter, laid out on a worksheet:
//
//   A1  "TELM.NET.TC"                   the mark of a converter sheet
//   from row 3, column A a key and column B its value:
//     File        the text file; its name may hold the wildcards * and ? (every matching file of the
//                 folder, in name order); the folder token may stand in it
//     Delimiter   the character between fields ("TAB" for a tab); empty: fixed columns
//     SkipRows    lines skipped at the top of each file (a report's heading)
//     Table       the database table the rows go to (created when missing)
//     Connection  the connection text of the database
//     Fields      the last key: the rows below it describe the fields, column A the name, B the
//                 width in characters (fixed columns; 0 or
//                 none: to the end of the line), C "NUMBER" for a number (else text)
//
// Files are read as UTF-8, or as Windows-1250 when they are not valid UTF-8. Blank lines are left out.

#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/sheet/Worksheet.h"

namespace telm {

inline constexpr const char* kTextConverterMark = "TELM.NET.TC";

struct ConverterField {
    std::string name;
    long width = 0;
    bool number = false;
};

struct TextConverterDefinition {
    std::string file;
    std::string delimiter;
    long skipRows = 0;
    std::string table;
    std::string connection;
    std::vector<ConverterField> fields;
};

// Reads the definition of the sheet. Raises 13 for a sheet without the mark or without fields.
TextConverterDefinition ReadConverterDefinition(host::sheet::Worksheet& sheet);
// The full names of the files the definition's name pattern matches, in name order.
std::vector<std::string> MatchingFiles(const std::string& pattern);
// The field values of one line: texts trimmed; numbers read with blanks as thousands separators and
// a decimal comma or point; an empty field Null. Raises 13 naming the field for a number that is none.
std::vector<host::Variant> SplitListingLine(const std::string& line, const TextConverterDefinition& definition);

}  // namespace telm
