#include "host/files/XlsxReader.h"

#include <map>

#include "host/files/CellStyles.h"
#include "host/files/CustomProperties.h"
#include "host/files/QueryTableParts.h"
#include "host/files/SharedStrings.h"
#include "host/files/TablesXml.h"
#include "host/files/WorksheetReader.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

using sheet::SheetVisibility;

std::string targetOf(const std::vector<Relationship>& relationships, std::string_view typeEnd) {
    const auto* r = Package::findByType(relationships, typeEnd);
    return r ? r->target : std::string();
}

// The names that belong to one sheet (name -> reference), by the sheet's position in the workbook.
std::map<int, std::map<std::string, std::string>> sheetDefinedNames(const pugi::xml_node& workbookNode) {
    std::map<int, std::map<std::string, std::string>> names;
    for (auto d : child(workbookNode, "definedNames").children())
        if (localName(d) == "definedName" && d.attribute("localSheetId"))
            names[d.attribute("localSheetId").as_int()][d.attribute("name").value()] = decodeEscapes(d.text().get());
    return names;
}

void readSheets(const Package& package, const pugi::xml_node& workbookNode, const std::vector<Relationship>& relationships,
                const WorkbookParts& shared, sheet::Workbook& book) {
    const auto connections = readConnections(package, targetOf(relationships, "/connections"));
    const auto localNames = sheetDefinedNames(workbookNode);
    std::vector<std::pair<sheet::WorksheetPtr, SheetVisibility>> hidden;
    int position = -1;
    for (auto s : child(workbookNode, "sheets").children()) {
        if (localName(s) != "sheet") continue;
        ++position;
        const std::string name = decodeEscapes(s.attribute("name").value());
        const auto* relationship = Package::findById(relationships, attribute(s, "id").value());
        if (!relationship) package.fail("the sheet '" + name + "' has no part");
        if (!relationship->type.ends_with("/worksheet")) continue;  // chart sheets, dialog sheets
        sheet::WorksheetPtr sheet;
        try {
            sheet = book.addSheet(nullptr, nullptr, name);
        } catch (const RuntimeError& e) {
            package.fail("the sheet name '" + name + "' is not allowed (" + e.description() + ")");
        }
        readWorksheet(package, relationship->target, shared, *sheet);
        readTables(package, relationship->target, *sheet);
        const auto names = localNames.find(position);
        readQueryTables(package, relationship->target, connections,
                        names == localNames.end() ? std::map<std::string, std::string>() : names->second, *sheet);
        const std::string_view state = s.attribute("state").value();
        if (state == "hidden") hidden.emplace_back(sheet, SheetVisibility::Hidden);
        else if (state == "veryHidden") hidden.emplace_back(sheet, SheetVisibility::VeryHidden);
    }
    if (book.sheetCount() == 0) package.fail("the workbook has no worksheet");
    if (hidden.size() == static_cast<std::size_t>(book.sheetCount())) hidden.erase(hidden.begin());
    for (const auto& [sheet, visibility] : hidden) sheet->setVisible(visibility);
}

// Names of the whole workbook; names that belong to one sheet are left out.
void readDefinedNames(const Package& package, const pugi::xml_node& workbookNode, sheet::Workbook& book) {
    for (auto d : child(workbookNode, "definedNames").children()) {
        if (localName(d) != "definedName" || d.attribute("localSheetId")) continue;
        const std::string name = d.attribute("name").value();
        try {
            auto added = book.names().add(name, decodeEscapes(d.text().get()));
            added->visible = !d.attribute("hidden").as_bool();
        } catch (const RuntimeError& e) {
            package.fail("the defined name '" + name + "' is not valid (" + e.description() + ")");
        }
    }
}

void readActiveSheet(const pugi::xml_node& workbookNode, sheet::Workbook& book) {
    const int tab = child(child(workbookNode, "bookViews"), "workbookView").attribute("activeTab").as_int();
    const auto& sheets = book.worksheets();
    if (tab >= 0 && tab < book.sheetCount() && sheets[tab]->visible() == SheetVisibility::Visible)
        book.setActiveSheet(sheets[tab]);
    else
        for (const auto& s : sheets)
            if (s->visible() == SheetVisibility::Visible) return book.setActiveSheet(s);
}

}  // namespace

sheet::WorkbookPtr readWorkbook(sheet::Application& application, const std::string& path) {
    const Package package(path);
    const auto rootRelationships = package.relationships("");
    std::string workbookPart = targetOf(rootRelationships, "/officeDocument");
    if (workbookPart.empty()) workbookPart = "xl/workbook.xml";
    pugi::xml_document document;
    package.loadRequired(document, workbookPart);
    const auto workbookNode = child(document, "workbook");
    if (!workbookNode) package.fail("the part '" + workbookPart + "' holds no workbook");
    const auto relationships = package.relationships(workbookPart);

    WorkbookParts shared;
    shared.sharedStrings = readSharedStrings(package, targetOf(relationships, "/sharedStrings"));
    shared.cellFormats = readCellFormats(package, targetOf(relationships, "/styles"));

    auto book = workbookForFile(application, path);
    readSheets(package, workbookNode, relationships, shared, *book);
    readDefinedNames(package, workbookNode, *book);
    readActiveSheet(workbookNode, *book);
    std::string customPart = targetOf(rootRelationships, "/custom-properties");
    readCustomProperties(package, customPart.empty() ? "docProps/custom.xml" : customPart,
                         book->customDocumentProperties());
    finishReading(*book);
    return book;
}

sheet::WorkbookPtr workbookForFile(sheet::Application& application, const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    auto book = std::make_shared<sheet::Workbook>(application.weak_from_this(), fileName);
    book->initialise();
    book->setLocation(slash == std::string::npos ? std::string() : path.substr(0, slash), fileName);
    return book;
}

void finishReading(sheet::Workbook& book) {
    book.structureChanged();
    book.saved = true;
}

}  // namespace host::files
