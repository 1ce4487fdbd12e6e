#include "batch/P_IS_Dane.h"

#include "core/F_Pomocnicze.h"
#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/olap/CubeBuilder.h"

namespace telm {

long RunSqlStep(const std::string& connection, const std::string& sql, const host::sheet::RangePtr& target,
                bool withFieldNames) {
    host::ado::Connection c;
    c.open(ReplaceFolderPlaceholder(connection));
    host::ado::Recordset r;
    r.open(sql, c);
    if (!target || r.state() == 0) return 0;
    long row = 0;
    const auto& fields = r.fields();
    if (withFieldNames) {
        for (long f = 0; f < fields.Count(); ++f) target->cells(1, static_cast<int>(f) + 1)->setValue(fields.Name(f));
        ++row;
    }
    host::Variant rows;
    try {
        rows = r.getRows();
    } catch (const host::RuntimeError& e) {
        if (e.number() != host::ado::kNoCurrentRecord) throw;
        return row;  // a result without rows
    }
    if (!rows.isArray() || rows.arrayValue().dimensions() != 2) return row;
    const auto& a = rows.arrayValue();
    for (long record = a.lbound(2); record <= a.ubound(2); ++record, ++row)
        for (long field = a.lbound(1); field <= a.ubound(1); ++field) {
            const host::Variant& value = a(field, record);
            target->cells(static_cast<int>(row) + 1, static_cast<int>(field - a.lbound(1)) + 1)
                ->setValue(value.isNull() ? host::Variant() : value);
        }
    return row;
}

CubeDefinitionText ReadCubeDefinition(const std::string& file) {
    CubeDefinitionText definition;
    std::string* current = nullptr;
    for (const auto& line : host::splitLines(host::readTextFile(ReplaceFolderPlaceholder(file)))) {
        const std::string upper = host::UCase(host::Left(line, 11));
        if (upper.starts_with("SOURCE_DSN=")) {
            current = &definition.sourceDsn;
            *current = line.substr(11);
        } else if (upper.starts_with("CREATECUBE=")) {
            current = &definition.createCube;
            *current = line.substr(11);
        } else if (upper.starts_with("INSERTINTO=")) {
            current = &definition.insertInto;
            *current = line.substr(11);
        } else if (current) {
            *current += " " + host::Trim(line);
        }
    }
    for (const auto& [key, value] : {std::pair<const char*, const std::string&>{"SOURCE_DSN", definition.sourceDsn},
                                     {"CREATECUBE", definition.createCube},
                                     {"INSERTINTO", definition.insertInto}})
        if (host::Trim(value).empty())
            throw host::RuntimeError(5, "The cube definition '" + file + "' has no " + key + "=.");
    return definition;
}

void CreateOlapCube(const CubeDefinitionText& definition, const std::string& cubeFile) {
    host::olap::buildCube("Provider=MSOLAP;Location=" + DoubleQuoted(ReplaceFolderPlaceholder(cubeFile)) +
                          ";SOURCE_DSN=" + DoubleQuoted(ReplaceFolderPlaceholder(definition.sourceDsn)) +
                          ";CREATECUBE=" + DoubleQuoted(ReplaceFolderPlaceholder(definition.createCube)) +
                          ";INSERTINTO=" + DoubleQuoted(ReplaceFolderPlaceholder(definition.insertInto)));
}

}  // namespace telm
