#pragma once
// Test set-up of SQLite databases: statements run on a data source, whose database file is created
// first when missing (the connection layer opens existing database files only, and SQLite takes an
// empty file as an empty database); and a database file in a folder of its own with table
// T(Name TEXT, Amount REAL, Code INTEGER).

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/odbc/ConnectionText.h"
#include "support/Odbc.h"
#include "support/TempFolder.h"

namespace testsupport {

// Creates the database file a connection text names when it is missing.
inline void createMissingDatabaseFile(const std::string& connection) {
    const std::string file = host::ado::planConnection(connection, "", "").databaseFile;
    if (!file.empty() && !std::filesystem::exists(file)) std::ofstream(file, std::ios::binary).close();
}

// Runs statements on a data source (test set-up, not through the add-in).
template <class Statements>
void runStatementList(const std::string& connection, const Statements& statements) {
    createMissingDatabaseFile(connection);
    host::ado::Connection c;
    c.open(connection);
    for (const auto& sql : statements) {
        host::ado::Recordset r;
        r.open(sql, c);
    }
}
inline void runStatements(const std::string& connection, std::initializer_list<const char*> statements) {
    runStatementList(connection, statements);
}
inline void runStatements(const std::string& connection, const std::vector<std::string>& statements) {
    runStatementList(connection, statements);
}

struct SqliteFile {
    TempFolder folder{"telm-ado"};
    std::string path = folder.file("data.db");
    std::string text = "Driver={SQLite3};Database=" + path + ";";
    SqliteFile() {
        runStatements(text, {"CREATE TABLE T (Name TEXT, Amount REAL, Code INTEGER)",
                             "INSERT INTO T VALUES ('Anna', 10.5, 1)", "INSERT INTO T VALUES ('Bartek', NULL, 2)",
                             "INSERT INTO T VALUES ('Zażółć', 0, 3)"});
    }
};

}  // namespace testsupport
