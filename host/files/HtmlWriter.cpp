#include "host/files/HtmlWriter.h"

#include <algorithm>

#include "host/base/Path.h"
#include "host/files/SaveTarget.h"
#include "host/files/SheetCells.h"
#include "host/sheet/Range.h"

namespace host::files {

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\n': out += "<br>"; break;
            case '\r': break;
            default: out += c;
        }
    }
    return out;
}

namespace {

// Rows without cells are left out and a run of empty cells is one cell spanning them, so that the
// page stays in proportion to the cells the sheet holds.
void appendSheet(std::string& page, sheet::Worksheet& sheet) {
    page += "<h2>" + htmlEscape(sheet.name()) + "</h2>\n<table border=\"1\">\n";
    const auto cells = cellsInRowOrder(sheet);
    int left = cells.empty() ? 1 : cells.front().column;
    for (const auto& c : cells) left = std::min(left, c.column);
    int row = 0, column = 0;
    for (const auto& c : cells) {
        if (c.row != row) {
            if (row != 0) page += "</tr>\n";
            page += "<tr>";
            row = c.row;
            column = left;
        }
        if (c.column > column)
            page += "<td colspan=\"" + std::to_string(c.column - column) + "\"></td>";
        page += c.cell->value.isNumber() ? "<td align=\"right\">" : "<td>";
        page += htmlEscape(sheet.cells(c.row, c.column)->text()) + "</td>";
        column = c.column + 1;
    }
    if (row != 0) page += "</tr>\n";
    page += "</table>\n";
}

}  // namespace

void writeHtml(const sheet::Workbook& workbook, const std::string& path) {
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                       htmlEscape(workbook.name()) + "</title>\n</head>\n<body>\n";
    for (const auto& sheet : workbook.worksheets())
        if (sheet->visible() == sheet::SheetVisibility::Visible) appendSheet(page, *sheet);
    page += "</body>\n</html>\n";
    saveFile(nativePath(path), page);
}

}  // namespace host::files
