#include "host/odbc/SqliteSession.h"

#include <sqlite3.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

namespace host::ado {

namespace {

// The session whose database the driver is opening on this thread.
thread_local SqliteSession* opening = nullptr;

std::atomic<void (*)(const char*)> statementObserver{nullptr};

// SUM over the values of a group: whole numbers added exactly while they fit, any other number as a
// double; the first text that is no number is the answer; no value at all answers Null.
struct TextSum {
    std::int64_t whole;
    double real;
    bool any;
    bool inexact;  // a value that is no whole number, or whole numbers beyond 64 bits
    bool answered;  // `text` holds the answer
    char* text;
};

bool readsAsNumber(const unsigned char* text, int length, double& value) {
    const char* begin = reinterpret_cast<const char*>(text);
    const char* end = begin + length;
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
    if (begin < end && *begin == '+') ++begin;
    const auto [stop, error] = std::from_chars(begin, end, value);
    return begin < end && error == std::errc() && stop == end && std::isfinite(value);
}

void sumStep(sqlite3_context* context, int, sqlite3_value** values) {
    auto* sum = static_cast<TextSum*>(sqlite3_aggregate_context(context, sizeof(TextSum)));
    if (!sum) return sqlite3_result_error_nomem(context);
    sqlite3_value* value = values[0];
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL: return;
    case SQLITE_INTEGER: {
        const std::int64_t n = sqlite3_value_int64(value);
        if (!sum->inexact && __builtin_add_overflow(sum->whole, n, &sum->whole)) sum->inexact = true;
        sum->real += static_cast<double>(n);
        break;
    }
    case SQLITE_TEXT: {
        double number = 0;
        const unsigned char* text = sqlite3_value_text(value);
        const int length = sqlite3_value_bytes(value);
        if (!readsAsNumber(text, length, number)) {
            if (!sum->answered) {
                sum->text = static_cast<char*>(sqlite3_malloc(length + 1));
                if (!sum->text) return sqlite3_result_error_nomem(context);
                std::memcpy(sum->text, text, static_cast<std::size_t>(length) + 1);
                sum->answered = true;
            }
            return;
        }
        sum->inexact = true;
        sum->real += number;
        break;
    }
    default:
        sum->inexact = true;
        sum->real += sqlite3_value_double(value);
    }
    sum->any = true;
}

void sumFinal(sqlite3_context* context) {
    auto* sum = static_cast<TextSum*>(sqlite3_aggregate_context(context, 0));
    if (sum && sum->answered)
        sqlite3_result_text(context, sum->text, -1, sqlite3_free);
    else if (!sum || !sum->any)
        sqlite3_result_null(context);
    else if (!sum->inexact)
        sqlite3_result_int64(context, sum->whole);
    else
        sqlite3_result_double(context, sum->real);
}

}  // namespace

SqliteSession::SqliteSession(bool textSums) : textSums_(textSums) {
    static std::once_flag registered;
    std::call_once(registered, [] { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&SqliteSession::onOpen)); });
}

int SqliteSession::onOpen(sqlite3* db, char**, const void*) {
    SqliteSession* self = std::exchange(opening, nullptr);
    if (!self) return SQLITE_OK;  // a database opened for someone else
    self->db_ = db;
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_ROW, &SqliteSession::onTrace, self);
    if (self->textSums_)
        sqlite3_create_function(db, "SUM", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, &sumStep, &sumFinal);
    return SQLITE_OK;
}

void SqliteSession::open(const std::function<void()>& connect) {
    opening = this;
    try {
        connect();
    } catch (...) {
        opening = nullptr;
        throw;
    }
    opening = nullptr;
}

void SqliteSession::watch(const std::string& sql) {
    watched_ = sql;
    statement_ = nullptr;
    values_.clear();
    records_ = 0;
    fields_ = 0;
}

const std::vector<SqliteValue>* SqliteSession::rows(long records, long fields) const {
    if (!statement_ || records != records_ || fields != fields_) return nullptr;
    return &values_;
}

int SqliteSession::onTrace(unsigned type, void* context, void* statement, void*) {
    auto* self = static_cast<SqliteSession*>(context);
    auto* stmt = static_cast<sqlite3_stmt*>(statement);
    if (type == SQLITE_TRACE_STMT) {
        if (auto observer = statementObserver.load()) observer(sqlite3_sql(stmt));
        return 0;
    }
    if (!self->statement_) {
        const char* sql = sqlite3_sql(stmt);
        if (self->watched_.empty() || !sql || self->watched_ != sql) return 0;
        self->statement_ = stmt;
        self->fields_ = sqlite3_column_count(stmt);
    }
    if (stmt == self->statement_) self->keepRow(stmt);
    return 0;
}

void SqliteSession::keepRow(sqlite3_stmt* statement) {
    for (int c = 0; c < fields_; ++c) {
        SqliteValue value;
        value.type = static_cast<SqliteValue::Type>(sqlite3_column_type(statement, c));
        if (value.type == SqliteValue::Integer) value.integer = sqlite3_column_int64(statement, c);
        if (value.type == SqliteValue::Real) value.real = sqlite3_column_double(statement, c);
        values_.push_back(value);
    }
    ++records_;
}

void configureSqliteLibrary() { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); }

void setSqliteStatementObserver(void (*observer)(const char* sql)) { statementObserver = observer; }

}  // namespace host::ado
