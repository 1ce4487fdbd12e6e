#include "host/files/PivotTableParts.h"

#include <vector>

#include "host/files/CellReference.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

using sheet::PivotField;
using sheet::PivotFieldOrientation;

// A cache's database connection and its fields' names by index; no connection when the cache is over
// something else.
struct CacheSource {
    const WorkbookConnection* connection = nullptr;
    std::vector<std::string> fieldNames;
};

CacheSource cacheOf(const Package& package, const std::string& pivotPart, const WorkbookConnections& connections) {
    CacheSource cache;
    const auto relationships = package.relationships(pivotPart);
    const auto* part = Package::findByType(relationships, "/pivotCacheDefinition");
    pugi::xml_document document;
    if (!part || part->external || !package.load(document, part->target)) return cache;
    const auto definition = child(document, "pivotCacheDefinition");
    const auto source = child(definition, "cacheSource");
    if (std::string_view(source.attribute("type").value()) != "external") return cache;
    const auto connection = connections.find(source.attribute("connectionId").as_int(-1));
    if (connection == connections.end()) return cache;
    cache.connection = &connection->second;
    for (auto f : child(definition, "cacheFields").children())
        if (localName(f) == "cacheField") cache.fieldNames.push_back(decodeEscapes(f.attribute("name").value()));
    return cache;
}

// Adds the fields that a list of the definition names by cache index ("rowFields" with "field x=",
// "dataFields" with "dataField fld=") with the given orientation; the index -2 stands for the data
// values' own column and is skipped.
void addFields(const pugi::xml_node& list, const char* indexAttribute, PivotFieldOrientation orientation,
               const CacheSource& cache, const pugi::xml_node& pivotFields, sheet::PivotTable& table) {
    std::vector<pugi::xml_node> fieldNodes;
    for (auto f : pivotFields.children())
        if (localName(f) == "pivotField") fieldNodes.push_back(f);
    for (auto entry : list.children()) {
        const int index = entry.attribute(indexAttribute).as_int(-1);
        if (index < 0 || index >= static_cast<int>(cache.fieldNames.size())) continue;
        PivotField field{cache.fieldNames[static_cast<std::size_t>(index)], orientation};
        if (index < static_cast<int>(fieldNodes.size()))
            field.subtotals = fieldNodes[static_cast<std::size_t>(index)].attribute("defaultSubtotal").as_bool(true);
        table.fields.push_back(std::move(field));
    }
}

}  // namespace

void readPivotTables(const Package& package, const std::string& sheetPart, const WorkbookConnections& connections,
                     sheet::Worksheet& sheet) {
    for (const auto& relation : package.relationships(sheetPart)) {
        if (relation.external || !relation.type.ends_with("/pivotTable")) continue;
        pugi::xml_document document;
        if (!package.load(document, relation.target)) continue;
        const auto definition = child(document, "pivotTableDefinition");
        const auto cache = cacheOf(package, relation.target, connections);
        const auto location = parseAreaReference(child(definition, "location").attribute("ref").value());
        if (!cache.connection || !location) continue;
        auto table = std::make_shared<sheet::PivotTable>();
        table->name = decodeEscapes(definition.attribute("name").value());
        table->connection = cache.connection->connection;
        table->commandText = cache.connection->command;
        table->topRow = location->top;
        table->leftColumn = location->left;
        const auto pivotFields = child(definition, "pivotFields");
        addFields(child(definition, "rowFields"), "x", PivotFieldOrientation::Row, cache, pivotFields, *table);
        addFields(child(definition, "colFields"), "x", PivotFieldOrientation::Column, cache, pivotFields, *table);
        addFields(child(definition, "pageFields"), "fld", PivotFieldOrientation::Page, cache, pivotFields, *table);
        addFields(child(definition, "dataFields"), "fld", PivotFieldOrientation::Data, cache, pivotFields, *table);
        sheet.pivotTables().push_back(std::move(table));
    }
}

}  // namespace host::files
