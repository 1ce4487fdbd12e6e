#include "host/ado/PivotRefresh.h"

#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace host::ado {

using sheet::PivotField;
using sheet::PivotFieldOrientation;
using sheet::PivotLine;
using sheet::PivotTable;

namespace {

struct Leaf {
    std::vector<std::string> items, captions;
    double value;
};

// The dimension part of a level or member name ("[Region].[Region]" -> "[Region]").
std::string dimensionOf(const std::string& name) {
    const auto close = name.find(']');
    return close == std::string::npos ? name : name.substr(0, close + 1);
}

// Runs a query and gives its [field, record] rows (an empty array for no rows).
Array query(const std::string& connection, const std::string& text) {
    ado::Connection c;
    c.open(sheet::untypedConnection(connection));
    ado::Recordset r;
    r.open(text, c);
    try {
        const Variant rows = r.getRows();
        return rows.isArray() ? rows.arrayValue() : Array();
    } catch (const RuntimeError& e) {
        if (e.number() != ado::kNoCurrentRecord) throw;
        return Array();  // no rows: an empty table, not an error
    }
}

std::vector<Leaf> leavesOf(const Array& rows, const std::vector<const PivotField*>& rowFields, bool olap) {
    std::vector<Leaf> leaves;
    if (rows.dimensions() != 2) return leaves;
    const long n = static_cast<long>(rowFields.size());
    for (long r = rows.lbound(2); r <= rows.ubound(2); ++r) {
        const Variant& value = rows(rows.lbound(1) + n, r);
        if (value.isEmpty() || value.isNull()) continue;
        Leaf leaf{{}, {}, value.toDouble()};
        for (long k = 0; k < n; ++k) {
            const std::string caption = rows(rows.lbound(1) + k, r).toString();
            leaf.captions.push_back(caption);
            leaf.items.push_back(olap ? dimensionOf(rowFields[k]->name) + ".[" + caption + "]" : caption);
        }
        leaves.push_back(std::move(leaf));
    }
    return leaves;
}

std::vector<Leaf> olapLeaves(const PivotTable& table, const std::vector<const PivotField*>& rowFields,
                             const PivotField& data) {
    std::string rowsSet;
    for (const PivotField* f : rowFields) rowsSet += (rowsSet.empty() ? "" : " * ") + f->name + ".members";
    std::string where;
    for (const PivotField* f : table.fieldsOf(PivotFieldOrientation::Page))
        if (!f->currentPage.empty()) where += (where.empty() ? "" : ",") + f->currentPage;
    std::string mdx = "SELECT {" + data.name + "} ON 0" + (rowsSet.empty() ? "" : ", " + rowsSet + " ON 1") +
                      " FROM [" + table.commandText + "]";
    if (!where.empty()) mdx += " WHERE (" + where + ")";
    return leavesOf(query(table.connection, mdx), rowFields, true);
}

std::vector<Leaf> relationalLeaves(const PivotTable& table, const std::vector<const PivotField*>& rowFields,
                                   const PivotField& data) {
    std::string columns;
    for (const PivotField* f : rowFields) columns += (columns.empty() ? "" : ", ") + f->name;
    std::string where;
    for (const PivotField* f : table.fieldsOf(PivotFieldOrientation::Page))
        if (!f->currentPage.empty())
            where += std::string(where.empty() ? " WHERE " : " AND ") + f->name + " = '" +
                     Replace(f->currentPage, "'", "''") + "'";
    std::string sql = "SELECT " + (columns.empty() ? "" : columns + ", ") + "SUM(" + data.name + ") FROM (" +
                      table.commandText + ") q" + where;
    if (!columns.empty()) sql += " GROUP BY " + columns + " ORDER BY " + columns;
    return leavesOf(query(table.connection, sql), rowFields, false);
}

PivotLine lineOf(const Leaf& leaf, std::size_t length, double value) {
    return {{leaf.items.begin(), leaf.items.begin() + static_cast<long>(length)},
            {leaf.captions.begin(), leaf.captions.begin() + static_cast<long>(length)},
            Variant(value)};
}

// The leaves with the subtotals of the outer fields that have them and the grand total.
std::vector<PivotLine> withTotals(const std::vector<Leaf>& leaves, const std::vector<const PivotField*>& rowFields) {
    const std::size_t n = rowFields.size();
    std::vector<PivotLine> lines;
    std::vector<double> sums(n, 0.0);
    double total = 0;
    auto closeGroups = [&](const Leaf& last, std::size_t fromLevel) {
        for (std::size_t k = n - 1; k-- > fromLevel;) {
            if (rowFields[k]->subtotals) lines.push_back(lineOf(last, k + 1, sums[k]));
            sums[k] = 0;
        }
    };
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        if (i > 0) {
            std::size_t differs = 0;
            while (differs < n && leaves[i].items[differs] == leaves[i - 1].items[differs]) ++differs;
            closeGroups(leaves[i - 1], differs);
        }
        lines.push_back(lineOf(leaves[i], n, leaves[i].value));
        for (std::size_t k = 0; k + 1 < n; ++k) sums[k] += leaves[i].value;
        total += leaves[i].value;
    }
    if (!leaves.empty()) closeGroups(leaves.back(), 0);
    lines.push_back({{}, {}, Variant(total)});
    return lines;
}

}  // namespace

void refreshPivotTable(sheet::Worksheet& sheet, PivotTable& table) {
    const auto rowFields = table.fieldsOf(PivotFieldOrientation::Row);
    const auto dataFields = table.fieldsOf(PivotFieldOrientation::Data);
    if (dataFields.empty()) throw RuntimeError(err::InvalidArgument, "The pivot table '" + table.name + "' has no data field.");
    const auto leaves = table.isOlap() ? olapLeaves(table, rowFields, *dataFields[0])
                                       : relationalLeaves(table, rowFields, *dataFields[0]);
    table.layOut(sheet, withTotals(leaves, rowFields));
}

}  // namespace host::ado
