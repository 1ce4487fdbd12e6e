#pragma once
// Number formats of cells as workbook files store them: built-in format ids, the styles part's own
// format codes, and the table of cell styles (one per distinct format code) a saved file carries.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/files/Package.h"

namespace host::files {

// The code of a built-in number format id (0 gives "" for General); nullopt for other ids.
std::optional<std::string> builtinFormatCode(int id);
// The built-in id of a format code; nullopt when the code is no built-in one.
std::optional<int> builtinFormatId(std::string_view code);
// True when the code shows a date or a time (d, m, y, h or s outside quotes and brackets).
bool isDateFormatCode(std::string_view code);

// The format code ("" for General) of every cell style of the styles part, by style index.
std::vector<std::string> readCellFormats(const Package& package, const std::string& stylesPart);

// Cell styles of a file being written: style 0 is General; every other format code gets its own.
class CellStyleTable {
public:
    // The style index for a format code ("" is General, index 0).
    int styleOf(const std::string& formatCode);
    // The styles part.
    std::string stylesXml() const;

private:
    std::vector<std::string> codes_{""};  // by style index
    std::map<std::string, int> indexOf_{{"", 0}};
};

}  // namespace host::files
