#include "batch/P_IS_Dane.h"

#include <cstdint>
#include <cstdio>

#include "core/F_Pomocnicze.h"
#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/olap/CubeBuilder.h"
#include "host/sheet/Names.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace telm {

namespace {

constexpr long kLastRow = 1048576;
constexpr long kLastColumn = 16384;

// The hidden name that keeps the area of the last result written from a cell, so that the next run
// clears it first: the sheet and address of the cell, hashed into a valid name.
std::string resultAreaName(const host::sheet::Range& target) {
    const std::string place = target.parent()->name() + "!" + target.address();
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : place) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("_TELM.NET.IS.Result.") + hex;
}

void clearPreviousResult(const host::sheet::Range& target) {
    auto& names = target.parent()->parent()->names();
    const auto previous = names.find(resultAreaName(target));
    if (!previous) return;
    try {
        previous->refersToRange()->clearContents();
    } catch (const host::RuntimeError&) {  // its sheet is gone: nothing to clear
    }
    previous->remove();
}

void rememberResult(const host::sheet::Range& target, long rows, long columns) {
    if (rows == 0 || columns == 0) return;
    const auto area = target.resize(static_cast<int>(rows), static_cast<int>(columns));
    auto name = target.parent()->parent()->names().add(resultAreaName(target), area);
    name->visible = false;
}

}  // namespace

long RunSqlStep(const std::string& connection, const std::string& sql, const host::sheet::RangePtr& target,
                bool withFieldNames) {
    host::ado::Connection c;
    c.open(ReplaceFolderPlaceholder(connection));
    host::ado::Recordset r;
    r.open(sql, c);
    if (!target || r.state() == 0) return 0;
    const auto& fields = r.fields();
    host::Variant rows;
    try {
        rows = r.getRows();
    } catch (const host::RuntimeError& e) {
        if (e.number() != host::ado::kNoCurrentRecord) throw;  // a result without rows
    }
    const bool table = rows.isArray() && rows.arrayValue().dimensions() == 2;
    const long records = table ? rows.arrayValue().ubound(2) - rows.arrayValue().lbound(2) + 1 : 0;
    const long height = records + (withFieldNames ? 1 : 0);
    const long width = fields.Count();
    // Refused before anything is written: a result that would run past the sheet's last row or column.
    if (target->row() + height - 1 > kLastRow || target->column() + width - 1 > kLastColumn)
        throw host::RuntimeError(host::err::InvalidArgument,
                                 "The result of " + std::to_string(height) + " rows and " + std::to_string(width) +
                                     " columns from " + target->address(false, false) +
                                     " would run past the last row or column of the sheet; nothing was written.");
    clearPreviousResult(*target);
    long row = 0;
    if (withFieldNames) {
        for (long f = 0; f < width; ++f) target->cells(1, static_cast<int>(f) + 1)->setValue(fields.Name(f));
        ++row;
    }
    if (table) {
        const auto& a = rows.arrayValue();
        for (long record = a.lbound(2); record <= a.ubound(2); ++record, ++row)
            for (long field = a.lbound(1); field <= a.ubound(1); ++field) {
                const host::Variant& value = a(field, record);
                target->cells(static_cast<int>(row) + 1, static_cast<int>(field - a.lbound(1)) + 1)
                    ->setValue(value.isNull() ? host::Variant() : value);
            }
    }
    rememberResult(*target, row, width);
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
