#include "host/odbc/SqliteGuard.h"

#include <sqlite3.h>

#include <cstring>
#include <mutex>

namespace host::ado {

namespace {

constexpr const char* kRefusal = "load_extension() is not allowed: SQLite extensions are native code.";

void refuseLoad(sqlite3_context* context, int, sqlite3_value**) { sqlite3_result_error(context, kRefusal, -1); }

// Refuses, while a statement is prepared, every use of load_extension (whichever function the name
// resolves to) and every attaching of a database file (ATTACH and VACUUM INTO create the file they
// name, whatever the connection's NoCreat); a database in memory may be attached.
int refuseLoadAndAttach(void*, int action, const char* first, const char* second, const char*, const char*) {
    if (action == SQLITE_FUNCTION && second && sqlite3_stricmp(second, "load_extension") == 0) return SQLITE_DENY;
    if (action == SQLITE_ATTACH && first && first[0] != '\0' && std::strcmp(first, ":memory:") != 0) return SQLITE_DENY;
    return SQLITE_OK;
}

// Runs inside every sqlite3_open of the process.
int guardConnection(sqlite3* db, char**, const sqlite3_api_routines*) {
    for (int arguments = 1; arguments <= 2; ++arguments)
        sqlite3_create_function(db, "load_extension", arguments, SQLITE_UTF8, nullptr, refuseLoad, nullptr, nullptr);
    sqlite3_set_authorizer(db, refuseLoadAndAttach, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    return SQLITE_OK;
}

}  // namespace

void guardSqliteConnections() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(guardConnection)); });
}

}  // namespace host::ado
