#include "host/files/SpreadsheetXml.h"

#include <charconv>

#include "host/base/Text.h"
#include "host/files/CellReference.h"
#include "host/files/CustomProperties.h"
#include "host/files/FileError.h"
#include "host/files/Xml.h"
#include "host/formula/Address.h"
#include "host/sheet/Comment.h"

namespace host::files {

namespace {

using formula::Formula;
using formula::ReferenceStyle;
using sheet::Cell;

// The file writes a time without a date on the day before the first day of the 1900 date system,
// which is day 0 there.
constexpr std::string_view kTimeOnlyDay = "1899-12-31";

class SheetReader {
public:
    SheetReader(const std::string& path, sheet::Worksheet& sheet) : path_(path), sheet_(sheet) {}

    void read(const pugi::xml_node& worksheet) {
        int row = 0;
        for (auto r : child(worksheet, "Table").children()) {
            if (localName(r) != "Row") continue;
            row = position(r, row + 1, formula::kMaxRows, "row");
            int column = 0;
            for (auto c : r.children()) {
                if (localName(c) != "Cell") continue;
                column = position(c, column + 1, formula::kMaxColumns, "column");
                readCell(c, row, column);
                // a merged cell covers the next ones
                column = extent(c, "MergeAcross", column, formula::kMaxColumns, "cell " + place(row, column));
            }
            // a row standing for several alike
            row = extent(r, "Span", row, formula::kMaxRows, "row " + std::to_string(row) + " of the sheet '" + sheet_.name() + "'");
        }
    }

private:
    [[noreturn]] void fail(const std::string& what) const { failRead(path_, what); }

    std::string place(int row, int column) const {
        return formula::sheetPrefix("", sheet_.name()) + cellReference(row, column);
    }

    // The last position a row or cell covers with its ss:Span or ss:MergeAcross (the count of the
    // ones after it); refused when it reaches past the sheet.
    int extent(const pugi::xml_node& node, const char* name, int at, int limit, const std::string& what) const {
        const auto count = attribute(node, name);
        if (!count) return at;
        const long long more = count.as_llong(-1);
        if (more < 0 || more > limit - at)
            fail("the ss:" + std::string(name) + " '" + count.value() + "' of the " + what + " reaches past the sheet");
        return at + static_cast<int>(more);
    }

    // The ss:Index of a row or cell, or the position after the one before.
    int position(const pugi::xml_node& node, int next, int limit, const std::string& what) const {
        const auto index = attribute(node, "Index");
        const int at = index ? index.as_int() : next;
        if (at < 1 || at > limit)
            fail("the " + what + " " + (index ? std::string(index.value()) : std::to_string(at)) + " of the sheet '" +
                 sheet_.name() + "' is out of range");
        return at;
    }

    void readCell(const pugi::xml_node& c, int row, int column) {
        const auto data = child(c, "Data");
        const auto formulaText = attribute(c, "Formula");
        const auto note = child(c, "Comment");
        if (!data && !formulaText && !note) return;
        Cell& cell = sheet_.cellAt(row, column);
        if (data) cell.value = value(data, row, column);
        if (formulaText) readFormula(formulaText.value(), cell, row, column);
        if (note)
            cell.comment = std::make_shared<sheet::Comment>(sheet_.weak_from_this(), row, column,
                                                            innerText(child(note, "Data")),
                                                            attribute(note, "Author").value());
        sheet_.compact(row, column);
    }

    Variant value(const pugi::xml_node& data, int row, int column) const {
        const std::string_view type = attribute(data, "Type").value();
        const std::string text = innerText(data);
        if (type == "String") return text;
        if (type == "Number") {
            double number = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
            if (ec == std::errc() && end == text.data() + text.size()) return number;
        } else if (type == "Boolean") {
            return text == "1" || StrComp(text, "true", CompareMethod::Text) == 0;
        } else if (type == "DateTime") {
            if (auto serial = parseIsoDate(text)) return Date{text.starts_with(kTimeOnlyDay) ? *serial - 1 : *serial};
        } else if (type == "Error") {
            if (auto error = parseCellError(text)) return *error;
        } else {
            fail("the cell " + place(row, column) + " has the data type '" + std::string(type) + "'");
        }
        fail("the cell " + place(row, column) + " holds '" + text + "', which is no " + std::string(type));
    }

    void readFormula(const std::string& text, Cell& cell, int row, int column) {
        try {
            cell.formula = std::make_shared<const Formula>(Formula::parse(text, ReferenceStyle::R1C1, row, column));
        } catch (const RuntimeError& e) {
            fail("the formula '" + excerpt(text) + "' in " + place(row, column) + " does not parse (" + e.description() + ")");
        }
        const auto key = sheet::cellKey(row, column);
        sheet_.noteFormula(key, true);
        if (cell.value.isEmpty()) sheet_.calcState().dirty.insert(key);
    }

    const std::string& path_;
    sheet::Worksheet& sheet_;
};

// The sheet the file names active (a 0-based index), else the first.
void readActiveSheet(const pugi::xml_node& root, sheet::Workbook& book) {
    const int index = child(child(root, "ExcelWorkbook"), "ActiveSheet").text().as_int();
    book.setActiveSheet(book.worksheets()[index >= 0 && index < book.sheetCount() ? index : 0]);
}

}  // namespace

bool isSpreadsheetXml(const pugi::xml_node& root) {
    return localName(root) == "Workbook" && namespaceUri(root) == kSpreadsheetNamespace;
}

void readSpreadsheetXml(const pugi::xml_node& root, const std::string& path, sheet::Workbook& book) {
    for (auto w : root.children()) {
        if (localName(w) != "Worksheet") continue;
        const std::string name = attribute(w, "Name").value();
        sheet::WorksheetPtr sheet;
        try {
            sheet = book.addSheet(nullptr, nullptr, name);
        } catch (const RuntimeError& e) {
            failRead(path, "the sheet name '" + name + "' is not allowed (" + e.description() + ")");
        }
        SheetReader(path, *sheet).read(w);
    }
    if (book.sheetCount() == 0) failRead(path, "the workbook has no worksheet");
    readActiveSheet(root, book);
}

}  // namespace host::files
