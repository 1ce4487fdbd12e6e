#include "host/ado/SqliteExtensions.h"

#include <sqlite3.h>

#include <cstring>
#include <mutex>

namespace host::ado {

namespace {

constexpr const char* kRefusal = "load_extension() is not allowed: SQLite extensions are native code.";

void refuseLoad(sqlite3_context* context, int, sqlite3_value**) { sqlite3_result_error(context, kRefusal, -1); }

// Refuses every use of load_extension while a statement is prepared, whichever function the name
// resolves to.
int refuseLoadFunction(void*, int action, const char*, const char* function, const char*, const char*) {
    return action == SQLITE_FUNCTION && function && sqlite3_stricmp(function, "load_extension") == 0 ? SQLITE_DENY
                                                                                                      : SQLITE_OK;
}

// Runs inside every sqlite3_open of the process.
int guardConnection(sqlite3* db, char**, const sqlite3_api_routines*) {
    for (int arguments = 1; arguments <= 2; ++arguments)
        sqlite3_create_function(db, "load_extension", arguments, SQLITE_UTF8, nullptr, refuseLoad, nullptr, nullptr);
    sqlite3_set_authorizer(db, refuseLoadFunction, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    return SQLITE_OK;
}

}  // namespace

void refuseSqliteExtensions() {
    static std::once_flag once;
    std::call_once(once, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(guardConnection)); });
}

}  // namespace host::ado
