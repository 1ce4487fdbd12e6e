#include "host/files/XlsxReader.h"

#include <map>
#include <sstream>

#include "host/files/CellStyles.h"
#include "host/files/CustomProperties.h"
#include "host/files/QueryTableParts.h"
#include "host/files/SharedStrings.h"
#include "host/files/WorksheetReader.h"
#include "host/files/WorksheetWriter.h"
#include "host/files/Xml.h"
#include "host/files/XmlChunks.h"

namespace host::files {

namespace {

using sheet::SheetVisibility;

std::string targetOf(const std::vector<Relationship>& relationships, std::string_view typeEnd) {
    const auto* r = Package::findByType(relationships, typeEnd);
    return r ? r->target : std::string();
}

std::string elementText(const pugi::xml_node& node) {
    std::ostringstream out;
    node.print(out, "", pugi::format_raw);
    return out.str();
}

// The names that belong to one sheet (name -> reference), by the sheet's position in the workbook.
std::map<int, std::map<std::string, std::string>> sheetDefinedNames(const pugi::xml_node& workbookNode) {
    std::map<int, std::map<std::string, std::string>> names;
    for (auto d : child(workbookNode, "definedNames").children())
        if (localName(d) == "definedName" && d.attribute("localSheetId"))
            names[d.attribute("localSheetId").as_int()][d.attribute("name").value()] = decodeEscapes(d.text().get());
    return names;
}

void readSheets(const Package& package, const pugi::xml_node& workbookNode, const WorkbookParts& shared,
                sheet::Workbook& book, StoredWorkbook& kept) {
    const auto connections = readConnections(package, targetOf(kept.workbookRelationships, "/connections"));
    const auto localNames = sheetDefinedNames(workbookNode);
    std::vector<std::pair<sheet::WorksheetPtr, SheetVisibility>> hidden;
    int position = -1;
    for (auto s : child(workbookNode, "sheets").children()) {
        if (localName(s) != "sheet") continue;
        ++position;
        const std::string name = decodeEscapes(s.attribute("name").value());
        const auto* relationship = Package::findById(kept.workbookRelationships, attribute(s, "id").value());
        if (!relationship) package.fail("the sheet '" + name + "' has no part");
        if (!relationship->type.ends_with("/worksheet")) {  // chart sheets, dialog sheets
            kept.sheets.push_back({{}, elementText(s)});
            continue;
        }
        sheet::WorksheetPtr sheet;
        try {
            sheet = book.addSheet(nullptr, nullptr, name);
        } catch (const RuntimeError& e) {
            package.fail("the sheet name '" + name + "' is not allowed (" + e.description() + ")");
        }
        auto keptSheet = std::make_shared<StoredSheet>();
        keptSheet->sheetId = s.attribute("sheetId").as_int();
        readWorksheet(package, relationship->target, shared, *sheet, *keptSheet);
        const auto names = localNames.find(position);
        keptSheet->queryTableLinks =
            readQueryTables(package, relationship->target, connections,
                            names == localNames.end() ? std::map<std::string, std::string>() : names->second, *sheet);
        for (const auto& query : sheet->queryTables()) keptSheet->queryTablesAsRead.push_back(*query);
        if (!sheet->comments().empty()) keptSheet->commentsAsRead = commentsXml(*sheet);
        sheet->fileExtras = std::move(keptSheet);
        kept.sheets.push_back({sheet, {}});
        const std::string_view state = s.attribute("state").value();
        if (state == "hidden") hidden.emplace_back(sheet, SheetVisibility::Hidden);
        else if (state == "veryHidden") hidden.emplace_back(sheet, SheetVisibility::VeryHidden);
    }
    if (book.sheetCount() == 0) package.fail("the workbook has no worksheet");
    if (hidden.size() == static_cast<std::size_t>(book.sheetCount())) hidden.erase(hidden.begin());
    for (const auto& [sheet, visibility] : hidden) sheet->setVisible(visibility);
}

// Names of the whole workbook; names that belong to one sheet are kept as they are written.
void readDefinedNames(const Package& package, const pugi::xml_node& workbookNode, sheet::Workbook& book,
                      StoredWorkbook& kept) {
    for (auto d : child(workbookNode, "definedNames").children()) {
        if (localName(d) != "definedName") continue;
        if (auto local = d.attribute("localSheetId")) {
            if (local.as_uint() < kept.sheets.size()) kept.localNames.push_back({elementText(d), local.as_uint()});
            continue;
        }
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
    auto kept = std::make_shared<StoredWorkbook>();
    kept->package = package.zip().bytes();
    kept->path = path;
    kept->rootRelationships = package.relationships("");
    kept->workbookPart = targetOf(kept->rootRelationships, "/officeDocument");
    if (kept->workbookPart.empty()) kept->workbookPart = "xl/workbook.xml";
    const auto text = package.read(kept->workbookPart);
    if (!text) package.fail("the part '" + kept->workbookPart + "' is missing");
    pugi::xml_document document;
    package.parse(document, *text, kept->workbookPart);
    const auto workbookNode = child(document, "workbook");
    if (!workbookNode) package.fail("the part '" + kept->workbookPart + "' holds no workbook");
    kept->workbookRelationships = package.relationships(kept->workbookPart);

    // A relationship to a part the package lacks names none.
    auto present = [&](std::string part) { return package.zip().contains(part) ? part : std::string(); };
    kept->sharedStringsPart = present(targetOf(kept->workbookRelationships, "/sharedStrings"));
    kept->stylesPart = present(targetOf(kept->workbookRelationships, "/styles"));
    WorkbookParts shared;
    shared.externalBooks = readExternalBooks(package, workbookNode, kept->workbookRelationships, path);
    kept->externalBooks = shared.externalBooks;
    shared.sharedStrings = readSharedStrings(package, kept->sharedStringsPart);
    shared.cellFormats = readCellFormats(package, kept->stylesPart);

    auto book = workbookForFile(application, path);
    readSheets(package, workbookNode, shared, *book, *kept);
    readDefinedNames(package, workbookNode, *book, *kept);
    readActiveSheet(workbookNode, *book);
    kept->customPropertiesPart = targetOf(kept->rootRelationships, "/custom-properties");
    readCustomProperties(package, kept->customPropertiesPart.empty() ? "docProps/custom.xml" : kept->customPropertiesPart,
                         book->customDocumentProperties());
    kept->customPropertiesAsRead = customPropertiesXml(book->customDocumentProperties()).value_or("");
    kept->sharedStrings = std::move(shared.sharedStrings);
    kept->cellFormats = std::move(shared.cellFormats);
    if (auto layout = splitXml(*text)) {
        kept->workbookXml = std::move(*layout);
        book->fileExtras = std::move(kept);
    }
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
