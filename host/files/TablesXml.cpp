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

}  // namespace

std::vector<std::string> writeTables(const sheet::Worksheet& sheet, const std::string& sheetPart, PackageWriter& package,
                                     int& tableId, const std::vector<std::string>& kept,
                                     const std::function<std::string()>& newPart) {
    std::vector<std::string> ids;
    for (const auto& table : sheet.tables()) {
        if (std::find(kept.begin(), kept.end(), table->name()) != kept.end()) continue;
        const std::string part = newPart();
        ids.push_back(package.relate(sheetPart, "table", "/" + part));
        package.addPart(part, kTableType, tableXml(sheet, *table, ++tableId));
    }
    return ids;
}

std::vector<std::string> readTables(const Package& package, const std::string& sheetPart, sheet::Worksheet& sheet) {
    std::vector<std::string> names;
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
                names.push_back(added->name());
            } catch (const RuntimeError&) {
                added->unlist();
                throw;
            }
        } catch (const RuntimeError&) {  // a damaged part, an overlap, a name taken: the cells stay
        }
    }
    return names;
}

}  // namespace host::files
