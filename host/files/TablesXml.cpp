#include "host/files/TablesXml.h"

#include <algorithm>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/files/CellReference.h"
#include "host/files/Xml.h"
#include "host/sheet/ListObjects.h"

namespace host::files {

namespace {

constexpr const char* kTableType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml";

// The column names of a table: its header cells' texts, an empty or repeated one made unique, as
// a table's columns must be.
std::vector<std::string> columnNames(const sheet::Worksheet& sheet, const formula::Area& area) {
    std::vector<std::string> names;
    for (int c = area.left; c <= area.right; ++c) {
        const sheet::Cell* cell = sheet.findCell(area.top, c);
        std::string name = cell ? cell->value.toString() : std::string();
        if (name.empty()) name = "Column" + std::to_string(c - area.left + 1);
        const std::string base = name;
        for (int n = 2; std::any_of(names.begin(), names.end(),
                                    [&](const std::string& other) { return StrComp(other, name, CompareMethod::Text) == 0; });
             ++n)
            name = base + std::to_string(n);
        names.push_back(name);
    }
    return names;
}

std::string tableXml(const sheet::Worksheet& sheet, const sheet::ListObject& table, int id) {
    pugi::xml_document document;
    auto root = document.append_child("table");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    root.append_attribute("id") = id;
    root.append_attribute("name") = encodeEscapes(table.name()).c_str();
    root.append_attribute("displayName") = encodeEscapes(table.name()).c_str();
    const std::string ref = areaReference(table.area());
    root.append_attribute("ref") = ref.c_str();
    root.append_attribute("totalsRowShown") = 0;
    root.append_child("autoFilter").append_attribute("ref") = ref.c_str();
    const auto names = columnNames(sheet, table.area());
    auto columns = root.append_child("tableColumns");
    columns.append_attribute("count") = static_cast<int>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto column = columns.append_child("tableColumn");
        column.append_attribute("id") = static_cast<int>(i + 1);
        column.append_attribute("name") = encodeEscapes(names[i]).c_str();
    }
    auto style = root.append_child("tableStyleInfo");
    style.append_attribute("name") = "TableStyleMedium2";
    style.append_attribute("showFirstColumn") = 0;
    style.append_attribute("showLastColumn") = 0;
    style.append_attribute("showRowStripes") = 1;
    style.append_attribute("showColumnStripes") = 0;
    return serialize(document);
}

bool sameName(const std::string& a, const std::string& b) { return StrComp(a, b, CompareMethod::Text) == 0; }

const sheet::ListObject* findTable(const sheet::Worksheet& sheet, const std::string& name) {
    for (const auto& table : sheet.tables())
        if (sameName(table->name(), name)) return table.get();
    return nullptr;
}

// Gives a table part read from the file the name, area and columns of the sheet's table; the rest of
// the part (its id, style, totals, extensions) stays. Columns keep their elements by position; a
// filter or sort state that points outside the new area is taken out.
void rewriteTable(pugi::xml_node table, const sheet::ListObject& list, const std::vector<std::string>& columns) {
    const std::string name = encodeEscapes(list.name());
    const std::string ref = areaReference(list.area());
    for (const char* key : {"name", "displayName"}) {
        auto a = attribute(table, key);
        (a ? a : table.append_attribute(key)).set_value(name.c_str());
    }
    attribute(table, "ref").set_value(ref.c_str());
    if (auto filter = child(table, "autoFilter")) {
        attribute(filter, "ref").set_value(ref.c_str());
        for (auto node = filter.first_child(); node;) {
            const auto next = node.next_sibling();
            const bool inside = localName(node) == "filterColumn" &&
                                attribute(node, "colId").as_int(-1) >= 0 &&
                                attribute(node, "colId").as_int() < static_cast<int>(columns.size());
            if (!inside) filter.remove_child(node);
            node = next;
        }
    }
    if (auto sort = child(table, "sortState")) table.remove_child(sort);
    auto columnList = child(table, "tableColumns");
    if (!columnList) return;
    const std::string_view listName = columnList.name();
    const std::string prefix(listName.substr(0, listName.find(':') == std::string_view::npos ? 0 : listName.find(':') + 1));
    std::vector<pugi::xml_node> elements;
    int highestId = 0;
    for (auto column : columnList.children())
        if (localName(column) == "tableColumn") {
            elements.push_back(column);
            highestId = std::max(highestId, attribute(column, "id").as_int());
        }
    for (std::size_t i = columns.size(); i < elements.size(); ++i) columnList.remove_child(elements[i]);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        auto column = i < elements.size() ? elements[i] : columnList.append_child((prefix + "tableColumn").c_str());
        if (i >= elements.size()) column.append_attribute("id") = ++highestId;
        auto a = attribute(column, "name");
        (a ? a : column.append_attribute("name")).set_value(encodeEscapes(columns[i]).c_str());
    }
    auto count = attribute(columnList, "count");
    (count ? count : columnList.append_attribute("count")).set_value(static_cast<long long>(columns.size()));
}

}  // namespace

std::vector<std::string> updateKeptTables(const sheet::Worksheet& sheet, const std::vector<TableAsRead>& asRead,
                                          const Package& source, PackageWriter& package) {
    std::vector<std::string> removed;
    for (const auto& read : asRead) {
        const auto* table = findTable(sheet, read.name);
        if (!table) {
            removed.push_back(read.link);
            continue;
        }
        const auto columns = columnNames(sheet, table->area());
        if (table->name() == read.name && table->area() == read.area && columns == read.columns) continue;
        pugi::xml_document document;
        if (!source.load(document, read.part)) continue;  // read once, so not expected; the part stays
        rewriteTable(child(document, "table"), *table, columns);
        package.addPart(read.part, kTableType, serialize(document));
        if (auto links = source.relationships(read.part); !links.empty())
            package.setRelationships(read.part, std::move(links), true);
    }
    return removed;
}

std::vector<std::string> writeTables(const sheet::Worksheet& sheet, const std::string& sheetPart, PackageWriter& package,
                                     int& tableId, const std::vector<TableAsRead>& kept,
                                     const std::function<std::string()>& newPart) {
    std::vector<std::string> ids;
    for (const auto& table : sheet.tables()) {
        if (std::any_of(kept.begin(), kept.end(), [&](const TableAsRead& t) { return sameName(t.name, table->name()); }))
            continue;
        const std::string part = newPart();
        ids.push_back(package.relate(sheetPart, "table", "/" + part));
        package.addPart(part, kTableType, tableXml(sheet, *table, ++tableId));
    }
    return ids;
}

std::vector<TableAsRead> readTables(const Package& package, const std::string& sheetPart, sheet::Worksheet& sheet) {
    std::vector<TableAsRead> tables;
    for (const auto& relationship : package.relationships(sheetPart)) {
        if (!relationship.type.ends_with("/table")) continue;
        try {
            pugi::xml_document document;
            if (!package.load(document, relationship.target)) continue;
            const auto table = child(document, "table");
            if (std::string_view(table.attribute("tableType").value()) == "queryTable") continue;
            const auto area = parseAreaReference(table.attribute("ref").value());
            if (!area) continue;
            auto range = std::make_shared<sheet::Range>(sheet.shared_from_this(), std::vector<formula::Area>{*area});
            auto added = sheet.listObjects().add(range);
            try {
                added->setName(decodeEscapes(table.attribute("name").value()));
                tables.push_back({added->name(), *area, columnNames(sheet, *area), relationship.id, relationship.target});
            } catch (const RuntimeError&) {
                added->unlist();
                throw;
            }
        } catch (const RuntimeError&) {  // a damaged part, an overlap, a name taken: the cells stay
        }
    }
    return tables;
}

}  // namespace host::files
