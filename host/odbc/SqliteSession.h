#pragma once
// What this system adds to a database that the SQLite ODBC driver opens for it (internal to the data layers;
// the driver and this library share the system's SQLite library):
// - the values of each result row as SQLite holds them. The driver passes every value on as text,
//   numbers with 15 significant digits, and types a column by the first row of the result, so that a
//   value of another type in a later row (a UNION ALL of texts and numbers) changes its type.
// - on the Access route, an aggregate SUM as that route's databases have it: a text that is no number
//   among the summed values makes SUM answer that text.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace host::ado {

// One value of a row as SQLite holds it.
struct SqliteValue {
    enum Type : std::uint8_t { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };  // SQLite's type codes
    Type type = Null;
    std::int64_t integer = 0;
    double real = 0;
};

class SqliteSession {
public:
    explicit SqliteSession(bool textSums);
    SqliteSession(const SqliteSession&) = delete;
    SqliteSession& operator=(const SqliteSession&) = delete;

    // Runs `connect`, during which the driver opens the session's database.
    void open(const std::function<void()>& connect);
    // Keeps the rows of the next run of the statement `sql`, forgetting those kept before.
    void watch(const std::string& sql);
    // The kept rows of the watched statement, when it ran and gave `records` rows of `fields` values;
    // nullptr otherwise. Values record after record.
    const std::vector<SqliteValue>* rows(long records, long fields) const;

private:
    static int onTrace(unsigned type, void* context, void* statement, void*);
    static int onOpen(sqlite3* db, char**, const void*);
    void keepRow(sqlite3_stmt* statement);

    bool textSums_;
    sqlite3* db_ = nullptr;
    std::string watched_;
    sqlite3_stmt* statement_ = nullptr;  // the watched statement, once it gave a row
    std::vector<SqliteValue> values_;
    long records_ = 0;
    long fields_ = 0;
};

// Sets up the process's SQLite library before it starts (before the first SQLite call of the process;
// later it changes nothing): without its memory statistics, which nothing here reads and which cost
// every one of its allocations a lock, a few dozen per statement.
void configureSqliteLibrary();

// Called with the text of every statement that a session's database starts (none by default); lets a
// caller see what reached the database.
void setSqliteStatementObserver(void (*observer)(const char* sql));

}  // namespace host::ado
