#pragma once
// Number formats of cells as workbook files store them: built-in format ids, the styles part's own
// format codes, and the table of cell styles (one per distinct format code) a saved file carries.

#include <cstdint>
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

// The cell styles of a file being written: those of the file the workbook was read from (or a single
// General style for a new one), and a style added for each cell whose number format the platform
// changed: a copy of the cell's own style with the new format.
class CellStyleTable {
public:
    // formats: the format code of each style of the file, by index; empty for a new workbook.
    explicit CellStyleTable(std::vector<std::string> formats = {});
    // The style index for a cell of the given style showing the format code ("" is General).
    std::uint32_t styleOf(std::uint32_t style, const std::string& formatCode);
    // True when styles were added to those of the file.
    bool added() const { return !added_.empty(); }
    // The styles part: the file's part (stylesPart; "" for a new workbook) with the added styles.
    std::string stylesXml(const std::string& stylesPart) const;

private:
    std::vector<std::string> formats_;  // by style index, the file's own
    std::map<std::pair<std::uint32_t, std::string>, std::uint32_t> added_;  // (base style, format) -> index
};

}  // namespace host::files
