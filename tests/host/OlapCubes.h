#pragma once
// Cubes for the tests of the cube engine: an orders table in a SQLite source and the local-cube
// statements that build a sales cube from it, and helpers that run MDX through the data-access layer
// as the add-in does.

#include <string>
#include <vector>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/base/RuntimeError.h"
#include "support/Odbc.h"
#include "support/SqliteFile.h"
#include "support/TempFolder.h"

namespace olaptest {

// Runs statements on an ODBC connection text.
inline void runSql(const std::string& connection, const std::vector<std::string>& statements) {
    testsupport::createMissingDatabaseFile(connection);
    host::ado::Connection c;
    c.open(connection);
    for (const std::string& sql : statements) {
        host::ado::Recordset r;
        r.open(sql, c);
    }
}

// A connection-text value in double quotes (a quote doubled inside).
inline std::string providerValue(const std::string& value) {
    std::string out = "\"";
    for (char c : value) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Orders: Poland (Warsaw 150 in 2012, Krakow 30 in 2013), Germany (Berlin 200 in 2012, Munich 20 in
// 2013), France (Paris 7.5 in 2013); 407.5 in all.
inline const std::vector<std::string> kOrders = {
    "CREATE TABLE orders (id INTEGER, country TEXT, city_id INTEGER, city TEXT, year INTEGER, month INTEGER, "
    "amount DOUBLE PRECISION)",
    "INSERT INTO orders VALUES (1, 'Poland', 1, 'Warsaw', 2012, 1, 100)",
    "INSERT INTO orders VALUES (2, 'Poland', 1, 'Warsaw', 2012, 2, 50)",
    "INSERT INTO orders VALUES (3, 'Poland', 2, 'Kraków', 2013, 1, 30)",
    "INSERT INTO orders VALUES (4, 'Germany', 3, 'Berlin', 2012, 1, 200)",
    "INSERT INTO orders VALUES (5, 'Germany', 4, 'Munich', 2013, 3, 20)",
    "INSERT INTO orders VALUES (6, 'France', 5, 'Paris', 2013, 12, 7.5)",
};

inline const std::string kCreateSales =
    "CREATE CUBE [Sales] (DIMENSION [Region], LEVEL [All Regions] TYPE ALL, LEVEL [Country], LEVEL [City], "
    "DIMENSION [Time] TYPE TIME, LEVEL [All Time] TYPE ALL, LEVEL [Year] TYPE YEAR, LEVEL [Month] TYPE MONTH, "
    "MEASURE [Amount] FUNCTION SUM FORMAT '#,##0.00', MEASURE [Orders] FUNCTION COUNT, "
    "MEASURE [Biggest] FUNCTION MAX)";
inline const std::string kInsertSales =
    "INSERT INTO [Sales] ([Region].[Country], [Region].[City].KEY, [Region].[City].NAME, [Time].[Year], "
    "[Time].[Month], [Measures].[Amount], [Measures].[Orders], [Measures].[Biggest]) "
    "SELECT country, city_id, city, year, month, amount, id, amount FROM orders";

// A SQLite source of the orders and the text that builds the sales cube from it into a cube file.
struct SalesSource {
    testsupport::TempFolder folder{"telm-olap"};
    std::string database = folder.file("sales.db");
    std::string source = "Driver={SQLite3};Database=" + database + ";";
    std::string cubeFile = folder.file("sales.cub");

    SalesSource() { runSql(source, kOrders); }

    std::string buildText(const std::string& create = kCreateSales, const std::string& insert = kInsertSales) const {
        return "Provider=MSOLAP;Location=" + cubeFile + ";SOURCE_DSN=" + providerValue(source) + ";CREATECUBE=" +
               providerValue(create) + ";INSERTINTO=" + providerValue(insert);
    }
    std::string openText() const { return "Provider=MSOLAP.2;Data Source=" + cubeFile + ";Initial Catalog=;"; }
};

// The result of an MDX query as the add-in reads it: field names and GetRows' [field, record] array.
struct Result {
    std::vector<std::string> fields;
    host::Variant rows;
    const host::Variant& at(long field, long record) const { return rows.arrayValue()(field, record); }
    long records() const { return rows.arrayValue().count(2); }
};

inline Result runMdx(const std::string& connection, const std::string& mdx) {
    host::ado::Connection c;
    c.open(connection);
    host::ado::Recordset r;
    r.open(mdx, c);
    Result result;
    for (long i = 0; i < r.fields().Count(); ++i) result.fields.push_back(r.fields().Name(i));
    result.rows = r.getRows();
    r.close();
    c.close();
    return result;
}

// The first cell of a query's result.
inline host::Variant firstCell(const std::string& connection, const std::string& mdx) {
    return runMdx(connection, mdx).at(0, 0);
}

// The description of the error a call raises ("" when it raises none).
template <class Call>
std::string errorText(Call call) {
    try {
        call();
    } catch (const host::RuntimeError& e) {
        return e.description();
    }
    return {};
}

}  // namespace olaptest
