#include "host/ado/QueryTableRefresh.h"

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/SqlStatements.h"
#include "host/sheet/Range.h"

namespace host::ado {

namespace {

constexpr int kLastRow = 1048576;

// The rows of the statement, field names first when asked: [row][column].
std::vector<std::vector<Variant>> resultRows(const sheet::QueryTable& table) {
    Connection connection;
    connection.open(sheet::untypedConnection(table.connection));
    Recordset records;
    records.open(table.commandText, connection);
    std::vector<std::vector<Variant>> rows;
    if (records.state() == adStateClosed) return rows;
    const Fields& fields = records.fields();
    if (table.fieldNames) {
        rows.emplace_back();
        for (long f = 0; f < fields.Count(); ++f) rows.back().emplace_back(fields.Name(f));
    }
    Variant all;
    try {
        all = records.getRows();
    } catch (const RuntimeError&) {  // no rows
        return rows;
    }
    const Array& values = all.arrayValue();
    for (long r = 0; r < values.count(2); ++r) {
        rows.emplace_back();
        for (long f = 0; f < values.count(1); ++f) rows.back().push_back(values(values.lbound(1) + f, values.lbound(2) + r));
    }
    return rows;
}

}  // namespace

void refreshQueryTable(sheet::Worksheet& sheet, sheet::QueryTable& table) {
    // The SQL comes with the workbook: it runs as written, one statement, nothing appended.
    if (addsStatements("SELECT 1", table.commandText))
        throw RuntimeError(err::InvalidArgument,
                           "The query of the query table '" + table.name + "' holds more than one statement.");
    const auto rows = resultRows(table);
    const int columns = rows.empty() ? 0 : static_cast<int>(rows.front().size());
    const auto& old = table.resultRange;
    if (old.top + static_cast<long>(rows.size()) - 1 > kLastRow)
        throw RuntimeError(err::InvalidArgument, "The query table '" + table.name + "' does not fit on the sheet.");
    for (int r = old.top; r <= old.bottom; ++r)
        for (int c = old.left; c <= old.right; ++c)
            if (r - old.top >= static_cast<int>(rows.size()) || c - old.left >= columns) sheet.cells(r, c)->setValue(Variant());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int c = 0; c < columns; ++c) sheet.cells(old.top + static_cast<int>(r), old.left + c)->setValue(rows[r][c]);
    table.resultRange = {old.top, old.left, old.top + std::max(1, static_cast<int>(rows.size())) - 1,
                         old.left + std::max(1, columns) - 1};
}

}  // namespace host::ado
