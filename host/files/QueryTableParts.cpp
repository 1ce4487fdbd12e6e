#include "host/files/QueryTableParts.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "host/base/Text.h"
#include "host/files/CellReference.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kTypeBase = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

// The connection prefix the spreadsheet gives each connection type: 1 ODBC, 5 OLE DB.
std::string typePrefix(int type) { return type == 5 ? "OLEDB;" : "ODBC;"; }
int connectionType(const std::string& stored) {
    return StrComp(Left(stored, 6), "OLEDB;", CompareMethod::Text) == 0 ? 5 : 1;
}

// A table name made of the query table's name: letters, digits and "_" only, not starting with a
// digit, and not one given before (letter case ignored).
std::string tableName(const std::string& queryName, const std::vector<std::string>& taken) {
    std::string base;
    for (char c : queryName) base += std::isalnum(static_cast<unsigned char>(c)) || c == '_' || (c & 0x80) ? c : '_';
    if (base.empty() || std::isdigit(static_cast<unsigned char>(base.front()))) base = "Query_" + base;
    std::string name = base;
    for (int n = 2; std::any_of(taken.begin(), taken.end(),
                                [&](const std::string& t) { return StrComp(t, name, CompareMethod::Text) == 0; });
         ++n)
        name = base + "_" + std::to_string(n);
    return name;
}

// The columns' names: the header cells' texts (or "ColumnN"), each once (letter case ignored).
std::vector<std::string> columnNames(const sheet::Worksheet& sheet, const sheet::QueryTable& query) {
    std::vector<std::string> names;
    const auto& area = query.resultRange;
    for (int column = area.left; column <= area.right; ++column) {
        const auto* cell = query.fieldNames ? sheet.findCell(area.top, column) : nullptr;
        std::string name = cell ? cell->value.toString() : std::string();
        if (name.empty()) name = "Column" + std::to_string(column - area.left + 1);
        const std::string base = name;
        for (int n = 2; std::any_of(names.begin(), names.end(),
                                    [&](const std::string& t) { return StrComp(t, name, CompareMethod::Text) == 0; });
             ++n)
            name = base + std::to_string(n);
        names.push_back(name);
    }
    return names;
}

// The range a defined name's reference gives ("Sheet1!$A$1:$B$4", "'My sheet'!$A$1").
std::optional<formula::Area> nameRange(std::string reference) {
    if (const auto bang = reference.rfind('!'); bang != std::string::npos) reference.erase(0, bang + 1);
    std::erase(reference, '$');
    return parseAreaReference(reference);
}

// A query table of the sheet from its part's root element, over the range its table or name gives.
void addQueryTable(const pugi::xml_node& query, const WorkbookConnections& connections,
                   const std::optional<formula::Area>& range, bool fieldNames, sheet::Worksheet& sheet) {
    const auto connection = connections.find(query.attribute("connectionId").as_int(-1));
    if (!range || connection == connections.end()) return;
    auto table = std::make_shared<sheet::QueryTable>();
    table->name = decodeEscapes(query.attribute("name").value());
    table->connection = connection->second.connection;
    table->commandText = connection->second.command;
    table->resultRange = *range;
    table->fieldNames = fieldNames;
    sheet.queryTables().push_back(std::move(table));
}

}  // namespace

WorkbookConnections readConnections(const Package& package, const std::string& part) {
    WorkbookConnections connections;
    pugi::xml_document document;
    if (part.empty() || !package.load(document, part)) return connections;
    for (auto c : child(document, "connections").children()) {
        if (localName(c) != "connection") continue;
        const auto database = child(c, "dbPr");
        if (!database) continue;  // text, web and other kinds of connection
        connections[c.attribute("id").as_int()] = {
            decodeEscapes(c.attribute("name").value()),
            typePrefix(c.attribute("type").as_int(1)) + decodeEscapes(database.attribute("connection").value()),
            decodeEscapes(database.attribute("command").value())};
    }
    return connections;
}

std::vector<std::string> readQueryTables(const Package& package, const std::string& sheetPart,
                                         const WorkbookConnections& connections,
                                         const std::map<std::string, std::string>& sheetNames, sheet::Worksheet& sheet) {
    std::vector<std::string> links;
    for (const auto& relation : package.relationships(sheetPart)) {
        const std::size_t before = sheet.queryTables().size();
        if (relation.external) continue;
        pugi::xml_document document;
        if (relation.type.ends_with("/queryTable")) {
            if (!package.load(document, relation.target)) continue;
            const auto query = child(document, "queryTable");
            const auto name = sheetNames.find(decodeEscapes(query.attribute("name").value()));
            if (name == sheetNames.end()) continue;
            addQueryTable(query, connections, nameRange(name->second), query.attribute("headers").as_bool(true), sheet);
        } else if (relation.type.ends_with("/table")) {
            if (!package.load(document, relation.target)) continue;
            const auto table = child(document, "table");
            if (std::string_view(table.attribute("tableType").value()) != "queryTable") continue;
            const auto tableRelationships = package.relationships(relation.target);
            const auto* queryPart = Package::findByType(tableRelationships, "/queryTable");
            pugi::xml_document queryDocument;
            if (!queryPart || queryPart->external || !package.load(queryDocument, queryPart->target)) continue;
            addQueryTable(child(queryDocument, "queryTable"), connections,
                          parseAreaReference(table.attribute("ref").value()),
                          table.attribute("headerRowCount").as_int(1) != 0, sheet);
        }
        if (sheet.queryTables().size() != before) links.push_back(relation.id);
    }
    return links;
}

QueryTableWriter::QueryTableWriter(const Package* source, std::string sourceConnectionsPart, PartNamer namePart)
    : source_(source), sourceConnectionsPart_(std::move(sourceConnectionsPart)), namePart_(std::move(namePart)) {
    if (!source_) return;
    for (const auto& name : source_->zip().names())
        if (name.ends_with(".xml"))
            if (const auto text = name.find("tables/") != std::string::npos ? source_->read(name) : std::nullopt)
                nextTableId_ = std::max(nextTableId_, std::atoi(tagAttribute(*text, "table", "id").value_or("0").c_str()) + 1);
    if (const auto text = sourceConnectionsPart_.empty() ? std::nullopt : source_->read(sourceConnectionsPart_)) {
        pugi::xml_document document;
        document.load_string(text->c_str());
        for (auto c : child(document, "connections").children())
            firstConnectionId_ = std::max(firstConnectionId_, c.attribute("id").as_int() + 1);
    }
}

void QueryTableWriter::writeSheet(const sheet::Worksheet& sheet, PackageWriter& package, const std::string& sheetPart,
                                  XmlChunks& layout) {
    std::vector<std::string> listed;
    for (const auto& query : sheet.queryTables()) {
        const int connectionId = firstConnectionId_ + static_cast<int>(connections_.size());
        const int tableId = nextTableId_++;
        const std::string tablePart = namePart_("xl/tables/table", ".xml");
        const std::string queryPart = namePart_("xl/queryTables/queryTable", ".xml");
        connections_.push_back({query->name, query->connection, query->commandText});
        tableNames_.push_back(tableName(query->name, tableNames_));
        const auto columns = columnNames(sheet, *query);

        pugi::xml_document table;
        auto t = table.append_child("table");
        t.append_attribute("xmlns") = kMainNamespace;
        t.append_attribute("id") = tableId;
        t.append_attribute("name") = tableNames_.back().c_str();
        t.append_attribute("displayName") = tableNames_.back().c_str();
        t.append_attribute("ref") = areaReference(query->resultRange).c_str();
        t.append_attribute("tableType") = "queryTable";
        if (!query->fieldNames) t.append_attribute("headerRowCount") = 0;
        t.append_attribute("totalsRowShown") = 0;
        auto tableColumns = t.append_child("tableColumns");
        tableColumns.append_attribute("count") = static_cast<int>(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            auto c = tableColumns.append_child("tableColumn");
            c.append_attribute("id") = static_cast<int>(i + 1);
            c.append_attribute("uniqueName") = static_cast<int>(i + 1);
            c.append_attribute("name") = encodeEscapes(columns[i]).c_str();
            c.append_attribute("queryTableFieldId") = static_cast<int>(i + 1);
        }

        pugi::xml_document queryTable;
        auto q = queryTable.append_child("queryTable");
        q.append_attribute("xmlns") = kMainNamespace;
        q.append_attribute("name") = encodeEscapes(query->name).c_str();
        if (!query->fieldNames) q.append_attribute("headers") = 0;
        q.append_attribute("connectionId") = connectionId;
        q.append_attribute("autoFormatId") = 16;
        for (const char* kind : {"applyNumberFormats", "applyBorderFormats", "applyFontFormats", "applyPatternFormats",
                                 "applyAlignmentFormats", "applyWidthHeightFormats"})
            q.append_attribute(kind) = 0;
        auto refresh = q.append_child("queryTableRefresh");
        refresh.append_attribute("nextId") = static_cast<int>(columns.size() + 1);
        auto fields = refresh.append_child("queryTableFields");
        fields.append_attribute("count") = static_cast<int>(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            auto f = fields.append_child("queryTableField");
            f.append_attribute("id") = static_cast<int>(i + 1);
            f.append_attribute("name") = encodeEscapes(columns[i]).c_str();
            f.append_attribute("tableColumnId") = static_cast<int>(i + 1);
        }

        package.addPart(tablePart, std::string(kTypeBase) + "table+xml", serialize(table));
        package.addPart(queryPart, std::string(kTypeBase) + "queryTable+xml", serialize(queryTable));
        package.relate(tablePart, "queryTable", "/" + queryPart);
        listed.push_back(package.relate(sheetPart, "table", "/" + tablePart));
    }
    listTableParts(layout, listed, {});
}

void QueryTableWriter::finish(PackageWriter& package, const std::string& workbookPart) const {
    if (connections_.empty()) return;
    pugi::xml_document document;
    const auto existing = source_ && !sourceConnectionsPart_.empty() ? source_->read(sourceConnectionsPart_) : std::nullopt;
    if (existing) document.load_string(existing->c_str(), pugi::parse_default | pugi::parse_declaration);
    auto root = child(document, "connections");
    if (!root) {
        document.reset();
        root = document.append_child("connections");
        root.append_attribute("xmlns") = kMainNamespace;
    }
    const std::string prefix = std::string(root.name()).find(':') == std::string::npos
                                   ? std::string()
                                   : std::string(root.name()).substr(0, std::string(root.name()).find(':') + 1);
    int id = firstConnectionId_;
    for (const auto& connection : connections_) {
        auto c = root.append_child((prefix + "connection").c_str());
        c.append_attribute("id") = id++;
        c.append_attribute("name") = encodeEscapes(connection.name).c_str();
        c.append_attribute("type") = connectionType(connection.connection);
        c.append_attribute("refreshedVersion") = 8;
        c.append_attribute("saveData") = 1;
        auto database = c.append_child((prefix + "dbPr").c_str());
        database.append_attribute("connection") = encodeEscapes(sheet::untypedConnection(connection.connection)).c_str();
        database.append_attribute("command") = encodeEscapes(connection.command).c_str();
    }
    const std::string part = existing ? sourceConnectionsPart_ : namePart_("xl/connections", ".xml");
    package.addPart(part, std::string(kTypeBase) + "connections+xml", serialize(document));
    if (!existing) package.relate(workbookPart, "connections", "/" + part);
}

bool sameQueryTables(const std::vector<sheet::QueryTablePtr>& now, const std::vector<sheet::QueryTable>& asRead) {
    return std::equal(now.begin(), now.end(), asRead.begin(), asRead.end(), [](const auto& a, const auto& b) {
        return a->name == b.name && a->connection == b.connection && a->commandText == b.commandText &&
               a->resultRange == b.resultRange && a->fieldNames == b.fieldNames;
    });
}

void listTableParts(XmlChunks& layout, const std::vector<std::string>& added, const std::vector<std::string>& removed) {
    if (added.empty() && removed.empty()) return;
    const std::string name = layout.prefix + "tableParts";
    auto* chunk = layout.find("tableParts");
    pugi::xml_document document;
    if (!chunk || !document.load_string(chunk->text.c_str())) document.append_child(name.c_str());
    auto list = document.first_child();
    for (auto part = list.first_child(); part;) {
        const auto next = part.next_sibling();
        if (std::find(removed.begin(), removed.end(), attribute(part, "id").value()) != removed.end())
            list.remove_child(part);
        part = next;
    }
    for (const auto& id : added) list.append_child((layout.prefix + "tablePart").c_str()).append_attribute("r:id") = id.c_str();
    const auto count = std::distance(list.children().begin(), list.children().end());
    std::erase_if(layout.children, [](const XmlChunk& c) { return c.name == "tableParts"; });
    if (count == 0) return;
    if (!list.attribute("count")) list.prepend_attribute("count");
    list.attribute("count").set_value(static_cast<long long>(count));
    std::ostringstream out;
    list.print(out, "", pugi::format_raw);
    layout.children.insert(layout.children.begin() + static_cast<std::ptrdiff_t>(layout.placeBefore({"extLst"})),
                           {"tableParts", out.str()});
}

}  // namespace host::files
