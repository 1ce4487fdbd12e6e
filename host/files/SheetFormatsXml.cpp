#include "host/files/SheetFormatsXml.h"

#include <map>

#include "host/base/Text.h"
#include "host/files/Xml.h"
#include "host/formula/Reference.h"

namespace host::files {

namespace {

constexpr const char* kDefaultColumnWidth = "9.140625";

// "" for General, as the style table takes it.
std::string styleCode(const std::string& code) {
    return StrComp(code, "General", CompareMethod::Text) == 0 ? std::string() : code;
}

void appendColumn(pugi::xml_node cols, int first, int last, int style) {
    auto col = cols.append_child("col");
    col.append_attribute("min") = first;
    col.append_attribute("max") = last;
    col.append_attribute("width") = kDefaultColumnWidth;
    col.append_attribute("style") = style;
}

}  // namespace

void writeSheetFormats(pugi::xml_node worksheet, pugi::xml_node sheetData, const sheet::Worksheet& sheet,
                       CellStyleTable& styles) {
    const auto& formats = sheet.formats();
    if (formats.empty()) return;

    // Columns: each band with its style, the gaps between them with the sheet's.
    const int sheetStyle = formats.sheet().empty() ? 0 : styles.styleOf(formats.sheet());
    auto cols = worksheet.insert_child_before("cols", sheetData);
    int next = 1;
    for (const auto& band : formats.columns().bands()) {
        if (sheetStyle != 0 && band.first > next) appendColumn(cols, next, band.first - 1, sheetStyle);
        appendColumn(cols, band.first, band.last, styles.styleOf(styleCode(band.code)));
        next = band.last + 1;
    }
    if (sheetStyle != 0 && next <= formula::kMaxColumns) appendColumn(cols, next, formula::kMaxColumns, sheetStyle);
    if (!cols.first_child()) worksheet.remove_child(cols);

    // Rows: the style on the row's element, a new one where the row holds no cell.
    std::map<int, pugi::xml_node> rows;
    for (auto row : sheetData.children("row")) rows.emplace(row.attribute("r").as_int(), row);
    for (const auto& band : formats.rows().bands()) {
        const int style = styles.styleOf(styleCode(band.code));
        for (int r = band.first; r <= band.last; ++r) {
            auto found = rows.lower_bound(r);
            pugi::xml_node row;
            if (found != rows.end() && found->first == r) {
                row = found->second;
            } else {
                row = found == rows.end() ? sheetData.append_child("row") : sheetData.insert_child_before("row", found->second);
                row.append_attribute("r") = r;
                rows.emplace_hint(found, r, row);
            }
            row.append_attribute("s") = style;
            row.append_attribute("customFormat") = 1;
        }
    }
}

void readSheetFormats(pugi::xml_node worksheet, const std::vector<std::string>& cellFormats, sheet::Worksheet& sheet) {
    auto codeOf = [&](const pugi::xml_attribute& style) {
        const auto index = style.as_uint();
        const std::string code = index < cellFormats.size() ? cellFormats[index] : std::string();
        return code.empty() ? std::string("General") : code;
    };
    auto& formats = sheet.formats();
    for (auto col : child(worksheet, "cols").children()) {
        if (localName(col) != "col" || !col.attribute("style")) continue;
        const int first = col.attribute("min").as_int(), last = col.attribute("max").as_int();
        if (first < 1 || last < first || last > formula::kMaxColumns) continue;
        formats.setColumns(first, last, codeOf(col.attribute("style")));
    }
    for (auto row : child(worksheet, "sheetData").children()) {
        if (localName(row) != "row" || !row.attribute("customFormat").as_bool() || !row.attribute("s")) continue;
        const int r = row.attribute("r").as_int();
        if (r >= 1 && r <= formula::kMaxRows) formats.setRows(r, r, codeOf(row.attribute("s")));
    }
    if (formats.empty()) return;
    std::vector<sheet::CellKey> unstyled;
    for (const auto& [key, cell] : sheet.allCells())
        if (cell.numberFormat.empty() && !sheet.numberFormatAt(sheet::keyRow(key), sheet::keyColumn(key)).empty())
            unstyled.push_back(key);
    for (sheet::CellKey key : unstyled) sheet.cellAt(sheet::keyRow(key), sheet::keyColumn(key)).numberFormat = "General";
}

}  // namespace host::files
