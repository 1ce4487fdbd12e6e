#include "host/files/SpreadsheetXmlWriter.h"

#include <pugixml.hpp>

#include "host/base/Path.h"
#include "host/files/CustomProperties.h"
#include "host/files/SaveTarget.h"
#include "host/files/SheetCells.h"
#include "host/files/SpreadsheetXml.h"
#include "host/files/Xml.h"
#include "host/formula/Formula.h"

namespace host::files {

namespace {

// XML 1.0 has no way to hold the control characters other than tab, line feed and carriage return:
// they are left out.
std::string xmlCharacters(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') kept += c;
    return kept;
}

// The Data element of a value; nothing for Empty.
void appendData(pugi::xml_node cell, const Variant& value) {
    std::string type;
    std::string text;
    switch (value.type()) {
        case VarType::Empty:
            return;
        case VarType::Boolean:
            type = "Boolean";
            text = value.boolValue() ? "1" : "0";
            break;
        case VarType::Date: {
            type = "DateTime";
            text = isoDate(value.toDouble());
            if (!text.empty() && text.back() == 'Z') text.pop_back();
            text += ".000";
            break;
        }
        case VarType::Error:
            type = "Error";
            text = cellErrorText(value.errorValue());
            break;
        case VarType::String:
            type = "String";
            text = xmlCharacters(value.stringValue());
            break;
        default:
            if (value.isNumber()) {
                type = "Number";
                text = numberText(value.toDouble());
            } else {
                type = "String";
                text = xmlCharacters(value.toString());
            }
    }
    auto data = cell.append_child("Data");
    data.append_attribute("ss:Type") = type.c_str();
    data.text() = text.c_str();
}

void appendSheet(pugi::xml_node root, const sheet::Worksheet& sheet) {
    auto worksheet = root.append_child("Worksheet");
    worksheet.append_attribute("ss:Name") = xmlCharacters(sheet.name()).c_str();
    auto table = worksheet.append_child("Table");
    pugi::xml_node row;
    int rowNumber = 0;
    for (const auto& placed : cellsInRowOrder(sheet)) {
        if (placed.row != rowNumber) {
            rowNumber = placed.row;
            row = table.append_child("Row");
            row.append_attribute("ss:Index") = rowNumber;
        }
        auto cell = row.append_child("Cell");
        cell.append_attribute("ss:Index") = placed.column;
        if (placed.cell->formula && !placed.cell->array)
            cell.append_attribute("ss:Formula") =
                xmlCharacters(placed.cell->formula->toText(formula::ReferenceStyle::R1C1, placed.row, placed.column)).c_str();
        appendData(cell, placed.cell->value);
    }
    if (sheet.visible() != sheet::SheetVisibility::Visible) {
        auto options = worksheet.append_child("WorksheetOptions");
        options.append_attribute("xmlns") = "urn:schemas-microsoft-com:office:excel";
        options.append_child("Visible").text() =
            sheet.visible() == sheet::SheetVisibility::Hidden ? "SheetHidden" : "SheetVeryHidden";
    }
}

}  // namespace

void writeSpreadsheetXml(const sheet::Workbook& workbook, const std::string& path) {
    pugi::xml_document document;
    auto instruction = document.append_child(pugi::node_pi);
    instruction.set_name("mso-application");
    instruction.set_value("progid=\"Excel.Sheet\"");
    auto root = document.append_child("Workbook");
    root.append_attribute("xmlns") = kSpreadsheetNamespace;
    root.append_attribute("xmlns:ss") = kSpreadsheetNamespace;
    for (const auto& sheet : workbook.worksheets()) appendSheet(root, *sheet);
    saveFile(nativePath(path), serialize(document));
}

}  // namespace host::files
