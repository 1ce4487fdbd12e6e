#pragma once
// A SQLite database file in a folder of its own, with table T(Name TEXT, Amount REAL, Code INTEGER),
// reached through the SQLite3 ODBC driver. The connection layer opens existing database files only,
// so a new database starts as an empty file.

#include <fstream>
#include <initializer_list>
#include <string>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "support/Odbc.h"
#include "support/TempFolder.h"

namespace testsupport {

// Creates an empty database file (SQLite takes an empty file as an empty database).
inline void createDatabaseFile(const std::string& path) { std::ofstream(path, std::ios::binary).close(); }

// Runs statements on a data source (test set-up, not through the add-in).
inline void runStatements(const std::string& connection, std::initializer_list<const char*> statements) {
    host::ado::Connection c;
    c.open(connection);
    for (const char* sql : statements) {
        host::ado::Recordset r;
        r.open(sql, c);
    }
}

struct SqliteFile {
    TempFolder folder{"telm-ado"};
    std::string path = folder.file("data.db");
    std::string text = "Driver={SQLite3};Database=" + path + ";";
    SqliteFile() {
        createDatabaseFile(path);
        runStatements(text, {"CREATE TABLE T (Name TEXT, Amount REAL, Code INTEGER)",
                             "INSERT INTO T VALUES ('Anna', 10.5, 1)", "INSERT INTO T VALUES ('Bartek', NULL, 2)",
                             "INSERT INTO T VALUES ('Zażółć', 0, 3)"});
    }
};

}  // namespace testsupport
