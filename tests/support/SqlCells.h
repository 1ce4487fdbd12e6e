#pragma once
// The add-in started through the companion with the services off (the state after start-up), a
// SQLite database in the add-in folder reached through the SQLite3 ODBC driver, and a sheet whose
// cells take GETDATAODBC formulas.

#include <string>

#include "core/A_Deklaracje.h"
#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "support/AddInHost.h"
#include "support/Odbc.h"
#include "support/SqliteFile.h"
#include "support/PrintVariant.h"

namespace testsupport {

// A text as a formula's string literal.
inline std::string quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

struct SqlCells : AddInHost {
    std::string database = folder.file("sales.db");
    std::string connection = "Driver={SQLite3};Database=" + database + ";";
    host::sheet::WorksheetPtr sheet;

    SqlCells() {
        runStatements(connection, {"CREATE TABLE Sales (Region TEXT, Amount REAL, Code INTEGER, Note TEXT)",
                                   "INSERT INTO Sales VALUES ('Anna', 10.5, 1, NULL)",
                                   "INSERT INTO Sales VALUES ('Adam', 0, 11, '.')",
                                   "INSERT INTO Sales VALUES ('Bartek', 7, 21, 'x')"});
        start();
        sheet = app->workbooks().add()->sheet(1);
    }

    // The value of a cell after entering =GETDATAODBC(connection, sql[, fields]).
    host::Variant odbc(const std::string& sql, const std::string& fields = "FALSE", const char* address = "A1") {
        return formula(address, "=GETDATAODBC(" + quote(connection) + "," + quote(sql) +
                                    (fields.empty() ? "" : "," + fields) + ")");
    }
    host::Variant formula(const char* address, const std::string& text) {
        sheet->range(address)->setFormula(text);
        return sheet->range(address)->value();
    }
    // Enters an array formula over `area` and gives its values.
    host::Variant arrayFormula(const char* area, const std::string& sql, const std::string& fields = "FALSE") {
        sheet->range(area)->setFormulaArray("=GETDATAODBC(" + quote(connection) + "," + quote(sql) + "," + fields + ")");
        return sheet->range(area)->value();
    }
};

}  // namespace testsupport
