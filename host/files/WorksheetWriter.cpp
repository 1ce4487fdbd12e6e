#include "host/files/WorksheetWriter.h"

#include <algorithm>
#include <cmath>

#include "host/files/CellReference.h"
#include "host/files/SheetFormatsXml.h"
#include "host/files/Xml.h"
#include "host/sheet/Comment.h"

namespace host::files {

namespace {

using sheet::Cell;
using sheet::CellKey;

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::vector<CellKey> sortedKeys(const sheet::Worksheet& sheet) {
    std::vector<CellKey> keys;
    keys.reserve(sheet.allCells().size());
    for (const auto& [key, cell] : sheet.allCells())
        if (!cell.isBlank()) keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

// The format the cell shows (its own, or its row's, column's or sheet's); a date without one shows as
// a date, or a date and time.
std::string formatOf(const sheet::Worksheet& sheet, CellKey key, const Cell& cell) {
    std::string format = sheet.numberFormatAt(sheet::keyRow(key), sheet::keyColumn(key));
    if (!format.empty() || cell.value.type() != VarType::Date) return format;
    const double serial = cell.value.toDouble();
    return serial == std::floor(serial) ? "mm-dd-yy" : "m/d/yy h:mm";
}

// Writes the value: type attribute and <v> (or nothing for Empty and the kinds a cell cannot store).
void writeValue(pugi::xml_node c, const Variant& value, bool isFormula, SharedStringTable& strings) {
    std::string text;
    switch (value.type()) {
    case VarType::Boolean:
        c.append_attribute("t") = "b";
        text = value.boolValue() ? "1" : "0";
        break;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Date: {
        const double number = value.toDouble();
        if (!std::isfinite(number)) return writeValue(c, CellError::Num, isFormula, strings);
        text = numberText(number);
        break;
    }
    case VarType::String:
        if (isFormula) {
            c.append_attribute("t") = "str";
            text = encodeEscapes(value.stringValue());
        } else {
            c.append_attribute("t") = "s";
            text = std::to_string(strings.indexOf(value.stringValue()));
        }
        break;
    case VarType::Error:
        c.append_attribute("t") = "e";
        text = cellErrorText(value.errorValue());
        break;
    default: return;
    }
    c.append_child("v").text() = text.c_str();
}

void writeCell(pugi::xml_node row, CellKey key, const Cell& cell, const std::string& format, SharedStringTable& strings,
               CellStyleTable& styles) {
    const int r = sheet::keyRow(key);
    const int column = sheet::keyColumn(key);
    auto c = row.append_child("c");
    c.append_attribute("r") = cellReference(r, column).c_str();
    if (const int style = styles.styleOf(format)) c.append_attribute("s") = style;
    if (cell.formula) {
        const std::string text = cell.formula->toText(formula::ReferenceStyle::A1, r, column);
        auto f = c.append_child("f");
        if (cell.array) {
            f.append_attribute("t") = "array";
            f.append_attribute("ref") = areaReference(*cell.array).c_str();
        }
        f.text() = encodeEscapes(std::string_view(text).substr(text.starts_with("=") ? 1 : 0)).c_str();
    }
    writeValue(c, cell.value, cell.formula || cell.array, strings);
}

}  // namespace

std::string worksheetXml(const sheet::Worksheet& sheet, bool selected, SharedStringTable& strings,
                         CellStyleTable& styles, const std::string& legacyDrawingId,
                         const std::vector<std::string>& tablePartIds) {
    pugi::xml_document document;
    auto root = document.append_child("worksheet");
    root.append_attribute("xmlns") = kMainNamespace;
    root.append_attribute("xmlns:r") = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const auto keys = sortedKeys(sheet);
    auto dimension = root.append_child("dimension");
    if (keys.empty()) {
        dimension.append_attribute("ref") = "A1";
    } else {
        formula::Area used = formula::Area::cell(sheet::keyRow(keys.front()), sheet::keyColumn(keys.front()));
        for (CellKey k : keys) {
            used.bottom = std::max(used.bottom, sheet::keyRow(k));
            used.left = std::min(used.left, sheet::keyColumn(k));
            used.right = std::max(used.right, sheet::keyColumn(k));
        }
        dimension.append_attribute("ref") = areaReference(used).c_str();
    }
    auto view = root.append_child("sheetViews").append_child("sheetView");
    if (selected) view.append_attribute("tabSelected") = 1;
    view.append_attribute("workbookViewId") = 0;

    auto data = root.append_child("sheetData");
    pugi::xml_node row;
    int rowNumber = 0;
    for (CellKey key : keys) {
        const Cell& cell = sheet.allCells().at(key);
        const std::string format = formatOf(sheet, key, cell);
        if (cell.value.isEmpty() && !cell.formula && format.empty()) continue;  // a comment alone
        if (sheet::keyRow(key) != rowNumber) {
            rowNumber = sheet::keyRow(key);
            row = data.append_child("row");
            row.append_attribute("r") = rowNumber;
        }
        writeCell(row, key, cell, format, strings, styles);
    }
    writeSheetFormats(root, data, sheet, styles);
    if (!legacyDrawingId.empty()) root.append_child("legacyDrawing").append_attribute("r:id") = legacyDrawingId.c_str();
    if (!tablePartIds.empty()) {
        auto tables = root.append_child("tableParts");
        tables.append_attribute("count") = static_cast<int>(tablePartIds.size());
        for (const auto& id : tablePartIds) tables.append_child("tablePart").append_attribute("r:id") = id.c_str();
    }
    return serialize(document);
}

std::string commentsXml(const sheet::Worksheet& sheet) {
    pugi::xml_document document;
    auto root = document.append_child("comments");
    root.append_attribute("xmlns") = kMainNamespace;
    auto authors = root.append_child("authors");
    auto list = root.append_child("commentList");
    std::vector<std::string> names;
    for (const auto& comment : sheet.comments()) {
        auto found = std::find(names.begin(), names.end(), comment->author());
        if (found == names.end()) {
            names.push_back(comment->author());
            authors.append_child("author").text() = encodeEscapes(comment->author()).c_str();
            found = names.end() - 1;
        }
        auto c = list.append_child("comment");
        c.append_attribute("ref") = cellReference(comment->row(), comment->column()).c_str();
        c.append_attribute("authorId") = static_cast<int>(found - names.begin());
        appendText(c.append_child("text"), comment->text());
    }
    return serialize(document);
}

std::string commentDrawingXml(const sheet::Worksheet& sheet, int sheetNumber) {
    pugi::xml_document document;
    auto root = document.append_child("xml");
    root.append_attribute("xmlns:v") = "urn:schemas-microsoft-com:vml";
    root.append_attribute("xmlns:o") = "urn:schemas-microsoft-com:office:office";
    root.append_attribute("xmlns:x") = "urn:schemas-microsoft-com:office:excel";
    auto layout = root.append_child("o:shapelayout");
    layout.append_attribute("v:ext") = "edit";
    auto idmap = layout.append_child("o:idmap");
    idmap.append_attribute("v:ext") = "edit";
    idmap.append_attribute("data") = sheetNumber;
    auto shapeType = root.append_child("v:shapetype");
    shapeType.append_attribute("id") = "_x0000_t202";
    shapeType.append_attribute("coordsize") = "21600,21600";
    shapeType.append_attribute("o:spt") = "202";
    shapeType.append_attribute("path") = "m,l,21600r21600,l21600,xe";
    shapeType.append_child("v:stroke").append_attribute("joinstyle") = "miter";
    auto path = shapeType.append_child("v:path");
    path.append_attribute("gradientshapeok") = "t";
    path.append_attribute("o:connecttype") = "rect";

    int shapeNumber = sheetNumber * 1024;
    for (const auto& comment : sheet.comments()) {
        auto shape = root.append_child("v:shape");
        shape.append_attribute("id") = ("_x0000_s" + std::to_string(++shapeNumber)).c_str();
        shape.append_attribute("type") = "#_x0000_t202";
        shape.append_attribute("style") =
            ("position:absolute;margin-left:59.25pt;margin-top:1.5pt;width:" + formatDouble(comment->shape()->width) +
             "pt;height:" + formatDouble(comment->shape()->height) +
             "pt;z-index:1;visibility:" + (comment->visible ? "visible" : "hidden"))
                .c_str();
        shape.append_attribute("fillcolor") = "#ffffe1";
        shape.append_attribute("o:insetmode") = "auto";
        shape.append_child("v:fill").append_attribute("color2") = "#ffffe1";
        auto shadow = shape.append_child("v:shadow");
        shadow.append_attribute("on") = "t";
        shadow.append_attribute("color") = "black";
        shadow.append_attribute("obscured") = "t";
        shape.append_child("v:path").append_attribute("o:connecttype") = "none";
        auto textbox = shape.append_child("v:textbox");
        textbox.append_attribute("style") = "mso-direction-alt:auto";
        textbox.append_child("div").append_attribute("style") = "text-align:left";
        auto data = shape.append_child("x:ClientData");
        data.append_attribute("ObjectType") = "Note";
        data.append_child("x:MoveWithCells");
        data.append_child("x:SizeWithCells");
        const int r = comment->row() - 1;
        const int c = comment->column() - 1;
        data.append_child("x:Anchor").text() = (std::to_string(c + 1) + ", 15, " + std::to_string(std::max(r - 1, 0)) +
                                                ", 10, " + std::to_string(c + 3) + ", 15, " + std::to_string(r + 3) + ", 4")
                                                   .c_str();
        data.append_child("x:AutoFill").text() = "False";
        data.append_child("x:Row").text() = r;
        data.append_child("x:Column").text() = c;
        if (comment->visible) data.append_child("x:Visible");
    }
    return serialize(document);
}

}  // namespace host::files
