#include "host/ado/Recordset.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <exception>
#include <iterator>
#include <optional>

#include "host/ado/Connection.h"
#include "host/ado/Errors.h"
#include "host/ado/Odbc.h"
#include "host/ado/StatementDeadline.h"
#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/olap/CubeConnection.h"

namespace host::ado {

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
        odbc::check(rc, SQL_HANDLE_STMT, stmt, component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        const bool truncated = indicator == SQL_NO_TOTAL ||
                               indicator / static_cast<SQLLEN>(sizeof(Unit)) > static_cast<SQLLEN>(capacity);
        whole.append(buffer, truncated ? capacity : static_cast<std::size_t>(indicator) / sizeof(Unit));
        if (rc == SQL_SUCCESS) break;
    }
    if constexpr (sizeof(Unit) == 1)
        return whole;
    else
        return odbc::fromWide(whole.data(), whole.size());
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
        odbc::check(SQLGetData(stmt, column, SQL_C_SBIGINT, &value, 0, &indicator), SQL_HANDLE_STMT, stmt, component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        if (kind == Kind::Boolean) return value != 0;
        if (value >= INT_MIN && value <= INT_MAX) return static_cast<int>(value);
        return static_cast<double>(value);
    }
    case Kind::Number: {
        double value = 0;
        odbc::check(SQLGetData(stmt, column, SQL_C_DOUBLE, &value, 0, &indicator), SQL_HANDLE_STMT, stmt, component);
        return indicator == SQL_NULL_DATA ? Variant::null() : Variant(value);
    }
    case Kind::Moment: {
        SQL_TIMESTAMP_STRUCT t{};
        odbc::check(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator), SQL_HANDLE_STMT, stmt,
                    component);
        if (indicator == SQL_NULL_DATA) return Variant::null();
        const double day = t.year == 0 ? 0 : dateSerial(t.year, t.month, t.day);
        return Date{day + secondsOfDay(t.hour, t.minute, t.second + t.fraction / 1e9)};
    }
    case Kind::TimeOfDay: {
        // Read as a time, not a timestamp: drivers fill a timestamp's date with today's.
        SQL_TIME_STRUCT t{};
        odbc::check(SQLGetData(stmt, column, SQL_C_TYPE_TIME, &t, sizeof t, &indicator), SQL_HANDLE_STMT, stmt,
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
        odbc::check(SQLDescribeCol(stmt, column, name, sizeof name, &nameLength, &type, &size, &decimals, &nullable),
                    SQL_HANDLE_STMT, stmt, component);
        return std::string(reinterpret_cast<const char*>(name),
                           std::min<std::size_t>(static_cast<std::size_t>(nameLength), sizeof name - 1));
    }
    SQLWCHAR name[512];
    odbc::check(SQLDescribeColW(stmt, column, name, 512, &nameLength, &type, &size, &decimals, &nullable),
                SQL_HANDLE_STMT, stmt, component);
    return odbc::fromWide(name, std::min<std::size_t>(static_cast<std::size_t>(nameLength), 511));
}

// Sets the flag when the scope ends in an exception: a connection whose statement failed is not pooled.
class FailureWatch {
public:
    explicit FailureWatch(bool& failed) : failed_(failed) {}
    FailureWatch(const FailureWatch&) = delete;
    FailureWatch& operator=(const FailureWatch&) = delete;
    ~FailureWatch() {
        if (std::uncaught_exceptions() > pending_) failed_ = true;
    }

private:
    bool& failed_;
    const int pending_ = std::uncaught_exceptions();
};

}  // namespace

const std::string& Fields::Name(long index) const {
    if (index < 0 || index >= Count()) throw RuntimeError(err::SubscriptOutOfRange);
    return names_[static_cast<std::size_t>(index)];
}

void Recordset::open(const std::string& source, Connection& activeConnection, int, int) {
    if (open_) throw RuntimeError(kObjectOpen, objectModelDescription(kObjectOpen));
    if (activeConnection.state() != adStateOpen)
        throw RuntimeError(kConnectionUnusable, objectModelDescription(kConnectionUnusable));
    if (activeConnection.olap_) {  // MDX, answered by the cube engine
        olap::CellSet cells = activeConnection.olap_->execute(source, activeConnection.commandTimeout);
        fields_.names_ = std::move(cells.fields);
        values_.clear();
        for (auto& record : cells.records) {
            record.resize(fields_.names_.size());
            std::move(record.begin(), record.end(), std::back_inserter(values_));
        }
        recordCount_ = static_cast<long>(cells.records.size());
        open_ = true;
        return;
    }
    const FailureWatch failure(activeConnection.failed_);
    std::string rewritten;
    const std::string& sql = activeConnection.prepare(source, rewritten);
    const std::string& component = activeConnection.plan_->component;

    odbc::StatementHandle statement(*activeConnection.handle_);
    const SQLHSTMT stmt = statement.handle();
    statement.setQueryTimeout(activeConnection.commandTimeout);
    // The SQLite driver does not keep the time-out itself: a watch cancels the statement.
    StatementDeadline deadline(stmt, activeConnection.plan_->sqlite ? activeConnection.commandTimeout : 0);
    const bool narrowText = activeConnection.handle_->narrowText();
    SqliteSession* sqlite = activeConnection.handle_->sqliteSession();
    // The current result of the statement; nullopt for a statement without one (an UPDATE).
    auto readResult = [&](bool first) -> std::optional<Result> {
        SQLSMALLINT columns = 0;
        odbc::check(SQLNumResultCols(stmt, &columns), SQL_HANDLE_STMT, stmt, component);
        if (columns == 0) return std::nullopt;
        Result result;
        std::vector<Kind> kinds;
        result.values.reserve(static_cast<std::size_t>(columns));  // room for one record
        for (SQLUSMALLINT c = 1; c <= columns; ++c) {
            SQLSMALLINT type = 0;
            result.fields.names_.push_back(columnName(stmt, c, narrowText, type, component));
            kinds.push_back(kindOf(type));
        }
        for (;;) {
            const SQLRETURN fetched = SQLFetch(stmt);
            if (fetched == SQL_NO_DATA) break;
            odbc::check(fetched, SQL_HANDLE_STMT, stmt, component);
            for (SQLUSMALLINT c = 1; c <= columns; ++c)
                result.values.push_back(readValue(stmt, c, kinds[c - 1], narrowText, component));
            ++result.records;
        }
        // The session keeps the rows of the text's first result only.
        if (narrowText)
            typeSqliteValues(result.values, kinds, sqlite && first ? sqlite->rows(result.records, columns) : nullptr);
        return result;
    };
    std::optional<Result> first;
    std::vector<Result> later;
    try {
        if (sqlite) sqlite->watch(sql);
        const SQLRETURN rc = activeConnection.handle_->execDirect(stmt, sql);
        if (rc != SQL_NO_DATA) odbc::check(rc, SQL_HANDLE_STMT, stmt, component);
        first = readResult(true);
        if (!first) return;  // no result: the recordset stays closed
        for (SQLRETURN more = SQLMoreResults(stmt); more != SQL_NO_DATA; more = SQLMoreResults(stmt)) {
            odbc::check(more, SQL_HANDLE_STMT, stmt, component);
            later.push_back(readResult(false).value_or(Result{}));
        }
        statement.keep();
    } catch (const RuntimeError& e) {
        if (deadline.expired() && e.number() != kTimedOut)
            throw RuntimeError(kTimedOut, "[" + component + "] Query timeout expired");
        throw;
    }
    std::reverse(later.begin(), later.end());
    later_ = std::move(later);
    show(std::move(*first));
}

void Recordset::show(Result&& result) {
    fields_ = std::move(result.fields);
    values_ = std::move(result.values);
    recordCount_ = result.records;
    open_ = true;
}

int Recordset::state() const { return open_ ? adStateOpen : adStateClosed; }

void Recordset::close() {
    requireOpen();
    open_ = false;
    fields_ = Fields();
    values_.clear();
    recordCount_ = 0;
    later_.clear();
}

bool Recordset::nextRecordset() {
    requireOpen();
    if (later_.empty()) {
        close();
        return false;
    }
    Result next = std::move(later_.back());
    later_.pop_back();
    show(std::move(next));
    return true;
}

long Recordset::recordCount() const {
    requireOpen();
    return recordCount_;
}

void Recordset::requireOpen() const {
    if (!open_) throw RuntimeError(kObjectClosed, objectModelDescription(kObjectClosed));
}

void Recordset::updateBatch(int) { requireOpen(); }

Variant Recordset::getRows() const {
    requireOpen();
    if (recordCount_ == 0) throw RuntimeError(kNoCurrentRecord, objectModelDescription(kNoCurrentRecord));
    Array rows({{0, fields_.Count()}, {0, recordCount_}});
    // Both hold the values record after record, field by field.
    std::copy(values_.begin(), values_.end(), rows.elements().begin());
    return rows;
}

const Fields& Recordset::fields() const {
    requireOpen();
    return fields_;
}

}  // namespace host::ado
