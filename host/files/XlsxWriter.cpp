#include "host/files/XlsxWriter.h"

#include "host/files/CellStyles.h"
#include "host/files/CustomProperties.h"
#include "host/files/PackageWriter.h"
#include "host/files/QueryTableParts.h"
#include "host/files/SharedStrings.h"
#include "host/files/TablesXml.h"
#include "host/files/WorksheetWriter.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

constexpr const char* kTypeBase = "application/vnd.openxmlformats-officedocument.";
constexpr const char* kWorkbookPart = "xl/workbook.xml";

std::string contentType(const std::string& kind) { return kTypeBase + kind; }

// Writes the parts of every sheet and returns the workbook part.
std::string writeSheets(const sheet::Workbook& workbook, PackageWriter& package, SharedStringTable& strings,
                        CellStyleTable& styles, QueryTableWriter& queryTables) {
    pugi::xml_document document;
    auto root = document.append_child("workbook");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    root.append_attribute("xmlns:r") = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const auto active = workbook.activeSheet();
    auto view = root.append_child("bookViews").append_child("workbookView");
    view.append_attribute("activeTab") = active ? workbook.indexOf(*active) - 1 : 0;
    auto sheets = root.append_child("sheets");
    // Table ids are unique in a workbook: the query tables' tables take the first ones.
    int number = 0, tableNumber = 0;
    for (const auto& sheet : workbook.worksheets()) tableNumber += static_cast<int>(sheet->queryTables().size());
    for (const auto& sheet : workbook.worksheets()) {
        const std::string name = "sheet" + std::to_string(++number) + ".xml";
        const std::string part = "xl/worksheets/" + name;
        std::string drawingId;
        if (!sheet->comments().empty()) {
            const std::string suffix = std::to_string(number);
            package.relate(part, "comments", "../comments" + suffix + ".xml");
            drawingId = package.relate(part, "vmlDrawing", "../drawings/vmlDrawing" + suffix + ".vml");
            package.addPart("xl/comments" + suffix + ".xml", contentType("spreadsheetml.comments+xml"), commentsXml(*sheet));
            package.addPart("xl/drawings/vmlDrawing" + suffix + ".vml", "", commentDrawingXml(*sheet, number));
        }
        auto tableIds = queryTables.writeSheet(*sheet, package, part);
        const auto listIds = writeTables(*sheet, part, package, tableNumber);
        tableIds.insert(tableIds.end(), listIds.begin(), listIds.end());
        package.addPart(part, contentType("spreadsheetml.worksheet+xml"),
                        worksheetXml(*sheet, sheet == active, strings, styles, drawingId, tableIds));
        auto s = sheets.append_child("sheet");
        s.append_attribute("name") = encodeEscapes(sheet->name()).c_str();
        s.append_attribute("sheetId") = number;
        if (sheet->visible() == sheet::SheetVisibility::Hidden) s.append_attribute("state") = "hidden";
        if (sheet->visible() == sheet::SheetVisibility::VeryHidden) s.append_attribute("state") = "veryHidden";
        s.append_attribute("r:id") = package.relate(kWorkbookPart, "worksheet", "worksheets/" + name).c_str();
    }
    if (const auto names = workbook.namesObject(); names && names->count() > 0) {
        auto defined = root.append_child("definedNames");
        for (const auto& name : names->all()) {
            auto d = defined.append_child("definedName");
            d.append_attribute("name") = name->name().c_str();
            if (!name->visible) d.append_attribute("hidden") = 1;
            std::string_view refersTo = name->refersTo();
            if (refersTo.starts_with("=")) refersTo.remove_prefix(1);
            d.text() = encodeEscapes(refersTo).c_str();
        }
    }
    return serialize(document);
}

}  // namespace

FileStamp writeWorkbook(const sheet::Workbook& workbook, const std::string& path,
                        const std::optional<FileStamp>& unchangedSince) {
    PackageWriter package;
    SharedStringTable strings;
    CellStyleTable styles;
    QueryTableWriter queryTables;
    package.relate("", "officeDocument", kWorkbookPart);
    package.addPart(kWorkbookPart, contentType("spreadsheetml.sheet.main+xml"),
                    writeSheets(workbook, package, strings, styles, queryTables));
    queryTables.finish(package, kWorkbookPart);
    package.relate(kWorkbookPart, "styles", "styles.xml");
    package.addPart("xl/styles.xml", contentType("spreadsheetml.styles+xml"), styles.stylesXml());
    if (!strings.empty()) {
        package.relate(kWorkbookPart, "sharedStrings", "sharedStrings.xml");
        package.addPart("xl/sharedStrings.xml", contentType("spreadsheetml.sharedStrings+xml"), strings.xml());
    }
    const auto properties = workbook.customDocumentPropertiesObject();
    if (auto custom = properties ? customPropertiesXml(*properties) : std::nullopt) {
        package.relate("", "custom-properties", "docProps/custom.xml");
        package.addPart("docProps/custom.xml", contentType("custom-properties+xml"), std::move(*custom));
    }
    return package.write(path, unchangedSince);
}

}  // namespace host::files
