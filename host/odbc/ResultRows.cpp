#include "host/odbc/ResultRows.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/Odbc.h"
#include "host/odbc/OdbcErrors.h"
#include "host/odbc/StatementDeadline.h"

namespace host::ado::odbc {

namespace {

enum class Kind { Boolean, Whole, Number, Moment, TimeOfDay, Text };

Kind kindOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIT: return Kind::Boolean;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: return Kind::Whole;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_NUMERIC:
    case SQL_DECIMAL: return Kind::Number;
    case SQL_TYPE_TIME:
    case SQL_TIME: return Kind::TimeOfDay;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATE:
    case SQL_TIMESTAMP: return Kind::Moment;
    default: return Kind::Text;
    }
}

double secondsOfDay(double hours, double minutes, double seconds) {
    return (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0;
}

// A text value read in chunks and decoded once whole, so that a character split between two chunks
// (a surrogate pair of UTF-16) stays one character. `Unit` is char for UTF-8, SQLWCHAR for UTF-16.
template <class Unit>
Variant readText(SQLHSTMT stmt, SQLUSMALLINT column, std::string_view component) {
    constexpr SQLSMALLINT cType = sizeof(Unit) == 1 ? SQL_C_CHAR : SQL_C_WCHAR;
    std::basic_string<Unit> whole;
    Unit buffer[4096];
    constexpr std::size_t capacity = sizeof buffer / sizeof buffer[0] - 1;  // one unit for the terminator
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, cType, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) break;
        check(rc, SQL_HANDLE_STMT, stmt, component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        const bool truncated = indicator == SQL_NO_TOTAL ||
                               indicator / static_cast<SQLLEN>(sizeof(Unit)) > static_cast<SQLLEN>(capacity);
        whole.append(buffer, truncated ? capacity : static_cast<std::size_t>(indicator) / sizeof(Unit));
        if (rc == SQL_SUCCESS) break;
    }
    if constexpr (sizeof(Unit) == 1)
        return whole;
    else
        return fromWide(whole.data(), whole.size());
}

// A value of a number column of SQLite read as text (the driver holds every value as text): a text that
// is a number whole is the number, any other stays the text. For results whose values SQLite itself
// gave (sqliteValue) this is not needed.
Variant typelessNumber(const Variant& text, Kind kind) {
    if (!text.isString()) return text;
    const std::string& digits = text.stringValue();
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return text;
    if (kind == Kind::Whole && value == std::trunc(value) && value >= INT_MIN && value <= INT_MAX)
        return static_cast<int>(value);
    return value;
}

// A value as SQLite holds it, in place of `driverValue` (the driver's text of it): a number with all
// its digits, Null, or the text or blob as the driver read it.
Variant sqliteValue(const SqliteValue& value, Variant&& driverValue) {
    switch (value.type) {
    case SqliteValue::Integer:
        if (value.integer >= INT_MIN && value.integer <= INT_MAX) return static_cast<int>(value.integer);
        return static_cast<double>(value.integer);
    case SqliteValue::Real: return value.real;
    case SqliteValue::Null: return Variant::null();
    default: return std::move(driverValue);
    }
}

// Values of SQLite are typed one by one: by SQLite itself when the session kept the result's rows,
// else by reading the texts of number columns. Columns of dates, times and truth values keep the
// driver's reading.
void typeSqliteValues(std::vector<Variant>& values, const std::vector<Kind>& kinds,
                      const std::vector<SqliteValue>* exact) {
    const std::size_t columns = kinds.size();
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Kind kind = kinds[i % columns];
        if (kind != Kind::Whole && kind != Kind::Number && kind != Kind::Text) continue;
        if (exact)
            values[i] = sqliteValue((*exact)[i], std::move(values[i]));
        else if (kind != Kind::Text)
            values[i] = typelessNumber(values[i], kind);
    }
}

// Reads column `column` of the current row as the kind of its SQL type.
Variant readValue(SQLHSTMT stmt, SQLUSMALLINT column, Kind kind, bool narrowText, std::string_view component) {
    // SQLite's numbers are typed afterwards (typeSqliteValues).
    if (narrowText && (kind == Kind::Whole || kind == Kind::Number)) return readText<char>(stmt, column, component);
    SQLLEN indicator = 0;
    switch (kind) {
    case Kind::Boolean:
    case Kind::Whole: {
        SQLBIGINT value = 0;
        check(SQLGetData(stmt, column, SQL_C_SBIGINT, &value, 0, &indicator), SQL_HANDLE_STMT, stmt, component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        if (kind == Kind::Boolean) return value != 0;
        if (value >= INT_MIN && value <= INT_MAX) return static_cast<int>(value);
        return static_cast<double>(value);
    }
    case Kind::Number: {
        double value = 0;
        check(SQLGetData(stmt, column, SQL_C_DOUBLE, &value, 0, &indicator), SQL_HANDLE_STMT, stmt, component);
        return indicator == SQL_NULL_DATA ? Variant::null() : Variant(value);
    }
    case Kind::Moment: {
        SQL_TIMESTAMP_STRUCT t{};
        check(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator), SQL_HANDLE_STMT, stmt,
                    component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        const double day = t.year == 0 ? 0 : dateSerial(t.year, t.month, t.day);
        return Date{day + secondsOfDay(t.hour, t.minute, t.second + t.fraction / 1e9)};
    }
    case Kind::TimeOfDay: {
        // Read as a time, not a timestamp: drivers fill a timestamp's date with today's.
        SQL_TIME_STRUCT t{};
        check(SQLGetData(stmt, column, SQL_C_TYPE_TIME, &t, sizeof t, &indicator), SQL_HANDLE_STMT, stmt,
                    component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        return Date{secondsOfDay(t.hour, t.minute, t.second)};
    }
    case Kind::Text: break;
    }
    return narrowText ? readText<char>(stmt, column, component) : readText<SQLWCHAR>(stmt, column, component);
}

// The name of result column `column`, in the text form of the connection.
std::string columnName(SQLHSTMT stmt, SQLUSMALLINT column, bool narrowText, SQLSMALLINT& type,
                       std::string_view component) {
    SQLSMALLINT nameLength = 0, decimals = 0, nullable = 0;
    SQLULEN size = 0;
    if (narrowText) {
        SQLCHAR name[1024];
        check(SQLDescribeCol(stmt, column, name, sizeof name, &nameLength, &type, &size, &decimals, &nullable),
                    SQL_HANDLE_STMT, stmt, component);
        return std::string(reinterpret_cast<const char*>(name),
                           std::min<std::size_t>(static_cast<std::size_t>(nameLength), sizeof name - 1));
    }
    SQLWCHAR name[512];
    check(SQLDescribeColW(stmt, column, name, 512, &nameLength, &type, &size, &decimals, &nullable),
                SQL_HANDLE_STMT, stmt, component);
    return fromWide(name, std::min<std::size_t>(static_cast<std::size_t>(nameLength), 511));
}

// Reads the statement's current result into `rows`, typing SQLite's values by what `sqlite` saw of
// them (nullptr: by their columns); false for a statement without a result (an UPDATE).
bool readResult(ConnectionHandle& link, SQLHSTMT stmt, const std::string& component, SqliteSession* sqlite,
                ResultRows& rows) {
    SQLSMALLINT columns = 0;
    check(SQLNumResultCols(stmt, &columns), SQL_HANDLE_STMT, stmt, component);
    if (columns == 0) return false;
    const bool narrowText = link.narrowText();
    std::vector<Kind> kinds;
    rows.values.reserve(static_cast<std::size_t>(columns));  // room for one record
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
        SQLSMALLINT type = 0;
        rows.names.push_back(columnName(stmt, c, narrowText, type, component));
        kinds.push_back(kindOf(type));
    }
    for (;;) {
        const SQLRETURN fetched = SQLFetch(stmt);
        if (fetched == SQL_NO_DATA) break;
        check(fetched, SQL_HANDLE_STMT, stmt, component);
        for (SQLUSMALLINT c = 1; c <= columns; ++c)
            rows.values.push_back(readValue(stmt, c, kinds[c - 1], narrowText, component));
        ++rows.records;
    }
    if (narrowText) typeSqliteValues(rows.values, kinds, sqlite ? sqlite->rows(rows.records, columns) : nullptr);
    return true;
}

}  // namespace

bool readRows(ConnectionHandle& link, const ConnectionPlan& plan, const std::string& sql, int timeout,
              ResultRows& rows, std::vector<ResultRows>* later) {
    const std::string& component = plan.component;
    StatementHandle statement(link);
    const SQLHSTMT stmt = statement.handle();
    statement.setQueryTimeout(timeout);
    // The SQLite driver does not keep the time-out itself: a watch cancels the statement.
    StatementDeadline deadline(stmt, plan.sqlite ? timeout : 0);
    SqliteSession* sqlite = link.sqliteSession();
    try {
        if (sqlite) sqlite->watch(sql);
        const SQLRETURN rc = link.execDirect(stmt, sql);
        if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, stmt, component);
        if (!readResult(link, stmt, component, sqlite, rows)) return false;
        if (later)
            for (SQLRETURN more = SQLMoreResults(stmt); more != SQL_NO_DATA; more = SQLMoreResults(stmt)) {
                check(more, SQL_HANDLE_STMT, stmt, component);
                // The session keeps the rows of the text's first result only.
                readResult(link, stmt, component, nullptr, later->emplace_back());
            }
        statement.keep();
    } catch (const RuntimeError& e) {
        if (deadline.expired() && e.number() != kTimedOut)
            throw RuntimeError(kTimedOut, "[" + component + "] Query timeout expired");
        throw;
    }
    return true;
}

}  // namespace host::ado::odbc
