#pragma once
// Hooks into every SQLite connection that the SQLite ODBC driver opens in the test process (the driver
// and the test share the system's SQLite library): a count of the statements that the database ran,
// and an aggregate SUM that answers the text "xxx" when one of its values is "xxx" (as the server
// calculation's database does for a value the outside calculation has not computed yet).

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <string>

namespace testsupport {

// Statements whose text contains the watched word, run since the last reset.
class StatementCounter {
public:
    static StatementCounter& instance() {
        static StatementCounter counter;
        return counter;
    }
    void watch(const std::string& word) {
        word_ = word;
        count_ = 0;
    }
    int count() const { return count_; }
    void reset() { count_ = 0; }

    static int trace(unsigned type, void*, void* statement, void*) {
        if (type != SQLITE_TRACE_STMT) return 0;
        auto& self = instance();
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
        if (sql && !self.word_.empty() && std::strstr(sql, self.word_.c_str())) ++self.count_;
        return 0;
    }

private:
    std::string word_;
    std::atomic<int> count_{0};
};

namespace sqlitehooks {

struct SumState {
    double total;
    bool any;
    bool pending;
};

inline void sumStep(sqlite3_context* context, int, sqlite3_value** values) {
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(context, sizeof(SumState)));
    if (!s || sqlite3_value_type(values[0]) == SQLITE_NULL) return;
    const auto* text = sqlite3_value_text(values[0]);
    if (sqlite3_value_type(values[0]) == SQLITE_TEXT && text && std::strcmp(reinterpret_cast<const char*>(text), "xxx") == 0)
        s->pending = true;
    s->total += sqlite3_value_double(values[0]);
    s->any = true;
}

inline void sumFinal(sqlite3_context* context) {
    auto* s = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
    if (!s || !s->any)
        sqlite3_result_null(context);
    else if (s->pending)
        sqlite3_result_text(context, "xxx", -1, SQLITE_STATIC);
    else
        sqlite3_result_double(context, s->total);
}

inline int onOpen(sqlite3* db, char**, const void*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &StatementCounter::trace, nullptr);
    sqlite3_create_function(db, "SUM", 1, SQLITE_UTF8, nullptr, nullptr, &sumStep, &sumFinal);
    return SQLITE_OK;
}

inline bool install() {
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(&onOpen));
    return true;
}

}  // namespace sqlitehooks

// Installed once per test program, before the first connection.
inline const bool kSqliteHooks = sqlitehooks::install();

}  // namespace testsupport
