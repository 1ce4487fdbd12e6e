#include "host/files/WorksheetWriter.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "host/base/Text.h"
#include "host/files/CellReference.h"
#include "host/files/ExternalLinks.h"
#include "host/files/SheetFormatsXml.h"
#include "host/files/Xml.h"
#include "host/sheet/Comment.h"

namespace host::files {

namespace {

using sheet::Cell;
using sheet::CellKey;

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

using StoredCell = std::pair<CellKey, const Cell*>;

// The cells that are not blank, row by row.
std::vector<StoredCell> sortedCells(const sheet::Worksheet& sheet) {
    std::vector<StoredCell> cells;
    cells.reserve(sheet.allCells().size());
    for (const auto& [key, cell] : sheet.allCells())
        if (!cell.isBlank()) cells.emplace_back(key, &cell);
    auto byKey = [](const StoredCell& a, const StoredCell& b) { return a.first < b.first; };
    if (!std::is_sorted(cells.begin(), cells.end(), byKey)) std::sort(cells.begin(), cells.end(), byKey);
    return cells;
}

// The format the cell shows (its own, or its row's, column's or sheet's); a date without one shows as
// a date, or a date and time. An explicit General is written as no format of the cell's own ("").
std::string formatOf(const sheet::Worksheet& sheet, CellKey key, const Cell& cell) {
    if (cell.numberFormat.empty() && sheet.formats().empty() && cell.value.type() != VarType::Date) return std::string();
    std::string format = sheet.numberFormatAt(sheet::keyRow(key), sheet::keyColumn(key));
    if (StrComp(format, "General", CompareMethod::Text) == 0) return std::string();
    if (!format.empty() || cell.value.type() != VarType::Date) return format;
    const double serial = cell.value.toDouble();
    return serial == std::floor(serial) ? "mm-dd-yy" : "m/d/yy h:mm";
}

// Writes the cells of one part as text; element names carry the part's namespace prefix.
class CellWriter {
public:
    CellWriter(std::string& out, const sheet::Worksheet& sheet, const std::string& prefix, SharedStringTable& strings,
               CellStyleTable& styles, std::vector<ExternalBook>* externalBooks)
        : out_(out), sheet_(sheet), prefix_(prefix), strings_(strings), styles_(styles), externalBooks_(externalBooks) {}

    // Starts an element's start tag; attributes follow, then '>' or "/>".
    void open(const char* name) {
        out_ += '<';
        out_ += prefix_;
        out_ += name;
    }
    void close(const char* name) {
        out_ += "</";
        out_ += prefix_;
        out_ += name;
        out_ += '>';
    }
    // A value already escaped.
    void attribute(const char* name, std::string_view value) {
        out_ += ' ';
        out_ += name;
        out_ += "=\"";
        out_ += value;
        out_ += '"';
    }

    void cell(CellKey key, const Cell& cell) {
        const int r = sheet::keyRow(key);
        const int column = sheet::keyColumn(key);
        open("c");
        out_ += " r=\"";
        appendCellReference(out_, r, column);
        out_ += '"';
        if (const auto style = styles_.styleOf(cell.style, formatOf(sheet_, key, cell))) attribute("s", std::to_string(style));
        // #NAME? is the platform's guess where it lacks a function or name: such a formula is stored
        // without a result, which other programs then calculate themselves.
        const bool guessed = cell.formula && cell.value.isError() && cell.value.errorValue() == CellError::Name;
        const auto [type, text] = guessed ? std::pair<std::string_view, std::string>() : valueText(cell.value, cell.formula || cell.array);
        if (!type.empty()) attribute("t", type);
        if (!cell.formula && text.empty()) {
            out_ += "/>";
            return;
        }
        out_ += '>';
        if (cell.formula) {
            std::string formula = cell.formula->toText(formula::ReferenceStyle::A1, r, column);
            if (externalBooks_) formula = withBookIndexes(formula, *externalBooks_);
            open("f");
            if (cell.array) {
                attribute("t", "array");
                attribute("ref", areaReference(*cell.array));
            }
            out_ += '>';
            out_ += escapeXml(encodeEscapes(std::string_view(formula).substr(formula.starts_with("=") ? 1 : 0)));
            close("f");
        }
        if (!text.empty()) {
            open("v");
            out_ += '>';
            out_ += text;
            close("v");
        }
        close("c");
    }

private:
    // The type attribute and the text of <v> (nothing for Empty and the kinds a cell cannot store).
    std::pair<std::string_view, std::string> valueText(const Variant& value, bool isFormula) {
        switch (value.type()) {
        case VarType::Boolean: return {"b", value.boolValue() ? "1" : "0"};
        case VarType::Integer:
        case VarType::Long:
        case VarType::Double:
        case VarType::Currency:
        case VarType::Date: {
            const double number = value.toDouble();
            if (!std::isfinite(number)) return {"e", cellErrorText(CellError::Num)};
            return {"", numberText(number)};
        }
        case VarType::String:
            if (isFormula) return {"str", escapeXml(encodeEscapes(value.stringValue()))};
            return {"s", std::to_string(strings_.indexOf(value.stringValue()))};
        case VarType::Error: return {"e", cellErrorText(value.errorValue())};
        default: return {"", ""};
        }
    }

    std::string& out_;
    const sheet::Worksheet& sheet_;
    const std::string& prefix_;
    SharedStringTable& strings_;
    CellStyleTable& styles_;
    std::vector<ExternalBook>* externalBooks_;
};

// Appends the sheetData element of the sheet's cells to the text.
void appendSheetData(std::string& out, const sheet::Worksheet& sheet, const std::map<int, std::string>& rows,
                         const std::vector<StoredCell>& cells, const std::string& prefix, SharedStringTable& strings,
                         CellStyleTable& styles, std::vector<ExternalBook>* externalBooks) {
    out.reserve(out.size() + cells.size() * 40 + 64);
    CellWriter writer(out, sheet, prefix, strings, styles, externalBooks);
    writer.open("sheetData");
    out += '>';
    auto rowAttributes = rows.begin();
    const auto rowsEnd = rows.end();
    int openRow = 0;
    // Starts row `row`, first writing the rows before it that have attributes but no cells.
    auto startRow = [&](int row) {
        for (; rowAttributes != rowsEnd && rowAttributes->first <= row; ++rowAttributes) {
            if (rowAttributes->first == row) break;
            writer.open("row");
            writer.attribute("r", std::to_string(rowAttributes->first));
            (out += rowAttributes->second) += "/>";
        }
        writer.open("row");
        writer.attribute("r", std::to_string(row));
        if (rowAttributes != rowsEnd && rowAttributes->first == row) out += (rowAttributes++)->second;
        out += '>';
    };
    for (const auto& [key, stored] : cells) {
        const Cell& cell = *stored;
        if (cell.value.isEmpty() && !cell.formula && cell.style == 0 && formatOf(sheet, key, cell).empty()) continue;  // a comment alone
        if (sheet::keyRow(key) != openRow) {
            if (openRow) writer.close("row");
            openRow = sheet::keyRow(key);
            startRow(openRow);
        }
        writer.cell(key, cell);
    }
    if (openRow) writer.close("row");
    for (; rowAttributes != rowsEnd; ++rowAttributes) {
        writer.open("row");
        writer.attribute("r", std::to_string(rowAttributes->first));
        (out += rowAttributes->second) += "/>";
    }
    writer.close("sheetData");
}

std::string usedArea(const std::vector<StoredCell>& cells) {
    if (cells.empty()) return "A1";
    formula::Area used = formula::Area::cell(sheet::keyRow(cells.front().first), sheet::keyColumn(cells.front().first));
    for (const auto& [k, cell] : cells) {
        used.bottom = std::max(used.bottom, sheet::keyRow(k));
        used.left = std::min(used.left, sheet::keyColumn(k));
        used.right = std::max(used.right, sheet::keyColumn(k));
    }
    return areaReference(used);
}

// Elements a worksheet part holds after its cells, in the order the format gives; the comment drawing
// goes before the first of those that follow it.
const std::vector<std::string_view> kAfterLegacyDrawing = {"legacyDrawingHF", "drawingHF", "picture", "oleObjects",
                                                           "controls", "webPublishItems", "tableParts", "extLst"};

}  // namespace

XmlChunks newWorksheetLayout() {
    XmlChunks layout;
    layout.head = std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)") + "<worksheet xmlns=\"" +
                  kMainNamespace + R"(" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)";
    layout.children = {{"dimension", R"(<dimension ref="A1"/>)"},
                       {"sheetViews", R"(<sheetViews><sheetView workbookViewId="0"/></sheetViews>)"},
                       {"sheetData", ""}};
    layout.tail = "</worksheet>";
    return layout;
}

std::string worksheetXml(const sheet::Worksheet& sheet, XmlChunks layout, bool selected, SharedStringTable& strings,
                         CellStyleTable& styles, const std::optional<std::string>& commentDrawingId,
                         const sheet::SheetFormats& formatsAsRead, std::vector<ExternalBook>* externalBooks) {
    const auto cells = sortedCells(sheet);
    // Formats of rows and columns the platform changed go into the kept <cols> and row attributes.
    std::map<int, std::string> changedRows;
    const std::map<int, std::string>* rows = &sheet.rowAttributes;
    if (!sheet.formats().empty() || !formatsAsRead.empty()) {
        changedRows = sheet.rowAttributes;
        applySheetFormats(sheet.formats(), formatsAsRead, layout, changedRows, styles);
        rows = &changedRows;
    }
    if (layout.head.find("xmlns:r=") == std::string::npos)
        setTagAttribute(layout.head, "worksheet", "xmlns:r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
    if (auto* dimension = layout.find("dimension")) setTagAttribute(dimension->text, "dimension", "ref", usedArea(cells));
    if (auto* views = layout.find("sheetViews"))
        setTagAttribute(views->text, "sheetView", "tabSelected", selected ? std::optional<std::string>("1") : std::nullopt);
    if (commentDrawingId) {
        std::erase_if(layout.children, [](const XmlChunk& c) { return c.name == "legacyDrawing"; });
        if (!commentDrawingId->empty()) {
            const auto at = layout.placeBefore(kAfterLegacyDrawing);
            layout.children.insert(layout.children.begin() + static_cast<std::ptrdiff_t>(at),
                                   {"legacyDrawing", "<" + layout.prefix + "legacyDrawing r:id=\"" + *commentDrawingId + "\"/>"});
        }
    }
    // The cells are written straight into the part's text, never as a text of their own.
    const XmlChunk* data = layout.find("sheetData");
    std::string out = std::move(layout.head);
    for (const auto& chunk : layout.children) {
        if (&chunk == data) appendSheetData(out, sheet, *rows, cells, layout.prefix, strings, styles, externalBooks);
        else out += chunk.text;
    }
    return out += layout.tail;
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
